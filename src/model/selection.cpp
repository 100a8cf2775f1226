#include "selection.h"

#include "controltable.h"

Selection::Selection(QObject *parent)
    : QObject(parent)
{
}

void Selection::setMode(Mode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    emit modeChanged(mode);
}

void Selection::select(int control)
{
    if (control < 0 || control >= ControlTable::count || selected.contains(control))
        return;
    selected.append(control);
    emit changed();
}

void Selection::deselect(int control)
{
    if (selected.removeAll(control) > 0)
        emit changed();
}

void Selection::toggle(int control)
{
    if (selected.contains(control))
        deselect(control);
    else
        select(control);
}

void Selection::set(const QList<int> &controls)
{
    QList<int> wanted;
    for (int control : controls) {
        if (control >= 0 && control < ControlTable::count && !wanted.contains(control))
            wanted.append(control);
    }
    if (wanted == selected)
        return;
    selected = wanted;
    emit changed();
}

void Selection::clear()
{
    set({});
}
