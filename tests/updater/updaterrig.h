#pragma once

#include "../common/simulateddevice.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "updatedialog.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QStringList>
#include <QTextEdit>
#include <QThread>

#include <functional>

// A main window with a simulated device behind it, whose updater dialog runs on a virtual
// clock: a pause returns at once, once the monitor has taken in the device's latest status
// answer, and is recorded. The device stays silent to the patch request.
class UpdaterRig
{
public:
    explicit UpdaterRig(const QStringList &portNames = {QStringLiteral("Vellichord")},
                        bool attached = true)
        : window(makeDevice(portNames, attached))
        , dialog(window.findChild<UpdateDialog *>())
    {
        if (!dialog)
            qFatal("the window has no updater dialog");
        dialog->setPause([this](unsigned int ms) {
            if (beforePause)
                beforePause(pauses.size() + 1);
            pauses << ms;
            elapsedMs += ms;
            if (device->answersSent != answersSeen) {
                answersSeen = device->answersSent;
                MidiMonitor *monitor = window.getMidiController()->getMonitor();
                const QDeadlineTimer limit(2000);
                while (monitor->status() != device->lastAnswer && !limit.hasExpired())
                    QThread::usleep(50);
                if (monitor->status() != device->lastAnswer)
                    ++missedAnswers;
            }
        });
    }

    // Answers every record with status.
    void answerRecords(unsigned char status)
    {
        device->recordAnswer = [status](const QByteArray &) { return status; };
    }

    // The data frames sent to the device, in order.
    QList<QByteArray> frames() const
    {
        QList<QByteArray> result;
        for (const QByteArray &message : device->received) {
            if (SimulatedDevice::isDataFrame(message))
                result << message;
        }
        return result;
    }

    int codesSent() const { return device->received.count(SimulatedDevice::updateCode()); }

    // The messages shown so far, one per line.
    QStringList messages() const
    {
        return dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))
            ->toPlainText()
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    SimulatedDevice *device = nullptr;
    MainWindow window;
    UpdateDialog *dialog;
    QList<unsigned int> pauses;
    qint64 elapsedMs = 0;
    // Answers the monitor did not take in within two seconds.
    int missedAnswers = 0;
    // Runs at the start of each pause, with its number counted from 1.
    std::function<void(int)> beforePause;

    // Has the device send status on its own and waits until the monitor holds it.
    void sendStatusNow(unsigned char status)
    {
        device->sendStatus(status);
        MidiMonitor *monitor = window.getMidiController()->getMonitor();
        const QDeadlineTimer limit(2000);
        while (monitor->status() != status && !limit.hasExpired())
            QThread::usleep(50);
        if (monitor->status() != status)
            ++missedAnswers;
    }

private:
    std::unique_ptr<IMidi> makeDevice(const QStringList &portNames, bool attached)
    {
        auto owned = std::make_unique<SimulatedDevice>(attached, SimulatedDevice::Reply::Nothing);
        owned->portNames = portNames;
        device = owned.get();
        return owned;
    }

    int answersSeen = 0;
};

// One record holding body: the big-endian length, the body and the little-endian checksum.
inline QByteArray updateRecord(const QByteArray &body)
{
    const int length = body.size() + 2;
    quint16 sum = 0;
    for (const char byte : body)
        sum = quint16(sum + quint8(byte));
    const quint16 checksum = quint16(-sum);
    return QByteArray(1, char(length >> 8)) + char(length & 0xFF) + body + char(checksum & 0xFF)
        + char(checksum >> 8);
}

// A record of size bytes in all, with a body that differs from byte to byte.
inline QByteArray updateRecordOfSize(int size)
{
    QByteArray body(size - 4, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 37 + 11);
    return updateRecord(body);
}
