#include "../common/files.h"
#include "../common/tracecapture.h"
#include "updatefile.h"
#include "updaterig.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString worked = QStringLiteral("00 05 01 02 03 FA FF");
const QByteArray byteOrderMark("\xEF\xBB\xBF");

QString damagedAt(int line)
{
    return QStringLiteral(
               "Error, the update file is damaged: line %1 is not pairs of hexadecimal digits.")
        .arg(line);
}
const QString noData = QStringLiteral("Error, the update file is damaged: it holds no data.");

QString checksumFails(int record)
{
    return QStringLiteral("CRC Error, the update file is damaged: record %1 fails its checksum.")
        .arg(record);
}
QString endsInside(int record)
{
    return QStringLiteral("Error, the update file is damaged: it ends inside record %1.")
        .arg(record);
}

QString cannotLoad(const QString &path, const char *reason)
{
    return QStringLiteral("Error, could not load the update file: %1 (%2)")
        .arg(path, QLatin1String(reason));
}

// An update file that keeps the lines it reports and the paths it opens.
class WatchedFile : public UpdateFile
{
public:
    WatchedFile()
    {
        connect(this, &UpdateFile::message, [this](const QString &text) { shown << text; });
        connect(this, &UpdateFile::opened, [this](const QString &path) { openedPaths << path; });
    }
    QStringList shown;
    QStringList openedPaths;
};

QStringList messages(const WatchedFile &file)
{
    return file.shown;
}

QByteArray image(const UpdateFile &file)
{
    return QByteArray(reinterpret_cast<const char *>(file.getImage()), int(file.getImageSize()));
}

// Records with all-zero bodies that fill exactly bytes bytes (at least 4).
QByteArray filledImage(int bytes)
{
    QByteArray result;
    while (bytes > 0) {
        const int size = qMin(bytes, 65535);
        const int rest = bytes - size;
        // Leave room for at least an empty record (4 bytes) after a full one.
        const int take = (rest > 0 && rest < 4) ? size - 4 : size;
        result += updateRecord(QByteArray(take - 4, '\0'));
        bytes -= take;
    }
    return result;
}

} // namespace

class TestUpdateFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void decodeText_data();
    void decodeText();
    void loadAndCheck_data();
    void loadAndCheck();
    void missingFileDiscardsTheImage();
    void secondLoadReplacesTheFirst();
    void fileLargerThanTheImageIsRefused_data();
    void fileLargerThanTheImageIsRefused();
    void decodingStopsAtTheCapacity();
    void unusualFilesAreRefused_data();
    void unusualFilesAreRefused();
    void fifoIsRefusedWithoutWaiting();
    void recordsAreCountedAsFarAsTheyFit_data();
    void recordsAreCountedAsFarAsTheyFit();

private:
    QString writeUpdateFile(const QByteArray &text, const char *name = "update.txt");

    QTemporaryDir dir;
};

void TestUpdateFile::init()
{
    QVERIFY(dir.isValid());
}

