#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "../common/viewinput.h"
#include "controlplacement.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <set>

using namespace viewinput;

namespace {

MidiControlModel *model(const MainWindow &window, int index)
{
    return window.getMidiController()->getModels()->at(index);
}

// Control indices of the selected models, in order of selection.
QList<int> selectedIndices(MainWindow &window)
{
    QList<int> indices = window.selection()->indices();
    return indices;
}

// Control indices of the items drawn as selected.
QList<int> selectedItems(const MainWindow &window)
{
    QList<int> indices;
    for (int i = 0; i < 64; ++i) {
        if (window.frontPanel()->item(i)->isSelected())
            indices << i;
    }
    return indices;
}

QPushButton *button(const MainWindow &window, const char *name)
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}

// One row for each selection mode.
void bothModes()
{
    QTest::addColumn<bool>("multi");
    QTest::newRow("Select Single") << false;
    QTest::newRow("Select Multi") << true;
}

// A point on the picture that no rectangle covers.
const QPointF barePicture(20, 520);

} // namespace

class TestDeviceView : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Picture and placement
    void pictureLoadsFromTheResources();
    void rectanglesLieOnTheirControlsWithoutOverlap();
    void selectionOutlinesAndKeepsTheLabelReadable();
    void transportBadgesLeaveBothLegendsAlone_data();
    void transportBadgesLeaveBothLegendsAlone();

    // Select Single mode
    void clickSelectsOneControlAndBarePictureClears();
    void ctrlClickTogglesControls();
    void rectanglesNeverMove();

    // Select Multi mode and switching
    void bandAcrossFirstPadRowSelectsThatRow();
    void switchingModesKeepsTheSelection();
    void clicksToggleAndBandsSelectInReadingOrder_data();
    void clicksToggleAndBandsSelectInReadingOrder();

    // Right click
    void rightClickOnSelectedControlKeepsTheSelection_data();
    void rightClickOnSelectedControlKeepsTheSelection();
    void menuOpensAtBottomLeftCorner();
    void rightClickOnUnselectedControlSelectsItAlone_data();
    void rightClickOnUnselectedControlSelectsItAlone();
    void releaseTakenByTheMenuLeavesTheViewWorking_data();
    void releaseTakenByTheMenuLeavesTheViewWorking();
    void appliedPatchDeselectsEverything();
    void closedWindowLeavesNoKeptControlBehind();

private:
    std::unique_ptr<MainWindow> window;
};

void TestDeviceView::init()
{
    window = std::make_unique<MainWindow>(noDevice());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestDeviceView::pictureLoadsFromTheResources()
{
    TraceCapture traces;
    MainWindow another(noDevice());
    QVERIFY(traces.contains(QStringLiteral("Image loaded.")));

    const QImage picture(QStringLiteral(":/images/vellichord-scaled.png"));
    QCOMPARE(picture.size(), QSize(panelWidth, panelHeight));
    QVERIFY(picture.hasAlphaChannel());
    // The housing has rounded corners: the very corner is transparent, the middle is not.
    QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(picture.pixel(panelWidth / 2, panelHeight / 2)), 255);

    // The picture sits at the origin, under every rectangle, and sets the scene's extent.
    QCOMPARE(another.frontPanel()->scene()->sceneRect(), QRectF(0, 0, panelWidth, panelHeight));
    // The picture, the 64 rectangles and the display.
    QCOMPARE(another.frontPanel()->scene()->items().size(), 66);
}

void TestDeviceView::rectanglesLieOnTheirControlsWithoutOverlap()
{
    const QImage picture(QStringLiteral(":/images/vellichord-scaled.png"));
    for (int i = 0; i < 64; ++i) {
        MidiControlItem *item = window->frontPanel()->item(i);
        const QRect rect = item->rect().toRect();
        QCOMPARE(rect, controlRects.at(i));
        QCOMPARE(item->pos(), QPointF(0, 0));
        QCOMPARE(item->getModel(), model(*window, i));
        QCOMPARE(item->index(), i);
        QCOMPARE(item->flags(), QGraphicsItem::ItemIsSelectable);
        QVERIFY2(QRect(0, 0, panelWidth, panelHeight).contains(rect),
                 qPrintable(QString::number(i)));
        for (int j = i + 1; j < 64; ++j)
            QVERIFY2(!rect.intersects(controlRects.at(j)),
                     qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));

        // Something is drawn in every rectangle: bare housing has only a handful of colours.
        std::set<QRgb> colours;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x)
                colours.insert(picture.pixel(x, y));
        }
        QVERIFY2(colours.size() > 40, qPrintable(QString::number(i)));
    }
}

