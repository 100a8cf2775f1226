#include "../common/files.h"
#include "patch.h"
#include "patchlibrary.h"

#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(LibraryFileFault)

namespace {

constexpr int length = int(PatchLayout::length);

// A patch message for presetNo whose name tells it apart; Type 2 when from the device.
QByteArray patchFor(int presetNo, const QString &name, bool fromDevice = false)
{
    Patch patch;
    patch.setName(name);
    patch.controls().at(presetNo % ControlTable::count)->updateParameter(Channel, uchar(presetNo));
    QByteArray message = patch.toType1();
    message[PatchLayout::presetNoOffset] = char(presetNo);
    if (fromDevice)
        message[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
    return message;
}

QByteArray setOf(const QList<int> &presetNos)
{
    QByteArray data;
    for (const int presetNo : presetNos)
        data += patchFor(presetNo, QStringLiteral("preset %1").arg(presetNo));
    return data;
}

} // namespace

class TestPatchLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goodFilesLoadIntoTheirRows_data();
    void goodFilesLoadIntoTheirRows();
    void damagedFilesAreRefusedWithThePlace_data();
    void damagedFilesAreRefusedWithThePlace();
    void savedLibraryReadsBackByteForByte();
    void saveThatFailsPartWayKeepsTheOldFile();
    void rowsChangeAsAsked_data();
    void rowsChangeAsAsked();
    void whatIsNoPatchChangesNoRow_data();
    void whatIsNoPatchChangesNoRow();
    void unsentMarksFollowWhatTheDeviceHolds();
    void samePatchLooksAtWhatTheDeviceIsReadFrom_data();
    void samePatchLooksAtWhatTheDeviceIsReadFrom();

private:
    QTemporaryDir workDir;
};

void TestPatchLibrary::initTestCase()
{
    QVERIFY(workDir.isValid());
}

void TestPatchLibrary::goodFilesLoadIntoTheirRows_data()
{
    QTest::addColumn<QList<int>>("presetNos");
    QTest::newRow("a patch file is a library of one") << QList<int>{7};
    QTest::newRow("twenty in order") << [] {
        QList<int> all;
        for (int i = 0; i < PatchLibrary::presetCount; ++i)
            all << i;
        return all;
    }();
    QTest::newRow("some, out of order") << QList<int>{19, 0, 4};
}

void TestPatchLibrary::goodFilesLoadIntoTheirRows()
{
    QFETCH(QList<int>, presetNos);
    const QString path = workDir.filePath(QStringLiteral("good.syx"));
    QByteArray data = setOf(presetNos);
    // A message as the device sent it is taken too, and kept as a Type 1 message.
    data[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
    QVERIFY(writeFile(path, data));

    PatchLibrary library;
    QVERIFY(!library.load(path));
    QCOMPARE(library.count(), presetNos.size());
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo) {
        const QByteArray row = library.message(presetNo);
        if (!presetNos.contains(presetNo)) {
            QVERIFY(library.isEmpty(presetNo));
            QCOMPARE(library.origin(presetNo), PatchLibrary::Origin::Empty);
            continue;
        }
        QCOMPARE(row, patchFor(presetNo, QStringLiteral("preset %1").arg(presetNo)));
        QCOMPARE(library.name(presetNo), QStringLiteral("preset %1").arg(presetNo));
        QCOMPARE(library.origin(presetNo), PatchLibrary::Origin::File);
    }
}

