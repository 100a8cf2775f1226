#include "../app/editprobe.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/viewinput.h"
#include "controlplacement.h"
#include "controlsummary.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "paneldisplay.h"
#include "selection.h"

#include <QUndoStack>
#include <QtTest>
#include <QtWidgets>

using namespace editprobe;

namespace {

constexpr int pad7 = 45;

MidiControlModel *model(const MainWindow &window, int index)
{
    return window.getMidiController()->getModels()->at(index);
}

QList<int> selectedIndices(MainWindow &window)
{
    QList<int> indices = window.selection()->indices();
    std::sort(indices.begin(), indices.end());
    return indices;
}

// The colour of the middle of a control as the view draws it, picture and all.
QColor drawnCentre(const MainWindow &window, int control)
{
    const QRect rect = controlRects.at(control);
    QImage image(rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    window.frontPanel()->scene()->render(&painter, QRectF(image.rect()), QRectF(rect));
    painter.end();
    return image.pixelColor(rect.width() / 2, rect.height() * 3 / 4 - 6);
}

// The patch a file or the device would bring: the window's own with pad 7 blue on note 60.
QByteArray blueC3Patch(const MainWindow &window)
{
    QByteArray patch = type1(window);
    patch[int(model(window, pad7)->getParameter(Colour)->address())] = 2;
    patch[int(model(window, pad7)->getParameter(NoteOrCC)->address())] = 60;
    return patch;
}

void paneSetsBlueC3(MainWindow &window)
{
    select(window, {pad7});
    child<QComboBox>(window, QStringLiteral("comboBoxColour"))->setCurrentIndex(2);
    child<QComboBox>(window, QStringLiteral("comboBoxNoteOrCC"))->setCurrentIndex(60);
}

} // namespace

class TestLivePanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawingFollowsEveryChange_data();
    void drawingFollowsEveryChange();
    void channelShownWhereItDiffers();
    void displayShowsPresetAndSelectedControl();
    void arrowsMoveTheSelection_data();
    void arrowsMoveTheSelection();
    void spaceEnterAndEscape();
    void tabReachesThePictureBesideItsButtons();

private:
    QTemporaryDir workDir;
};

