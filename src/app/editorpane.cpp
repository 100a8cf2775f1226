#include "editorpane.h"

#include "controlnames.h"
#include "controltable.h"
#include "editortexts.h"
#include "parameterinfo.h"
#include "rangespinbox.h"
#include "selectionparameters.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace {

// Gives box exactly these entries. A box that has them already keeps them: after every patch
// the boxes are filled anew, and making 128 entries costs far more than comparing them.
void setEntries(QComboBox *box, const QStringList &entries)
{
    if (box->count() == entries.size()) {
        int same = 0;
        while (same < entries.size() && box->itemText(same) == entries.at(same))
            ++same;
        if (same == entries.size())
            return;
    }
    box->clear();
    box->addItems(entries);
}

// The rows top to bottom, with the names their widgets are found by.
struct RowNames
{
    ParameterId id;
    const char *row;
    const char *label;
    const char *editor;
};
const RowNames rowNames[] = {
    {Type, "widgetType", "labelType", "comboBoxType"},
    {NoteOrCC, "widgetNoteOrCC", "labelNoteCC", "comboBoxNoteOrCC"},
    {Toggle, "widgetToggle", "labelMode", "comboBoxToggle"},
    {Channel, "widgetChannel", "labelChannel", "comboBoxChannel"},
    {Colour, "widgetColour", "labelColour", "comboBoxColour"},
    {ColourF, "widgetColourF", "labelColour_2", "comboBoxColourF"},
    {Aftertouch, "widgetAftertouch", "labelAftertouch", "comboBoxAftertouch"},
    {CC, "widgetCC", "labelCC", "comboBoxCC"},
    {CCX, "widgetCCX", "labelCCX", "comboBoxCCX"},
    {CCY, "widgetCCY", "labelCCY", "comboBoxCCY"},
    {Min, "widgetMin", "labelMin", "spinMin"},
    {MinX, "widgetMinX", "labelMinX", "spinMinX"},
    {MinY, "widgetMinY", "labelMinY", "spinMinY"},
    {Max, "widgetMax", "labelMax", "spinMax"},
    {MaxX, "widgetMaxX", "labelMaxX", "spinMaxX"},
    {MaxY, "widgetMaxY", "labelMaxY", "spinMaxY"},
};

// Passes wheel turns over editors without focus to the scroll area around them, so that
// scrolling the pane never changes the value of every selected control on the way.
class WheelToPane : public QObject
{
public:
    WheelToPane(QAbstractScrollArea *area, QObject *parent)
        : QObject(parent)
        , area(area)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget *>(watched)->hasFocus())
            return false;
        QCoreApplication::sendEvent(area->verticalScrollBar(), event);
        return true;
    }

private:
    QAbstractScrollArea *area;
};

int widestText(const QFontMetrics &metrics, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest;
}

// The width a combo box needs to show a text of textWidth in its edit field. The style draws
// the text one pixel in from each side of the field.
int comboWidthFor(QComboBox *box, int textWidth)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = QRect(0, 0, 200, box->sizeHint().height());
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    return textWidth + 2 + (option.rect.width() - field.width());
}

// The value that the selected controls having the parameter agree on, -1 when none has it or
// two differ.
int sharedValue(const QList<MidiControlModel *> &models, ParameterId id)
{
    const std::optional<unsigned char> value = SelectionParameters::commonValue(models, {id});
    return value ? int(*value) : -1;
}

} // namespace

QWidget *EditorPane::Row::editor() const
{
    return combo ? static_cast<QWidget *>(combo) : spin;
}