QString TestUpdateFile::writeUpdateFile(const QByteArray &text, const char *name)
{
    const QString path = dir.filePath(QLatin1String(name));
    if (!writeFile(path, text))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestUpdateFile::decodeText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes"); // as decoded, when the text is sound
    QTest::addColumn<int>("faultLine");    // 0: sound

    const QByteArray example = QByteArray::fromHex("0005010203FAFF");
    QTest::newRow("worked example") << worked.toLatin1() << example << 0;
    QTest::newRow("no spaces") << QByteArray("0005010203FAFF") << example << 0;
    QTest::newRow("one pair per line, CRLF")
        << QByteArray("00\r\n05\r\n01\r\n02\r\n03\r\nFA\r\nFF\r\n") << example << 0;
    QTest::newRow("lower and mixed case") << QByteArray("00 05 01 02 03 fA ff") << example << 0;
    QTest::newRow("tabs, form feed, vertical tab")
        << QByteArray("\t0005\v0102\f03FAFF\t") << example << 0;
    QTest::newRow("byte-order mark") << byteOrderMark + worked.toLatin1() << example << 0;
    QTest::newRow("empty") << QByteArray() << QByteArray() << 0;
    QTest::newRow("white space only") << QByteArray(" \n\t\r\n") << QByteArray() << 0;
    QTest::newRow("byte-order mark only") << byteOrderMark << QByteArray() << 0;

    QTest::newRow("no hex at all") << QByteArray("; firmware") << QByteArray() << 1;
    QTest::newRow("text in the middle")
        << QByteArray("00 05\n01 02\nversion 2\n03 FA FF\n") << QByteArray() << 3;
    QTest::newRow("text at the end")
        << QByteArray("00 05 01 02 03 FA FF\n\n:end\n") << QByteArray() << 3;
    QTest::newRow("letter after F") << QByteArray("0005010203FAFFG0") << QByteArray() << 1;
    QTest::newRow("single digits") << QByteArray("0 5 1 2 3 FA FF") << QByteArray() << 1;
    QTest::newRow("odd number of digits") << QByteArray("00\n0501\n0203FAF\n") << QByteArray() << 3;
    QTest::newRow("digit cut off at the end")
        << QByteArray("0005010203FAFF\n0") << QByteArray() << 2;
    QTest::newRow("byte-order mark in the middle")
        << QByteArray("0005\n") + byteOrderMark + "010203FAFF" << QByteArray() << 2;
    QTest::newRow("UTF-16 byte-order mark")
        << QByteArray("\xFF\xFE") + worked.toLatin1() << QByteArray() << 1;
    QTest::newRow("NUL between pairs") << QByteArray("0005 01\0 02", 11) << QByteArray() << 1;
}

void TestUpdateFile::decodeText()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QFETCH(int, faultLine);

    // Exactly the room the bytes need, so that a store past it is caught by the sanitizer
    // build; for a faulty text, room for all it could hold.
    const unsigned int capacity = unsigned(faultLine == 0 ? bytes.size() : text.size());
    const auto room = std::make_unique<unsigned char[]>(capacity);
    unsigned int size = 99;
    int line = -1;
    const UpdateFile::TextFault fault = UpdateFile::decode_update_text(text, room.get(), capacity,
                                                                       &size, &line);
    if (faultLine == 0) {
        QCOMPARE(fault, UpdateFile::TextFault::none);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(room.get()), int(size)), bytes);
    } else {
        QCOMPARE(fault, UpdateFile::TextFault::notHexPairs);
        QCOMPARE(line, faultLine);
        QCOMPARE(size, 99u);
    }
}

