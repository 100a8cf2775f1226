#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../updater/updaterrig.h"
#include "emulateddevice.h"
#include "mainwindow.h"
#include "midicontroller.h"

#include <QtTest>

namespace {

using Answers = QList<QByteArray>;

QByteArray status(unsigned char value)
{
    return QByteArray("\xF0", 1) + char(value) + '\xF7';
}

// The frames an update sends for record: 11 image bytes each, in upper-case hex.
QList<QByteArray> framesOf(const QByteArray &record)
{
    QList<QByteArray> frames;
    for (int start = 0; start < record.size(); start += 11)
        frames << '\xF0' + record.mid(start, 11).toHex().toUpper() + '\xF7';
    return frames;
}

// Sends record frame by frame; returns the answers to its last frame, and checks that no
// earlier frame was answered.
Answers sendRecord(EmulatedDevice &device, const QByteArray &record)
{
    const QList<QByteArray> frames = framesOf(record);
    for (int i = 0; i < frames.size() - 1; ++i) {
        if (!device.receive(frames[i]).isEmpty())
            qFatal("a frame inside a record was answered");
    }
    return device.receive(frames.last());
}

QByteArray type1Of(const QByteArray &patch)
{
    QByteArray message = patch;
    message[6] = 0x61;
    return message;
}

QByteArray withPreset(QByteArray message, int presetNo)
{
    message[9] = char(presetNo);
    return message;
}

// The device's own patch for presetNo, as the editor sends it.
QByteArray ownFor(int presetNo)
{
    return withPreset(type1Of(SimulatedDevice::ownPatch()), presetNo);
}

} // namespace

Q_DECLARE_METATYPE(EmulatedDevice::Reply)

class TestEmulatedDevice : public QObject
{
    Q_OBJECT

private slots:
    void factoryPatchIsTheEditorsDefault();
    void patchExchange();
    void malformedReplies_data();
    void malformedReplies();
    void patchFiles();
    void twentyPresets_data();
    void twentyPresets();
    void everyNthPatchIgnored();
    void libraryIntoThePresets();
    void updateCodeAnswers();
    void recordsAreJudgedAndCollected();
    void updateNeverConfirmed();
    void droppedAnswers();
    void damagedRecordsEveryN();
    void newHandshakeStartsANewImage();
    void describesTheTraffic_data();
    void describesTheTraffic();
};

void TestEmulatedDevice::factoryPatchIsTheEditorsDefault()
{
    MainWindow window(noDevice());
    const QByteArray editor(
        reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()), 348);
    QCOMPARE(type1Of(EmulatedDevice::defaultPatch()).toHex(' '), editor.toHex(' '));
}

void TestEmulatedDevice::patchExchange()
{
    EmulatedDevice device;
    QCOMPARE(device.receive(EmulatedDevice::patchRequest()), Answers{device.patchMessage()});

    const QByteArray own = SimulatedDevice::ownPatch();
    QVERIFY(device.receive(type1Of(own)).isEmpty()); // no acknowledgement
    QCOMPARE(device.receive(EmulatedDevice::patchRequest()), Answers{own});

    // Not a Type 1 message: the patch stays.
    const QByteArray other = EmulatedDevice::defaultPatch();
    for (const QByteArray &ignored : {type1Of(other).left(346) + '\xF7', other,
                                      QByteArray(type1Of(other)).replace(347, 1, "\x00")}) {
        QVERIFY(device.receive(ignored).isEmpty());
        QCOMPARE(device.patchMessage(), own);
    }
    QVERIFY(device.receive(QByteArray::fromHex("f07ef7")).isEmpty());
    QCOMPARE(device.answersSent, 0); // patches are not status answers
}

void TestEmulatedDevice::malformedReplies_data()
{
    QTest::addColumn<EmulatedDevice::Reply>("reply");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("kind");

    QTest::newRow("truncated") << EmulatedDevice::Reply::Truncated << 101 << 0x63;
    QTest::newRow("other kind") << EmulatedDevice::Reply::OtherKind << 348 << 0x62;
    QTest::newRow("overlong") << EmulatedDevice::Reply::Overlong << 1100 << 0x11;
    QTest::newRow("nothing") << EmulatedDevice::Reply::Nothing << 0 << 0;
}

