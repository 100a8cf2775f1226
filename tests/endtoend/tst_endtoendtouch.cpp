#include "../common/files.h"
#include "../common/jackserver.h"
#include "../common/touchpatch.h"
#include "../common/viewinput.h"
#include "controlnames.h"
#include "emulatorprocess.h"
#include "jackport.h"
#include "livesend.h"
#include "mainwindow.h"
#include "patch.h"
#include "patchdocument.h"
#include "selection.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include <memory>

// Editing with the hardware in hand, the emulator standing in for it: a control touched on
// the device is selected in the editor, and with Send Changes as You Edit each edit reaches
// the device without Download.
namespace {

constexpr int knob = 18; // E3

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QString heading(const MainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("labelSelection"))->text();
}

// The Type 1 patches the emulator received, in order.
QList<QByteArray> patchesReceived(const EmulatorProcess &emulator)
{
    QList<QByteArray> patches;
    for (const QString &line : emulator.lines()) {
        if (line.startsWith(QStringLiteral("received: Type 1 patch")))
            patches << QByteArray::fromHex(line.section(QStringLiteral(": "), -1).toLatin1());
    }
    return patches;
}

std::unique_ptr<MainWindow> startEditor()
{
    auto window = std::make_unique<MainWindow>(std::make_unique<JackPort>());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qFatal("the editor window was never shown");
    return window;
}

} // namespace

class TestEndToEndTouch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void touchSelectsTheControl_data();
    void touchSelectsTheControl();
    void paneEditReachesTheEmulatorWithoutDownload();
    void heldDownSpinBoxIsCoalesced();
    void badTouchLinesAreRefused_data();
    void badTouchLinesAreRefused();
    void floodGoesOutWhole();

private:
    // Starts the emulator on the touch patch and an editor that has its patch.
    bool startBoth(const QStringList &arguments = {});

    JackServer server;
    QTemporaryDir workDir;
    QString patchPath;
    std::unique_ptr<EmulatorProcess> emulator;
    std::unique_ptr<MainWindow> window;
};

void TestEndToEndTouch::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(workDir.isValid());
    patchPath = workDir.filePath(QStringLiteral("touch.syx"));
    QVERIFY(writeFile(patchPath, touchPatch(4)));
}

void TestEndToEndTouch::init()
{
    window.reset();
    emulator.reset();
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                  + QStringLiteral("/vellichord-editor.ini"));
}

bool TestEndToEndTouch::startBoth(const QStringList &arguments)
{
    emulator = std::make_unique<EmulatorProcess>();
    QString error;
    if (!emulator->start(QStringList{QStringLiteral("--hex"), QStringLiteral("--patch"), patchPath}
                             + arguments,
                         &error)) {
        qWarning().noquote() << error;
        return false;
    }
    window = startEditor();
    QByteArray expected = touchPatch(4);
    return QTest::qWaitFor([&] { return window->document()->devicePatch() == expected; }, 10000);
}

void TestEndToEndTouch::touchSelectsTheControl_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("status");

    QTest::newRow("PAD7") << "touch PAD7" << QList<int>{45} << "";
    QTest::newRow("E3 turned") << "touch e3 100" << QList<int>{knob} << "";
    QTest::newRow("one message, two controls")
        << "touch PAD3" << QList<int>{11, 41} << "F6 and PAD3 both send Note 61 on Ch 10";
}