void TestUpdateFile::loadAndCheck_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes"); // as decoded
    QTest::addColumn<QString>("refusal");  // the last message; empty when the file loads

    const QByteArray example = QByteArray::fromHex("0005010203FAFF");
    const QByteArray second = updateRecord("\x10\x20\xF0");
    const QString crc = checksumFails(1);

    QTest::newRow("worked example") << worked.toLatin1() << example << QString();
    QTest::newRow("two records") << (example + second).toHex(' ') << example + second << QString();
    QTest::newRow("empty body") << QByteArray("00 02 00 00") << QByteArray::fromHex("00020000")
                                << QString();
    QTest::newRow("byte-order mark")
        << byteOrderMark + (example + second).toHex('\n') << example + second << QString();

    // Text that is not a whole update never reaches the check.
    QTest::newRow("empty file") << QByteArray() << QByteArray() << noData;
    QTest::newRow("spaces only") << QByteArray("  \n\n  ") << QByteArray() << noData;
    QTest::newRow("no hex at all") << QByteArray("; firmware") << QByteArray() << damagedAt(1);
    QTest::newRow("text in the middle")
        << example.toHex(' ') + "\n-- part two --\n" + second.toHex(' ') << QByteArray()
        << damagedAt(2);
    QTest::newRow("text at the end")
        << example.toHex(' ') + '\n' + second.toHex(' ') + "\n:00000001FF\n"
        << QByteArray() << damagedAt(3);

    QTest::newRow("body byte changed")
        << QByteArray("00 05 01 02 04 FA FF") << QByteArray::fromHex("0005010204FAFF") << crc;
    QTest::newRow("checksum low byte changed")
        << QByteArray("00 05 01 02 03 FB FF") << QByteArray::fromHex("0005010203FBFF") << crc;
    QTest::newRow("checksum high byte changed")
        << QByteArray("00 05 01 02 03 FA FE") << QByteArray::fromHex("0005010203FAFE") << crc;
    QByteArray damaged = second;
    damaged[3] = '\x21';
    QTest::newRow("second record damaged")
        << (example + damaged).toHex(' ') << example + damaged << checksumFails(2);
    // Records too short for their checksum.
    const auto tooShort = [](int record, int length) {
        return QStringLiteral("Error, the update file is damaged: record %1 has the length %2, "
                              "too short for its checksum.")
            .arg(record)
            .arg(length);
    };
    QTest::newRow("length 0") << QByteArray("00 00") << QByteArray::fromHex("0000")
                              << tooShort(1, 0);
    QTest::newRow("length 1 after a record")
        << QByteArray("0005010203FAFF 00 01 00") << QByteArray::fromHex("0005010203FAFF000100")
        << tooShort(2, 1);
    // A file cut short, wherever the cut falls, is told from a damaged record.
    const QByteArray three = example + second + example;
    for (const int cut : {1, 3, 6, 8, 9, 12, 13, 20}) {
        const QByteArray bytes = three.left(three.size() - cut);
        const int record = bytes.size() < 7 ? 1 : bytes.size() < 14 ? 2 : 3;
        QTest::addRow("cut %d bytes short", cut) << bytes.toHex(' ') << bytes << endsInside(record);
    }
    QTest::newRow("length past the end") << QByteArray("00 06 01 02 03 FA FF")
                                         << QByteArray::fromHex("0006010203FAFF") << endsInside(1);
    QTest::newRow("huge length") << QByteArray("FF FF 00 00") << QByteArray::fromHex("FFFF0000")
                                 << endsInside(1);
    QTest::newRow("lone byte after a record")
        << QByteArray("0005010203FAFF 00") << QByteArray::fromHex("0005010203FAFF00")
        << endsInside(2);
    // The first fault is named, even when the file is cut short after it.
    QTest::newRow("damaged record, then cut short")
        << (damaged + example.left(5)).toHex(' ') << damaged + example.left(5) << checksumFails(1);
}

void TestUpdateFile::loadAndCheck()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, refusal);
    const bool passes = refusal.isEmpty();

    WatchedFile file;
    const QString path = writeUpdateFile(text, "firmware.hex");
    TraceCapture traces;

    QCOMPARE(file.load(path), passes);
    QCOMPARE(image(file), passes ? bytes : QByteArray());
    QStringList expected = {QStringLiteral("Opened file: ") + path};
    if (!passes)
        expected << refusal;
    QCOMPARE(messages(file), expected);
    QCOMPARE(file.openedPaths, QStringList{path});
    QVERIFY(traces.contains(passes ? QStringLiteral("Ready to send file.")
                                   : QStringLiteral("Error reading file.")));
    if (bytes.isEmpty())
        return;

    // The check on its own, over a buffer of exactly the decoded bytes.
    const auto exact = std::make_unique<unsigned char[]>(size_t(bytes.size()));
    std::memcpy(exact.get(), bytes.constData(), size_t(bytes.size()));
    QCOMPARE(file.crc_check(exact.get(), unsigned(bytes.size())), passes);
}

void TestUpdateFile::missingFileDiscardsTheImage()
{
    WatchedFile file;
    QVERIFY(file.load(writeUpdateFile(worked.toLatin1())));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    TraceCapture traces;

    QVERIFY(!file.load(missing));
    QCOMPARE(file.getImageSize(), 0u);
    QCOMPARE(messages(file).last(), QStringLiteral("Error file not found: ") + missing);
    QVERIFY(traces.contains(QStringLiteral("Error reading file.")));
}

