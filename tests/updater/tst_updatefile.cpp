#include "../common/files.h"
#include "../common/tracecapture.h"
#include "updatedialog.h"
#include "updaterrig.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <memory>

namespace {

const QString worked = QStringLiteral("00 05 01 02 03 FA FF");

QStringList messages(const UpdateDialog &dialog)
{
    return dialog.findChild<QTextEdit *>(QStringLiteral("textEdit"))
        ->toPlainText()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray image(const UpdateDialog &dialog)
{
    return QByteArray(reinterpret_cast<const char *>(dialog.getImage()),
                      int(dialog.getImageSize()));
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

    void loadAndCheck_data();
    void loadAndCheck();
    void missingFileDiscardsTheImage();
    void secondLoadReplacesTheFirst();
    void fileLargerThanTheImageIsRefused_data();
    void fileLargerThanTheImageIsRefused();
    void decodingStopsAtTheCapacity();

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

void TestUpdateFile::loadAndCheck_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes"); // as decoded
    QTest::addColumn<bool>("passes");

    const QByteArray example = QByteArray::fromHex("0005010203FAFF");
    const QByteArray second = updateRecord("\x10\x20\xF0");

    QTest::newRow("worked example") << worked.toLatin1() << example << true;
    QTest::newRow("no spaces") << QByteArray("0005010203FAFF") << example << true;
    QTest::newRow("one pair per line")
        << QByteArray("00\n05\r\n01\n02\n03\nFA\nFF\n") << example << true;
    QTest::newRow("lower case") << QByteArray("00 05 01 02 03 fa ff") << example << true;
    QTest::newRow("single digits") << QByteArray("0 5 1 2 3 FA\tFF") << example << true;
    QTest::newRow("ends at a colon")
        << QByteArray("00 05 01 02 03 FA FF :10 20") << example << true;
    QTest::newRow("ends at a letter after F") << QByteArray("0005010203FAFFG0") << example << true;
    QTest::newRow("two records") << (example + second).toHex(' ') << example + second << true;
    QTest::newRow("empty body") << QByteArray("00 02 00 00") << QByteArray::fromHex("00020000")
                                << true;
    QTest::newRow("empty file") << QByteArray() << QByteArray() << true;
    QTest::newRow("no hex at all") << QByteArray("; firmware") << QByteArray() << true;

    QTest::newRow("body byte changed")
        << QByteArray("00 05 01 02 04 FA FF") << QByteArray::fromHex("0005010204FAFF") << false;
    QTest::newRow("checksum low byte changed")
        << QByteArray("00 05 01 02 03 FB FF") << QByteArray::fromHex("0005010203FBFF") << false;
    QTest::newRow("checksum high byte changed")
        << QByteArray("00 05 01 02 03 FA FE") << QByteArray::fromHex("0005010203FAFE") << false;
    QByteArray damaged = second;
    damaged[3] = '\x21';
    QTest::newRow("second record damaged")
        << (example + damaged).toHex(' ') << example + damaged << false;
    // Records that do not fit in the decoded bytes.
    QTest::newRow("length 0") << QByteArray("00 00") << QByteArray::fromHex("0000") << false;
    QTest::newRow("length 1") << QByteArray("00 01 00") << QByteArray::fromHex("000100") << false;
    QTest::newRow("length past the end")
        << QByteArray("00 06 01 02 03 FA FF") << QByteArray::fromHex("0006010203FAFF") << false;
    QTest::newRow("huge length") << QByteArray("FF FF 00 00") << QByteArray::fromHex("FFFF0000")
                                 << false;
    QTest::newRow("lone byte after a record")
        << QByteArray("0005010203FAFF 00") << QByteArray::fromHex("0005010203FAFF00") << false;
}

void TestUpdateFile::loadAndCheck()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, passes);

    UpdateDialog dialog(nullptr, nullptr);
    const QString path = writeUpdateFile(text, "firmware.hex");
    TraceCapture traces;

    QCOMPARE(dialog.load_update_binary(path), passes);
    QCOMPARE(image(dialog), passes ? bytes : QByteArray());
    QStringList expected = {QStringLiteral("Please open the update file."),
                            QStringLiteral("Opened file: ") + path};
    if (!passes)
        expected << QStringLiteral("CRC Error, the update file is damaged.");
    QCOMPARE(messages(dialog), expected);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_filename"))->text(),
             QStringLiteral("firmware.hex"));
    QVERIFY(traces.contains(passes ? QStringLiteral("Ready to send file.")
                                   : QStringLiteral("Error reading file.")));

    // The check on its own, over a buffer of exactly the decoded bytes.
    const auto exact = std::make_unique<unsigned char[]>(size_t(bytes.size()));
    std::memcpy(exact.get(), bytes.constData(), size_t(bytes.size()));
    QCOMPARE(dialog.crc_check(exact.get(), unsigned(bytes.size())), passes);

    // The decoding on its own, from memory, into exactly the room the bytes need.
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const auto room = std::make_unique<unsigned char[]>(size_t(bytes.size()));
    unsigned int size = 99;
    QVERIFY(UpdateDialog::decode_update_text(buffer, room.get(), unsigned(bytes.size()), &size));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(room.get()), int(size)), bytes);
}

