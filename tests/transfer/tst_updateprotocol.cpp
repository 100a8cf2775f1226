#include "../common/files.h"
#include "../common/tracecapture.h"
#include "deviceclaim.h"
#include "updaterig.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

const QString updating = QStringLiteral(
    "Updating Vellichord, please don't unplug the device during the transfer.");
const QString noResponse = QStringLiteral(
    "No response from the Vellichord.  Please connect it and press Connect again.");
const QString tooManyFailures = QStringLiteral(
    "CRC Error in update file.  Please download the latest update and try again.");
const QString fileError = QStringLiteral(
    "Error in update file.  Please download the latest update and try again.");
const QString unknownError = QStringLiteral("Unknown error.  Update probably failed.");
const QString stoppedAnswering = QStringLiteral(
    "The Vellichord stopped answering.  Please reconnect it and press Update again.");
const QString connectionLost = QStringLiteral(
    "Lost the connection to the Vellichord.  Please connect it and press Update again.");
const QString stopped = QStringLiteral(
    "Update stopped. The Vellichord needs a complete update: run the update again.");
const QString stoppedEarly = QStringLiteral("Update stopped before any of the update was sent.");
const QString ready = QStringLiteral("Please press Update to continue.");
const QString complete = QStringLiteral("Transfer Complete.");
const QString endedAfterOne = QStringLiteral(
    "The Vellichord ended the update after 1 of 3 records.");
const QString notConfirmed = QStringLiteral(
    "The Vellichord took every record but did not confirm the update. It may still be in update "
    "mode: reconnect it and run the update again.");

// Records of 3, 4 and 1 frames.
QByteArray threeRecords()
{
    return updateRecordOfSize(30) + updateRecordOfSize(40) + updateRecordOfSize(7);
}

// Open File, Connect and Update as the protocol allows them now.
QList<bool> actions(const UpdateProtocol &protocol)
{
    return {protocol.canOpenFile(), protocol.canConnect(), protocol.canUpdate()};
}

bool transmit(UpdateRig &rig, const QByteArray &image)
{
    return rig.transmit(image);
}

// Unplugs the simulated device: the port stays open, but nothing can be sent any more.
void unplug(SimulatedDevice *device)
{
    device->attached = false;
    device->connected = false;
}

// A port that opens under the device's normal name but fails every send, as when the device
// goes right after the port was opened. Keeps what it was asked to send.
class DeadPort : public IMidi
{
public:
    bool connect(const char *portName) override
    {
        open = qstrcmp(portName, "Vellichord") == 0;
        return open;
    }
    void disconnect() override { open = false; }
    int read(unsigned char *, unsigned int) override { return 0; }
    bool dataAvailable() override { return false; }
    std::string connectedName() const override { return open ? "Vellichord" : ""; }
    std::string systemName() const override { return "Dead"; }
    bool connectionAlive() override { return false; }
    bool portPresent(const char *portName) override { return qstrcmp(portName, "Vellichord") == 0; }
    int sendSysex(unsigned char *message, unsigned int count) override
    {
        attempts << QByteArray(reinterpret_cast<const char *>(message), int(count));
        return 1;
    }

    QList<QByteArray> attempts;
    bool open = false;
};

} // namespace

class TestUpdateProtocol : public QObject
{
    Q_OBJECT

private slots:
    void statusNames_data();
    void statusNames();

    // Framing
    void recordGoesOutInFramesOfElevenBytes_data();
    void recordGoesOutInFramesOfElevenBytes();

    // Handshake
    void handshake_data();
    void handshake();
    void handshakeEndsWhenTheCodeCannotBeSent();
    void commandLineWords_data();
    void commandLineWords();

    // Transfer
    void transfer_data();
    void transfer();
    void progressCountsAcknowledgedBytes();
    void recordThatDoesNotFitIsNotSent();
    void lateStatusIsNotTheRecordsAnswer();
    void everyFrameAndAnswerIsTapped();

    // The device going during the transfer
    void transferEndsWhenTheDeviceGoes_data();
    void transferEndsWhenTheDeviceGoes();
    void recordIsCutShortWhenTheDeviceGoes();

    // Progress and the actions' states
    void progressReportsRecordsAndBytes_data();
    void progressReportsRecordsAndBytes();
    void actionsFollowLoadHandshakeAndRuns();

    // Stopping on request
    void transferStopsBetweenRecords_data();
    void transferStopsBetweenRecords();
    void stopRequestedBeforeARunIsIgnored();
    void stopEndsTheWaitForASilentDevice();
    void realClockTakesAStopFromTheEventLoop();
    void updateStopsDuringTheHandshake_data();
    void updateStopsDuringTheHandshake();
    void runsGiveWayToAnotherProgramsUpdate_data();
    void runsGiveWayToAnotherProgramsUpdate();

private:
    QTemporaryDir dir;
};