void TestPatchLibrary::damagedFilesAreRefusedWithThePlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<LibraryFileFault>("fault");
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("text");

    QByteArray foreign = setOf({0, 1, 2});
    foreign[2 * length + 1] = 0x41; // another maker's header
    QByteArray noEnd = setOf({0, 1});
    noEnd[length + length - 1] = 0;
    QByteArray request = setOf({0});
    request[PatchLayout::kindOffset] = char(PatchLayout::kindRequest);
    QByteArray outOfRange = setOf({0, 1, 2});
    outOfRange[2 * length + int(PatchLayout::presetNoOffset)] = 25;

    QTest::newRow("missing") << "missing.syx" << QByteArray() << LibraryFileFault::CannotRead << 0
                             << "cannot be read";
    QTest::newRow("folder") << "folder" << QByteArray() << LibraryFileFault::NotRegularFile << 0
                            << "not a regular file";
    QTest::newRow("fifo") << "fifo" << QByteArray() << LibraryFileFault::NotRegularFile << 0
                          << "not a regular file";
    QTest::newRow("empty") << "empty.syx" << QByteArray() << LibraryFileFault::Empty << 0
                           << "empty";
    QTest::newRow("twenty-one patches")
        << "large.syx" << setOf({0}).repeated(21) << LibraryFileFault::TooLarge << 0
        << "larger than twenty patches (6960 bytes)";
    QTest::newRow("one byte of trailing garbage")
        << "trailing.syx" << setOf({0, 1}) + QByteArray(1, '\n') << LibraryFileFault::TooShort << 3
        << "message 3 (byte 696): shorter than 348 bytes";
    QTest::newRow("cut short") << "short.syx" << setOf({0, 1}).left(length + 100)
                               << LibraryFileFault::TooShort << 2
                               << "message 2 (byte 348): shorter than 348 bytes";
    QTest::newRow("foreign header") << "foreign.syx" << foreign << LibraryFileFault::NotPatch << 3
                                    << "message 3 (byte 696): not a patch message";
    QTest::newRow("no F7 at the end of a message")
        << "noend.syx" << noEnd << LibraryFileFault::NotPatch << 2
        << "message 2 (byte 348): not a patch message";
    QTest::newRow("a patch request") << "request.syx" << request << LibraryFileFault::NotPatch << 1
                                     << "message 1 (byte 0): not a patch message";
    QTest::newRow("preset number 25")
        << "range.syx" << outOfRange << LibraryFileFault::PresetOutOfRange << 3
        << "message 3 (byte 696): preset number 25 is outside 0..19";
    QTest::newRow("two for preset 4")
        << "twice.syx" << setOf({4, 5, 4}) << LibraryFileFault::DuplicatePreset << 3
        << "message 3 (byte 696): a second patch for preset 4";
}

void TestPatchLibrary::damagedFilesAreRefusedWithThePlace()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(LibraryFileFault, fault);
    QFETCH(int, place);
    QFETCH(QString, text);
    const QString path = workDir.filePath(name);
    if (name == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (name == QLatin1String("fifo"))
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (name != QLatin1String("missing.syx"))
        QVERIFY(writeFile(path, contents));

    PatchLibrary library;
    QVERIFY(!library.setMessages({patchFor(1, QStringLiteral("kept"))}));
    library.receive(patchFor(2, QStringLiteral("device"), true));
    const PatchLibrary::Rows before = library.rows();

    const LibraryFileError error = library.load(path);
    QCOMPARE(error.fault, fault);
    QCOMPARE(error.place, place);
    QCOMPARE(error.offset, place > 0 ? qint64(place - 1) * length : 0);
    QCOMPARE(library_file_fault_text(error), text);
    QVERIFY(library.rows() == before);

    QList<QByteArray> messages{QByteArray("left over")};
    QVERIFY(read_library_file(path, &messages));
    QVERIFY(messages.isEmpty());
}

void TestPatchLibrary::savedLibraryReadsBackByteForByte()
{
    PatchLibrary library;
    for (const int presetNo : {0, 3, 19})
        QVERIFY(library.store(presetNo, patchFor(presetNo, QStringLiteral("n%1").arg(presetNo))));
    const QString path = workDir.filePath(QStringLiteral("saved.syx"));
    QVERIFY(library.save(path));
    QCOMPARE(readFile(path), library.message(0) + library.message(3) + library.message(19));

    PatchLibrary loaded;
    QVERIFY(!loaded.load(path));
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo)
        QCOMPARE(loaded.message(presetNo), library.message(presetNo));

    // An empty library has nothing to write, and leaves the file as it was.
    QVERIFY(!PatchLibrary().save(path));
    QCOMPARE(readFile(path).size(), 3 * length);
}

void TestPatchLibrary::saveThatFailsPartWayKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    const QString path = workDir.filePath(QStringLiteral("full-disk.syx"));
    const QByteArray old = setOf({1});
    QVERIFY(writeFile(path, old));
    PatchLibrary library;
    QVERIFY(
        !library.setMessages({patchFor(0, QStringLiteral("a")), patchFor(1, QStringLiteral("b")),
                              patchFor(2, QStringLiteral("c"))}));
    {
        const FileSizeLimit limit(2 * length);
        QVERIFY(limit.isActive());
        QVERIFY(!library.save(path));
    }
    QCOMPARE(readFile(path), old);