void TestDeviceView::selectionOutlinesAndKeepsTheLabelReadable()
{
    MidiControlItem *item = window->frontPanel()->item(39);
    const auto paint = [item](QStyle::State state) {
        QImage image(100, 100, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(-item->rect().topLeft() + QPointF(10, 10));
        QStyleOptionGraphicsItem option;
        option.state = state;
        item->paint(&painter, &option, nullptr);
        return image;
    };

    const QImage selected = paint(QStyle::State_Selected);
    const QImage unselected = paint(QStyle::State_None);
    const QRect r(10, 10, 56, 56);
    // A light outline, the same colour all round: no dashes, no dark blue.
    const QRgb outline = selected.pixel(r.topLeft());
    QVERIFY(qBlue(outline) > 200 && qRed(outline) < 150);
    QCOMPARE(qAlpha(outline), 255);
    for (int k = 0; k < 56; ++k) {
        QCOMPARE(selected.pixel(r.left() + k, r.top()), outline);
        QCOMPARE(selected.pixel(r.left(), r.top() + k), outline);
    }
    QCOMPARE(qAlpha(selected.pixel(r.left() - 2, r.top() - 2)), 0);
    QCOMPARE(qAlpha(unselected.pixel(r.topLeft())), 0);

    // The fill lightens what is beneath instead of darkening it.
    const QRgb lit = selected.pixel(r.center());
    const QRgb plain = unselected.pixel(r.center());
    QVERIFY(qRed(lit) + qGreen(lit) + qBlue(lit) > qRed(plain) + qGreen(plain) + qBlue(plain));

    // The assignment's light text (top left of the pad) is drawn over the highlight: every
    // pixel of it stays light.
    int textPixels = 0;
    for (int y = r.top() + 7; y < r.top() + 20; ++y) {
        for (int x = r.left() + 7; x < r.left() + 30; ++x) {
            if (qGray(unselected.pixel(x, y)) > 200) {
                ++textPixels;
                QVERIFY2(qGray(selected.pixel(x, y)) > 200, qPrintable(QString::number(x)));
            }
        }
    }
    QVERIFY(textPixels > 10);
}

void TestDeviceView::transportBadgesLeaveBothLegendsAlone_data()
{
    QTest::addColumn<int>("control");
    QTest::newRow("STOP / CANCEL") << 30;
    QTest::newRow("PLAY / ENTER") << 31;
    QTest::newRow("RECORD / EXIT") << 32;
}

void TestDeviceView::transportBadgesLeaveBothLegendsAlone()
{
    QFETCH(int, control);
    // The picture prints the two legends below the button's face, in the lower 19 pixels.
    const QRectF whole = QRectF(controlRects.at(control));
    const QRectF legends = whole.adjusted(0, whole.height() - 19, 0, 0);
    const auto render = [this](const QRectF &area) {
        QImage image(area.size().toSize(), QImage::Format_ARGB32);
        QPainter painter(&image);
        window->frontPanel()->scene()->render(&painter, QRectF(image.rect()), area);
        return image;
    };
    MidiControlItem *item = window->frontPanel()->item(control);
    item->setAssignment(QString());
    const QImage bare = render(whole);
    const QImage bareLegends = render(legends);
    item->setAssignment(QStringLiteral("CC 127"));
    QVERIFY(render(whole) != bare); // the badge is drawn
    QCOMPARE(render(legends), bareLegends);
}

void TestDeviceView::clickSelectsOneControlAndBarePictureClears()
{
    clickControl(*window, 39);
    QCOMPARE(selectedIndices(*window), QList<int>{39});
    QCOMPARE(selectedItems(*window), QList<int>{39});

    clickControl(*window, 6);
    QCOMPARE(selectedIndices(*window), QList<int>{6});
    QCOMPARE(selectedItems(*window), QList<int>{6});

    click(*window, barePicture);
    QVERIFY(window->selection()->isEmpty());
    QVERIFY(selectedItems(*window).isEmpty());
}

void TestDeviceView::ctrlClickTogglesControls()
{
    clickControl(*window, 39);
    clickControl(*window, 40, Qt::LeftButton, Qt::ControlModifier);
    clickControl(*window, 16, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 40, 16}));

    clickControl(*window, 40, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 16}));
    QCOMPARE(selectedItems(*window), (QList<int>{16, 39}));

    // Ctrl on bare picture keeps the selection.
    click(*window, barePicture, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 16}));
}