EditorPane::EditorPane(QStringList controllerNames, QStringList noteNames, QWidget *parent)
    : QWidget(parent)
    , controllerNames(std::move(controllerNames))
    , noteNames(std::move(noteNames))
{
    setObjectName(QStringLiteral("editorPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    heading = new QLabel(this);
    heading->setObjectName(QStringLiteral("labelSelection"));
    heading->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollAreaEditorPane"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll);

    rowsWidget = new QWidget;
    rowsWidget->setObjectName(QStringLiteral("widgetEditorPane"));
    auto *rowsLayout = new QVBoxLayout(rowsWidget);
    rowsLayout->setSpacing(6);
    rowsLayout->setSizeConstraint(QLayout::SetMinimumSize);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    for (const RowNames &names : rowNames)
        addRow(names.id, names.row, names.label, names.editor);
    rowsLayout->addStretch();
    scroll->setWidget(rowsWidget);

    fitToFont();
    // A wheel turned over the pane scrolls it; it changes an editor only after a click into it.
    auto *wheelToPane = new WheelToPane(scroll, this);
    for (QWidget *editor : editors()) {
        editor->setFocusPolicy(Qt::StrongFocus);
        editor->installEventFilter(wheelToPane);
    }
    refresh({});
}

EditorPane::~EditorPane()
{
    // An editor losing the focus as the widgets go would otherwise report an edit to a pane
    // that is half gone.
    for (QWidget *editor : editors())
        disconnect(editor, nullptr, this, nullptr);
}

void EditorPane::addRow(ParameterId id, const char *rowName, const char *labelName,
                        const char *editorName)
{
    const ParameterInfo::Info &info = ParameterInfo::of(id);
    Row row;
    row.id = id;
    row.row = new QWidget(rowsWidget);
    row.row->setObjectName(QLatin1String(rowName));
    row.row->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(row.row);
    layout->setSpacing(6);
    layout->setContentsMargins(0, 0, 0, 0);
    row.label = new QLabel(ParameterInfo::shownCaption(id), row.row);
    row.label->setObjectName(QLatin1String(labelName));
    row.label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    layout->addWidget(row.label);

    if (info.values == ParameterInfo::Values::Number) {
        row.spin = new RangeSpinBox(row.row);
        row.spin->setRange(info.min, info.max);
        row.spin->setValue(info.initial);
        // Typed digits reach the models only when the edit is finished; steps at once.
        row.spin->setKeyboardTracking(false);
        connect(row.spin, &RangeSpinBox::tookMaximumFor, this, [this, id](int typed) {
            const RangeSpinBox *box = rowOf(id).spin;
            emit statusMessage(tr("%1: %2 is out of range (allowed: %3..%4); %4 is set")
                                   .arg(ParameterInfo::shownCaption(id))
                                   .arg(typed)
                                   .arg(std::max(box->minimum(), 0))
                                   .arg(box->maximum()));
        });
        connect(row.spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                [this, id](int value) { spinChanged(rowOf(id), value); });
    } else {
        row.combo = new QComboBox(row.row);
        row.items = ParameterInfo::shownValueNames(id, controllerNames);
        row.combo->addItems(row.items);
        connect(row.combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, id](int index) { comboChosen(rowOf(id), index); });
    }
    row.editor()->setObjectName(QLatin1String(editorName));
    row.editor()->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row.editor()->setEnabled(false);
    // The caption labels its editor for screen readers, and follows the Note/CC row's changes.
    row.label->setBuddy(row.editor());
    layout->addWidget(row.editor());
    rowsWidget->layout()->addWidget(row.row);
    rows.append(row);
}

const EditorPane::Row &EditorPane::rowOf(ParameterId id) const
{
    for (const Row &row : rows) {
        if (row.id == id)
            return row;
    }
    Q_UNREACHABLE();
}

QList<QWidget *> EditorPane::editors() const
{
    QList<QWidget *> list;
    for (const Row &row : rows)
        list << row.editor();
    return list;
}

// Sizes come from the font rather than from fixed numbers, so that no caption, item or value
// is cut off with a larger font. The longest controller name sets the width of the editors.
void EditorPane::fitToFont()
{
    // One column of captions, wide enough for the Note/CC row's other captions as well.
    QStringList captions = {ParameterInfo::shownNoteOrCcCaption(true),
                            ParameterInfo::shownNoteOrCcCaption(false),
                            ParameterInfo::shownNoteOrCcCaption(std::nullopt)};
    for (const Row &row : qAsConst(rows))
        captions << row.label->text();
    const int labelWidth = widestText(rowOf(Type).label->fontMetrics(), captions);
    for (const Row &row : qAsConst(rows))
        row.label->setMinimumWidth(labelWidth);

    QStringList items = noteNames;
    items << multiValueText();
    for (const Row &row : qAsConst(rows))
        items += row.items;
    // Overlong names in a name file must not push the window off the screen; the list that
    // drops down still shows them whole.
    QComboBox *ccBox = rowOf(CC).combo;
    const QFontMetrics metrics = ccBox->fontMetrics();
    const int textWidth = std::min(widestText(metrics, items), 50 * metrics.averageCharWidth());
    int editorWidth = comboWidthFor(ccBox, textWidth);
    for (const Row &row : qAsConst(rows)) {
        if (!row.spin)
            continue;
        // A spin box sizes itself for its range and its special-value text.
        QSpinBox *box = row.spin;
        const QSignalBlocker blocker(box);
        const QString special = box->specialValueText();
        const int minimum = box->minimum();
        box->setSpecialValueText(multiValueText());
        box->setMinimum(-1);
        editorWidth = std::max(editorWidth, box->sizeHint().width());
        box->setMinimum(minimum);
        box->setSpecialValueText(special);
    }
    for (const Row &row : qAsConst(rows))
        row.editor()->setMinimumWidth(editorWidth);

    // The pane scrolls up and down only: it is as wide as its widest row and a scroll bar.
    int rowWidth = 0;
    for (const Row &row : qAsConst(rows))
        rowWidth = std::max(rowWidth, row.row->minimumSizeHint().width());
    scroll->setMinimumWidth(rowWidth + scroll->verticalScrollBar()->sizeHint().width()
                            + 2 * scroll->frameWidth());

    // The heading names up to three controls; it must never widen the window while it runs.
    QStringList names = ControlNames::all();
    QList<int> all;
    for (int i = 0; i < ControlTable::count; ++i)
        all << i;
    const QFontMetrics headingMetrics = heading->fontMetrics();
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return headingMetrics.horizontalAdvance(a) > headingMetrics.horizontalAdvance(b);
    });
    const QString widestHeading = names.mid(0, 3).join(QStringLiteral(", "));
    heading->setMinimumWidth(
        widestText(headingMetrics, {widestHeading, ControlNames::describe(all)}));
}

