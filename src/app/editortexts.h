#pragma once

#include <QCoreApplication>
#include <QString>

// Shown by an editor for a parameter whose value differs among the selected controls.
inline QString multiValueText()
{
    return QCoreApplication::translate("EditorPane", "<multi>");
}