void TestUpdateProtocol::statusNames_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name");
    const QList<QPair<int, const char *>> names = {
        {0, "No Error"},     {0x15, "No Error"}, {0x1A, "Err OK"},    {0x20, "Err CRC"},
        {0x21, "Err Code"},  {0x22, "Err Len"},  {0x23, "Err EOF"},   {0x24, "Err Verify"},
        {0x25, "Err Erase"}, {0x3D, "No Error"}, {0x77, "Err Reset"}, {0x19, "No Error"},
        {0x26, "No Error"},  {0xFF, "No Error"},
    };
    for (const auto &[status, name] : names)
        QTest::addRow("0x%02x", status) << status << QString::fromLatin1(name);
}

void TestUpdateProtocol::statusNames()
{
    QFETCH(int, status);
    QFETCH(QString, name);
    QCOMPARE(UpdateProtocol::statusName(status), name);
}

void TestUpdateProtocol::recordGoesOutInFramesOfElevenBytes_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QList<int>>("frameSizes");

    QTest::newRow("7 bytes") << QByteArray::fromHex("0005010203FAFF") << QList<int>{16};
    QTest::newRow("11 bytes") << updateRecordOfSize(11) << QList<int>{24};
    QTest::newRow("22 bytes") << updateRecordOfSize(22) << QList<int>{24, 24};
    QTest::newRow("23 bytes") << updateRecordOfSize(23) << QList<int>{24, 24, 4};
}

void TestUpdateProtocol::recordGoesOutInFramesOfElevenBytes()
{
    QFETCH(QByteArray, record);
    QFETCH(QList<int>, frameSizes);

    UpdateRig rig;
    rig.answerRecords(0x77);
    QVERIFY(transmit(rig, record));

    QList<int> sizes;
    QByteArray sent;
    for (const QByteArray &frame : rig.frames()) {
        sizes << frame.size();
        sent += frame.mid(1, frame.size() - 2);
    }
    QCOMPARE(sizes, frameSizes);
    QCOMPARE(sent, record.toHex().toUpper());
    if (record.size() == 7)
        QCOMPARE(rig.frames().first(), '\xF0' + QByteArray("0005010203FAFF") + '\xF7');
    QCOMPARE(rig.device->records, QList<QByteArray>{record});

    // 10 ms and 1 ms after each frame, then one poll of 1 ms that finds the answer.
    QList<unsigned int> pauses;
    for (int i = 0; i < frameSizes.size(); ++i)
        pauses << 10 << 1;
    QCOMPARE(rig.clock.pauses, pauses << 1);
    QCOMPARE(rig.clock.missedAnswers, 0);
}

void TestUpdateProtocol::handshake_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("attached");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("codes");
    QTest::addColumn<QString>("port"); // the one reported as connected
    QTest::addColumn<QString>("message");

    const QStringList normal = {QStringLiteral("Vellichord")};
    const QStringList updater = {QStringLiteral("Vellichord Updater")};
    QTest::newRow("ready at the first code") << normal << true << 0x3D << true << 1 << "Vellichord"
                                             << QStringLiteral("Please press Update to continue.");
    QTest::newRow("must be reset")
        << normal << true << 0x15 << false << 1 << "Vellichord"
        << QStringLiteral("Please disconnect and reconnect the Vellichord then press Update.");
    QTest::newRow("silent") << normal << true << 0 << false << 500 << "Vellichord" << noResponse;
    QTest::newRow("other answers ignored")
        << normal << true << 0x1A << false << 500 << "Vellichord" << noResponse;
    QTest::newRow("only the updater port")
        << updater << true << 0x3D << true << 1 << "Vellichord Updater"
        << QStringLiteral("Please press Update to continue.");
    QTest::newRow("no port of either name")
        << normal << false << 0x3D << false << 0 << "" << noResponse;
}

