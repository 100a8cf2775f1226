#include "../common/controllerprobe.h"
#include "../common/simulateddevice.h"
#include "librarysender.h"
#include "midicontroller.h"

#include <QtTest>

using Presets = QList<int>;

Q_DECLARE_METATYPE(SimulatedDevice::Reply)

namespace {

// A patch of the device's own values for presetNo, named after it, as a library file holds it.
QByteArray presetPatch(int presetNo)
{
    QByteArray message = SimulatedDevice::ownPatch();
    message[6] = 0x61;
    message[9] = char(presetNo);
    message.replace(11, 16, ("preset " + QByteArray::number(presetNo)).leftJustified(16, '\0'));
    return message;
}

QList<QByteArray> library(const Presets &presetNos)
{
    QList<QByteArray> messages;
    for (const int presetNo : presetNos)
        messages << presetPatch(presetNo);
    return messages;
}

Presets range(int first, int last)
{
    Presets presetNos;
    for (int presetNo = first; presetNo <= last; ++presetNo)
        presetNos << presetNo;
    return presetNos;
}

Presets allBut(const Presets &all, const Presets &left)
{
    Presets rest;
    for (const int presetNo : all) {
        if (!left.contains(presetNo))
            rest << presetNo;
    }
    return rest;
}

// A sender on a controller connected to a simulated device, with spies on what it tells.
struct Rig
{
    SimulatedDevice *device = nullptr;
    MidiController controller{plug(device)};
    LibrarySender sender{controller};
    QSignalSpy finished{&sender, &LibrarySender::finished};
    QSignalSpy sent{&sender, &LibrarySender::presetSent};
    QSignalSpy progress{&sender, &LibrarySender::progress};
    QSignalSpy applied{&controller, &MidiController::patchReceived};
    QSignalSpy held{&controller, &MidiController::patchHeld};

    Rig() { controller.open(); }

    // Runs until finished(), which must come once.
    LibrarySendResult run()
    {
        if (finished.isEmpty() && !finished.wait(20000))
            return LibrarySendResult();
        return finished.constFirst().constFirst().value<LibrarySendResult>();
    }

    Presets presetsSent() const
    {
        Presets presetNos;
        for (const QList<QVariant> &signal : sent)
            presetNos << signal.constFirst().toInt();
        return presetNos;
    }
};

} // namespace

class TestLibrarySender : public QObject
{
    Q_OBJECT

private slots:
    void everyPresetIsSentAndConfirmed_data();
    void everyPresetIsSentAndConfirmed();
    void presetsTheDeviceDidNotStoreFail_data();
    void presetsTheDeviceDidNotStoreFail();
    void portThatFailsEndsTheRun_data();
    void portThatFailsEndsTheRun();
    void stopEndsAfterTheMessageUnderWay_data();
    void stopEndsAfterTheMessageUnderWay();
    void startRefusesWhatIsNotAPresetPatch_data();
    void startRefusesWhatIsNotAPresetPatch();
    void lateAnswerDoesNotBecomeTheEditorsPatch();
    void summaryNamesWhatWentAndWhatDidNot_data();
    void summaryNamesWhatWentAndWhatDidNot();
};

void TestLibrarySender::everyPresetIsSentAndConfirmed_data()
{
    QTest::addColumn<Presets>("presetNos");
    QTest::addColumn<QString>("summary");

    QTest::newRow("twenty") << range(0, 19) << QStringLiteral("Sent presets 0\u201319 (20)");
    QTest::newRow("one, the device's current") << Presets{5} << QStringLiteral("Sent preset 5 (1)");
    QTest::newRow("out of order") << Presets{19, 0, 7, 8}
                                  << QStringLiteral("Sent presets 19, 0, 7\u20138 (4)");
}