void TestDeviceView::rectanglesNeverMove()
{
    for (const bool multi : {false, true}) {
        if (multi)
            window->selection()->setMode(Selection::Mode::Multi);
        drag(*window, centreOf(39), centreOf(39) + QPointF(120, 90));
        drag(*window, centreOf(37), centreOf(37) + QPointF(-30, 200));
        for (int i = 0; i < 64; ++i) {
            QCOMPARE(window->frontPanel()->item(i)->pos(), QPointF(0, 0));
            QCOMPARE(window->frontPanel()->item(i)->rect().toRect(), controlRects.at(i));
        }
    }
}

void TestDeviceView::bandAcrossFirstPadRowSelectsThatRow()
{
    QTest::mouseClick(button(*window, "pushButtonSelectMulti"), Qt::LeftButton);
    QVERIFY(window->selection()->isMulti());

    drag(*window, QPointF(180, 250), QPointF(450, 262));
    QCOMPARE(selectedItems(*window), (QList<int>{39, 40, 41, 42, 43}));
    QList<int> listed = selectedIndices(*window);
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<int>{39, 40, 41, 42, 43}));

    // A band over the whole picture takes all 64.
    drag(*window, QPointF(1, 1), QPointF(636, 532));
    QCOMPARE(selectedItems(*window).size(), 64);
    QCOMPARE(window->selection()->size(), 64);
}

void TestDeviceView::switchingModesKeepsTheSelection()
{
    auto *single = button(*window, "pushButtonSelectSingle");
    auto *multi = button(*window, "pushButtonSelectMulti");
    QGraphicsView *graphicsView = view(*window);
    QVERIFY(single->isChecked());
    QVERIFY(!multi->isChecked());
    QCOMPARE(graphicsView->dragMode(), QGraphicsView::NoDrag);

    clickControl(*window, 39);
    clickControl(*window, 44, Qt::LeftButton, Qt::ControlModifier);

    QTest::mouseClick(multi, Qt::LeftButton);
    QCOMPARE(graphicsView->dragMode(), QGraphicsView::RubberBandDrag);
    QVERIFY(window->selection()->isMulti());
    QVERIFY(!single->isChecked());
    QVERIFY(multi->isChecked());
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 44}));

    // The button of the mode in force toggles itself off on the click; the slot checks it again.
    QTest::mouseClick(multi, Qt::LeftButton);
    QVERIFY(multi->isChecked());
    QVERIFY(window->selection()->isMulti());

    QTest::mouseClick(single, Qt::LeftButton);
    QTest::mouseClick(single, Qt::LeftButton);
    QCOMPARE(graphicsView->dragMode(), QGraphicsView::NoDrag);
    QVERIFY(!window->selection()->isMulti());
    QVERIFY(single->isChecked());
    QVERIFY(!multi->isChecked());
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 44}));
    QCOMPARE(selectedItems(*window), (QList<int>{39, 44}));
}