void TestUpdateProtocol::handshake()
{
    QFETCH(QStringList, ports);
    QFETCH(bool, attached);
    QFETCH(int, answer);
    QFETCH(bool, ready);
    QFETCH(int, codes);
    QFETCH(QString, port);
    QFETCH(QString, message);

    UpdateRig rig(ports, attached);
    rig.device->statusAnswer = quint8(answer);
    QSignalSpy connected(rig.protocol.get(), &UpdateProtocol::deviceConnected);
    QSignalSpy actions(rig.protocol.get(), &UpdateProtocol::actionsChanged);
    TraceCapture traces;

    QCOMPARE(rig.protocol->find_dfu(), ready);
    QCOMPARE(rig.codesSent(), codes);
    QCOMPARE(rig.clock.elapsedMs, 10 * codes); // one pause of 10 ms per code
    QCOMPARE(rig.device->connected, attached);
    QCOMPARE(connected.size(), port.isEmpty() ? 0 : 1);
    if (!port.isEmpty())
        QCOMPARE(connected.first().first().toString(), port);
    QCOMPARE(rig.shown.last(), message);
    // Update is enabled once a port of either name is open.
    QCOMPARE(rig.protocol->canUpdate(), attached);
    QVERIFY(rig.protocol->canOpenFile());
    QVERIFY(!rig.protocol->canConnect()); // no file loaded
    QVERIFY(!actions.isEmpty());
    QVERIFY(!rig.protocol->isBusy());
    QCOMPARE(traces.contains(QStringLiteral("Couldn't connect to Vellichord, trying Vellichord "
                                            "Updater")),
             !ports.contains(QStringLiteral("Vellichord")) || !attached);
    QCOMPARE(rig.clock.missedAnswers, 0);
    // A ready or reset answer is cleared once acted on; any other is left as it came.
    QCOMPARE(rig.monitor->status(), (answer == 0x3D || answer == 0x15 || !attached) ? 0 : answer);
}

void TestUpdateProtocol::handshakeEndsWhenTheCodeCannotBeSent()
{
    auto owned = std::make_unique<DeadPort>();
    DeadPort *port = owned.get();
    port->connect("Vellichord");
    QObject owner;
    MidiMonitor monitor(&owner, port);
    monitor.start();
    UpdateProtocol protocol(*port, monitor);
    QList<unsigned int> pauses;
    protocol.setPause([&](unsigned int ms) { pauses << ms; });
    QStringList shown;
    connect(&protocol, &UpdateProtocol::message, [&](const QString &text) { shown << text; });
    QSignalSpy connected(&protocol, &UpdateProtocol::deviceConnected);
    TraceCapture traces;

    QVERIFY(!protocol.find_dfu());
    // One attempt, and no waiting for an answer to it.
    QCOMPARE(port->attempts, QList<QByteArray>{'\xF0' + QByteArray("Qk8vR2x") + '\xF7'});
    QCOMPARE(pauses, QList<unsigned int>());
    QCOMPARE(shown, QStringList{noResponse});
    QVERIFY(traces.contains(QStringLiteral("Sending the update code failed with error 1")));
    QVERIFY(!traces.contains(QStringLiteral("Vellichord didn't respond.")));
    // The port did open.
    QCOMPARE(connected.size(), 1);
    QCOMPARE(connected.first().first().toString(), QStringLiteral("Vellichord"));
}

// The lines that say what to do next name no button when the command line runs the update.
void TestUpdateProtocol::commandLineWords_data()
{
    QTest::addColumn<bool>("attached");
    QTest::addColumn<int>("codeAnswer");
    QTest::addColumn<int>("recordAnswer"); // -1: the device goes during the first record
    QTest::addColumn<QString>("message");

    QTest::newRow("no device") << false << 0x3D << 0x1A
                               << "No response from the Vellichord.  Please connect it and run "
                                  "the update again.";
    QTest::newRow("must be reset") << true << 0x15 << 0x1A
                                   << "Please disconnect and reconnect the Vellichord, then run "
                                      "the update again.";
    QTest::newRow("silent to the records") << true << 0x3D << 0
                                           << "The Vellichord stopped answering.  Please "
                                              "reconnect it and run the update again.";
    QTest::newRow("gone during the transfer") << true << 0x3D << -1
                                              << "Lost the connection to the Vellichord.  "
                                                 "Please connect it and run the update again.";
}

void TestUpdateProtocol::commandLineWords()
{
    QFETCH(bool, attached);
    QFETCH(int, codeAnswer);
    QFETCH(int, recordAnswer);
    QFETCH(QString, message);

    UpdateRig rig({QStringLiteral("Vellichord")}, attached);
    rig.protocol->setWording(UpdateProtocol::Wording::CommandLine);
    rig.device->statusAnswer = quint8(codeAnswer);
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (recordAnswer < 0)
            unplug(rig.device);
        return quint8(qMax(recordAnswer, 0));
    };

    QVERIFY(!(rig.protocol->find_dfu(false) && transmit(rig, threeRecords())));
    QCOMPARE(rig.shown.last(), message);
    QCOMPARE(rig.shown.filter(QStringLiteral("press")), QStringList());
}