void TestUpdateFile::secondLoadReplacesTheFirst()
{
    WatchedFile file;
    const QByteArray longer = updateRecordOfSize(40) + updateRecordOfSize(30);
    QVERIFY(file.load(writeUpdateFile(longer.toHex(), "first.txt")));
    QCOMPARE(image(file), longer);

    QVERIFY(file.load(writeUpdateFile(worked.toLatin1(), "second.txt")));
    QCOMPARE(image(file), QByteArray::fromHex("0005010203FAFF"));

    QVERIFY(!file.load(writeUpdateFile("00 05 01 02 03 FA FE", "third.txt")));
    QCOMPARE(file.getImageSize(), 0u);
}

void TestUpdateFile::fileLargerThanTheImageIsRefused_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("loads");

    QTest::newRow("exactly the image") << int(UpdateFile::imageCapacity) << true;
    QTest::newRow("one byte more") << int(UpdateFile::imageCapacity) + 1 << false;
}

void TestUpdateFile::fileLargerThanTheImageIsRefused()
{
    QFETCH(int, bytes);
    QFETCH(bool, loads);

    WatchedFile file;
    QVERIFY(file.load(writeUpdateFile(worked.toLatin1(), "small.txt")));

    // One byte more is an image that fits followed by one more byte.
    const QByteArray contents = filledImage(qMin(bytes, int(UpdateFile::imageCapacity)))
        + QByteArray(bytes - int(UpdateFile::imageCapacity) > 0 ? 1 : 0, '\0');
    QCOMPARE(contents.size(), bytes);
    QCOMPARE(file.load(writeUpdateFile(contents.toHex('\n'))), loads);
    QCOMPARE(file.getImageSize(), loads ? unsigned(bytes) : 0u);
    QCOMPARE(messages(file).last(),
             loads ? QStringLiteral("Opened file: ") + dir.filePath(QStringLiteral("update.txt"))
                   : QStringLiteral("Error, the update file is too large."));
}

void TestUpdateFile::decodingStopsAtTheCapacity()
{
    WatchedFile file;
    const QString path = writeUpdateFile("01 02 03 04 05");
    // Exactly the room given, so that a store past it is caught by the sanitizer build.
    const auto room = std::make_unique<unsigned char[]>(4);
    unsigned int size = 99;

    QVERIFY(!file.load_file_into_buffer(path, room.get(), 4, &size));
    QCOMPARE(size, 99u);
    QCOMPARE(messages(file).last(), QStringLiteral("Error, the update file is too large."));

    QVERIFY(file.load_file_into_buffer(writeUpdateFile("01 02 03 04"), room.get(), 4, &size));
    QCOMPARE(size, 4u);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(room.get()), 4),
             QByteArray::fromHex("01020304"));

    // The same from memory, where nothing is reported.
    const int messageCount = messages(file).size();
    size = 99;
    QCOMPARE(UpdateFile::decode_update_text("01 02 03 04 05", room.get(), 4, &size),
             UpdateFile::TextFault::overCapacity);
    QCOMPARE(size, 99u);
    QCOMPARE(messages(file).size(), messageCount);
}

void TestUpdateFile::unusualFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refusal"); // the last message; empty when the file loads

    QTest::newRow("exactly 1 MiB") << "1 MiB" << QString();
    QTest::newRow("1 MiB and one byte") << "1 MiB + 1"
                                        << "larger than 1 MiB";
    QTest::newRow("200 MB") << "200 MB"
                            << "larger than 1 MiB";
    QTest::newRow("directory") << "directory"
                               << "not a regular file";
    QTest::newRow("device") << "/dev/zero"
                            << "not a regular file";
}

