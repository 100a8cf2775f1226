#pragma once

#include <QList>
#include <QObject>

// The selected controls, by index, in the order they were selected and without repeats, and
// how a click selects (one control, or one more). The one place that answers "what is
// selected": the front panel, the editor pane, the menus, numbering and the keyboard ask it.
class Selection : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Single, Multi };

    explicit Selection(QObject *parent = nullptr);

    QList<int> indices() const { return selected; }
    bool contains(int control) const { return selected.contains(control); }
    bool isEmpty() const { return selected.isEmpty(); }
    int size() const { return int(selected.size()); }

    Mode mode() const { return m_mode; }
    bool isMulti() const { return m_mode == Mode::Multi; }
    void setMode(Mode mode);

    // Adds control at the end; a control already selected keeps its place.
    void select(int control);
    void deselect(int control);
    void toggle(int control);
    // Exactly these controls, in this order (repeats and indices outside 0..63 dropped).
    void set(const QList<int> &controls);
    void clear();

signals:
    // After every change of the selected controls, not for a call that changes nothing.
    void changed();
    void modeChanged(Selection::Mode mode);

private:
    QList<int> selected;
    Mode m_mode = Mode::Single;
};