void TestLivePanel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestLivePanel::drawingFollowsEveryChange_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change : {"pane", "menu", "load", "received patch", "undo", "redo"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

void TestLivePanel::drawingFollowsEveryChange()
{
    QFETCH(QString, change);
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    // Start from the editor's defaults on pad 7, red on note 0, and one channel for all.
    for (int i = 0; i < 64; ++i)
        model(window, i)->updateParameter(Channel, 0);
    model(window, pad7)->updateParameter(Colour, 0);
    model(window, pad7)->updateParameter(NoteOrCC, 0);
    model(window, pad7)->updateParameter(Channel, 0);
    model(window, pad7)->updateParameter(Toggle, 0);
    model(window, pad7)->updateParameter(Aftertouch, 0);
    model(window, pad7)->updateParameter(Type, 0);
    window.document()->restore(type1(window));
    MidiControlItem *item = window.frontPanel()->item(pad7);
    QCOMPARE(item->assignment().section(QLatin1Char('\n'), 0, 0), QStringLiteral("C-2"));
    const QColor before = drawnCentre(window, pad7);
    QVERIFY2(before.red() > before.blue(), qPrintable(before.name()));
    const QByteArray wanted = blueC3Patch(window);
    const QString neighbour = window.frontPanel()->item(pad7 + 1)->assignment();
    QVERIFY(!neighbour.isEmpty());

    if (change == QLatin1String("pane")) {
        paneSetsBlueC3(window);
    } else if (change == QLatin1String("menu")) {
        select(window, {pad7});
        viewinput::chooseFromMenuOf(window, pad7, QStringLiteral("Color"), QStringLiteral("Blue"));
        viewinput::chooseFromMenuOf(window, pad7, QStringLiteral("Note"), QStringLiteral("60 C3"));
    } else if (change == QLatin1String("load")) {
        const QString path = workDir.filePath(QStringLiteral("blue.syx"));
        QVERIFY(writeFile(path, wanted));
        window.openRecentFile(path);
        QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
    } else if (change == QLatin1String("received patch")) {
        QByteArray message = wanted;
        message[6] = 0x63; // Type 2
        // The answer to Upload: the start above left unsent changes, which a patch the editor
        // did not ask for would not replace.
        device->reply = SimulatedDevice::Reply::Nothing;
        window.uploadPatch();
        device->send(message);
        QTRY_COMPARE(type1(window), wanted);
    } else if (change == QLatin1String("undo")) {
        paneSetsBlueC3(window);
        child<QComboBox>(window, QStringLiteral("comboBoxColour"))->setCurrentIndex(1);
        child<QComboBox>(window, QStringLiteral("comboBoxNoteOrCC"))->setCurrentIndex(70);
        QCOMPARE(item->assignment(), QStringLiteral("A#3"));
        window.document()->undoStack()->undo();
        window.document()->undoStack()->undo();
    } else {
        paneSetsBlueC3(window);
        window.document()->undoStack()->undo();
        window.document()->undoStack()->undo();
        QCOMPARE(item->assignment(), QStringLiteral("C-2"));
        window.document()->undoStack()->redo();
        window.document()->undoStack()->redo();
    }

    // Nothing else changed on the way.
    QCOMPARE(type1(window), wanted);
    QCOMPARE(item->assignment(), QStringLiteral("C3"));
    QCOMPARE(viewinput::toolTipOf(window, pad7),
             QStringLiteral("PAD7: Note C3 (60), Ch 1, Momentary, Blue, Aftertouch Off"));
    QVERIFY(item->ledColour().blue() > 2 * item->ledColour().red());
    const QColor after = drawnCentre(window, pad7);
    QVERIFY2(after.blue() > after.red() + 40, qPrintable(after.name()));
    // Its neighbour keeps its own.
    QCOMPARE(window.frontPanel()->item(pad7 + 1)->assignment(), neighbour);
}

void TestLivePanel::channelShownWhereItDiffers()
{
    MainWindow window(noDevice());
    // Most controls on channel 10; pad 1 on 2, knob E1 on Global.
    for (int i = 0; i < 64; ++i)
        model(window, i)->updateParameter(Channel, 9);
    model(window, 39)->updateParameter(Channel, 1);
    model(window, 16)->updateParameter(Channel, 16);
    window.document()->restore(type1(window));
    QCOMPARE(window.frontPanel()->item(39)->assignment(), QStringLiteral("C-2\nCh 2"));
    QCOMPARE(window.frontPanel()->item(16)->assignment(), QStringLiteral("CC 0\nGlobal"));
    QCOMPARE(window.frontPanel()->item(40)->assignment(), QStringLiteral("C-2"));
    QCOMPARE(window.frontPanel()->item(37)->assignment(), QStringLiteral("X 0 / Y 0"));
    // Function buttons light by their own colour list.
    model(window, 6)->updateParameter(ColourF, 1);
    window.document()->restore(type1(window));
    QVERIFY(window.frontPanel()->item(6)->ledColour().green()
            > 2 * window.frontPanel()->item(6)->ledColour().red());
    QVERIFY(window.frontPanel()->item(7)->ledColour().red()
            > 2 * window.frontPanel()->item(7)->ledColour().green());
    QVERIFY(!window.frontPanel()->item(16)->ledColour().isValid()); // knobs have no light
}

void TestLivePanel::displayShowsPresetAndSelectedControl()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    PanelDisplay *display = window.frontPanel()->display();
    // The picture's screen is blank: what it shows comes from the patch.
    const QImage picture(QStringLiteral(":/images/vellichord-scaled.png"));
    const QRect screen = displayScreenRect;
    const QRgb blank = picture.pixel(screen.center());
    const auto lightPixels = [&screen](const QImage &image, QPoint offset) {
        int count = 0;
        for (int y = screen.top(); y <= screen.bottom(); ++y) {
            for (int x = screen.left(); x <= screen.right(); ++x)
                count += qGray(image.pixel(QPoint(x, y) - offset)) > 120 ? 1 : 0;
        }
        return count;
    };
    for (int y = screen.top(); y <= screen.bottom(); ++y) {
        for (int x = screen.left(); x <= screen.right(); ++x)
            QCOMPARE(picture.pixel(x, y), blank);
    }
    QImage drawn(screen.size(), QImage::Format_ARGB32);
    QPainter painter(&drawn);
    window.frontPanel()->scene()->render(&painter, QRectF(drawn.rect()), QRectF(screen));
    painter.end();
    QVERIFY(lightPixels(drawn, screen.topLeft()) > 50);

    QCOMPARE(display->presetLine(), QStringLiteral("PRESET 05"));
    QCOMPARE(display->nameLine(), QStringLiteral("Simulated Device"));
    QCOMPARE(display->controlLine(), QString());

    model(window, 39)->updateParameter(Channel, 2);
    model(window, 39)->updateParameter(Type, 0);
    model(window, 39)->updateParameter(NoteOrCC, 62);
    window.document()->restore(type1(window));
    select(window, {39});
    QCOMPARE(display->controlLine(), QStringLiteral("CH 3   NOTE D3"));
    // An edit shows at once.
    child<QComboBox>(window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(16);
    QCOMPARE(display->controlLine(), QStringLiteral("GLOBAL   NOTE D3"));
    select(window, {39, 16});
    QCOMPARE(display->controlLine(), QString());
    select(window, {16});
    QVERIFY(display->controlLine().endsWith(
        QStringLiteral("CC %1").arg(int(model(window, 16)->getParameter(CC)->value()))));

    child<QLineEdit>(window, QStringLiteral("lineEditPresetName"))->setText(QStringLiteral("Kit"));
    QCOMPARE(display->nameLine(), QStringLiteral("Kit"));
    window.document()->undoStack()->undo();
    QCOMPARE(display->nameLine(), QStringLiteral("Simulated Device"));
}

void TestLivePanel::arrowsMoveTheSelection_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("cursor");

    // The corners of the pad grid: PAD1 39, PAD5 43, PAD21 59, PAD25 63.
    QTest::newRow("top left, right") << 39 << int(Qt::Key_Right) << false << QList<int>{40} << 40;
    QTest::newRow("top left, down") << 39 << int(Qt::Key_Down) << false << QList<int>{44} << 44;
    QTest::newRow("top left, left to P1")
        << 39 << int(Qt::Key_Left) << false << QList<int>{24} << 24;
    QTest::newRow("top left, up to F5") << 39 << int(Qt::Key_Up) << false << QList<int>{10} << 10;
    QTest::newRow("top right, right to P5")
        << 43 << int(Qt::Key_Right) << false << QList<int>{28} << 28;
    QTest::newRow("top right, up to F8") << 43 << int(Qt::Key_Up) << false << QList<int>{13} << 13;
    QTest::newRow("top right, left") << 43 << int(Qt::Key_Left) << false << QList<int>{42} << 42;
    QTest::newRow("bottom left, down: edge")
        << 59 << int(Qt::Key_Down) << false << QList<int>{59} << 59;
    QTest::newRow("bottom left, left to P4")
        << 59 << int(Qt::Key_Left) << false << QList<int>{27} << 27;
    QTest::newRow("bottom left, up") << 59 << int(Qt::Key_Up) << false << QList<int>{54} << 54;
    QTest::newRow("bottom right, right to crossfader")
        << 63 << int(Qt::Key_Right) << false << QList<int>{38} << 38;
    QTest::newRow("bottom right, down: edge")
        << 63 << int(Qt::Key_Down) << false << QList<int>{63} << 63;
    QTest::newRow("knob P1 to the pads")
        << 24 << int(Qt::Key_Right) << false << QList<int>{39} << 39;
    QTest::newRow("knob P2 to the pads")
        << 25 << int(Qt::Key_Right) << false << QList<int>{44} << 44;
    QTest::newRow("knob E5 down to F1") << 20 << int(Qt::Key_Down) << false << QList<int>{6} << 6;
    QTest::newRow("shift extends right")
        << 39 << int(Qt::Key_Right) << true << QList<int>{39, 40} << 40;
    QTest::newRow("shift extends down")
        << 63 << int(Qt::Key_Up) << true << QList<int>{58, 63} << 58;
}

