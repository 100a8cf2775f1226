#pragma once

#include "patchcheck.h"

#include <QByteArray>
#include <QGraphicsView>
#include <QList>
#include <QStringList>

#include <array>

class ControlTable;
class MidiControlItem;
class QGraphicsEllipseItem;
class QGraphicsPixmapItem;
class PanelDisplay;
class QGraphicsScene;
class QAbstractButton;
class Selection;

// The device's front panel: the picture, a selectable rectangle over each of the 64 controls,
// the display, and the keyboard's cursor over them. It draws what the patch it is shown holds
// (light colours, assignments, the display's lines; tooltips when they are asked for) and
// keeps its items' selection
// in step with a Selection, both ways: a click, a band or a key changes the Selection, and a
// change of the Selection is drawn. In Select Multi a click toggles and a band selects
// (MultiSelection). The picture fills the panel's room at the largest scale that keeps its
// aspect ratio, items, display and labels scaled with it.
class FrontPanel : public QGraphicsView
{
    Q_OBJECT

public:
    explicit FrontPanel(QWidget *parent = nullptr);

    // The selection the panel shows and changes; set once, before the panel is used.
    void setSelection(Selection *selection);
    // The buttons that choose the selection mode: each checked while its mode is in force; a
    // click on the one of the mode in force, which unchecks it, checks it again.
    void setModeButtons(QAbstractButton *single, QAbstractButton *multi);
    // The controller names the tooltips use, line k of the name file naming controller k.
    void setControllerNames(const QStringList &names) { controllerNames = names; }
    // The tooltip of control: its name and every parameter as the shown table holds them now;
    // empty before a patch is shown. Built when a tooltip is asked for, never kept.
    QString controlToolTip(int control) const;
    // What control sends, as a screen reader says it: "Note E2 (52), Ch 10, Toggle, Blue";
    // empty before a patch is shown.
    QString controlDescription(int control) const;
    // As a click on control: it becomes the selection, or in Select Multi it is toggled; the
    // keyboard goes on from it.
    void pressControl(int control);

    MidiControlItem *item(int control) const { return items.at(control); }
    PanelDisplay *display() const { return panelDisplay; }
    // The control the keyboard's cursor is on, -1 before the panel had focus or a click.
    int keyboardCursor() const { return keyCursor; }
    // How long flash() rings a control, and whether it rings now.
    static constexpr int flashMs = 300;
    bool isFlashing(int control) const;

    // The smallest the picture is drawn, as a share of its own size.
    static constexpr qreal minimumScale = 0.5;
    // The picture at 1:1 and the frame round it.
    QSize sizeHint() const override;
    // The picture at minimumScale and the frame round it.
    QSize minimumSizeHint() const override;

public slots:
    // Draws the patch: the colours and assignments of the controls, and the display's preset,
    // name and selected control. Only what differs from the patch drawn last is drawn again.
    // The table is read again whenever the selection changes or a tooltip is asked for, so it
    // must live as long as the panel.
    void showPatch(const ControlTable &controls, int presetNumber, const QString &presetName);
    // Marks these controls as holding values the device does not have yet, and no others.
    void setUnsent(const QList<int> &controls);
    // While set, the display's name line says that no device was found.
    void setNoDeviceFound(bool noDevice);
    // Rings control for flashMs, to show which control a touch on the device found; a flash
    // under way starts again.
    void flash(int control);
    // Marks the controls that the patch check's findings concern, and no others; each
    // finding's reason goes into the tooltips of its controls.
    void setCheckFindings(const QList<PatchCheck::Finding> &findings);

signals:
    // A right click on control; the menu belongs at globalPosition.
    void contextMenuRequested(int control, const QPoint &globalPosition);
    // Enter or Return while the panel has focus: the editors are to take over.
    void enterPressed();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Scales the view so that the picture fills the viewport, and shows the picture painted
    // for the device pixels it now covers.
    void fitPicture();
    bool handleKey(const QKeyEvent *event);
    void moveKeyCursor(int control);
    void selectionChanged();
    void modeChanged();
    void refreshDisplay();
    // The control the display shows, the one selected; -1 for none.
    int displayedControl() const;
    // The control whose rectangle holds the viewport point, -1 for none.
    int controlAt(const QPoint &viewportPoint) const;

    QGraphicsScene *panelScene;
    QGraphicsPixmapItem *picture = nullptr;
    QString picturePainted; // the resource the picture shows
    std::array<MidiControlItem *, 64> items{};
    PanelDisplay *panelDisplay;
    Selection *selection = nullptr;
    const ControlTable *controls = nullptr;
    // The parameter bytes of the patch drawn last, at their addresses in the patch message,
    // and the channel its assignments left out; empty and -1 before the first patch.
    QByteArray drawnValues;
    int drawnChannel = -1;
    QStringList controllerNames;
    int presetNumber = 0;
    QString presetName;
    bool noDeviceFound = false;
    int keyCursor = -1;
    // The controls drawn selected, in index order, as screen readers were last told.
    QList<int> announcedSelection;
    // The rings of flash(), made on a control's first flash; each flash counts up, so that
    // only the timer of the latest one hides its ring.
    std::array<QGraphicsEllipseItem *, 64> flashRings{};
    std::array<int, 64> flashCounts{};
    QList<PatchCheck::Finding> checkFindings;
};