void TestUpdateProtocol::transfer_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QList<int>>("answers"); // to the records in turn; the last one repeats
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("recordsSent");
    QTest::addColumn<QString>("message"); // the last one shown
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("elapsedMs"); // 11 ms per frame, 1 ms per poll

    const QByteArray one = updateRecordOfSize(7);
    const QByteArray three = updateRecordOfSize(30) + updateRecordOfSize(40) + one;

    // Records of 3, 4 and 1 frames.
    QTest::newRow("complete at the last record")
        << three << QList<int>{0x1A, 0x1A, 0x77} << true << 3 << complete << 100 << 8 * 11 + 3;
    // Accepted records are no update until the device confirms it; it is waited for as for an
    // answer.
    QTest::newRow("all accepted, never confirmed")
        << three << QList<int>{0x1A} << false << 3 << notConfirmed << 90 << 8 * 11 + 3 + 5000;
    // The device ends the transfer, but records remain: no update.
    QTest::newRow("ended at the first record")
        << three << QList<int>{0x77} << false << 1 << endedAfterOne << 0 << 34;
    QTest::newRow("ended at the second record")
        << three << QList<int>{0x1A, 0x77} << false << 2
        << QStringLiteral("The Vellichord ended the update after 2 of 3 records.") << 38 << 34 + 45;
    QTest::newRow("damaged every time")
        << one << QList<int>{0x20} << false << 22 << tooManyFailures << 0 << 22 * 12;
    // A device that stops answering is not blamed on the file, and is given up on after the
    // silence limit: two resends, the last cut short.
    const int limit = int(UpdateProtocol::silenceLimitMs);
    QTest::newRow("never answered")
        << one << QList<int>{0} << false << 3 << stoppedAnswering << 0 << limit;
    QList<int> damagedThenSilent;
    for (int i = 0; i < 21; ++i)
        damagedThenSilent << 0x20;
    QTest::newRow("damaged, then silent") << one << (damagedThenSilent << 0) << false << 22
                                          << stoppedAnswering << 0 << 21 * 12 + 11 + 5000;
    // An answer of any kind starts the silence anew.
    QList<int> silentTwiceThenDamaged;
    for (int i = 0; i < 7; ++i)
        silentTwiceThenDamaged << 0 << 0 << 0x20;
    QTest::newRow("silent twice, then damaged, over and over")
        << one << (silentTwiceThenDamaged << 0x20) << false << 22 << tooManyFailures << 0
        << 7 * (2 * 5011 + 12) + 12;
    QTest::newRow("silent after accepted records")
        << three << QList<int>{0x1A, 0x1A, 0} << false << 5 << stoppedAnswering << 90
        << 7 * 11 + 2 + limit;
    QList<int> twentyOneFailures;
    for (int i = 0; i < 21; ++i)
        twentyOneFailures << (i % 2 ? 0x20 : 0);
    QTest::newRow("21 failures tolerated") << one << (twentyOneFailures << 0x77) << true << 22
                                           << complete << 100 << 11 * 5011 + 11 * 12;
    QList<int> failuresOverTwoRecords;
    for (int i = 0; i < 11; ++i)
        failuresOverTwoRecords << 0x20;
    failuresOverTwoRecords << 0x1A;
    failuresOverTwoRecords += failuresOverTwoRecords;
    QTest::newRow("failures counted over the whole transfer")
        << three << failuresOverTwoRecords << false << 23 << tooManyFailures << 38
        << 12 * 34 + 11 * 45;
    QTest::newRow("file error 0x21")
        << three << QList<int>{0x21} << false << 1 << fileError << 0 << 34;
    QTest::newRow("file error 0x22")
        << three << QList<int>{0x1A, 0x22} << false << 2 << fileError << 38 << 34 + 45;
    QTest::newRow("unknown answer 0x3D")
        << three << QList<int>{0x3D} << false << 1 << unknownError << 0 << 34;
    QTest::newRow("unknown answer 0x25")
        << three << QList<int>{0x1A, 0x25} << false << 2 << unknownError << 38 << 34 + 45;
    QTest::newRow("0 bytes") << QByteArray() << QList<int>{0x1A} << false << 0 << notConfirmed << 0
                             << 5000;
}

void TestUpdateProtocol::transfer()
{
    QFETCH(QByteArray, image);
    QFETCH(QList<int>, answers);
    QFETCH(bool, result);
    QFETCH(int, recordsSent);
    QFETCH(QString, message);
    QFETCH(int, progress);
    QFETCH(int, elapsedMs);

    UpdateRig rig;
    rig.device->recordAnswer = [&](const QByteArray &) {
        const int index = qMin(rig.device->records.size(), answers.size()) - 1;
        return quint8(answers[index]);
    };
    TraceCapture traces;

    QCOMPARE(transmit(rig, image), result);
    QCOMPARE(rig.device->records.size(), recordsSent);
    QCOMPARE(rig.shown.last(), message);
    QCOMPARE(rig.percent(), progress);
    QCOMPARE(traces.contains(unknownError), message == unknownError);
    QCOMPARE(rig.shown.filter(QStringLiteral("CRC Error")).size(),
             message == tooManyFailures ? 1 : 0);
    QCOMPARE(rig.clock.elapsedMs, qint64(elapsedMs));
    QCOMPARE(rig.clock.missedAnswers, 0);
}

