#pragma once

#include "../transfer/updaterig.h"
#include "mainwindow.h"
#include "updatedialog.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QThread>

// Runs f on the test's thread and waits for it. During a run the simulated device's answers,
// and with them its callbacks and the clock's, come on the updater's thread.
template<typename F>
void onTestThread(F f)
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        f();
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f),
                                  Qt::BlockingQueuedConnection);
}

// Calls start, which may start a run of the dialog's, and waits until that run is over. The
// run's result; false when none started.
inline bool finishRun(UpdateDialog *dialog, const std::function<void()> &start)
{
    QSignalSpy finished(dialog, &UpdateDialog::runFinished);
    start();
    if (!dialog->isBusy())
        return false;
    if (!finished.wait(60000)) {
        qWarning("the updater's run did not end");
        return false;
    }
    return finished.first().first().toBool();
}

// A main window with a simulated device behind it, whose updater dialog runs on a virtual
// clock (see VirtualClock). The device stays silent to the patch request.
class UpdaterRig
{
public:
    explicit UpdaterRig(const QStringList &portNames = {QStringLiteral("Vellichord")},
                        bool attached = true)
        : clock(device, [this] { return window.getMidiController()->getMonitor(); })
        , window(makeDevice(portNames, attached))
        , dialog(window.findChild<UpdateDialog *>())
    {
        if (!dialog)
            qFatal("the window has no updater dialog");
        // The window opens its port from the event loop.
        if (!QTest::qWaitFor([this] { return window.midiStarted(); }))
            qFatal("the window never opened its port");
        dialog->setPause(clock.pause());
    }

    // Answers every record with status.
    void answerRecords(unsigned char status)
    {
        device->recordAnswer = [status](const QByteArray &) { return status; };
    }

    QList<QByteArray> frames() const { return DeviceLog::frames(device); }
    int codesSent() const { return DeviceLog::codesSent(device); }

    // The messages shown so far, one per line.
    QStringList messages() const
    {
        return dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))
            ->toPlainText()
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    SimulatedDevice *device = nullptr;
    VirtualClock clock;
    MainWindow window;
    UpdateDialog *dialog;
    QList<unsigned int> &pauses = clock.pauses;
    qint64 &elapsedMs = clock.elapsedMs;
    int &missedAnswers = clock.missedAnswers;
    std::function<void(int)> &beforePause = clock.beforePause;

private:
    std::unique_ptr<IMidi> makeDevice(const QStringList &portNames, bool attached)
    {
        auto owned = std::make_unique<SimulatedDevice>(attached, SimulatedDevice::Reply::Nothing);
        owned->portNames = portNames;
        device = owned.get();
        return owned;
    }
};