void TestUpdateFile::missingFileDiscardsTheImage()
{
    UpdateDialog dialog(nullptr, nullptr);
    QVERIFY(dialog.load_update_binary(writeUpdateFile(worked.toLatin1())));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    TraceCapture traces;

    QVERIFY(!dialog.load_update_binary(missing));
    QCOMPARE(dialog.getImageSize(), 0u);
    QCOMPARE(messages(dialog).last(), QStringLiteral("Error file not found: ") + missing);
    QVERIFY(traces.contains(QStringLiteral("Error reading file.")));
}

void TestUpdateFile::secondLoadReplacesTheFirst()
{
    UpdateDialog dialog(nullptr, nullptr);
    const QByteArray longer = updateRecordOfSize(40) + updateRecordOfSize(30);
    QVERIFY(dialog.load_update_binary(writeUpdateFile(longer.toHex(), "first.txt")));
    QCOMPARE(image(dialog), longer);

    QVERIFY(dialog.load_update_binary(writeUpdateFile(worked.toLatin1(), "second.txt")));
    QCOMPARE(image(dialog), QByteArray::fromHex("0005010203FAFF"));

    QVERIFY(!dialog.load_update_binary(writeUpdateFile("00 05 01 02 03 FA FE", "third.txt")));
    QCOMPARE(dialog.getImageSize(), 0u);
}

void TestUpdateFile::fileLargerThanTheImageIsRefused_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("loads");

    QTest::newRow("exactly the image") << int(UpdateDialog::imageCapacity) << true;
    QTest::newRow("one byte more") << int(UpdateDialog::imageCapacity) + 1 << false;
}

void TestUpdateFile::fileLargerThanTheImageIsRefused()
{
    QFETCH(int, bytes);
    QFETCH(bool, loads);

    UpdateDialog dialog(nullptr, nullptr);
    QVERIFY(dialog.load_update_binary(writeUpdateFile(worked.toLatin1(), "small.txt")));

    // One byte more is an image that fits followed by one more byte.
    const QByteArray contents = filledImage(qMin(bytes, int(UpdateDialog::imageCapacity)))
        + QByteArray(bytes - int(UpdateDialog::imageCapacity) > 0 ? 1 : 0, '\0');
    QCOMPARE(contents.size(), bytes);
    QCOMPARE(dialog.load_update_binary(writeUpdateFile(contents.toHex('\n'))), loads);
    QCOMPARE(dialog.getImageSize(), loads ? unsigned(bytes) : 0u);
    QCOMPARE(messages(dialog).last(),
             loads ? QStringLiteral("Opened file: ") + dir.filePath(QStringLiteral("update.txt"))
                   : QStringLiteral("Error, the update file is too large."));
}

void TestUpdateFile::decodingStopsAtTheCapacity()
{
    UpdateDialog dialog(nullptr, nullptr);
    const QString path = writeUpdateFile("01 02 03 04 05");
    // Exactly the room given, so that a store past it is caught by the sanitizer build.
    const auto room = std::make_unique<unsigned char[]>(4);
    unsigned int size = 99;

    QVERIFY(!dialog.load_file_into_buffer(path, room.get(), 4, &size));
    QCOMPARE(size, 99u);
    QCOMPARE(messages(dialog).last(), QStringLiteral("Error, the update file is too large."));

    QVERIFY(dialog.load_file_into_buffer(writeUpdateFile("01 02 03 04"), room.get(), 4, &size));
    QCOMPARE(size, 4u);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(room.get()), 4),
             QByteArray::fromHex("01020304"));

    // The same from memory, where nothing is reported.
    const int messageCount = messages(dialog).size();
    QByteArray text("01 02 03 04 05");
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    size = 99;
    QVERIFY(!UpdateDialog::decode_update_text(buffer, room.get(), 4, &size));
    QCOMPARE(size, 99u);
    QCOMPARE(messages(dialog).size(), messageCount);
}

QTEST_MAIN(TestUpdateFile)
#include "tst_updatefile.moc"
