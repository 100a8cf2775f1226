#include "midicontroller.h"
#include "trace.h"

#include "diagnosticlog.h"
#include "imidi.h"
#include "midimonitor.h"
#include "sysextext.h"

#include <QDebug>
#include <QSaveFile>

#include <algorithm>

namespace {

// Offsets 0..8 of every Type 1 message; the preset number and a zero byte follow.
constexpr unsigned char type1Header[] = {PatchLayout::sysexStart, 0x00, 0x00, 0x00, 0x00, 0x7F,
                                         PatchLayout::kindType1,  0x02, 0x51};
static_assert(sizeof(type1Header) == PatchLayout::presetNoOffset);

// Asks the device to answer with its patch as a Type 2 message.
constexpr unsigned char patchRequest[] = {
    PatchLayout::sysexStart, 0x00, 0x00, 0x00, 0x00, 0x7F, PatchLayout::kindRequest, 0x00, 0x00,
    PatchLayout::sysexEnd};

// Every name byte must be a SysEx data byte (below 0x80): anything but printable ASCII is sent
// as '?'. The name ends at its first NUL.
std::array<unsigned char, PatchLayout::nameLength> nameField(const QString &name)
{
    std::array<unsigned char, PatchLayout::nameLength> field{};
    std::size_t n = 0;
    for (const uint codePoint : name.toUcs4()) {
        if (codePoint == 0 || n == field.size())
            break;
        field[n++] = (codePoint >= 0x20 && codePoint <= 0x7E)
            ? static_cast<unsigned char>(codePoint)
            : '?';
    }
    return field;
}

bool isPatchKind(unsigned char kind)
{
    return kind == PatchLayout::kindType1 || kind == PatchLayout::kindType2;
}

} // namespace

MidiController::MidiController(std::unique_ptr<IMidi> port, QObject *parent)
    : MidiController(std::move(port), QByteArray(portName), parent)
{
}

MidiController::MidiController(std::unique_ptr<IMidi> port, const QByteArray &devicePort,
                               QObject *parent)
    : QObject(parent)
    , devicePort(devicePort)
    , presetName(QStringLiteral("tarvelvellichord"))
    , midi(std::move(port))
{
    monitor = new MidiMonitor(this, midi.get());
    // Without a device the editor starts all the same; the port traces what it found.
    midi->connect(devicePort.constData());
    // The monitor is deleted by the destructor only, after its thread has ended.
    connect(monitor, &MidiMonitor::receivedSysex, this, [this](const QByteArray &sysex) {
        if (receivedSysex(sysex))
            emit patchReceived();
    });
    monitor->start(QThread::InheritPriority);
    qCDebug(lcTrace) << "Midi monitor thread started.";
}

MidiController::~MidiController()
{
    delete monitor; // stops the thread and waits for it
    midi->disconnect();
}

const unsigned char *MidiController::getType1Sysex()
{
    const unsigned char *msg = buildType1();
    qCDebug(lcTrace).noquote() << "getType1Sysex" << printable_text(presetName);
    qCDebug(lcTrace).noquote() << sysex_hex(msg, PatchLayout::length);
    return msg;
}

QByteArray MidiController::currentPatch()
{
    return QByteArray(reinterpret_cast<const char *>(buildType1()), int(PatchLayout::length));
}

const unsigned char *MidiController::buildType1()
{
    unsigned char *msg = type1Message.data();
    std::copy(std::begin(type1Header), std::end(type1Header), msg);
    msg[PatchLayout::presetNoOffset] = static_cast<unsigned char>(presetNo);
    msg[PatchLayout::presetNoOffset + 1] = 0x00;

    const auto name = nameField(presetName);
    std::copy(name.begin(), name.end(), msg + PatchLayout::nameOffset);

    for (int i = 0; i < ControlTable::count; ++i) {
        if (const MidiControlModel *model = models.at(i))
            model->writeType1Sysex(msg);
        else
            qCDebug(lcTrace) << "control null";
    }

    // Both axes of the X-Y pad send on the channel the user chose.
    unsigned char xyChannel = 0;
    if (models.at(ControlTable::xyPadIndex)->getValue(Channel, &xyChannel))
        msg[ControlTable::xyPadXChannelAddress] = xyChannel;

    msg[PatchLayout::endOffset] = PatchLayout::sysexEnd;
    return msg;
}

bool MidiController::parseType2Message(const QByteArray &message)
{
    const auto *msg = reinterpret_cast<const unsigned char *>(message.constData());
    DiagnosticLog::instance().logSysex(QStringLiteral(__FILE__), QString::number(__LINE__),
                                       QStringLiteral("MidiController::parseType2Message"), msg,
                                       message.size());
    return applyPatch(message, true);
}

bool MidiController::restorePatch(const QByteArray &message)
{
    return applyPatch(message, false);
}