void EditorPane::show(const QList<int> &selected, const ControlTable &controls)
{
    QList<MidiControlModel *> models;
    for (const int index : selected) {
        if (MidiControlModel *model = controls.at(index))
            models << model;
    }
    refresh(models);
    heading->setText(ControlNames::describe(selected));
}

void EditorPane::refresh(const QList<MidiControlModel *> &models)
{
    SelectionParameters parameters;
    const QList<unsigned int> present = parameters.collect(models);
    for (const Row &row : qAsConst(rows)) {
        if (row.spin)
            refreshSpinBox(models, row, present.contains(row.id));
    }
    for (const Row &row : qAsConst(rows)) {
        if (row.combo)
            refreshComboBox(models, row, present.contains(row.id));
    }

    switchNoteCCLabels(rowOf(Type).combo->currentIndex());
    // The number box was filled with the controller names first and with the names of the
    // type after; a number past the end of a short controller-name file is lost on the way.
    // Once the list fits the type, the number is shown again (a mixed selection shows none).
    QComboBox *number = rowOf(NoteOrCC).combo;
    const int value = sharedValue(models, NoteOrCC);
    if (number->isEnabled() && value >= 0) {
        const QSignalBlocker blocker(number);
        number->setCurrentIndex(value);
    }

    // A row without its editor takes no room, so the shown rows stay evenly spaced.
    for (const Row &row : qAsConst(rows))
        row.row->setVisible(!row.editor()->isHidden());
}

void EditorPane::refreshSpinBox(const QList<MidiControlModel *> &models, const Row &row,
                                bool present)
{
    // Only the controls that have the parameter count, wherever they stand in the selection.
    int minimum = 0;
    for (const MidiControlModel *model : models) {
        if (const ControlParameter *p = model->getParameter(row.id)) {
            minimum = p->min();
            break;
        }
    }
    if (!present) {
        resetSpinBox(row, minimum, false);
        return;
    }

    QSpinBox *box = row.spin;
    const QSignalBlocker blocker(box);
    const int value = sharedValue(models, row.id);
    if (value >= 0) {
        box->setSpecialValueText(QString());
        box->setMinimum(minimum);
        box->setValue(value);
    } else {
        // A spin box shows its special-value text while its value equals its minimum.
        box->setSpecialValueText(multiValueText());
        box->setMinimum(minimum - 1);
        box->setValue(minimum - 1);
    }
    box->setEnabled(true);
    box->setVisible(true);
    row.label->setVisible(true);
}