void TestDeviceView::clicksToggleAndBandsSelectInReadingOrder_data()
{
    // Plain clicks in Select Multi first, then one gesture along the path: a click where the
    // path is one point, a double-click where it is one point twice.
    QTest::addColumn<QList<int>>("clicked");
    QTest::addColumn<QList<QPointF>>("path");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("selected");
    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    QList<int> pads;
    for (int i = 39; i <= 63; ++i)
        pads << i;
    QTest::newRow("all pads, dragged down")
        << QList<int>{} << QList<QPointF>{{176, 231}, {454, 509}} << none << pads;
    QTest::newRow("all pads, dragged up")
        << QList<int>{} << QList<QPointF>{{454, 509}, {176, 231}} << none << pads;
    // Knobs E5-E8 share a row with the arrows beside their tops, F5-F8 one with the transport
    // buttons.
    QTest::newRow("knobs, buttons and arrows")
        << QList<int>{} << QList<QPointF>{{610, 225}, {170, 95}} << none
        << QList<int>{20, 21, 22, 23, 35, 34, 36, 33, 6, 7, 8, 9, 10, 11, 12, 13, 31, 30, 32};
    const QList<QPointF> pad45{centreOf(45)};
    const QList<QPointF> bare{barePicture};
    QTest::newRow("clicks add in click order")
        << QList<int>{45, 39, 16} << QList<QPointF>{centreOf(40)} << none
        << QList<int>{45, 39, 16, 40};
    QTest::newRow("click removes") << QList<int>{45, 39, 16} << pad45 << none << QList<int>{39, 16};
    QTest::newRow("Ctrl-click toggles") << QList<int>{39, 45} << pad45 << ctrl << QList<int>{39};
    QTest::newRow("double-click toggles twice")
        << QList<int>{45, 39} << QList<QPointF>{centreOf(45), centreOf(45)} << none
        << QList<int>{39, 45};
    QTest::newRow("click beside clears") << QList<int>{39, 16} << bare << none << QList<int>{};
    QTest::newRow("Ctrl-click beside keeps")
        << QList<int>{39, 16} << bare << ctrl << QList<int>{39, 16};
    // Pad rows 2 and 3, dragged from the bottom right.
    const QList<QPointF> twoRows{{450, 390}, {180, 290}};
    QTest::newRow("band replaces") << QList<int>{16, 39} << twoRows << none
                                   << QList<int>{44, 45, 46, 47, 48, 49, 50, 51, 52, 53};
    QTest::newRow("Ctrl band adds in reading order")
        << QList<int>{16, 50} << twoRows << ctrl
        << QList<int>{16, 50, 44, 45, 46, 47, 48, 49, 51, 52, 53};
    QTest::newRow("Shift band adds in reading order")
        << QList<int>{16, 50} << twoRows << int(Qt::ShiftModifier)
        << QList<int>{16, 50, 44, 45, 46, 47, 48, 49, 51, 52, 53};
    // Over two rows and back to one before the release: the row it left goes again.
    QTest::newRow("Ctrl band shrinks back")
        << QList<int>{16} << QList<QPointF>{{180, 290}, {450, 390}, {450, 330}} << ctrl
        << QList<int>{16, 44, 45, 46, 47, 48};
}

void TestDeviceView::clicksToggleAndBandsSelectInReadingOrder()
{
    QFETCH(QList<int>, clicked);
    QFETCH(QList<QPointF>, path);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, selected);
    window->selection()->setMode(Selection::Mode::Multi);
    for (int control : clicked)
        clickControl(*window, control);
    if (path.size() == 1) {
        click(*window, path.first(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers));
    } else if (path.size() == 2 && path.first() == path.last()) {
        // As widgets get it: the second press comes as the double-click.
        QWidget *viewport = view(*window)->viewport();
        const QPoint at = toViewport(*window, path.first());
        click(*window, path.first());
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &twice);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
    } else
        drag(*window, path, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(selectedIndices(*window), selected);
    QList<int> drawn = selected;
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(selectedItems(*window), drawn);
}

void TestDeviceView::rightClickOnSelectedControlKeepsTheSelection_data()
{
    bothModes();
}

void TestDeviceView::rightClickOnSelectedControlKeepsTheSelection()
{
    QFETCH(bool, multi);
    TraceCapture traces;
    clickControl(*window, 39);
    clickControl(*window, 40, Qt::LeftButton, Qt::ControlModifier);
    if (multi)
        window->selection()->setMode(Selection::Mode::Multi);
    chooseFromMenuOf(*window, 40);
    QVERIFY(traces.contains(QStringLiteral("open menu")));
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 40}));
    QCOMPARE(selectedItems(*window), (QList<int>{39, 40}));
    chooseFromMenuOf(*window, 39);
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 40}));
    QCOMPARE(selectedItems(*window), (QList<int>{39, 40}));

    // The selection goes on as if there had been no menu.
    window->selection()->setMode(Selection::Mode::Single);
    clickControl(*window, 45, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(selectedIndices(*window), (QList<int>{39, 40, 45}));
    QCOMPARE(selectedItems(*window), (QList<int>{39, 40, 45}));
    clickControl(*window, 46);
    QCOMPARE(selectedIndices(*window), QList<int>{46});
    QCOMPARE(selectedItems(*window), QList<int>{46});
}

void TestDeviceView::menuOpensAtBottomLeftCorner()
{
    for (const int control : {0, 37, 39}) {
        QPoint openedAt;
        onNextMenu([&openedAt](QMenu *menu) {
            openedAt = menu->pos();
            dismiss(menu);
        });
        clickControl(*window, control, Qt::RightButton);
        const QRect r = controlRects.at(control);
        const QPoint expected = view(*window)->viewport()->mapToGlobal(
            toViewport(*window, QPointF(r.left(), r.top() + r.height())));
        QCOMPARE(openedAt, expected);
    }
}