void TestEmulatedDevice::malformedReplies()
{
    QFETCH(EmulatedDevice::Reply, reply);
    QFETCH(int, size);
    QFETCH(int, kind);

    EmulatedDevice device;
    device.reply = reply;
    const Answers answers = device.receive(EmulatedDevice::patchRequest());
    if (size == 0) {
        QVERIFY(answers.isEmpty());
        return;
    }
    QCOMPARE(answers.size(), 1);
    const QByteArray &answer = answers.first();
    QCOMPARE(answer.size(), size);
    QCOMPARE(quint8(answer.front()), quint8(0xF0));
    QCOMPARE(quint8(answer.back()), quint8(0xF7));
    QCOMPARE(int(quint8(answer[6])), kind);
}

void TestEmulatedDevice::patchFiles()
{
    QTemporaryDir folder;
    const QByteArray own = SimulatedDevice::ownPatch();
    EmulatedDevice device;
    QString error;

    // A saved file (Type 1), with bytes after the patch that are not part of it.
    const QString saved = folder.filePath(QStringLiteral("saved.syx"));
    QVERIFY(writeFile(saved, type1Of(own) + "trailing"));
    QVERIFY2(device.loadPatchFile(saved, &error), qPrintable(error));
    QCOMPARE(device.patchMessage(), own);
    // Every preset starts anew as the file's patch.
    QCOMPARE(device.currentPreset(), int(SimulatedDevice::presetNo));
    QCOMPARE(device.presetMessages().at(12), withPreset(type1Of(own), 12));

    const QByteArray before = device.patchMessage();
    const QString cut = folder.filePath(QStringLiteral("cut.syx"));
    QVERIFY(writeFile(cut, type1Of(EmulatedDevice::defaultPatch()).left(347)));
    QVERIFY(!device.loadPatchFile(cut, &error));
    QCOMPARE(error,
             QStringLiteral("cannot load the patch file %1: shorter than 348 bytes").arg(cut));
    QVERIFY(!device.loadPatchFile(folder.filePath(QStringLiteral("none.syx")), &error));
    QCOMPARE(error,
             QStringLiteral("cannot load the patch file %1: cannot be read")
                 .arg(folder.filePath(QStringLiteral("none.syx"))));
    const QString request = folder.filePath(QStringLiteral("request.syx"));
    QByteArray requestKind = type1Of(EmulatedDevice::defaultPatch());
    requestKind[6] = 0x62;
    QVERIFY(writeFile(request, requestKind));
    QVERIFY(!device.loadPatchFile(request, &error));
    QCOMPARE(error, QStringLiteral("cannot load the patch file %1: not a patch file").arg(request));
    QCOMPARE(device.patchMessage(), before);
}

void TestEmulatedDevice::twentyPresets_data()
{
    // Steps: "p N" sends the own patch for preset N, "s N" selects preset N.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("stored"); // presets holding the own patch

    QTest::newRow("fresh") << QStringList{} << 0 << QList<int>{};
    QTest::newRow("a patch makes its preset current") << QStringList{"p 7"} << 7 << QList<int>{7};
    QTest::newRow("several") << QStringList{"p 19", "p 3"} << 3 << QList<int>{3, 19};
    QTest::newRow("selected back") << QStringList{"p 19", "s 4", "s 19"} << 19 << QList<int>{19};
    QTest::newRow("preset outside 0..19 is held, stored nowhere")
        << QStringList{"p 2", "p 20"} << -1 << QList<int>{2};
    QTest::newRow("selecting outside 0..19 changes nothing")
        << QStringList{"p 2", "s 20", "s -1"} << 2 << QList<int>{2};
}

void TestEmulatedDevice::twentyPresets()
{
    QFETCH(QStringList, steps);
    QFETCH(int, current);
    QFETCH(QList<int>, stored);

    EmulatedDevice device;
    QByteArray answer = device.patchMessage();
    for (const QString &step : steps) {
        const int presetNo = step.mid(2).toInt();
        if (step.startsWith('p')) {
            QVERIFY(device.receive(ownFor(presetNo)).isEmpty());
            answer = withPreset(SimulatedDevice::ownPatch(), presetNo);
        } else if (device.selectPreset(presetNo)) {
            answer = withPreset(stored.contains(presetNo) ? SimulatedDevice::ownPatch()
                                                          : EmulatedDevice::defaultPatch(),
                                presetNo);
        }
    }
    QCOMPARE(device.currentPreset(), current);
    QCOMPARE(device.receive(EmulatedDevice::patchRequest()), Answers{answer});
    const QList<QByteArray> memories = device.presetMessages();
    QCOMPARE(memories.size(), 20);
    for (int presetNo = 0; presetNo < 20; ++presetNo)
        QCOMPARE(memories[presetNo],
                 stored.contains(presetNo)
                     ? ownFor(presetNo)
                     : withPreset(type1Of(EmulatedDevice::defaultPatch()), presetNo));
}

