#include "emulateddevice.h"

#include "controltable.h"
#include "parameterid.h"
#include "patchfile.h"
#include "patchlayout.h"
#include "sysextext.h"

namespace {

QString hexByte(unsigned char byte)
{
    return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, '0');
}

QString statusMeaning(unsigned char status)
{
    switch (status) {
    case EmulatedDevice::statusReset:
        return QStringLiteral("must be reset first");
    case EmulatedDevice::statusOk:
        return QStringLiteral("record accepted");
    case EmulatedDevice::statusCrc:
        return QStringLiteral("record damaged");
    case EmulatedDevice::statusCode:
        return QStringLiteral("error in the update file");
    case EmulatedDevice::statusLen:
        return QStringLiteral("bad record length");
    case EmulatedDevice::statusReady:
        return QStringLiteral("ready for the update");
    case EmulatedDevice::statusDone:
        return QStringLiteral("update complete, resetting");
    default:
        return QStringLiteral("unknown");
    }
}

QByteArray statusMessage(unsigned char status)
{
    return QByteArray("\xF0", 1) + char(status) + '\xF7';
}

bool isPatchMessage(const QByteArray &message)
{
    return message.size() == int(PatchLayout::length)
        && quint8(message[0]) == PatchLayout::sysexStart
        && quint8(message[PatchLayout::endOffset]) == PatchLayout::sysexEnd;
}

quint8 kindOf(const QByteArray &message)
{
    return quint8(message[PatchLayout::kindOffset]);
}

} // namespace

EmulatedDevice::EmulatedDevice(const QByteArray &patch)
{
    startWith(patch);
}

void EmulatedDevice::startWith(const QByteArray &message)
{
    for (int presetNo = 0; presetNo < presetCount; ++presetNo) {
        memories[presetNo] = message;
        memories[presetNo][PatchLayout::kindOffset] = char(PatchLayout::kindType2);
        memories[presetNo][PatchLayout::presetNoOffset] = char(presetNo);
    }
    hold(message);
}

void EmulatedDevice::hold(const QByteArray &message)
{
    patch = message;
    patch[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
    const int presetNo = quint8(patch[PatchLayout::presetNoOffset]);
    current = presetNo < presetCount ? presetNo : -1;
    if (current >= 0)
        memories[current] = patch;
}

bool EmulatedDevice::selectPreset(int presetNo)
{
    if (presetNo < 0 || presetNo >= presetCount)
        return false;
    current = presetNo;
    patch = memories[presetNo];
    return true;
}

QList<QByteArray> EmulatedDevice::presetMessages() const
{
    QList<QByteArray> messages;
    for (QByteArray message : memories) {
        message[PatchLayout::kindOffset] = char(PatchLayout::kindType1);
        messages << message;
    }
    return messages;
}

void EmulatedDevice::loadPresets(const QList<QByteArray> &messages)
{
    for (QByteArray message : messages) {
        const int presetNo = quint8(message[PatchLayout::presetNoOffset]);
        if (!isPatchMessage(message) || presetNo >= presetCount)
            continue;
        message[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
        memories[presetNo] = message;
    }
    if (current >= 0)
        patch = memories[current];
}

QByteArray EmulatedDevice::defaultPatch()
{
    QByteArray message(PatchLayout::length, '\0');
    message.replace(0, 9, QByteArray::fromHex("f0000000007f630251"));
    message.replace(PatchLayout::nameOffset, PatchLayout::nameLength, "tarvelvellichord");
    const ControlTable table;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            message[int(p.address())] = char(p.value());
            if (i == ControlTable::xyPadIndex && p.id() == ParameterId::Channel)
                message[int(ControlTable::xyPadXChannelAddress)] = char(p.value());
        }
    }
    message[PatchLayout::endOffset] = char(PatchLayout::sysexEnd);
    return message;
}

QByteArray EmulatedDevice::patchRequest()
{
    return QByteArray::fromHex("f0000000007f620000f7");
}

QByteArray EmulatedDevice::updateCode()
{
    return '\xF0' + QByteArray("Qk8vR2x") + '\xF7';
}

