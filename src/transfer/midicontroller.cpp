#include "midicontroller.h"
#include "trace.h"

#include "diagnosticlog.h"
#include "imidi.h"
#include "midimonitor.h"
#include "sysextext.h"

#include <QDebug>

#include <algorithm>
#include <utility>

namespace {

// Asks the device to answer with its patch as a Type 2 message.
constexpr unsigned char patchRequest[] = {
    PatchLayout::sysexStart, 0x00, 0x00, 0x00, 0x00, 0x7F, PatchLayout::kindRequest, 0x00, 0x00,
    PatchLayout::sysexEnd};

} // namespace

MidiController::MidiController(std::unique_ptr<IMidi> port, QObject *parent)
    : MidiController(std::move(port), QByteArray(portName), parent)
{
}

MidiController::MidiController(std::unique_ptr<IMidi> port, const QByteArray &devicePort,
                               QObject *parent)
    : QObject(parent)
    , devicePort(devicePort)
    , midi(std::move(port))
{
    qRegisterMetaType<MidiTraffic>();
    monitor = new MidiMonitor(this, midi.get());
    // Only a message of a patch's length can be one; the others are counted by the monitor
    // and never reach this thread, however many the device sends.
    monitor->setPatchFilter(
        [](const unsigned char *, unsigned int length) { return length == PatchLayout::length; });
    // The monitor is deleted by the destructor only, after its thread has ended.
    connect(monitor, &MidiMonitor::patchesWaiting, this, [this] {
        arrived += monitor->takePatches();
        // A receiver that waits in an event loop of its own brings the next call here: the
        // patches that came meanwhile then follow those still being handled, in order.
        if (std::exchange(handlingArrived, true))
            return;
        while (!arrived.isEmpty()) {
            const QByteArray sysex = arrived.takeFirst();
            // Another maker's message is nothing for this device, whatever its length.
            if (!PatchLayout::hasDeviceHeader(sysex.constData(), sysex.size()))
                countForeign();
            else if (takePatch && takePatch(sysex))
                traceReceived(sysex);
            else if (holdPatch && holdPatch())
                holdBack(sysex);
            else if (receivedSysex(sysex))
                emit patchReceived();
        }
        handlingArrived = false;
    });
    // Queued also for what this thread sends, so that no listener runs inside a send.
    connect(
        monitor, &MidiMonitor::trafficWaiting, this,
        [this] {
            const MidiTraffic batch = monitor->takeTraffic();
            if (!batch.isEmpty())
                emit traffic(batch);
        },
        Qt::QueuedConnection);
    foreignFlush.setSingleShot(true);
    connect(&foreignFlush, &QTimer::timeout, this, [this] {
        foreignMessages.flushDue();
        if (foreignMessages.pending() != 0)
            foreignFlush.start(int(ThrottledCount::intervalMs));
    });
    monitor->start(QThread::InheritPriority);
    qCDebug(lcTrace) << "Midi monitor thread started.";
}

MidiController::~MidiController()
{
    delete monitor; // stops the thread and waits for it
    midi->disconnect();
}

bool MidiController::open()
{
    // Without a device the editor starts all the same; the port traces what it found.
    return midi->connect(devicePort.constData());
}

const unsigned char *MidiController::getType1Sysex()
{
    const unsigned char *msg = buildType1();
    qCDebug(lcTrace).noquote() << "getType1Sysex" << printable_text(patch.name());
    qCDebug(lcTrace).noquote() << sysex_hex(msg, PatchLayout::length);
    return msg;
}

QByteArray MidiController::currentPatch()
{
    return QByteArray(reinterpret_cast<const char *>(buildType1()), int(PatchLayout::length));
}