bool MidiController::applyPatch(const QByteArray &message, bool notify)
{
    const auto *msg = reinterpret_cast<const unsigned char *>(message.constData());

    if (message.size() < static_cast<int>(PatchLayout::length)) {
        qCDebug(lcTrace) << "parseType2Message: message of" << message.size()
                         << "bytes is too short";
        return false;
    }
    // A longer message is no patch: applied from its first 348 bytes, a byte slipped in
    // between would shift every value into the next control's fields.
    if (message.size() > static_cast<int>(PatchLayout::length)
        || msg[PatchLayout::endOffset] != PatchLayout::sysexEnd) {
        qCDebug(lcTrace) << "parseType2Message: message of" << message.size()
                         << "bytes does not end at byte" << PatchLayout::endOffset;
        return false;
    }
    if (!isPatchKind(msg[PatchLayout::kindOffset])) {
        qCDebug(lcTrace) << "parseType2Message: not a patch, kind byte"
                         << msg[PatchLayout::kindOffset];
        return false;
    }

    // Byte for byte as Latin-1, so that a saved name loads back exactly as it was.
    const char *nameBytes = message.constData() + PatchLayout::nameOffset;
    const QString name = QString::fromLatin1(nameBytes,
                                             qstrnlen(nameBytes, PatchLayout::nameLength));
    qCDebug(lcTrace).noquote() << "parseType2Message name:" << printable_text(name);
    setPresetName(name);

    const int number = msg[PatchLayout::presetNoOffset];
    qCDebug(lcTrace) << "parseType2Message presetNo:" << number;
    setPresetNo(number);

    for (int i = 0; i < ControlTable::count; ++i) {
        if (MidiControlModel *model = models.at(i))
            model->updateModel(msg, PatchLayout::length);
        else
            qCDebug(lcTrace) << "control null";
    }

    if (notify)
        emit modelUpdated();
    return true;
}

void MidiController::reconnectIfLost()
{
    if (midi->connectionAlive())
        return;
    midi->disconnect();
    midi->connect(devicePort.constData());
}

bool MidiController::downloadPatch()
{
    getType1Sysex();
    reconnectIfLost();
    return midi->sendSysex(type1Message.data(), PatchLayout::length) == 0;
}

bool MidiController::uploadPatch()
{
    unsigned char request[sizeof patchRequest];
    std::copy(std::begin(patchRequest), std::end(patchRequest), request);
    reconnectIfLost();
    if (midi->sendSysex(request, sizeof request) != 0)
        return false;
    qCDebug(lcTrace) << "Waiting for response from Vellichord...";
    return true;
}

bool MidiController::receivedSysex(const QByteArray &sysex)
{
    qCDebug(lcTrace) << "Received: ";
    const auto *bytes = reinterpret_cast<const unsigned char *>(sysex.constData());
    const int shown = std::min(sysex.size(), static_cast<int>(PatchLayout::length));
    qCDebug(lcTrace).noquote() << sysex_hex(bytes, sysex_span(bytes, shown));
    if (!parseType2Message(sysex))
        return false;
    emit statusMessage(tr("Patch uploaded."));
    return true;
}

void MidiController::stopMonitor()
{
    monitor->stop();
}

bool MidiController::loadSysex(const QString &fileName, PatchFileFault *fault)
{
    QByteArray data;
    const PatchFileFault found = read_patch_file(fileName, &data);
    if (fault)
        *fault = found;
    if (found == PatchFileFault::TooShort)
        qCDebug(lcTrace) << "Only read" << data.size() << "bytes";
    else if (found != PatchFileFault::None)
        qCDebug(lcTrace).noquote()
            << "Could not load" << printable_text(fileName) << "-" << patch_file_fault_text(found);
    if (found != PatchFileFault::None)
        return false;
    // A loaded file never changes the preset number.
    data[PatchLayout::presetNoOffset] = static_cast<char>(presetNo);
    return receivedSysex(data);
}

bool MidiController::saveSysex(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto *msg = reinterpret_cast<const char *>(getType1Sysex());
    // The bytes are flushed here: commit() would not notice that its own flush failed (a full
    // disk) and would put the short file in place of the old one.
    if (file.write(msg, PatchLayout::length) != static_cast<qint64>(PatchLayout::length)
        || !file.flush())
        return false; // QSaveFile discards the partial file and leaves the old one alone
    return file.commit();
}

char MidiController::getPresetNo() const
{
    qCDebug(lcTrace) << "getPresetNo: " << presetNo;
    return static_cast<char>(presetNo);
}

void MidiController::setPresetName(const QString &name)
{
    qCDebug(lcTrace).noquote() << "setPresetName" << printable_text(name);
    presetName = name;
}

void MidiController::setPresetNo(int number)
{
    if (number >= 0 && number <= PatchLayout::highestPresetNo)
        presetNo = number;
}
