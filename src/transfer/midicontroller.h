#pragma once

#include "controltable.h"
#include "patchlayout.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

// Holds the patch: the preset name and number and the 64 control models. Builds the Type 1
// message the device takes, applies the Type 2 message it answers with, and keeps patch files.
class MidiController : public QObject
{
    Q_OBJECT

public:
    MidiController();

    // Builds the Type 1 message in the controller's own buffer and returns it. The buffer is
    // reused by the next build.
    const unsigned char *getType1Sysex();

    // Applies a patch message (Type 2 from the device, or Type 1 from a file) to the name, the
    // preset number and the models, then emits modelUpdated. Returns false, changing nothing,
    // for a message shorter than the patch or of another kind.
    bool parseType2Message(const QByteArray &message);

    // Applies the patch file; the editor's preset number is kept. False when the file cannot be
    // read or does not hold a patch; nothing changes then.
    bool loadSysex(const QString &fileName);

    // Writes the current patch as a file. The previous file stays whole if writing fails.
    bool saveSysex(const QString &fileName);

    QString getPresetName() const { return presetName; }
    char getPresetNo() const;
    ControlTable *getModels() { return &models; }

signals:
    void modelUpdated();

public slots:
    void setPresetName(const QString &name);
    void setPresetNo(int presetNo);

private:
    QString presetName;
    int presetNo = 0;
    ControlTable models;
    std::array<unsigned char, PatchLayout::length> type1Message{};
};