void TestLivePanel::arrowsMoveTheSelection()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QFETCH(QList<int>, selected);
    QFETCH(int, cursor);

    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QGraphicsView *view = viewinput::view(window);
    viewinput::clickControl(window, from);
    QApplication::setActiveWindow(&window);
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QCOMPARE(window.frontPanel()->keyboardCursor(), from);
    QVERIFY(window.frontPanel()->item(from)->hasKeyboardFocus());
    const QByteArray before = type1(window);

    QTest::keyClick(view, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(selectedIndices(window), selected);
    QCOMPARE(window.frontPanel()->keyboardCursor(), cursor);
    QVERIFY(window.frontPanel()->item(cursor)->hasKeyboardFocus());
    for (int i = 0; i < 64; ++i)
        QCOMPARE(window.frontPanel()->item(i)->hasKeyboardFocus(), i == cursor);
    QCOMPARE(type1(window), before);
}

void TestLivePanel::spaceEnterAndEscape()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QGraphicsView *view = viewinput::view(window);
    QApplication::setActiveWindow(&window);
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    // Before any click the cursor starts on PAD1.
    QCOMPARE(window.frontPanel()->keyboardCursor(), 39);
    QVERIFY(selectedIndices(window).isEmpty());

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(selectedIndices(window), QList<int>{39});
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(selectedIndices(window), (QList<int>{39, 40, 41}));
    QTest::keyClick(view, Qt::Key_Space); // off again
    QCOMPARE(selectedIndices(window), (QList<int>{39, 40}));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(selectedIndices(window).isEmpty());
    QVERIFY(window.frontPanel()->item(41)->hasKeyboardFocus());

    // Enter goes to the first editor the selection has.
    QTest::keyClick(view, Qt::Key_Space);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), child<QComboBox>(window, QStringLiteral("comboBoxType")));
    QVERIFY(!window.frontPanel()
                 ->item(41)
                 ->hasKeyboardFocus()); // drawn only while the picture has focus
    view->setFocus();
    QTRY_VERIFY(window.frontPanel()->item(41)->hasKeyboardFocus());
    // PAD3 lies between F6 and F7; of two controls as near, the first in the table wins.
    QTest::keyClick(view, Qt::Key_Up); // F6
    QTest::keyClick(view, Qt::Key_Up); // F2
    QTest::keyClick(view, Qt::Key_Up); // E6
    QCOMPARE(selectedIndices(window), QList<int>{21});
    QTest::keyClick(view, Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(),
             child<QComboBox>(window, QStringLiteral("comboBoxChannel")));
}

void TestLivePanel::tabReachesThePictureBesideItsButtons()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    QGraphicsView *view = viewinput::view(window);
    QCOMPARE(view->focusPolicy(), Qt::StrongFocus);
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());

    // Forward: the picture, its two selection buttons, the name, the pane's first editor.
    select(window, {39});
    const QList<QWidget *> forward = {
        child<QPushButton>(window, QStringLiteral("pushButtonSelectSingle")),
        child<QPushButton>(window, QStringLiteral("pushButtonSelectMulti")),
        child<QLineEdit>(window, QStringLiteral("lineEditPresetName")),
        child<QComboBox>(window, QStringLiteral("comboBoxType"))};
    for (QWidget *next : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    for (int k = forward.size() - 2; k >= 0; --k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), forward.at(k));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), view);
}

QTEST_MAIN(TestLivePanel)
#include "tst_livepanel.moc"
