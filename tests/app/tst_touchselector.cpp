#include "../common/simulateddevice.h"
#include "../common/touchpatch.h"
#include "controlnames.h"
#include "editorpane.h"
#include "editprobe.h"
#include "touchselector.h"

using namespace editprobe;

Q_DECLARE_METATYPE(Selection::Mode)

// Selecting controls by touching them on the device, in the window, and the Device menu's two
// modes as the editor remembers them.
namespace {

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/vellichord-editor.ini");
}

// The device's patch, as the device sends it.
QByteArray devicePatch()
{
    QByteArray message = touchPatch(2);
    message[6] = 0x63;
    return message;
}

MidiTraffic batchOf(const QStringList &messages)
{
    // "<" for a message from the device, ">" for one the editor sent.
    MidiTraffic batch;
    for (const QString &text : messages) {
        MidiTrafficMessage message;
        message.outgoing = text.startsWith(QLatin1Char('>'));
        message.bytes = QByteArray::fromHex(text.mid(1).toLatin1());
        batch << message;
    }
    return batch;
}

struct Editor
{
    Editor()
        : window(plug(device))
    {
        // The device holds the patch before the editor asks for it.
        QByteArray stored = devicePatch();
        stored[6] = 0x61;
        device->receive(stored);
        window.show();
        ready = QTest::qWaitFor([&] { return window.document()->devicePatch() == stored; });
    }

    TouchSelector *selector() const { return window.findChild<TouchSelector *>(); }

    SimulatedDevice *device = nullptr;
    MainWindow window;
    bool ready = false;
};

} // namespace

class TestTouchSelector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QFile::remove(settingsPath()); }

    void touchSelectsAsAClickWould_data()
    {
        QTest::addColumn<Selection::Mode>("mode");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("batch");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("status");

        const Selection::Mode single = Selection::Mode::Single;
        const Selection::Mode multi = Selection::Mode::Multi;
        const QStringList pad7{"<993c64"};
        QTest::newRow("single: that control") << single << true << pad7 << QList<int>{45} << "";
        QTest::newRow("multi: added") << multi << true << pad7 << QList<int>{0, 45} << "";
        QTest::newRow("two controls")
            << single << true << QStringList{"<993d64"} << QList<int>{11, 41}
            << "F6 and PAD3 both send Note 61 on Ch 10";
        QTest::newRow("the last touch counts")
            << single << true << QStringList{"<993c64", "<893c00", "<b00710", "<b00711"}
            << QList<int>{18} << "";
        QTest::newRow("what the editor sent is no touch")
            << single << true << QStringList{"<993c64", ">b00710"} << QList<int>{45} << "";
        QTest::newRow("a batch without a touch")
            << single << true << QStringList{"<893c00", "<f8"} << QList<int>{0} << "";
        QTest::newRow("none") << multi << true << QStringList{"<b10940"} << QList<int>{0}
                              << "No control sends CC 9 on Ch 2";
        QTest::newRow("off") << single << false << pad7 << QList<int>{0} << "";
    }

    void touchSelectsAsAClickWould()
    {
        QFETCH(Selection::Mode, mode);
        QFETCH(bool, on);
        QFETCH(QStringList, batch);
        QFETCH(QList<int>, selected);
        QFETCH(QString, status);

        Editor editor;
        QVERIFY(editor.ready);
        MainWindow &window = editor.window;
        QAction *touchAction = child<QAction>(window, QStringLiteral("actionSelectByTouch"));
        QVERIFY(touchAction->isChecked());
        touchAction->setChecked(on);
        window.selection()->setMode(mode);
        editprobe::select(window, {0});
        window.showStatusMessage(QStringLiteral("before"));

        editor.selector()->take(batchOf(batch));
        QCOMPARE(window.selection()->indices(), selected);
        QCOMPARE(statusText(window), status.isEmpty() ? QStringLiteral("before") : status);
        // The pane shows the touched controls, and the picture rings them.
        QCOMPARE(child<QLabel>(window, QStringLiteral("labelSelection"))->text(),
                 ControlNames::describe(selected));
        for (int control : selected) {
            if (control != 0)
                QVERIFY(window.frontPanel()->isFlashing(control));
        }
        QVERIFY(!window.frontPanel()->isFlashing(0));
        if (selected != QList<int>{0})
            QTRY_VERIFY(!window.frontPanel()->isFlashing(selected.last()));
    }

    void aTouchThatGoesOnIsSaidOnce()
    {
        Editor editor;
        QVERIFY(editor.ready);
        MainWindow &window = editor.window;
        // A knob that sends CC 9 on Ch 2 turned: many batches, one line.
        editor.selector()->take(batchOf({"<b10901", "<b10902"}));
        QCOMPARE(statusText(window), QStringLiteral("No control sends CC 9 on Ch 2"));
        window.showStatusMessage(QStringLiteral("Patch downloaded"));
        for (int value = 3; value < 20; ++value)
            editor.selector()->take(
                batchOf({QStringLiteral("<b109%1").arg(value, 2, 16, QLatin1Char('0'))}));
        QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
        // Another touch is said, and so is the first again once it follows another.
        editor.selector()->take(batchOf({"<993d64"}));
        QCOMPARE(statusText(window), QStringLiteral("F6 and PAD3 both send Note 61 on Ch 10"));
        editor.selector()->take(batchOf({"<b10914"}));
        QCOMPARE(statusText(window), QStringLiteral("No control sends CC 9 on Ch 2"));
    }

    void theModesAreRemembered()
    {
        {
            Editor editor;
            QVERIFY(
                child<QAction>(editor.window, QStringLiteral("actionSelectByTouch"))->isChecked());
            QVERIFY(
                !child<QAction>(editor.window, QStringLiteral("actionSendAsYouEdit"))->isChecked());
            child<QAction>(editor.window, QStringLiteral("actionSelectByTouch"))->trigger();
            child<QAction>(editor.window, QStringLiteral("actionSendAsYouEdit"))->trigger();
            QVERIFY(editor.window.close());
        }
        Editor again;
        QVERIFY(!child<QAction>(again.window, QStringLiteral("actionSelectByTouch"))->isChecked());
        QVERIFY(child<QAction>(again.window, QStringLiteral("actionSendAsYouEdit"))->isChecked());
        QVERIFY(!again.selector()->isOn());
        // Off, a touch selects nothing.
        again.selector()->take(batchOf({"<993c64"}));
        QVERIFY(again.window.selection()->isEmpty());
    }
};

QTEST_MAIN(TestTouchSelector)
#include "tst_touchselector.moc"