void TestLibrarySender::everyPresetIsSentAndConfirmed()
{
    QFETCH(Presets, presetNos);
    QFETCH(QString, summary);

    Rig rig;
    const QByteArray editorPatch = rig.controller.currentPatch();
    QVERIFY(rig.sender.start(library(presetNos)));
    QVERIFY(rig.sender.running());
    const LibrarySendResult result = rig.run();

    QCOMPARE(result.sent, presetNos);
    QVERIFY(result.failed.isEmpty());
    QVERIFY(result.notTried.isEmpty());
    QVERIFY(!result.stopped);
    QCOMPARE(result.summary(), summary);
    QCOMPARE(rig.presetsSent(), presetNos);
    QCOMPARE(rig.progress.constLast(), (QList<QVariant>{presetNos.size(), presetNos.size()}));
    QVERIFY(!rig.sender.running());

    // Each patch as given, then the request that confirms it.
    QList<QByteArray> expected;
    for (const QByteArray &message : library(presetNos))
        expected << message << EmulatedDevice::patchRequest();
    QCOMPARE(rig.device->received, expected);
    const QList<QByteArray> memories = rig.device->presetMessages();
    for (const int presetNo : presetNos)
        QCOMPARE(memories.at(presetNo), presetPatch(presetNo));
    // The device's answers were the sender's, not the editor's.
    QCOMPARE(rig.controller.currentPatch(), editorPatch);
    QCOMPARE(rig.applied.count(), 0);
    QCOMPARE(rig.held.count(), 0);
}

void TestLibrarySender::presetsTheDeviceDidNotStoreFail_data()
{
    QTest::addColumn<int>("ignorePatchEvery");
    QTest::addColumn<int>("dropAnswerEvery");
    QTest::addColumn<SimulatedDevice::Reply>("reply");
    QTest::addColumn<Presets>("presetNos");
    QTest::addColumn<Presets>("failed");

    const auto patch = SimulatedDevice::Reply::Patch;
    // It answers with the preset that stayed current: another patch.
    QTest::newRow("every 5th patch ignored")
        << 5 << 0 << patch << range(0, 19) << Presets{4, 9, 14, 19};
    // No answer within the limit.
    QTest::newRow("every 5th answer lost")
        << 0 << 5 << patch << range(0, 19) << Presets{4, 9, 14, 19};
    QTest::newRow("first patch ignored") << 1 << 0 << patch << Presets{0} << Presets{0};
    QTest::newRow("answers of another kind")
        << 0 << 0 << SimulatedDevice::Reply::OtherKind << Presets{2, 3} << Presets{2, 3};
    QTest::newRow("truncated answers")
        << 0 << 0 << SimulatedDevice::Reply::Truncated << Presets{2} << Presets{2};
    QTest::newRow("silent") << 0 << 0 << SimulatedDevice::Reply::Nothing << Presets{1, 2}
                            << Presets{1, 2};
}

void TestLibrarySender::presetsTheDeviceDidNotStoreFail()
{
    QFETCH(int, ignorePatchEvery);
    QFETCH(int, dropAnswerEvery);
    QFETCH(SimulatedDevice::Reply, reply);
    QFETCH(Presets, presetNos);
    QFETCH(Presets, failed);

    Rig rig;
    rig.device->ignorePatchEvery = ignorePatchEvery;
    rig.device->dropEvery = dropAnswerEvery;
    rig.device->reply = reply;
    const QByteArray editorPatch = rig.controller.currentPatch();
    QVERIFY(rig.sender.start(library(presetNos)));
    const LibrarySendResult result = rig.run();

    QCOMPARE(result.failed, failed);
    QCOMPARE(result.sent, allBut(presetNos, failed));
    QVERIFY(result.notTried.isEmpty());
    // Never "sent" for a preset that failed.
    QCOMPARE(rig.presetsSent(), result.sent);
    QCOMPARE(rig.progress.constLast(), (QList<QVariant>{presetNos.size(), presetNos.size()}));
    QVERIFY(result.summary().contains(QStringLiteral("failed: preset")));
    QCOMPARE(rig.controller.currentPatch(), editorPatch);
    QCOMPARE(rig.applied.count(), 0);
}

