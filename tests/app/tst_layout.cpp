#include "../common/simulateddevice.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "selection.h"
#include "updatedialog.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>

namespace {

constexpr int padFirst = 39; // PAD1
constexpr int knobE1 = 16;

const char *const editorNames[] = {
    "comboBoxType",    "comboBoxNoteOrCC",   "comboBoxToggle", "comboBoxChannel", "comboBoxColour",
    "comboBoxColourF", "comboBoxAftertouch", "comboBoxCC",     "comboBoxCCX",     "comboBoxCCY",
    "spinMin",         "spinMinX",           "spinMinY",       "spinMax",         "spinMaxX",
    "spinMaxY"};

const char *const labelNames[] = {"labelType",   "labelNoteCC",   "labelMode",       "labelChannel",
                                  "labelColour", "labelColour_2", "labelAftertouch", "labelCC",
                                  "labelCCX",    "labelCCY",      "labelMin",        "labelMinX",
                                  "labelMinY",   "labelMax",      "labelMaxX",       "labelMaxY"};

// Lets posted layout requests run, nested layouts one after the other.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

QList<int> range(int first, int last)
{
    QList<int> list;
    for (int i = first; i <= last; ++i)
        list << i;
    return list;
}

// The widgets under top whose text does not fit where the style draws it, as
// "objectName: text" entries.
QStringList cutCaptions(QWidget *top)
{
    QStringList cut;
    const auto report = [&cut](const QWidget *w, const QString &text) {
        cut << w->objectName() + QStringLiteral(": ") + text;
    };
    for (QLabel *label : top->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(top) || label->text().isEmpty())
            continue;
        const QFontMetrics metrics = label->fontMetrics();
        if (metrics.horizontalAdvance(label->text()) > label->contentsRect().width()
            || metrics.height() > label->contentsRect().height())
            report(label, label->text());
    }
    for (QPushButton *button : top->findChildren<QPushButton *>()) {
        if (!button->isVisibleTo(top))
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->autoDefault() || button->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents,
                                                               &option, button);
        const QFontMetrics metrics = button->fontMetrics();
        if (metrics.horizontalAdvance(button->text()) > contents.width()
            || metrics.height() > contents.height())
            report(button, button->text());
    }
    for (QComboBox *box : top->findChildren<QComboBox *>()) {
        if (!box->isVisibleTo(top))
            continue;
        QStyleOptionComboBox option;
        option.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        // The style draws the text one pixel in from each side of the field.
        for (int i = 0; i < box->count(); ++i) {
            if (box->fontMetrics().horizontalAdvance(box->itemText(i)) > field.width() - 2) {
                report(box, box->itemText(i));
                break;
            }
        }
    }
    for (QSpinBox *box : top->findChildren<QSpinBox *>()) {
        // The style's own size for the widest of its range and its special-value text.
        if (box->isVisibleTo(top) && box->width() < box->sizeHint().width())
            report(box, box->specialValueText());
    }
    return cut;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void headingNamesTheSelection_data();
    void headingNamesTheSelection();
    void noteOrCCRowNeverSharesTheCCCaption_data();
    void noteOrCCRowNeverSharesTheCCCaption();
    void shownRowsKeepTheirHeightAndScroll_data();
    void shownRowsKeepTheirHeightAndScroll();
    void wheelOverAnEditorScrollsThePane_data();
    void wheelOverAnEditorScrollsThePane();
    void captionsFitTheirWidgets_data();
    void captionsFitTheirWidgets();
    void naturalSizeShowsThePictureAtOneToOne();
    void largerFontWidensTheRightColumnOnly();

private:
    void setFontScale(double scale);
    // Opens a new main window; false when it never appears.
    bool openWindow();
    void select(const QList<int> &indices);
    MidiControlModel *model(int index) const
    {
        return window->getMidiController()->getModels()->at(index);
    }

    QFont defaultFont;
    std::unique_ptr<MainWindow> window;
};

void TestLayout::initTestCase()
{
    defaultFont = QApplication::font();
}

void TestLayout::cleanup()
{
    window.reset();
    QApplication::setFont(defaultFont);
}

void TestLayout::setFontScale(double scale)
{
    QFont font = defaultFont;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * scale);
    else
        font.setPixelSize(qRound(font.pixelSize() * scale));
    QApplication::setFont(font);
}