void TestUpdateFile::unusualFilesAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, refusal);

    // A good image, padded with line breaks to the size asked for.
    const QByteArray good = (updateRecordOfSize(300) + updateRecordOfSize(20)).toHex(' ');
    QString path;
    if (kind == QLatin1String("1 MiB") || kind == QLatin1String("1 MiB + 1")) {
        const int size = int(UpdateFile::maxFileBytes) + (kind.endsWith(QLatin1Char('1')) ? 1 : 0);
        path = writeUpdateFile(good + QByteArray(size - good.size(), '\n'));
    } else if (kind == QLatin1String("200 MB")) {
        // Sparse, so that it costs no disk; the size is all that is looked at.
        path = dir.filePath(QStringLiteral("huge.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(200 * 1000 * 1000));
    } else if (kind == QLatin1String("directory")) {
        path = dir.filePath(QStringLiteral("folder.hex"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.hex")));
    } else {
        path = kind;
        if (!QFileInfo::exists(path))
            QSKIP("this system has no /dev/zero");
    }

    WatchedFile file;
    QVERIFY(file.load(writeUpdateFile(worked.toLatin1(), "earlier.txt")));
    QCOMPARE(file.load(path), refusal.isEmpty());
    if (refusal.isEmpty()) {
        QCOMPARE(image(file), updateRecordOfSize(300) + updateRecordOfSize(20));
        QCOMPARE(messages(file).last(), QStringLiteral("Opened file: ") + path);
    } else {
        QCOMPARE(file.getImageSize(), 0u);
        QCOMPARE(messages(file).last(), cannotLoad(path, qPrintable(refusal)));
    }
}

void TestUpdateFile::fifoIsRefusedWithoutWaiting()
{
#ifdef Q_OS_UNIX
    const QString path = dir.filePath(QStringLiteral("fifo.hex"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // Should the load wait in open() for a writer, or read on and on, this writer ends it
    // after a while, with spaces and then the end of the file, and the test fails.
    std::atomic<bool> done{false};
    std::atomic<bool> guardStepped{false};
    std::thread guard([&] {
        QDeadlineTimer patience(10000);
        while (!done && !patience.hasExpired())
            QThread::msleep(20);
        while (!done) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                guardStepped = true;
                const char spaces[] = "    ";
                for (int i = 0; i < 1000; ++i)
                    (void)::write(fd, spaces, sizeof spaces - 1);
                ::close(fd);
            }
            QThread::msleep(20);
        }
    });

    WatchedFile file;
    QVERIFY(file.load(writeUpdateFile(worked.toLatin1(), "earlier.txt")));
    const bool loaded = file.load(path);
    done = true;
    guard.join();
    QVERIFY(!guardStepped);
    QVERIFY(!loaded);
    QCOMPARE(file.getImageSize(), 0u);
    QCOMPARE(messages(file).last(), cannotLoad(path, "not a regular file"));
#else
    QSKIP("FIFOs are a POSIX matter");
#endif
}

void TestUpdateFile::recordsAreCountedAsFarAsTheyFit_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<unsigned int>("records");

    const QByteArray example = QByteArray::fromHex("0005010203FAFF");
    QTest::newRow("empty") << QByteArray() << 0u;
    QTest::newRow("worked example") << example << 1u;
    QTest::newRow("three records")
        << updateRecordOfSize(30) + updateRecordOfSize(40) + example << 3u;
    QTest::newRow("empty body") << QByteArray::fromHex("00020000") << 1u;
    // Counting stops at the first record that does not fit.
    QTest::newRow("lone byte after a record") << example + '\0' << 1u;
    QTest::newRow("length past the end") << QByteArray::fromHex("0006010203FAFF") << 0u;
    QTest::newRow("length 1 before a record") << QByteArray::fromHex("0001") + example << 0u;
    QTest::newRow("second record cut off") << example + example.left(6) << 1u;
}

void TestUpdateFile::recordsAreCountedAsFarAsTheyFit()
{
    QFETCH(QByteArray, image);
    QFETCH(unsigned int, records);

    // Exactly the image's bytes, so that a read past them is caught by the sanitizer build.
    const auto exact = std::make_unique<unsigned char[]>(size_t(image.size()));
    std::memcpy(exact.get(), image.constData(), size_t(image.size()));
    QCOMPARE(UpdateFile::recordCount(exact.get(), unsigned(image.size())), records);
}

QTEST_GUILESS_MAIN(TestUpdateFile)
#include "tst_updatefile.moc"