void TestLibrarySender::portThatFailsEndsTheRun_data()
{
    QTest::addColumn<int>("unplugAfter"); // the preset whose confirmation unplugs; -1 before all
    QTest::addColumn<Presets>("sent");
    QTest::addColumn<Presets>("failed");
    QTest::addColumn<Presets>("notTried");

    QTest::newRow("no device at all") << -1 << Presets{} << Presets{0} << range(1, 4);
    QTest::newRow("unplugged after preset 1") << 1 << Presets{0, 1} << Presets{2} << Presets{3, 4};
    QTest::newRow("unplugged after the last") << 4 << range(0, 4) << Presets{} << Presets{};
}

void TestLibrarySender::portThatFailsEndsTheRun()
{
    QFETCH(int, unplugAfter);
    QFETCH(Presets, sent);
    QFETCH(Presets, failed);
    QFETCH(Presets, notTried);

    Rig rig;
    rig.device->attached = unplugAfter >= 0;
    QObject::connect(&rig.sender, &LibrarySender::presetSent, [&](int presetNo) {
        if (presetNo == unplugAfter)
            rig.device->attached = false;
    });
    QVERIFY(rig.sender.start(library(range(0, 4))));
    const LibrarySendResult result = rig.run();

    QCOMPARE(result.sent, sent);
    QCOMPARE(result.failed, failed);
    QCOMPARE(result.notTried, notTried);
    QVERIFY(!result.stopped);
    QCOMPARE(rig.presetsSent(), sent);
    QCOMPARE(rig.finished.count(), 1);
}

void TestLibrarySender::stopEndsAfterTheMessageUnderWay_data()
{
    QTest::addColumn<int>("stopAt"); // stop() when this preset is sent; -1 right after start()
    QTest::addColumn<Presets>("sent");

    QTest::newRow("before the first") << -1 << Presets{};
    QTest::newRow("after preset 2") << 2 << range(0, 2);
    QTest::newRow("after the last") << 5 << range(0, 5);
}

void TestLibrarySender::stopEndsAfterTheMessageUnderWay()
{
    QFETCH(int, stopAt);
    QFETCH(Presets, sent);

    Rig rig;
    QObject::connect(&rig.sender, &LibrarySender::presetSent, [&](int presetNo) {
        if (presetNo == stopAt)
            rig.sender.stop();
    });
    QVERIFY(rig.sender.start(library(range(0, 5))));
    if (stopAt < 0)
        rig.sender.stop();
    const LibrarySendResult result = rig.run();

    QVERIFY(result.stopped);
    QCOMPARE(result.sent, sent);
    QVERIFY(result.failed.isEmpty());
    QCOMPARE(result.notTried, allBut(range(0, 5), sent));
    QVERIFY(result.summary().startsWith(QStringLiteral("Stopped. ")));
    QCOMPARE(rig.device->received.size(), 2 * sent.size());
    // Once ended, it may run again.
    rig.finished.clear();
    QVERIFY(rig.sender.start(library({9})));
    QCOMPARE(rig.run().sent, Presets{9});
}

void TestLibrarySender::startRefusesWhatIsNotAPresetPatch_data()
{
    QTest::addColumn<QList<QByteArray>>("messages");

    const QByteArray good = presetPatch(3);
    QTest::newRow("nothing") << QList<QByteArray>{};
    QTest::newRow("preset 20") << QList<QByteArray>{good, presetPatch(20)};
    QTest::newRow("preset 127") << QList<QByteArray>{presetPatch(127)};
    QTest::newRow("one byte short") << QList<QByteArray>{good.left(347)};
    QTest::newRow("one byte more") << QList<QByteArray>{good + '\xF7'};
    QTest::newRow("empty message") << QList<QByteArray>{good, QByteArray()};
    QTest::newRow("request kind") << QList<QByteArray>{
        QByteArray(good).replace(6, 1, QByteArray(1, 0x62))};
    QTest::newRow("no F7 at the end")
        << QList<QByteArray>{QByteArray(good).replace(347, 1, QByteArray(1, 0x00))};
    QTest::newRow("another maker's header")
        << QList<QByteArray>{QByteArray(good).replace(1, 1, QByteArray(1, 0x41))};
}