bool EmulatedDevice::isDataFrame(const QByteArray &message)
{
    if (message.size() < 4 || message.size() % 2 != 0 || quint8(message[0]) != 0xF0
        || quint8(message[message.size() - 1]) != 0xF7)
        return false;
    for (int i = 1; i < message.size() - 1; ++i) {
        const char c = message[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

QString EmulatedDevice::describe(const QByteArray &message)
{
    const QString size = QStringLiteral(" (%1 bytes)").arg(message.size());
    if (message == patchRequest())
        return QStringLiteral("patch request") + size;
    if (message == updateCode())
        return QStringLiteral("update code") + size;
    if (message.size() == 3 && quint8(message[0]) == 0xF0 && quint8(message[2]) == 0xF7)
        return QStringLiteral("status %1, %2")
                   .arg(hexByte(quint8(message[1])), statusMeaning(quint8(message[1])))
            + size;
    if (isPatchMessage(message)
        && (kindOf(message) == PatchLayout::kindType1
            || kindOf(message) == PatchLayout::kindType2)) {
        const QByteArray field = message.mid(PatchLayout::nameOffset, PatchLayout::nameLength);
        const int end = field.indexOf('\0');
        // One arg() call: a name may hold "%1" itself. Printed on a terminal: a name must not
        // be able to act on it.
        return QStringLiteral("Type %1 patch \"%2\", preset %3")
                   .arg(QString::number(kindOf(message) == PatchLayout::kindType1 ? 1 : 2),
                        printable_text(QString::fromLatin1(end < 0 ? field : field.left(end))),
                        QString::number(quint8(message[PatchLayout::presetNoOffset])))
            + size;
    }
    if (isDataFrame(message))
        return QStringLiteral("data frame of %1 image bytes").arg((message.size() - 2) / 2) + size;
    if (!message.isEmpty() && quint8(message[0]) == 0xF0)
        return QStringLiteral("other SysEx message") + size;
    return QStringLiteral("message that is not SysEx") + size;
}

QList<QByteArray> EmulatedDevice::receive(const QByteArray &message)
{
    QList<QByteArray> answers;
    if (message == patchRequest()) {
        answerRequest(answers);
    } else if (isPatchMessage(message) && kindOf(message) == PatchLayout::kindType1) {
        ++patchesReceived;
        if (ignorePatchEvery > 0 && patchesReceived % ignorePatchEvery == 0)
            tell(QStringLiteral("ignored patch: ") + describe(message));
        else
            hold(message);
    } else if (message == updateCode()) {
        // Each handshake starts a new update.
        pendingRecord.clear();
        image.clear();
        lastRecord.clear();
        lastRecordAnswerDropped = false;
        if (statusAnswer != 0)
            answerStatus(statusAnswer, answers);
    } else if (isDataFrame(message)) {
        takeFrame(message, answers);
    }
    return answers;
}

bool EmulatedDevice::loadPatchFile(const QString &path, QString *error)
{
    QByteArray bytes;
    const PatchFileFault fault = read_patch_file(path, &bytes);
    if (fault != PatchFileFault::None) {
        *error = QStringLiteral("cannot load the patch file %1: %2")
                     .arg(printable_text(path), patch_file_fault_text(fault));
        return false;
    }
    startWith(bytes);
    return true;
}

void EmulatedDevice::answerRequest(QList<QByteArray> &answers)
{
    switch (reply) {
    case Reply::Patch:
        answer(patch, answers);
        break;
    case Reply::Nothing:
        break;
    case Reply::Truncated:
        answer(patch.left(100) + '\xF7', answers);
        break;
    case Reply::OtherKind: {
        QByteArray other = patch;
        other[PatchLayout::kindOffset] = char(PatchLayout::kindRequest);
        answer(other, answers);
        break;
    }
    case Reply::Overlong:
        answer('\xF0' + QByteArray(1098, 0x11) + '\xF7', answers);
        break;
    }
}

// A record is its two length bytes (L, high byte first) and the L bytes that follow.
void EmulatedDevice::takeFrame(const QByteArray &frame, QList<QByteArray> &answers)
{
    pendingRecord += QByteArray::fromHex(frame.mid(1, frame.size() - 2));
    if (pendingRecord.size() < 2)
        return;
    const int size = (quint8(pendingRecord[0]) << 8 | quint8(pendingRecord[1])) + 2;
    if (pendingRecord.size() < size)
        return;
    const QByteArray record = pendingRecord.left(size);
    pendingRecord.remove(0, size);
    records.append(record);

    unsigned char status;
    if (lastRecordAnswerDropped && record == lastRecord) {
        tell(QStringLiteral("record resent after its answer was dropped"));
        status = lastRecordAnswer;
    } else {
        status = judge(record);
        if (status == statusOk || status == statusDone)
            image += record;
        if (status == statusDone) {
            tell(QStringLiteral("image complete: %1 bytes").arg(image.size()));
            if (imageComplete)
                imageComplete(image);
        }
    }
    lastRecord = record;
    lastRecordAnswer = status;
    if (status == 0)
        return;
    lastRecordAnswerDropped = !answerStatus(status, answers);
}

unsigned char EmulatedDevice::judge(const QByteArray &record)
{
    if (recordAnswer)
        return recordAnswer(record);
    ++recordsJudged;
    if (crcErrorEvery > 0 && recordsJudged % crcErrorEvery == 0)
        return statusCrc;
    const int length = quint8(record[0]) << 8 | quint8(record[1]);
    if (length < 2)
        return statusLen;
    quint16 sum = 0;
    for (int i = 2; i < length; ++i)
        sum = quint16(sum + quint8(record[i]));
    sum = quint16(sum + (quint8(record[length]) | quint8(record[length + 1]) << 8));
    if (sum != 0)
        return statusCrc;
    return length == 2 && confirmUpdate ? statusDone : statusOk;
}

bool EmulatedDevice::answer(const QByteArray &message, QList<QByteArray> &answers)
{
    ++answersDue;
    if (dropEvery > 0 && answersDue % dropEvery == 0) {
        tell(QStringLiteral("dropped answer: ") + describe(message));
        return false;
    }
    answers.append(message);
    return true;
}

bool EmulatedDevice::answerStatus(unsigned char status, QList<QByteArray> &answers)
{
    if (!answer(statusMessage(status), answers))
        return false;
    ++answersSent;
    lastAnswer = status;
    return true;
}

void EmulatedDevice::tell(const QString &text) const
{
    if (note)
        note(text);
}