void TestUpdateProtocol::progressCountsAcknowledgedBytes()
{
    UpdateRig rig;
    QList<int> seen; // the bar while each record goes out
    rig.device->recordAnswer = [&](const QByteArray &) {
        seen << rig.percent();
        return quint8(0x1A);
    };
    const QByteArray image = updateRecordOfSize(200) + updateRecordOfSize(800);

    QVERIFY(!transmit(rig, image));
    QCOMPARE(seen, (QList<int>{0, 20}));
    QCOMPARE(rig.percent(), 20); // no completion answer: the bar keeps its last value
    QCOMPARE(rig.shown.last(), notConfirmed);
}

void TestUpdateProtocol::recordThatDoesNotFitIsNotSent()
{
    UpdateRig rig;
    rig.answerRecords(0x1A);
    const QByteArray whole = QByteArray::fromHex("0005010203FAFF");
    const QByteArray image = whole + QByteArray::fromHex("000601");
    // Exactly the image's bytes, so that a read past them is caught by the sanitizer build.
    const auto exact = std::make_unique<unsigned char[]>(size_t(image.size()));
    std::memcpy(exact.get(), image.constData(), size_t(image.size()));

    QVERIFY(!rig.protocol->transmitUpdate(exact.get(), unsigned(image.size())));
    QCOMPARE(rig.device->records, QList<QByteArray>{whole});
    QCOMPARE(rig.frames().size(), 1);
    QCOMPARE(rig.shown.last(),
             QStringLiteral("Error, the update file is damaged: it ends inside record 2."));
}

void TestUpdateProtocol::lateStatusIsNotTheRecordsAnswer()
{
    // A second ready answer to the handshake (the editor sent a second code before the first
    // answer came) arrives while the record goes out; the record's own answer comes later.
    UpdateRig rig;
    rig.clock.beforePause = [&rig](int pause) {
        if (pause == 1)
            rig.sendStatusNow(0x3D);
        if (pause == 7) // the first poll after the last of three frames
            rig.sendStatusNow(0x1A);
        if (pause == 9) // the first poll after the record was accepted
            rig.sendStatusNow(0x77);
    };
    TraceCapture traces;

    QVERIFY(transmit(rig, updateRecordOfSize(30)));
    QCOMPARE(rig.frames().size(), 3);
    QCOMPARE(rig.clock.missedAnswers, 0);
    QVERIFY(traces.contains(QStringLiteral("Frame sent")));
    // The confirmation may come after the last record's own answer.
    QCOMPARE(rig.shown.last(), complete);
    QCOMPARE(rig.percent(), 100);
}

void TestUpdateProtocol::everyFrameAndAnswerIsTapped()
{
    UpdateRig rig;
    rig.answerRecords(0x1A);
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.protocol->find_dfu(false));
    QVERIFY(!transmit(rig, threeRecords())); // accepted, never confirmed

    QList<QByteArray> sent;
    QList<QByteArray> received;
    for (const MidiTrafficMessage &message : rig.monitor->takeTraffic())
        (message.outgoing ? sent : received) << message.bytes;
    // Everything the device got, the update code and every data frame, in order.
    QCOMPARE(sent, rig.device->received);
    QCOMPARE(sent.first(), SimulatedDevice::updateCode());
    QVERIFY(sent.size() > 3);
    // The answers: ready, then one per record.
    QCOMPARE(received,
             (QList<QByteArray>{QByteArray::fromHex("f03df7"), QByteArray::fromHex("f01af7"),
                                QByteArray::fromHex("f01af7"), QByteArray::fromHex("f01af7")}));
}

void TestUpdateProtocol::transferEndsWhenTheDeviceGoes_data()
{
    QTest::addColumn<int>("goneAt"); // the record during whose last frame the device goes
    QTest::addColumn<int>("answer"); // the answer it gave to that record before going
    QTest::addColumn<int>("frames"); // data frames the device received
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("elapsedMs"); // 11 ms per frame sent, 1 ms per poll

    // Records of 3, 4 and 1 frames.
    QTest::newRow("first record accepted") << 1 << 0x1A << 3 << 38 << 3 * 11 + 1;
    QTest::newRow("second record accepted") << 2 << 0x1A << 7 << 90 << 7 * 11 + 2;
    QTest::newRow("first record damaged") << 1 << 0x20 << 3 << 0 << 3 * 11 + 1;
    QTest::newRow("first record unanswered") << 1 << 0 << 3 << 0 << 3 * 11 + 5000;
}