#else
    QSKIP("needs a file size limit");
#endif
}

void TestPatchLibrary::rowsChangeAsAsked_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("names"); // rows 0..3 afterwards, "" for empty
    QTest::addColumn<QList<int>>("changed");

    QTest::newRow("store into an empty row")
        << "store 3" << QStringList{"zero", "one", "", "stored"} << QList<int>{3};
    QTest::newRow("store over a row")
        << "store 1" << QStringList{"zero", "stored", "", ""} << QList<int>{1};
    QTest::newRow("swap two rows")
        << "swap 0 1" << QStringList{"one", "zero", "", ""} << QList<int>{0, 1};
    QTest::newRow("swap with an empty row")
        << "swap 1 3" << QStringList{"zero", "", "", "one"} << QList<int>{3};
    QTest::newRow("swap a row with itself")
        << "swap 1 1" << QStringList{"zero", "one", "", ""} << QList<int>{};
    QTest::newRow("clear") << "clear 0" << QStringList{"", "one", "", ""} << QList<int>{};
    QTest::newRow("rename, cut to sixteen printable characters")
        << "rename 1" << QStringList{"zero", "Gre aus der Stad", "", ""} << QList<int>{1};
}

void TestPatchLibrary::rowsChangeAsAsked()
{
    QFETCH(QString, action);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, changed);

    PatchLibrary library;
    QVERIFY(!library.setMessages(
        {patchFor(0, QStringLiteral("zero")), patchFor(1, QStringLiteral("one"))}));
    const PatchLibrary::Rows before = library.rows();
    const QStringList words = action.split(QLatin1Char(' '));
    const int row = words.value(1).toInt();
    if (words[0] == QLatin1String("store"))
        QVERIFY(library.store(row, patchFor(12, QStringLiteral("stored"), true)));
    else if (words[0] == QLatin1String("swap"))
        QVERIFY(library.swap(row, words.value(2).toInt()));
    else if (words[0] == QLatin1String("clear"))
        QVERIFY(library.clear(row));
    else
        QVERIFY(library.rename(row, QStringLiteral("Grüße aus der Stadt")));

    for (int presetNo = 0; presetNo < 4; ++presetNo) {
        const QString expected = names[presetNo];
        QCOMPARE(library.name(presetNo), expected);
        const QByteArray message = library.message(presetNo);
        QCOMPARE(message.isEmpty(), expected.isEmpty());
        if (message.isEmpty())
            continue;
        // Every row's message is a Type 1 message for the row's own preset.
        QCOMPARE(uchar(message[PatchLayout::presetNoOffset]), uchar(presetNo));
        QCOMPARE(uchar(message[PatchLayout::kindOffset]), PatchLayout::kindType1);
        QCOMPARE(library.origin(presetNo),
                 changed.contains(presetNo) ? PatchLibrary::Origin::Changed
                                            : PatchLibrary::Origin::File);
    }
    // What undo keeps puts every byte back.
    library.setRows(before);
    QVERIFY(library.rows() == before);
}

void TestPatchLibrary::whatIsNoPatchChangesNoRow_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("presetNo");
    QTest::newRow("row 20") << patchFor(0, QStringLiteral("x")) << 20;
    QTest::newRow("row -1") << patchFor(0, QStringLiteral("x")) << -1;
    QTest::newRow("one byte short") << patchFor(0, QStringLiteral("x")).chopped(1) << 0;
    QTest::newRow("one byte long") << patchFor(0, QStringLiteral("x")) + '\xF7' << 0;
    QByteArray request = patchFor(0, QStringLiteral("x"));
    request[PatchLayout::kindOffset] = char(PatchLayout::kindRequest);
    QTest::newRow("not a patch kind") << request << 0;
}