void TestEmulatedDevice::everyNthPatchIgnored()
{
    EmulatedDevice device;
    device.ignorePatchEvery = 3;
    QStringList notes;
    device.note = [&](const QString &text) { notes << text; };
    for (int presetNo = 0; presetNo < 6; ++presetNo)
        device.receive(ownFor(presetNo));

    const QList<QByteArray> memories = device.presetMessages();
    for (int presetNo = 0; presetNo < 6; ++presetNo)
        QCOMPARE(memories[presetNo] == ownFor(presetNo), presetNo != 2 && presetNo != 5);
    // The last was ignored: the one before stays current.
    QCOMPARE(device.currentPreset(), 4);
    QCOMPARE(notes.size(), 2);
    QCOMPARE(notes.last(), "ignored patch: " + EmulatedDevice::describe(ownFor(5)));
    // Answers are not counted with them.
    QCOMPARE(device.receive(EmulatedDevice::patchRequest()).size(), 1);
}

void TestEmulatedDevice::libraryIntoThePresets()
{
    EmulatedDevice device;
    device.selectPreset(4);
    device.loadPresets({ownFor(4), ownFor(11)});
    QCOMPARE(device.patchMessage(), withPreset(SimulatedDevice::ownPatch(), 4));
    QCOMPARE(device.presetMessages().at(11), ownFor(11));
    QCOMPARE(device.presetMessages().at(10),
             withPreset(type1Of(EmulatedDevice::defaultPatch()), 10));
}

void TestEmulatedDevice::updateCodeAnswers()
{
    EmulatedDevice device;
    QCOMPARE(device.receive(EmulatedDevice::updateCode()), Answers{status(0x3D)});
    device.statusAnswer = EmulatedDevice::statusReset;
    QCOMPARE(device.receive(EmulatedDevice::updateCode()), Answers{status(0x15)});
    device.statusAnswer = 0;
    QVERIFY(device.receive(EmulatedDevice::updateCode()).isEmpty());
    QCOMPARE(device.answersSent, 2);
    QCOMPARE(device.lastAnswer, 0x15);
}

void TestEmulatedDevice::recordsAreJudgedAndCollected()
{
    EmulatedDevice device;
    QByteArray completed;
    device.imageComplete = [&](const QByteArray &image) { completed = image; };
    device.receive(EmulatedDevice::updateCode());

    const QByteArray first = updateRecordOfSize(23); // two full frames and one of one byte
    const QByteArray second = updateRecord("\x01\x02\x03");
    QCOMPARE(sendRecord(device, first), Answers{status(0x1A)});
    QByteArray damaged = second;
    damaged[3] = char(damaged[3] + 1);
    QCOMPARE(sendRecord(device, damaged), Answers{status(0x20)});
    QCOMPARE(sendRecord(device, second), Answers{status(0x1A)});
    // The same record twice in a row, both answered: an image may hold that.
    QCOMPARE(sendRecord(device, second), Answers{status(0x1A)});
    QCOMPARE(sendRecord(device, QByteArray::fromHex("0001ff")), Answers{status(0x22)});
    QVERIFY(completed.isEmpty());

    const QByteArray end = updateRecord(QByteArray());
    QCOMPARE(end, QByteArray::fromHex("00020000"));
    QCOMPARE(sendRecord(device, end), Answers{status(0x77)});
    QCOMPARE(completed.toHex(), (first + second + second + end).toHex());
    QCOMPARE(device.image, completed);
    QCOMPARE(device.records.size(), 6);
    QCOMPARE(device.answersSent, 7);
}

// --no-confirm: the record that ends the image is accepted like any other.
void TestEmulatedDevice::updateNeverConfirmed()
{
    EmulatedDevice device;
    device.confirmUpdate = false;
    bool completed = false;
    device.imageComplete = [&](const QByteArray &) { completed = true; };
    const QByteArray record = updateRecordOfSize(30);
    QCOMPARE(sendRecord(device, record), Answers{status(0x1A)});
    QCOMPARE(sendRecord(device, updateRecord(QByteArray())), Answers{status(0x1A)});
    QVERIFY(!completed);
    QCOMPARE(device.image, record + updateRecord(QByteArray()));
}