void TestLibrarySender::startRefusesWhatIsNotAPresetPatch()
{
    QFETCH(QList<QByteArray>, messages);

    Rig rig;
    QVERIFY(!rig.sender.start(messages));
    QVERIFY(!rig.sender.running());
    // A run going refuses another.
    QVERIFY(rig.sender.start(library({1})));
    QVERIFY(!rig.sender.start(library({2})));
    rig.run();
    QCOMPARE(rig.finished.count(), 1);
    QCOMPARE(rig.device->received,
             (QList<QByteArray>{presetPatch(1), EmulatedDevice::patchRequest()}));
}

void TestLibrarySender::lateAnswerDoesNotBecomeTheEditorsPatch()
{
    Rig rig;
    rig.device->reply = SimulatedDevice::Reply::Nothing;
    const QByteArray editorPatch = rig.controller.currentPatch();
    QVERIFY(rig.sender.start(library({3})));
    QCOMPARE(rig.run().failed, Presets{3});

    // The answer comes after all, within the limit again: taken, not applied.
    rig.device->send(rig.device->patchMessage());
    QVERIFY(drained(rig.controller, *rig.device));
    QCOMPARE(rig.applied.count(), 0);
    QCOMPARE(rig.controller.currentPatch(), editorPatch);

    // Later, an answer is the editor's again.
    rig.device->reply = SimulatedDevice::Reply::Patch;
    QTRY_VERIFY((rig.controller.uploadPatch(), !rig.applied.isEmpty()));
    QCOMPARE(rig.controller.currentPatch().mid(7), rig.device->patchMessage().mid(7));
}

void TestLibrarySender::summaryNamesWhatWentAndWhatDidNot_data()
{
    QTest::addColumn<Presets>("sent");
    QTest::addColumn<Presets>("failed");
    QTest::addColumn<Presets>("notTried");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("summary");

    QTest::newRow("failures")
        << Presets{0, 1, 2, 3, 5, 6, 7, 8, 10} << Presets{4, 9} << Presets{} << false
        << QStringLiteral("Sent presets 0\u20133, 5\u20138, 10 (9); failed: presets 4, 9 (2)");
    QTest::newRow("port failed") << Presets{} << Presets{0} << range(1, 19) << false
                                 << QStringLiteral("Sent no preset; failed: preset 0 (1); "
                                                   "not tried: presets 1\u201319 (19)");
    QTest::newRow("stopped") << Presets{7, 8} << Presets{} << Presets{9} << true
                             << QStringLiteral("Stopped. Sent presets 7\u20138 (2); not tried: "
                                               "preset 9 (1)");
    QTest::newRow("descending is no range") << Presets{3, 2, 1} << Presets{} << Presets{} << false
                                            << QStringLiteral("Sent presets 3, 2, 1 (3)");
}

void TestLibrarySender::summaryNamesWhatWentAndWhatDidNot()
{
    QFETCH(Presets, sent);
    QFETCH(Presets, failed);
    QFETCH(Presets, notTried);
    QFETCH(bool, stopped);
    QFETCH(QString, summary);

    LibrarySendResult result;
    result.sent = sent;
    result.failed = failed;
    result.notTried = notTried;
    result.stopped = stopped;
    QCOMPARE(result.summary(), summary);
}

QTEST_GUILESS_MAIN(TestLibrarySender)
#include "tst_librarysender.moc"