void TestUpdateProtocol::transferEndsWhenTheDeviceGoes()
{
    QFETCH(int, goneAt);
    QFETCH(int, answer);
    QFETCH(int, frames);
    QFETCH(int, progress);
    QFETCH(int, elapsedMs);

    UpdateRig rig;
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() < goneAt)
            return quint8(0x1A);
        unplug(rig.device);
        return quint8(answer);
    };
    TraceCapture traces;
    const QByteArray image = updateRecordOfSize(30) + updateRecordOfSize(40)
        + updateRecordOfSize(7);

    QVERIFY(!transmit(rig, image));
    QCOMPARE(rig.device->records.size(), goneAt);
    QCOMPARE(rig.frames().size(), frames);
    // Nothing was tried after the failed frame: no pause, no poll, no resend.
    QCOMPARE(rig.clock.elapsedMs, qint64(elapsedMs));
    QCOMPARE(rig.shown.last(), connectionLost);
    QCOMPARE(rig.shown.filter(QStringLiteral("CRC Error")), QStringList());
    QCOMPARE(rig.percent(), progress);
    QVERIFY(traces.contains(QStringLiteral("Sending a data frame failed with error 1")));
    QCOMPARE(rig.clock.missedAnswers, 0);
}

void TestUpdateProtocol::recordIsCutShortWhenTheDeviceGoes()
{
    UpdateRig rig;
    rig.answerRecords(0x1A);
    // The device goes after the first frame of the first record.
    QList<unsigned int> pauses;
    rig.protocol->setPause([&](unsigned int ms) {
        pauses << ms;
        unplug(rig.device);
    });

    QVERIFY(!transmit(rig, updateRecordOfSize(30)));
    QCOMPARE(rig.frames().size(), 1);
    QCOMPARE(pauses, (QList<unsigned int>{10, 1}));
    QVERIFY(rig.device->records.isEmpty());
    QCOMPARE(rig.shown.last(), connectionLost);
}

void TestUpdateProtocol::progressReportsRecordsAndBytes_data()
{
    QTest::addColumn<QList<int>>("answers"); // to the records in turn; the last one repeats
    // Each report as records, bytes and percent; the totals are 3 records and 77 bytes.
    QTest::addColumn<QList<QList<int>>>("reports");

    // The bar lags the count: it moves as the next record goes out.
    const QList<int> start = {0, 0, 0};
    QTest::newRow("all accepted") << QList<int>{
        0x1A} << QList<QList<int>>{start,       start,       {1, 30, 0}, {1, 30, 38},
                                   {2, 70, 38}, {2, 70, 90}, {3, 77, 90}};
    // The record answered with the end was taken too; with records left, the bar stays.
    QTest::newRow("ended at the second record")
        << QList<int>{0x1A, 0x77}
        << QList<QList<int>>{start, start, {1, 30, 0}, {1, 30, 38}, {2, 70, 38}};
    // A resend reports the same again.
    QTest::newRow("second record resent")
        << QList<int>{0x1A, 0x20, 0x1A}
        << QList<QList<int>>{start,       start,       {1, 30, 0},  {1, 30, 38},
                             {1, 30, 38}, {2, 70, 38}, {2, 70, 90}, {3, 77, 90}};
    QTest::newRow("file error") << QList<int>{0x21} << QList<QList<int>>{start, start};
}

void TestUpdateProtocol::progressReportsRecordsAndBytes()
{
    QFETCH(QList<int>, answers);
    QFETCH(QList<QList<int>>, reports);

    UpdateRig rig;
    int answered = 0;
    rig.device->recordAnswer = [&](const QByteArray &) {
        return quint8(answers[qMin(answered++, answers.size() - 1)]);
    };
    rig.transmit(threeRecords());

    QList<QList<int>> seen;
    for (const UpdateProgress &step : rig.progress) {
        QCOMPARE(step.recordsTotal, 3u);
        QCOMPARE(step.bytesTotal, 77u);
        seen << QList<int>{int(step.records), int(step.bytes), step.percent};
    }
    QCOMPARE(seen, reports);
}