const unsigned char *MidiController::buildType1()
{
    patch.writeType1(type1Message.data());
    return type1Message.data();
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
    if (!patch.apply(message))
        return false;
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

QString MidiController::downloadRefusal() const
{
    const QString outside = preset_out_of_range_text(patch.presetNo());
    return outside.isEmpty() ? QString()
                             : tr("Download refused: %1; choose a preset 0..%2 on the Vellichord "
                                  "and upload it")
                                   .arg(outside)
                                   .arg(PatchLayout::highestPresetNo);
}

bool MidiController::downloadPatch()
{
    if (!patch.presetNoInRange()) {
        qCDebug(lcTrace) << "downloadPatch: not sent, preset number" << patch.presetNo();
        return false;
    }
    getType1Sysex();
    reconnectIfLost();
    if (midi->sendSysex(type1Message.data(), PatchLayout::length) != 0)
        return false;
    monitor->recordSent(type1Message.data(), PatchLayout::length);
    return true;
}

bool MidiController::uploadPatch()
{
    unsigned char request[sizeof patchRequest];
    std::copy(std::begin(patchRequest), std::end(patchRequest), request);
    reconnectIfLost();
    if (midi->sendSysex(request, sizeof request) != 0)
        return false;
    monitor->recordSent(request, sizeof request);
    qCDebug(lcTrace) << "Waiting for response from Vellichord...";
    return true;
}

bool MidiController::sendPatchMessage(const QByteArray &message)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(message.constData());
    if (message.size() != int(PatchLayout::length)
        || !PatchLayout::hasDeviceHeader(message.constData(), message.size())
        || bytes[PatchLayout::kindOffset] != PatchLayout::kindType1
        || bytes[PatchLayout::endOffset] != PatchLayout::sysexEnd
        || bytes[PatchLayout::presetNoOffset] > PatchLayout::highestPresetNo) {
        qCDebug(lcTrace) << "sendPatchMessage: not a patch of a preset 0.."
                         << PatchLayout::highestPresetNo << "- not sent";
        return false;
    }
    std::array<unsigned char, PatchLayout::length> buffer;
    std::copy(bytes, bytes + PatchLayout::length, buffer.begin());
    qCDebug(lcTrace) << "sendPatchMessage preset" << int(buffer[PatchLayout::presetNoOffset]);
    qCDebug(lcTrace).noquote() << sysex_hex(buffer.data(), PatchLayout::length);
    reconnectIfLost();
    if (midi->sendSysex(buffer.data(), PatchLayout::length) != 0)
        return false;
    monitor->recordSent(buffer.data(), PatchLayout::length);
    return true;
}

void MidiController::countForeign()
{
    foreignMessages.add();
    // What a flood leaves counted is traced once it has ended too.
    if (foreignMessages.pending() != 0 && !foreignFlush.isActive())
        foreignFlush.start(int(ThrottledCount::intervalMs));
}

void MidiController::traceReceived(const QByteArray &sysex) const
{
    qCDebug(lcTrace) << "Received: ";
    const auto *bytes = reinterpret_cast<const unsigned char *>(sysex.constData());
    const int shown = std::min(int(sysex.size()), static_cast<int>(PatchLayout::length));
    qCDebug(lcTrace).noquote() << sysex_hex(bytes, sysex_span(bytes, shown));
}

void MidiController::holdBack(const QByteArray &sysex)
{
    traceReceived(sysex);
    DiagnosticLog::instance().logSysex(QStringLiteral(__FILE__), QString::number(__LINE__),
                                       QStringLiteral("MidiController::holdBack"),
                                       reinterpret_cast<const unsigned char *>(sysex.constData()),
                                       sysex.size());
    Patch device;
    if (device.apply(sysex))
        emit patchHeld(device.toType1());
}

bool MidiController::receivedSysex(const QByteArray &sysex)
{
    traceReceived(sysex);
    if (!parseType2Message(sysex))
        return false;
    QString text = tr("Patch uploaded.");
    const QString presetOutside = preset_out_of_range_text(patch.presetNo());
    if (!presetOutside.isEmpty())
        text += QLatin1Char(' ')
            + tr("Its %1: Download is off until a patch of a preset 0..%2 arrives.")
                  .arg(presetOutside)
                  .arg(PatchLayout::highestPresetNo);
    const QString outOfRange = out_of_range_text(patch.broughtIntoRange());
    if (!outOfRange.isEmpty())
        text += QLatin1Char(' ') + outOfRange;
    emit statusMessage(text);
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
    data[PatchLayout::presetNoOffset] = static_cast<char>(patch.presetNo());
    return receivedSysex(data);
}

bool MidiController::saveSysex(const QString &fileName)
{
    return !fileName.isEmpty() && patch.save(fileName);
}

int MidiController::getPresetNo() const
{
    qCDebug(lcTrace) << "getPresetNo: " << patch.presetNo();
    return patch.presetNo();
}

void MidiController::setPresetName(const QString &name)
{
    patch.setName(name);
}

void MidiController::setPresetNo(int number)
{
    patch.setPresetNo(number);
}