void EditorPane::refreshComboBox(const QList<MidiControlModel *> &models, const Row &row,
                                 bool present)
{
    if (!present) {
        resetComboBox(row, false);
        return;
    }

    QComboBox *box = row.combo;
    const QSignalBlocker blocker(box);
    setEntries(box, row.items);
    const int value = sharedValue(models, row.id);
    if (value >= 0) {
        box->setCurrentIndex(value);
    } else {
        box->addItem(multiValueText());
        box->setCurrentIndex(box->count() - 1);
    }
    box->setEnabled(true);
    box->setVisible(true);
    row.label->setVisible(true);
}

void EditorPane::resetSpinBox(const Row &row, int minimum, bool shown)
{
    QSpinBox *box = row.spin;
    const bool wasBlocked = box->blockSignals(true);
    box->setSpecialValueText(QString());
    box->setMinimum(minimum);
    box->setVisible(shown);
    row.label->setVisible(shown);
    box->setEnabled(shown);
    box->blockSignals(wasBlocked);
}

void EditorPane::resetComboBox(const Row &row, bool shown)
{
    // Drops the "<multi>" item and keeps the index the user picked.
    QComboBox *box = row.combo;
    const bool wasBlocked = box->blockSignals(true);
    const int index = box->currentIndex();
    setEntries(box, row.items);
    box->setCurrentIndex(index);
    box->setVisible(shown);
    box->setEnabled(shown);
    row.label->setVisible(shown);
    box->blockSignals(wasBlocked);
}

void EditorPane::spinChanged(const Row &row, int value)
{
    if (!row.spin->specialValueText().isEmpty())
        resetSpinBox(row, 0, row.spin->isEnabled());
    emit edited(row.id, value);
}

void EditorPane::comboChosen(const Row &row, int index)
{
    resetComboBox(row, row.combo->isEnabled());
    if (row.id == NoteOrCC)
        switchNoteCCLabels(rowOf(Type).combo->currentIndex());
    emit edited(row.id, index);
    if (row.id == NoteOrCC) {
        // Every holder now has the number chosen; it is shown in the names of the type.
        const QSignalBlocker blocker(row.combo);
        row.combo->setCurrentIndex(std::clamp(index, 0, 255));
    } else if (row.id == Type) {
        // The names follow the type the models now hold.
        switchNoteCCLabels(index);
    }
}

void EditorPane::switchNoteCCLabels(int type)
{
    // Only the names change; the number stays.
    const Row &row = rowOf(NoteOrCC);
    QComboBox *box = row.combo;
    const bool wasBlocked = box->blockSignals(true);
    const int current = box->currentIndex();
    // Numbers that differ keep their marker through the change of names.
    const bool mixed = box->currentText() == multiValueText();
    const bool note = type == 0;
    // Beside the controllers' own CC row, or for pads of both types, the row keeps its full
    // name, so that no two rows read "CC".
    const bool bothTypes = type != 0 && type != 1;
    if (bothTypes || !rowOf(CC).combo->isHidden())
        row.label->setText(ParameterInfo::shownNoteOrCcCaption(std::nullopt));
    else
        row.label->setText(ParameterInfo::shownNoteOrCcCaption(note));
    setEntries(box, note ? noteNames : controllerNames);
    if (mixed) {
        box->addItem(multiValueText());
        box->setCurrentIndex(box->count() - 1);
    } else {
        box->setCurrentIndex(current);
    }
    box->blockSignals(wasBlocked);
}

bool EditorPane::focusFirstEditor()
{
    for (QWidget *editor : editors()) {
        if (editor->isVisibleTo(rowsWidget) && editor->isEnabled()) {
            editor->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return false;
}