void TestUpdateProtocol::actionsFollowLoadHandshakeAndRuns()
{
    QVERIFY(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("good.hex"));
    const QString damaged = dir.filePath(QStringLiteral("damaged.hex"));
    QVERIFY(writeFile(good, threeRecords().toHex(' ')));
    QVERIFY(writeFile(damaged, "00 05 01 02 03 FA FE"));

    UpdateRig rig;
    rig.device->statusAnswer = 0x3D;
    confirmAtRecord(rig.device, 3);
    UpdateProtocol &protocol = *rig.protocol;
    QSignalSpy busy(&protocol, &UpdateProtocol::busyChanged);
    QList<QList<bool>> during;
    QList<bool> busyDuring;
    rig.clock.beforePause = [&](int) {
        during << actions(protocol);
        busyDuring << protocol.isBusy();
    };

    QCOMPARE(actions(protocol), (QList<bool>{true, false, false}));
    QVERIFY(!protocol.load_update_binary(damaged));
    QCOMPARE(actions(protocol), (QList<bool>{true, false, false}));
    QVERIFY(protocol.load_update_binary(good));
    QCOMPARE(actions(protocol), (QList<bool>{true, true, false}));
    QVERIFY(busy.isEmpty());

    QVERIFY(protocol.switchToUpdateMode());
    QCOMPARE(actions(protocol), (QList<bool>{true, true, true}));
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.at(0).first().toBool(), true);
    QCOMPARE(busy.at(1).first().toBool(), false);

    // The handshake and the transfer of one Update share one busy spell.
    busy.clear();
    during.clear();
    QVERIFY(protocol.doUpdate());
    QCOMPARE(rig.device->records.size(), 3);
    QCOMPARE(busy.size(), 2);
    QVERIFY(!during.isEmpty());
    QCOMPARE(during.count(QList<bool>{false, false, false}), during.size());
    QVERIFY(!busyDuring.contains(false));
    QVERIFY(!protocol.isBusy());
    QCOMPARE(actions(protocol), (QList<bool>{true, true, true}));

    // A refused file takes Connect and Update away again.
    QVERIFY(!protocol.load_update_binary(damaged));
    QCOMPARE(protocol.getImageSize(), 0u);
    QCOMPARE(actions(protocol), (QList<bool>{true, false, false}));
}

void TestUpdateProtocol::transferStopsBetweenRecords_data()
{
    QTest::addColumn<QList<int>>("answers"); // to the records in turn; the last one repeats
    QTest::addColumn<int>("stopDuring");     // the record sent when the stop is asked for
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("recordsSent");
    QTest::addColumn<int>("recordsAccepted");
    QTest::addColumn<QString>("message"); // the last one shown

    const QList<int> accepted = {0x1A};
    QTest::newRow("during the first record") << accepted << 1 << false << 1 << 1 << stopped;
    QTest::newRow("during the second record") << accepted << 2 << false << 2 << 2 << stopped;
    // Nothing is left to stop after the last record; the device did not confirm the update.
    QTest::newRow("during the last record") << accepted << 3 << false << 3 << 3 << notConfirmed;
    // A record that must be sent again is not.
    QTest::newRow("during a damaged record")
        << QList<int>{0x1A, 0x20, 0x1A} << 2 << false << 2 << 1 << stopped;
    // The device's own end comes first.
    QTest::newRow("during the record that completes it")
        << QList<int>{0x1A, 0x1A, 0x77} << 3 << true << 3 << 3 << complete;
}

void TestUpdateProtocol::transferStopsBetweenRecords()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, stopDuring);
    QFETCH(bool, result);
    QFETCH(int, recordsSent);
    QFETCH(int, recordsAccepted);
    QFETCH(QString, message);

    UpdateRig rig;
    int answered = 0;
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == stopDuring)
            rig.protocol->requestStop();
        return quint8(answers[qMin(answered++, answers.size() - 1)]);
    };
    QSignalSpy busy(rig.protocol.get(), &UpdateProtocol::busyChanged);
    TraceCapture traces;

    QCOMPARE(rig.transmit(threeRecords()), result);
    QCOMPARE(rig.device->records.size(), recordsSent);
    QCOMPARE(rig.progress.last().records, unsigned(recordsAccepted));
    QCOMPARE(rig.shown.last(), message);
    QCOMPARE(rig.shown.count(stopped), message == stopped ? 1 : 0);
    QCOMPARE(traces.contains(QStringLiteral("Transfer stopped on request; records accepted: %1")
                                 .arg(recordsAccepted)),
             message == stopped);
    QVERIFY(!rig.protocol->isBusy());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.last().first().toBool(), false);
    QCOMPARE(rig.clock.missedAnswers, 0);

    // The request is used up: the next run goes through.
    rig.device->records.clear();
    confirmAtRecord(rig.device, 3);
    QVERIFY(rig.transmit(threeRecords()));
    QCOMPARE(rig.device->records.size(), 3);
}

void TestUpdateProtocol::stopRequestedBeforeARunIsIgnored()
{
    UpdateRig rig;
    confirmAtRecord(rig.device, 3);
    rig.protocol->requestStop();

    QVERIFY(rig.transmit(threeRecords()));
    QCOMPARE(rig.device->records.size(), 3);
    QVERIFY(!rig.shown.contains(stopped));
}