void TestEndToEndTouch::touchSelectsTheControl()
{
    QFETCH(QString, line);
    QFETCH(QList<int>, selected);
    QFETCH(QString, status);

    QVERIFY(startBoth());
    viewinput::clickControl(*window, 0);
    QCOMPARE(window->selection()->indices(), QList<int>{0});
    const QString before = statusText(*window);

    emulator->process.write((line + QLatin1Char('\n')).toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(window->selection()->indices(), selected, 10000);
    QCOMPARE(heading(*window), ControlNames::describe(selected));
    QCOMPARE(statusText(*window), status.isEmpty() ? before : status);
    QVERIFY(emulator->waitForLine(QStringLiteral("touched ")));
}

void TestEndToEndTouch::paneEditReachesTheEmulatorWithoutDownload()
{
    QVERIFY(startBoth());
    window->findChild<QAction *>(QStringLiteral("actionSendAsYouEdit"))->setChecked(true);
    viewinput::clickControl(*window, 45);
    auto *channel = window->findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    QVERIFY(channel->isEnabled());
    channel->setCurrentIndex(3); // "Ch 4", as a choice from its list
    const QByteArray edited = window->document()->patch();
    QVERIFY(edited != touchPatch(4));

    QVERIFY(QTest::qWaitFor([&] { return !patchesReceived(*emulator).isEmpty(); }, 10000));
    QCOMPARE(patchesReceived(*emulator).last().toHex(' '), edited.toHex(' '));
    QTRY_VERIFY(!window->document()->hasUnsentChanges());
    QCOMPARE(patchesReceived(*emulator).size(), 1);
    QCOMPARE(emulator->stop(), QString());
}

void TestEndToEndTouch::heldDownSpinBoxIsCoalesced()
{
    QVERIFY(startBoth());
    window->findChild<QAction *>(QStringLiteral("actionSendAsYouEdit"))->setChecked(true);
    viewinput::clickControl(*window, knob);
    auto *spin = window->findChild<QSpinBox *>(QStringLiteral("spinMin"));
    QVERIFY(spin->isEnabled());
    QCOMPARE(spin->value(), 0);
    spin->setFocus();

    // Held down: one step every 10 ms, as a key's auto-repeat gives them.
    const int steps = 40;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(spin, Qt::Key_Up);
        QTest::qWait(10);
    }
    QCOMPARE(spin->value(), steps);
    const QByteArray last = window->document()->patch();
    QVERIFY(QTest::qWaitFor(
        [&] {
            return !patchesReceived(*emulator).isEmpty()
                && patchesReceived(*emulator).last() == last;
        },
        10000));
    const qint64 elapsed = clock.elapsed();
    const int sent = patchesReceived(*emulator).size();
    qInfo("%d patches for %d steps in %lld ms", sent, steps, static_cast<long long>(elapsed));
    // At least 50 ms between two: no more than 20 a second, however slowly the steps came.
    QVERIFY2(sent <= elapsed / LiveSend::gapMs + 1,
             qPrintable(QStringLiteral("%1 patches in %2 ms").arg(sent).arg(elapsed)));
    QVERIFY(sent < steps);
    QVERIFY(!window->document()->hasUnsentChanges());
    QCOMPARE(emulator->stop(), QString());
}

void TestEndToEndTouch::badTouchLinesAreRefused_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("no such control")
        << "touch KNOB9"
        << "standard input: \"touch KNOB9\" is not \"touch CONTROL [VALUE]\"";
    QTest::newRow("value out of range")
        << "touch PAD7 128"
        << "standard input: \"touch PAD7 128\" is not \"touch CONTROL [VALUE]\"";
    QTest::newRow("no control") << "touch"
                                << "standard input: \"touch\" is not";
    QTest::newRow("flood of nothing") << "flood 0"
                                      << "standard input: \"flood 0\" is not \"flood N";
}

void TestEndToEndTouch::badTouchLinesAreRefused()
{
    QFETCH(QString, line);
    QFETCH(QString, complaint);

    emulator = std::make_unique<EmulatorProcess>();
    QString error;
    QVERIFY2(emulator->start({QStringLiteral("--patch"), patchPath}, &error), qPrintable(error));
    emulator->process.write((line + QLatin1String("\ntouch XY\n")).toLatin1());
    // The line after it is taken: nothing was sent for the bad one.
    QVERIFY(emulator->waitForLine(QStringLiteral("touched XY")));
    QVERIFY2(emulator->errors().contains(QStringLiteral("vellichord-emulator: ") + complaint),
             qPrintable(emulator->errors()));
    QCOMPARE(emulator->count(QStringLiteral("touched ")), 1);
    QCOMPARE(emulator->stop(), QString());
}

void TestEndToEndTouch::floodGoesOutWhole()
{
    emulator = std::make_unique<EmulatorProcess>();
    QString error;
    QVERIFY2(emulator->start({QStringLiteral("--patch"), patchPath}, &error), qPrintable(error));
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    emulator->process.write("flood 5000 E3\n");
    QVERIFY(emulator->waitForLine(QStringLiteral("flooded 5000 messages of E3"), 20000));
    // Each of them a control change of E3 (CC 7 on Ch 1), the values stepping 0..127.
    QByteArray expected;
    for (int i = 0; i < 5000; ++i)
        expected += QByteArray::fromHex("b007") + char(i % 128);
    QByteArray got;
    unsigned char buffer[4096];
    QVERIFY(QTest::qWaitFor(
        [&] {
            while (port.dataAvailable()) {
                const int read = port.read(buffer, sizeof buffer);
                got.append(reinterpret_cast<const char *>(buffer), std::max(read, 0));
            }
            return got.size() >= expected.size();
        },
        20000));
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    port.disconnect();
    QCOMPARE(emulator->stop(), QString());
}

QTEST_MAIN(TestEndToEndTouch)
#include "tst_endtoendtouch.moc"
