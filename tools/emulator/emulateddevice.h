#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>

// How a Vellichord answers what it receives, with no MIDI port attached: the emulator program
// and the tests' in-process device both put their ports in front of it.
//
// It holds twenty presets, each a patch in a memory of its own, and one of them is current: it
// answers the patch request with the current preset's patch as a Type 2 message. A Type 1
// message for preset n is stored into memory n and makes n current, so the request that
// follows it answers with the patch just stored. A Type 1 message for a preset number outside
// 0..19 is held as the current patch and stored nowhere. It answers the update code with
// statusAnswer, reassembles records from the data frames of an update and answers each: accepted
// (0x1A) when its checksum holds, damaged (0x20) when not, bad length (0x22) when its length is
// below 2. A record with an empty body ends the image: it is answered 0x77 and the image is
// complete. Faults for testing are set through the public members.
class EmulatedDevice
{
public:
    enum class Reply {
        Patch,     // the Type 2 message of its patch
        Nothing,   // stays silent
        Truncated, // the first 100 bytes of its patch, closed with F7
        OtherKind, // 348 bytes whose kind byte is the request's
        Overlong,  // 1100 bytes between F0 and F7, more than any message may hold
    };

    static constexpr unsigned char statusReset = 0x15;
    static constexpr unsigned char statusOk = 0x1A;
    static constexpr unsigned char statusCrc = 0x20;
    static constexpr unsigned char statusCode = 0x21;
    static constexpr unsigned char statusLen = 0x22;
    static constexpr unsigned char statusReady = 0x3D;
    static constexpr unsigned char statusDone = 0x77;

    static constexpr int presetCount = 20;

    // Every memory starts as patch with its own preset number; the current preset is patch's.
    explicit EmulatedDevice(const QByteArray &patch = defaultPatch());
    virtual ~EmulatedDevice() = default;

    // The patch of a device fresh from the factory, as a Type 2 message: the editor's
    // defaults, preset 0, named "tarvelvellichord".
    static QByteArray defaultPatch();
    static QByteArray patchRequest();
    static QByteArray updateCode();
    // An update's data frame: F0, image bytes as pairs of upper-case hex digits, F7.
    static bool isDataFrame(const QByteArray &message);
    // One line saying what a message is, for a trace of the traffic.
    static QString describe(const QByteArray &message);

    // Takes a message in and returns the device's answers to it, in order.
    QList<QByteArray> receive(const QByteArray &message);

    // The Type 2 message of the patch it holds now.
    const QByteArray &patchMessage() const { return patch; }
    // Takes over the patch of a patch file: its first 348 bytes, a Type 1 or Type 2 message.
    // Every memory starts anew as that patch with its own preset number. On failure nothing
    // changes and error says why.
    bool loadPatchFile(const QString &path, QString *error);

    // The preset whose memory answers the patch request; -1 while the patch held is of a
    // preset number outside 0..19.
    int currentPreset() const { return current; }
    // Makes a preset 0..19 current, as stepping through the presets on the device does.
    bool selectPreset(int presetNo);
    // Each memory as the Type 1 message that stores it, preset 0 first: a library file.
    QList<QByteArray> presetMessages() const;
    // The messages of a library file into the memories of their preset numbers; the current
    // preset answers with what its memory now holds.
    void loadPresets(const QList<QByteArray> &messages);

    Reply reply = Reply::Patch;
    // The answer to the update code: 0x3D when ready, 0x15 when it must be reset first;
    // 0 gives none.
    unsigned char statusAnswer = statusReady;
    // When set, answers each complete record in place of the checksum test; 0 gives none.
    std::function<unsigned char(const QByteArray &record)> recordAnswer;
    // When above 0, every n-th answer (patch or status) is not sent.
    int dropEvery = 0;
    // When above 0, every n-th Type 1 message received is ignored: nothing is stored.
    int ignorePatchEvery = 0;
    // When above 0, every n-th complete record is answered 0x20 and not kept.
    int crcErrorEvery = 0;
    // When false, the record that ends the image is answered 0x1A like any other: the update
    // is never confirmed and never complete.
    bool confirmUpdate = true;
    // Told about what happens besides the messages: answers dropped, records resent, an image
    // completed.
    std::function<void(const QString &)> note;
    // Called with the whole image when its last record arrives, before that is answered.
    std::function<void(const QByteArray &image)> imageComplete;

    // Every complete record received, resends included.
    QList<QByteArray> records;
    // The records accepted since the last update code, in order.
    QByteArray image;
    // Status answers sent so far, and the last of them.
    int answersSent = 0;
    unsigned char lastAnswer = 0;

private:
    void answerRequest(QList<QByteArray> &answers);
    void takeFrame(const QByteArray &frame, QList<QByteArray> &answers);
    unsigned char judge(const QByteArray &record);
    // Adds message to answers unless a dropped answer is due; false when it was dropped.
    bool answer(const QByteArray &message, QList<QByteArray> &answers);
    // The same for a status answer, which is counted in answersSent and lastAnswer when sent.
    bool answerStatus(unsigned char status, QList<QByteArray> &answers);
    void tell(const QString &text) const;

    // Every memory as message with its own preset number, and message held.
    void startWith(const QByteArray &message);
    // Takes a patch message into the memory of its preset number and makes that current.
    void hold(const QByteArray &message);

    QByteArray patch;
    std::array<QByteArray, presetCount> memories; // Type 2 messages
    int current = -1;
    int patchesReceived = 0;  // Type 1 messages counted for ignorePatchEvery
    QByteArray pendingRecord; // frames received so far of a record not yet complete
    int answersDue = 0;       // answers counted for dropEvery, sent or not
    int recordsJudged = 0;    // records counted for crcErrorEvery
    // The last record answered, with its answer; a record sent again because that answer was
    // dropped gets it again instead of being kept twice.
    QByteArray lastRecord;
    unsigned char lastRecordAnswer = 0;
    bool lastRecordAnswerDropped = false;
};