void TestUpdateProtocol::stopEndsTheWaitForASilentDevice()
{
    UpdateRig rig;
    rig.device->recordAnswer = [&](const QByteArray &) {
        rig.protocol->requestStop();
        return quint8(0);
    };

    QVERIFY(!rig.transmit(threeRecords()));
    QCOMPARE(rig.device->records.size(), 1);
    QCOMPARE(rig.shown.last(), stopped);
    // Three frames and one poll: the stop did not wait out the answer's 5000 polls.
    QCOMPARE(rig.clock.elapsedMs, 3 * 11 + 1);
}

// The default pause keeps the event loop running without any window, so that a stop asked for
// from it (as the command line's Ctrl-C handler does) reaches a running transfer.
void TestUpdateProtocol::realClockTakesAStopFromTheEventLoop()
{
    UpdateRig rig;
    rig.protocol->setPause({});
    rig.answerRecords(0x1A);
    QTimer::singleShot(0, rig.protocol.get(), [&rig] { rig.protocol->requestStop(); });

    QVERIFY(!rig.transmit(threeRecords()));
    QCOMPARE(rig.device->records.size(), 1);
    QCOMPARE(rig.shown.last(), stopped);
}

void TestUpdateProtocol::updateStopsDuringTheHandshake_data()
{
    QTest::addColumn<int>("answer"); // to the update code
    QTest::addColumn<int>("stopAtPause");
    QTest::addColumn<int>("codes");
    QTest::addColumn<QStringList>("messages");

    // Not yet in update mode: the device is left as it was.
    QTest::newRow("device silent") << 0 << 3 << 3 << QStringList{stoppedEarly};
    // Ready: the device waits for an update, and needs one now. Update needs no prompt to press
    // it.
    QTest::newRow("device ready") << 0x3D << 1 << 1 << QStringList{updating, stopped};
}

void TestUpdateProtocol::updateStopsDuringTheHandshake()
{
    QFETCH(int, answer);
    QFETCH(int, stopAtPause);
    QFETCH(int, codes);
    QFETCH(QStringList, messages);

    QVERIFY(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("good.hex"));
    QVERIFY(writeFile(good, threeRecords().toHex(' ')));
    UpdateRig rig;
    QVERIFY(rig.protocol->load_update_binary(good));
    rig.shown.clear();
    rig.device->statusAnswer = quint8(answer);
    rig.answerRecords(0x1A);
    rig.clock.beforePause = [&](int pause) {
        if (pause == stopAtPause)
            rig.protocol->requestStop();
    };

    QVERIFY(!rig.protocol->doUpdate());
    QCOMPARE(rig.codesSent(), codes);
    QVERIFY(rig.device->records.isEmpty());
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.shown, messages);
    QVERIFY(!rig.protocol->isBusy());
}

void TestUpdateProtocol::runsGiveWayToAnotherProgramsUpdate_data()
{
    QTest::addColumn<bool>("transfer"); // else the handshake alone

    QTest::newRow("handshake") << false;
    QTest::newRow("transfer") << true;
}

// A run holds the update claim while it lasts, and refuses to start while another holds it.
void TestUpdateProtocol::runsGiveWayToAnotherProgramsUpdate()
{
    QFETCH(bool, transfer);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const QByteArray image = updateRecordOfSize(64) + updateRecord(QByteArray());
    UpdateRig rig;
    rig.device->statusAnswer = 0x3D;
    confirmAtRecord(rig.device, 2);
    const auto run = [&] { return transfer ? transmit(rig, image) : rig.protocol->find_dfu(); };

    DeviceClaim other(DeviceClaim::Kind::Update);
    QVERIFY(other.take());
    QVERIFY(!run());
    QCOMPARE(rig.shown.last(),
             QStringLiteral("Update refused: %1 is updating the Vellichord's firmware")
                 .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    QCOMPARE(rig.device->received, QList<QByteArray>());
    QVERIFY(!rig.protocol->isBusy());

    other.release();
    bool claimedMeanwhile = true;
    rig.clock.beforePause = [&](int) {
        claimedMeanwhile = claimedMeanwhile && DeviceClaim::isHeld(DeviceClaim::Kind::Update);
    };
    QVERIFY(run());
    QVERIFY(!rig.clock.pauses.isEmpty());
    QVERIFY(claimedMeanwhile);
    QVERIFY(!DeviceClaim::isHeld(DeviceClaim::Kind::Update));
}

QTEST_GUILESS_MAIN(TestUpdateProtocol)
#include "tst_updateprotocol.moc"