void TestDeviceView::rightClickOnUnselectedControlSelectsItAlone_data()
{
    bothModes();
}

void TestDeviceView::rightClickOnUnselectedControlSelectsItAlone()
{
    QFETCH(bool, multi);
    auto *type = window->findChild<QComboBox *>(QStringLiteral("comboBoxType"));
    clickControl(*window, 16);
    clickControl(*window, 17, Qt::LeftButton, Qt::ControlModifier);
    if (multi)
        window->selection()->setMode(Selection::Mode::Multi);

    // The pane shows the clicked control while its menu is open.
    bool typeShownDuringMenu = false;
    QList<int> selectedDuringMenu;
    onNextMenu([&](QMenu *menu) {
        typeShownDuringMenu = type->isEnabled() && !type->isHidden();
        selectedDuringMenu = selectedItems(*window);
        dismiss(menu);
    });
    clickControl(*window, 6, Qt::RightButton);
    QVERIFY(typeShownDuringMenu);
    QCOMPARE(selectedDuringMenu, QList<int>{6});
    QCOMPARE(selectedIndices(*window), QList<int>{6});
    QCOMPARE(selectedItems(*window), QList<int>{6});

    // A click beside the controls clears it like any selection.
    window->selection()->setMode(Selection::Mode::Single);
    click(*window, barePicture);
    QVERIFY(window->selection()->isEmpty());
    QVERIFY(selectedItems(*window).isEmpty());
    QVERIFY(!type->isEnabled());
}

void TestDeviceView::releaseTakenByTheMenuLeavesTheViewWorking_data()
{
    bothModes();
}

void TestDeviceView::releaseTakenByTheMenuLeavesTheViewWorking()
{
    // On a desktop the open menu receives the button's release; the view sees only the press.
    QFETCH(bool, multi);
    if (multi)
        window->selection()->setMode(Selection::Mode::Multi);
    onNextMenu([](QMenu *menu) { dismiss(menu); });
    QTest::mousePress(view(*window)->viewport(), Qt::RightButton, Qt::NoModifier,
                      toViewport(*window, centreOf(39)));
    QCOMPARE(selectedItems(*window), QList<int>{39});

    if (multi) {
        drag(*window, QPointF(180, 250), QPointF(300, 262));
        QCOMPARE(selectedItems(*window), (QList<int>{39, 40, 41}));
        QCOMPARE(selectedIndices(*window).size(), 3);
    } else {
        clickControl(*window, 45);
        QCOMPARE(selectedItems(*window), QList<int>{45});
        QCOMPARE(selectedIndices(*window), QList<int>{45});
    }
}

void TestDeviceView::appliedPatchDeselectsEverything()
{
    SimulatedDevice *device = nullptr;
    MainWindow patched(plug(device));
    QTRY_VERIFY(device->received.size() == 1);
    QTest::qWait(50);

    patched.frontPanel()->item(39)->setSelected(true);
    patched.frontPanel()->item(16)->setSelected(true);
    QCOMPARE(selectedIndices(patched), (QList<int>{39, 16}));
    patched.uploadPatch();
    QTRY_VERIFY(selectedItems(patched).isEmpty());
    QVERIFY(patched.selection()->isEmpty());

    // A control selected by a right click goes as well, and the pane no longer shows its
    // values from before the patch.
    patched.show();
    QVERIFY(QTest::qWaitForWindowExposed(&patched));
    chooseFromMenuOf(patched, 40);
    QCOMPARE(selectedIndices(patched), QList<int>{40});
    QCOMPARE(selectedItems(patched), QList<int>{40});
    patched.uploadPatch();
    QTRY_VERIFY(patched.selection()->isEmpty());
    auto *channel = patched.findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    QVERIFY(!channel->isEnabled());
}

void TestDeviceView::closedWindowLeavesNoKeptControlBehind()
{
    clickControl(*window, 39);
    chooseFromMenuOf(*window, 39);
    window.reset();

    init();
    clickControl(*window, 40);
    QCOMPARE(selectedIndices(*window), QList<int>{40});
    QCOMPARE(selectedItems(*window), QList<int>{40});
}

QTEST_MAIN(TestDeviceView)
#include "tst_deviceview.moc"