void TestPatchLibrary::whatIsNoPatchChangesNoRow()
{
    QFETCH(QByteArray, message);
    QFETCH(int, presetNo);
    PatchLibrary library;
    QVERIFY(!library.setMessages({patchFor(0, QStringLiteral("kept"))}));
    const PatchLibrary::Rows before = library.rows();
    QVERIFY(!library.store(presetNo, message));
    if (!PatchLibrary::validPresetNo(presetNo)) {
        QVERIFY(!library.markSent(presetNo));
        QVERIFY(!library.rename(presetNo, QStringLiteral("new")));
        QVERIFY(!library.swap(presetNo, 0));
        QVERIFY(!library.clear(presetNo));
    } else {
        QCOMPARE(library.receive(message), -1);
        QCOMPARE(library.noteDevice(message), -1);
        // A list of messages keeps a file's rules: a short one and a long one make no two.
        QVERIFY(library.setMessages({message, patchFor(1, QStringLiteral("y"))}));
    }
    QVERIFY(library.rows() == before);
}

void TestPatchLibrary::unsentMarksFollowWhatTheDeviceHolds()
{
    PatchLibrary library;
    QVERIFY(!library.setMessages(
        {patchFor(0, QStringLiteral("file")), patchFor(1, QStringLiteral("file"))}));
    // Nothing is known of the device yet: every row that holds a patch differs from it.
    QVERIFY(library.differsFromDevice(0));
    QVERIFY(!library.differsFromDevice(5));

    QCOMPARE(library.receive(patchFor(5, QStringLiteral("device"), true)), 5);
    QCOMPARE(library.origin(5), PatchLibrary::Origin::Device);
    QVERIFY(!library.differsFromDevice(5));
    QCOMPARE(library.deviceMessage(5), library.message(5));

    QVERIFY(library.markSent(0));
    QCOMPARE(library.origin(0), PatchLibrary::Origin::Sent);
    QVERIFY(!library.differsFromDevice(0));
    QVERIFY(library.differsFromDevice(1));

    // A change after sending is unsent again; putting the sent bytes back is not.
    const PatchLibrary::Rows sent = library.rows();
    QVERIFY(library.rename(0, QStringLiteral("changed")));
    QVERIFY(library.differsFromDevice(0));
    library.setRows(sent);
    QVERIFY(!library.differsFromDevice(0));

    // Swapping moves patches, not what the device holds: both rows are unsent now.
    QVERIFY(library.swap(0, 5));
    QVERIFY(library.differsFromDevice(0));
    QVERIFY(library.differsFromDevice(5));

    // What the device is seen to hold changes the mark, not the row.
    const PatchLibrary::Rows rows = library.rows();
    QCOMPARE(library.noteDevice(library.message(1)), 1);
    QVERIFY(!library.differsFromDevice(1));
    QCOMPARE(library.noteDevice(patchFor(6, QStringLiteral("device"), true)), 6);
    QVERIFY(library.isEmpty(6));
    QCOMPARE(library.deviceMessage(6), PatchLibrary::messageForRow(patchFor(6, "device"), 6));
    QVERIFY(library.rows() == rows);

    // Emptied, a row has nothing to send; forgotten, the device holds nothing known.
    QVERIFY(library.clear(0));
    QVERIFY(!library.differsFromDevice(0));
    QVERIFY(!library.markSent(0));
    library.forgetDevice();
    QVERIFY(library.deviceMessage(5).isEmpty());
}

void TestPatchLibrary::samePatchLooksAtWhatTheDeviceIsReadFrom_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("same");
    for (const int offset : {0, 5, 6, 7, 8, 10, 55})
        QTest::addRow("byte %d", offset) << offset << true;
    for (const int offset : {9, 11, 26, 27, 59, 346})
        QTest::addRow("byte %d", offset) << offset << false;
}

void TestPatchLibrary::samePatchLooksAtWhatTheDeviceIsReadFrom()
{
    QFETCH(int, offset);
    QFETCH(bool, same);
    const QByteArray sent = patchFor(3, QStringLiteral("sent"));
    QByteArray answer = sent;
    answer[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
    QVERIFY(PatchLibrary::samePatch(sent, answer));
    // Bytes the device's patch is not read from may come back otherwise; a header that is not
    // this device's makes no patch at all.
    answer[offset] = char(answer[offset] ^ 0x01);
    QCOMPARE(PatchLibrary::samePatch(sent, answer), same && offset > 6);
    QCOMPARE(PatchLibrary::samePatch(answer, sent), same && offset > 6);
}

QTEST_GUILESS_MAIN(TestPatchLibrary)
#include "tst_patchlibrary.moc"
