#include "../common/controllerprobe.h"
#include "../common/simulateddevice.h"
#include "livesend.h"
#include "patchdocument.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// Send Changes as You Edit against a simulated device: what goes, how often, and what a send
// that fails leaves behind.
namespace {

constexpr int knob = 18; // E3

// The patches the device was sent.
QList<QByteArray> patchesSent(const SimulatedDevice &device)
{
    QList<QByteArray> patches;
    for (const QByteArray &message : device.received) {
        if (message.size() == 348 && quint8(message[6]) == 0x61)
            patches << message;
    }
    return patches;
}

// Sets a parameter of control to another value than it has, as one edit.
void change(PatchDocument &document, int control, ParameterId id)
{
    unsigned char value = 0;
    document.controls().at(control)->getValue(id, &value);
    document.applyEdit({control}, id, (value + 1) % 128);
}

struct Rig
{
    Rig()
        : document(plug(device))
        , live(&document)
        , texts(&live, &LiveSend::statusMessage)
        , switched(&live, &LiveSend::switched)
    {
        document.start();
        started = QTest::qWaitFor([this] { return !document.answerAwaited(); });
        device->received.clear();
        live.setOn(true);
    }

    // The device holds the editor's patch, which it was sent last.
    bool caughtUp()
    {
        return QTest::qWaitFor([this] {
            return !patchesSent(*device).isEmpty()
                && patchesSent(*device).last() == document.patch() && !document.hasUnsentChanges();
        });
    }

    SimulatedDevice *device = nullptr;
    PatchDocument document;
    LiveSend live;
    QSignalSpy texts;
    QSignalSpy switched;
    bool started = false;
};

} // namespace

class TestLiveSend : public QObject
{
    Q_OBJECT

private slots:
    void aBurstEndsOnItsLastState_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("all at once") << 0;
        QTest::newRow("10 ms apart") << 10;
    }

    void aBurstEndsOnItsLastState()
    {
        QFETCH(int, pauseMs);
        Rig rig;
        QVERIFY(rig.started);
        QElapsedTimer clock;
        clock.start();
        for (int value = 1; value <= 40; ++value) {
            rig.document.applyEdit({knob}, Min, value);
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
        }
        QVERIFY(rig.caughtUp());
        const qint64 elapsed = clock.elapsed();
        const int sent = patchesSent(*rig.device).size();
        QCOMPARE(rig.live.patchesSent(), sent);
        QCOMPARE(
            int(quint8(
                patchesSent(*rig.device)
                    .last()[int(rig.document.controls().at(knob)->getParameter(Min)->address())])),
            40);
        // One patch at a time, at least 50 ms apart: a burst without pauses is one patch.
        if (pauseMs == 0)
            QCOMPARE(sent, 1);
        QVERIFY2(sent <= elapsed / LiveSend::gapMs + 1,
                 qPrintable(QStringLiteral("%1 patches in %2 ms").arg(sent).arg(elapsed)));
        QVERIFY(rig.document.unsentControls().isEmpty());
        QVERIFY(rig.texts.isEmpty());
    }

    void everyChangeOfThePatchIsSent_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("edit") << "edit";
        QTest::newRow("undo") << "undo";
        QTest::newRow("redo") << "redo";
        QTest::newRow("whole patch") << "replace";
    }

    void everyChangeOfThePatchIsSent()
    {
        QFETCH(QString, change);
        Rig rig;
        QVERIFY(rig.started);
        rig.document.applyEdit({knob}, Max, 30);
        rig.document.applyEdit({knob}, Max, 40);
        QVERIFY(rig.caughtUp());
        const int before = patchesSent(*rig.device).size();
        if (change == QLatin1String("edit")) {
            rig.document.applyEdit({knob}, Max, 50);
        } else if (change == QLatin1String("undo")) {
            rig.document.undoStack()->undo();
        } else if (change == QLatin1String("redo")) {
            rig.document.undoStack()->undo();
            QVERIFY(rig.caughtUp());
            rig.document.undoStack()->redo();
        } else {
            QByteArray patch = rig.document.patch();
            patch[11] = 'Z';
            QVERIFY(rig.document.replace(patch, QStringLiteral("Open preset")));
        }
        QVERIFY(rig.caughtUp());
        QVERIFY(patchesSent(*rig.device).size() > before);
    }

    void nothingGoesWhileOffOrBeforeAnEdit()
    {
        Rig rig;
        QVERIFY(rig.started);
        rig.live.setOn(false);
        change(rig.document, knob, Max);
        QTest::qWait(3 * LiveSend::gapMs);
        QVERIFY(patchesSent(*rig.device).isEmpty());
        // Turned on, it waits for the next edit, which takes the earlier one along.
        rig.live.setOn(true);
        QTest::qWait(3 * LiveSend::gapMs);
        QVERIFY(patchesSent(*rig.device).isEmpty());
        rig.document.applyEdit({knob}, Min, 5);
        QVERIFY(rig.caughtUp());
        QCOMPARE(patchesSent(*rig.device).size(), 1);
    }

    void aPatchFromTheDeviceIsNotSentBack()
    {
        Rig rig;
        QVERIFY(rig.started);
        QByteArray changed = SimulatedDevice::ownPatch();
        changed[11] = 'Q';
        rig.device->send(changed);
        QTRY_COMPARE(rig.document.patch().at(11), 'Q');
        QVERIFY(drained(*rig.document.controller(), *rig.device));
        QTest::qWait(3 * LiveSend::gapMs);
        QVERIFY(patchesSent(*rig.device).isEmpty());
    }

    void aFailedSendTurnsItOff_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("why");
        QTest::newRow("unplugged") << "unplugged"
                                   << "Download failed: Vellichord not connected";
        QTest::newRow("preset outside 0..19")
            << "preset 50"
            << "Download refused: preset number 50 is outside 0..19; choose a preset 0..19 on "
               "the Vellichord and upload it";
    }

    void aFailedSendTurnsItOff()
    {
        QFETCH(QString, fault);
        QFETCH(QString, why);
        Rig rig;
        QVERIFY(rig.started);
        if (fault == QLatin1String("unplugged")) {
            rig.device->attached = false;
            change(rig.document, knob, Max);
        } else {
            QByteArray patch = rig.document.patch();
            patch[9] = 50;
            QVERIFY(rig.document.replace(patch, QStringLiteral("Open preset")));
        }
        QVERIFY(rig.switched.wait());
        QVERIFY(!rig.live.isOn());
        QCOMPARE(rig.switched.last().at(0).toBool(), false);
        QCOMPARE(rig.texts.size(), 1);
        QCOMPARE(rig.texts.last().at(0).toString(),
                 QStringLiteral("Send Changes as You Edit is off: ") + why);
        // Nothing is taken for sent that did not go.
        QVERIFY(patchesSent(*rig.device).isEmpty());
        QVERIFY(rig.document.hasUnsentChanges());
        QCOMPARE(rig.live.patchesSent(), 0);
    }

    void changesWaitWhileThePortIsBusy()
    {
        Rig rig;
        QVERIFY(rig.started);
        bool busy = true;
        rig.document.setBusyCheck([&busy] { return busy; });
        change(rig.document, knob, Max);
        QTest::qWait(2 * LiveSend::busyRetryMs);
        QVERIFY(patchesSent(*rig.device).isEmpty());
        QVERIFY(rig.live.isOn());
        busy = false;
        QVERIFY(rig.caughtUp());
        QVERIFY(rig.texts.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLiveSend)
#include "tst_livesend.moc"