bool TestLayout::openWindow()
{
    window = std::make_unique<MainWindow>(noDevice());
    // At its natural size, as on a screen with room for it.
    window->resize(window->sizeHint());
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

void TestLayout::select(const QList<int> &indices)
{
    for (int index : indices)
        window->selection()->select(index);
    settle();
}

void TestLayout::headingNamesTheSelection_data()
{
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<QString>("heading");

    QTest::newRow("nothing") << QList<int>() << QString();
    QTest::newRow("one pad") << QList<int>{45} << "PAD7";
    QTest::newRow("three knobs, in index order") << QList<int>{18, 16, 17} << "E1, E2, E3";
    QTest::newRow("three of different kinds") << QList<int>{63, 37, 38} << "XY, XFADER, PAD25";
    QTest::newRow("transport") << QList<int>{32, 30, 31} << "STOP, PLAY, RECORD";
    QTest::newRow("four") << QList<int>{0, 15, 29, 36} << "4 controls";
    QTest::newRow("twelve") << range(padFirst, padFirst + 11) << "12 controls";
    QTest::newRow("all") << range(0, 63) << "64 controls";
}

void TestLayout::headingNamesTheSelection()
{
    QFETCH(QList<int>, selection);
    QFETCH(QString, heading);

    QVERIFY(openWindow());
    auto *label = window->findChild<QLabel *>(QStringLiteral("labelSelection"));
    QVERIFY(label);
    select(selection);
    QCOMPARE(label->text(), heading);
    QVERIFY(label->isVisible());

    // Taking a control out again names what is left.
    if (selection.size() == 3) {
        window->selection()->deselect(*std::min_element(selection.begin(), selection.end()));
        QCOMPARE(label->text().count(QStringLiteral(", ")), 1);
    }
}

void TestLayout::noteOrCCRowNeverSharesTheCCCaption_data()
{
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<QList<int>>("padTypes"); // Type of each selected pad, in order
    QTest::addColumn<QString>("caption");

    QTest::newRow("pads on Note") << QList<int>{padFirst, padFirst + 1} << QList<int>{0, 0}
                                  << "Note";
    QTest::newRow("pads on CC") << QList<int>{padFirst, padFirst + 1} << QList<int>{1, 1} << "CC";
    QTest::newRow("pads of both types")
        << QList<int>{padFirst, padFirst + 1} << QList<int>{0, 1} << "Note/CC";
    QTest::newRow("pad on CC and a knob")
        << QList<int>{padFirst, knobE1} << QList<int>{1} << "Note/CC";
    QTest::newRow("pad on Note and a knob")
        << QList<int>{padFirst, knobE1} << QList<int>{0} << "Note/CC";
    QTest::newRow("all controls") << range(0, 63) << QList<int>() << "Note/CC";
}

void TestLayout::noteOrCCRowNeverSharesTheCCCaption()
{
    QFETCH(QList<int>, selection);
    QFETCH(QList<int>, padTypes);
    QFETCH(QString, caption);

    QVERIFY(openWindow());
    int pad = 0;
    for (int index : selection) {
        if (index >= padFirst && pad < padTypes.size())
            model(index)->updateParameter(Type, quint8(padTypes.at(pad++)));
    }
    select(selection);

    auto *noteCC = window->findChild<QLabel *>(QStringLiteral("labelNoteCC"));
    QVERIFY(noteCC->isVisible());
    QCOMPARE(noteCC->text(), caption);
    // No two shown rows read the same.
    QStringList shown;
    for (const char *name : labelNames) {
        auto *label = window->findChild<QLabel *>(name);
        if (label->isVisible())
            shown << label->text();
    }
    QVERIFY(!shown.isEmpty());
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
}

void TestLayout::shownRowsKeepTheirHeightAndScroll_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<int>("scrolls"); // 1: more rows than the pane's height, 0: fewer, -1: either

    for (double scale : {1.0, 1.5}) {
        const QByteArray font = scale == 1.0 ? "default font" : "font x1.5";
        QTest::newRow(font + ", all 64 controls") << scale << range(0, 63) << 1;
        QTest::newRow(font + ", pads and knobs")
            << scale << range(knobE1, knobE1 + 7) + range(padFirst, 63) << -1;
        QTest::newRow(font + ", X-Y pad") << scale << QList<int>{37} << 0;
        QTest::newRow(font + ", one pad") << scale << QList<int>{padFirst} << 0;
    }
}

void TestLayout::shownRowsKeepTheirHeightAndScroll()
{
    QFETCH(double, scale);
    QFETCH(QList<int>, selection);
    QFETCH(int, scrolls);

    setFontScale(scale);
    QVERIFY(openWindow());
    select(selection);

    QList<QWidget *> rows;
    for (const char *name : editorNames) {
        auto *editor = window->findChild<QWidget *>(name);
        QWidget *row = editor->parentWidget();
        if (!editor->isVisible())
            continue;
        QVERIFY2(row->height() >= row->sizeHint().height(), name);
        QVERIFY2(editor->height() >= editor->sizeHint().height(), name);
        rows << row;
    }
    QVERIFY(!rows.isEmpty());

    // Rows run downwards with the same gap between each and the next.
    QSet<int> gaps;
    for (int i = 1; i < rows.size(); ++i)
        gaps << rows[i]->y() - (rows[i - 1]->y() + rows[i - 1]->height());
    QVERIFY2(gaps.size() <= 1, qPrintable(QString::number(gaps.size()) + " different gaps"));
    if (!gaps.isEmpty())
        QVERIFY(*gaps.begin() >= 0);

    // Each can be scrolled into full view.
    auto *scroll = window->findChild<QScrollArea *>();
    QVERIFY(scroll);
    QWidget *viewport = scroll->viewport();
    if (scrolls >= 0)
        QCOMPARE(scroll->widget()->height() > viewport->height(), scrolls == 1);
    for (QWidget *row : qAsConst(rows)) {
        scroll->ensureWidgetVisible(row, 0, 0);
        const QRect inViewport(row->mapTo(viewport, QPoint(0, 0)), row->size());
        QVERIFY2(viewport->rect().contains(inViewport), qPrintable(row->objectName()));
    }
}

