#pragma once

#include "controltable.h"
#include "patch.h"
#include "patchlayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Patches for the library's tests, each told apart by its name and a channel.
// A Type 1 patch for presetNo.
inline QByteArray patchFor(int presetNo, const QString &name)
{
    Patch patch;
    patch.setName(name);
    patch.controls().at(presetNo % ControlTable::count)->updateParameter(Channel, uchar(presetNo));
    QByteArray message = patch.toType1();
    message[PatchLayout::presetNoOffset] = char(presetNo);
    return message;
}

// A library file's bytes: a patch named "file N" for each preset number N, in the order given.
inline QByteArray setOf(const QList<int> &presetNos)
{
    QByteArray data;
    for (const int presetNo : presetNos)
        data += patchFor(presetNo, QStringLiteral("file %1").arg(presetNo));
    return data;
}