void TestEmulatedDevice::droppedAnswers()
{
    EmulatedDevice device;
    device.dropEvery = 3;
    QStringList notes;
    device.note = [&](const QString &text) { notes << text; };

    QCOMPARE(device.receive(EmulatedDevice::patchRequest()).size(), 1); // answer 1
    QCOMPARE(device.receive(EmulatedDevice::updateCode()).size(), 1);   // answer 2
    const QByteArray record = updateRecordOfSize(30);
    QVERIFY(sendRecord(device, record).isEmpty()); // answer 3, dropped
    QCOMPARE(notes, QStringList{"dropped answer: status 0x1A, record accepted (3 bytes)"});
    QCOMPARE(device.answersSent, 1);

    // The editor sends the record again: it is answered, and kept once.
    QCOMPARE(sendRecord(device, record), Answers{status(0x1A)});
    QCOMPARE(notes.last(), QStringLiteral("record resent after its answer was dropped"));
    QCOMPARE(device.image, record);
    QCOMPARE(sendRecord(device, updateRecordOfSize(12)), Answers{status(0x1A)});
    QVERIFY(device.receive(EmulatedDevice::patchRequest()).isEmpty()); // answer 6, dropped
    QCOMPARE(device.image, record + updateRecordOfSize(12));
}

void TestEmulatedDevice::damagedRecordsEveryN()
{
    EmulatedDevice device;
    device.crcErrorEvery = 2;
    const QByteArray a = updateRecordOfSize(15);
    const QByteArray b = updateRecordOfSize(40);
    QCOMPARE(sendRecord(device, a), Answers{status(0x1A)});
    QCOMPARE(sendRecord(device, b), Answers{status(0x20)});
    QCOMPARE(sendRecord(device, b), Answers{status(0x1A)});
    QCOMPARE(sendRecord(device, updateRecord(QByteArray())), Answers{status(0x20)});
    QCOMPARE(device.image, a + b);
}

void TestEmulatedDevice::newHandshakeStartsANewImage()
{
    EmulatedDevice device;
    const QByteArray record = updateRecordOfSize(30);
    QCOMPARE(sendRecord(device, record), Answers{status(0x1A)});
    // Half a record, then the editor starts over.
    device.receive(framesOf(record).first());
    device.receive(EmulatedDevice::updateCode());
    QVERIFY(device.image.isEmpty());
    QCOMPARE(sendRecord(device, record), Answers{status(0x1A)});
    QCOMPARE(device.image, record);
}

void TestEmulatedDevice::describesTheTraffic_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("line");

    QByteArray named = type1Of(EmulatedDevice::defaultPatch());
    named.replace(11, 16, QByteArray("abc").leftJustified(16, '\0'));
    named[9] = 7;
    QByteArray percent = named;
    percent.replace(11, 16, QByteArray("50%3 %1").leftJustified(16, '\0'));
    QByteArray escape = named;
    escape.replace(11, 16,
                   QByteArray("\x1b]0;x\x07\x1b[2J\x9b"
                              "1m\\")
                       .leftJustified(16, '\0'));
    QTest::newRow("control characters in the name")
        << escape << "Type 1 patch \"\\x1b]0;x\\x07\\x1b[2J\\x9b1m\\\\\", preset 7 (348 bytes)";
    QTest::newRow("name with place markers")
        << percent << "Type 1 patch \"50%3 %1\", preset 7 (348 bytes)";
    QTest::newRow("request") << EmulatedDevice::patchRequest() << "patch request (10 bytes)";
    QTest::newRow("type 1") << named << "Type 1 patch \"abc\", preset 7 (348 bytes)";
    QTest::newRow("type 2") << EmulatedDevice::defaultPatch()
                            << "Type 2 patch \"tarvelvellichord\", preset 0 (348 bytes)";
    QTest::newRow("code") << EmulatedDevice::updateCode() << "update code (9 bytes)";
    QTest::newRow("status") << status(0x20) << "status 0x20, record damaged (3 bytes)";
    QTest::newRow("unknown status") << status(0x05) << "status 0x05, unknown (3 bytes)";
    QTest::newRow("frame") << QByteArray("\xF0"
                                         "0005010203FAFF\xF7")
                           << "data frame of 7 image bytes (16 bytes)";
    QTest::newRow("lower-case frame") << QByteArray("\xF0"
                                                    "0a\xF7")
                                      << "other SysEx message (4 bytes)";
    QTest::newRow("note") << QByteArray::fromHex("903c7f") << "message that is not SysEx (3 bytes)";
}

void TestEmulatedDevice::describesTheTraffic()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, line);
    QCOMPARE(EmulatedDevice::describe(message), line);
}

QTEST_MAIN(TestEmulatedDevice)
#include "tst_emulateddevice.moc"