void TestLayout::wheelOverAnEditorScrollsThePane_data()
{
    QTest::addColumn<QString>("editor");
    QTest::newRow("combo box") << "comboBoxChannel";
    QTest::newRow("spin box") << "spinMax";
}

void TestLayout::wheelOverAnEditorScrollsThePane()
{
    QFETCH(QString, editor);

    QVERIFY(openWindow());
    select(range(0, 63));
    auto *scroll = window->findChild<QScrollArea *>();
    QVERIFY(scroll);
    QScrollBar *bar = scroll->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum() / 2);
    const int position = bar->value();
    auto *target = window->findChild<QWidget *>(editor);
    const auto patch = [this] {
        return QByteArray(
            reinterpret_cast<const char *>(window->getMidiController()->getType1Sysex()), 348);
    };
    const QByteArray before = patch();
    const auto turnWheelDown = [target] {
        const QPointF centre = QRectF(target->rect()).center();
        QWheelEvent wheel(centre, QPointF(target->mapToGlobal(centre.toPoint())), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };

    // Passing over it: the pane moves, all 64 controls keep their values.
    turnWheelDown();
    QCOMPARE(patch(), before);
    QVERIFY(bar->value() > position);
    QVERIFY(!target->hasFocus());

    // Clicked into, the editor takes the wheel as a user would expect.
    QApplication::setActiveWindow(window.get());
    target->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(target->hasFocus());
    const int scrolled = bar->value();
    turnWheelDown();
    QVERIFY(patch() != before);
    QCOMPARE(bar->value(), scrolled);
}

void TestLayout::captionsFitTheirWidgets_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("updater");

    QTest::newRow("default font, main window") << 1.0 << false;
    QTest::newRow("default font, updater") << 1.0 << true;
    QTest::newRow("font x1.5, main window") << 1.5 << false;
    QTest::newRow("font x1.5, updater") << 1.5 << true;
}

void TestLayout::captionsFitTheirWidgets()
{
    QFETCH(double, scale);
    QFETCH(bool, updater);

    setFontScale(scale);
    QVERIFY(openWindow());
    QWidget *top = window.get();
    QTemporaryDir dir;
    if (updater) {
        auto *dialog = window->findChild<UpdateDialog *>();
        top = dialog;
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        // The name of the file loaded.
        const QString path = dir.filePath(QStringLiteral("vellichord-firmware-1.4.2.hex"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("00 05 01 02 03 FA FF");
        file.close();
        QVERIFY(dialog->load_update_binary(path));
        QVERIFY(!dialog->findChild<QLabel *>(QStringLiteral("label_filename"))->text().isEmpty());
    } else {
        // Every row shown, a value differing, and the longest captions of the Note/CC row.
        model(knobE1)->updateParameter(Max, 5);
        select(range(0, 63));
    }
    settle();
    const QStringList cut = cutCaptions(top);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
}

void TestLayout::naturalSizeShowsThePictureAtOneToOne()
{
    // A font small enough for the longest controller name in the pane's original width.
    QFont small = defaultFont;
    small.setPixelSize(7);
    QApplication::setFont(small);
    QVERIFY(openWindow());
    // The picture at 1:1 in the top left corner, the pane beside it.
    auto *view = window->findChild<QGraphicsView *>();
    QCOMPARE(view->geometry(), QRect(0, 0, 640, 540));
    QCOMPARE(view->transform(), QTransform());
    QCOMPARE(window->findChild<QWidget *>(QStringLiteral("widgetRightPane"))->x(), 650);
    const QStringList cut = cutCaptions(window.get());
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
}

void TestLayout::largerFontWidensTheRightColumnOnly()
{
    QVERIFY(openWindow());
    const QSize normal = window->size();
    const QPoint origin = window->findChild<QGraphicsView *>()->mapFromScene(QPointF(0, 0));
    window.reset();
    setFontScale(1.5);
    QVERIFY(openWindow());
    const QSize large = window->size();

    QVERIFY(large.width() > normal.width());
    QVERIFY(large.height() >= normal.height());
    // The picture with its control rectangles as it was.
    auto *view = window->findChild<QGraphicsView *>();
    QCOMPARE(view->geometry(), QRect(0, 0, 640, 540));
    QCOMPARE(view->mapFromScene(QPointF(0, 0)), origin);
    QCOMPARE(view->transform(), QTransform());
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
