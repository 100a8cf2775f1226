#include "../common/fifo.h"
#include "../common/files.h"
#include "../common/tracecapture.h"
#include "diagnosticlog.h"

#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

// A file of the working directory once the waiting entries are written.
QByteArray logged(const QString &name = QStringLiteral("log.txt"))
{
    DiagnosticLog::instance().flush();
    return readFile(name);
}

} // namespace

// Every test runs in a fresh working directory, where the log lands.
class TestDiagnosticLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void entryHasExactFormat();
    void entriesAccumulate();
    void disabledLogWritesNothing();
    void sysexIsLoggedUpToFirstF7_data();
    void sysexIsLoggedUpToFirstF7();
    void unwritableLogIsSilent();
    void failedWriteIsTracedOnce();
    void entriesReachTheDiskTogether();
#ifdef Q_OS_UNIX
    void fifoIsNeverWrittenOrWaitedOn_data();
    void fifoIsNeverWrittenOrWaitedOn();
#endif
    void logRotatesPastOneMebibyte_data();
    void logRotatesPastOneMebibyte();
    void floodKeepsBothFilesBoundedAndWhole();
    void controlCharactersAreEscaped_data();
    void controlCharactersAreEscaped();

private:
    static int pieces(const QByteArray &entry);

    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
};

void TestDiagnosticLog::init()
{
    previousDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void TestDiagnosticLog::cleanup()
{
    DiagnosticLog::instance().flush();
    QDir::setCurrent(previousDir);
    dir.reset();
}

// Number of " xx " pieces in the message part of one entry.
int TestDiagnosticLog::pieces(const QByteArray &entry)
{
    const int start = entry.indexOf(" : ") + 3;
    const int end = entry.lastIndexOf("\n\r\n");
    const QByteArray hex = entry.mid(start, end - start);
    return hex.size() / 4;
}

void TestDiagnosticLog::entryHasExactFormat()
{
    DiagnosticLog::instance().log(
        QStringLiteral("src/transfer/midicontroller.cpp"), QStringLiteral("68"),
        QStringLiteral("MidiController::parseType2Message"), QStringLiteral("hello"));

    QCOMPARE(logged(),
             QByteArray("In: src/transfer/midicontroller.cpp on line: 68, "
                        "MidiController::parseType2Message : hello\n\r\n"));
}

void TestDiagnosticLog::disabledLogWritesNothing()
{
    DiagnosticLog &log = DiagnosticLog::instance();
    log.setEnabled(false);
    log.log("f", "1", "g", "dropped");
    const unsigned char message[] = {0xF0, 0x01, 0xF7};
    log.logSysex("f", "2", "g", message, 3);
    log.flush();
    QVERIFY(!QFile::exists(QStringLiteral("log.txt")));

    log.setEnabled(true);
    log.log("f", "3", "g", "kept");
    QCOMPARE(logged(), QByteArray("In: f on line: 3, g : kept\n\r\n"));
}

void TestDiagnosticLog::entriesAccumulate()
{
    QVERIFY(writeFile(QStringLiteral("log.txt"), "from an earlier run\n"));
    DiagnosticLog::instance().log("f", "1", "g", "one");
    DiagnosticLog::instance().log("f", "2", "g", "two");

    QCOMPARE(logged(),
             QByteArray("from an earlier run\n"
                        "In: f on line: 1, g : one\n\r\n"
                        "In: f on line: 2, g : two\n\r\n"));
}

void TestDiagnosticLog::sysexIsLoggedUpToFirstF7_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("expectedPieces");

    QTest::newRow("patch request") << QByteArray::fromHex("f0000000007f620000f7") << 10;
    QTest::newRow("F7 at index 5") << QByteArray::fromHex("f001020304f70809") << 6;
    QTest::newRow("348 bytes without F7") << QByteArray(348, '\x10') << 348;
    QTest::newRow("longer than 348 without F7") << QByteArray(500, '\x10') << 348;
    QTest::newRow("short without F7") << QByteArray::fromHex("f00102") << 3;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestDiagnosticLog::sysexIsLoggedUpToFirstF7()
{
    QFETCH(QByteArray, message);
    QFETCH(int, expectedPieces);

    // A heap copy of exactly the message's size, so that reading past it is caught by ASan.
    std::vector<unsigned char> bytes(message.begin(), message.end());
    DiagnosticLog::instance().logSysex("f", "1", "g", bytes.data(), int(bytes.size()));

    const QByteArray entry = logged();
    QCOMPARE(pieces(entry), expectedPieces);
    if (QTest::currentDataTag() == QByteArray("patch request"))
        QCOMPARE(entry,
                 QByteArray("In: f on line: 1, g :  f0  00  00  00  00  7f  62  00  00  f7 "
                            "\n\r\n"));
}

void TestDiagnosticLog::unwritableLogIsSilent()
{
    // A directory in the way makes the log unopenable even for root.
    QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
    DiagnosticLog::instance().log("f", "1", "g", "lost");
    DiagnosticLog::instance().flush();
    QVERIFY(QFileInfo(QStringLiteral("log.txt")).isDir());

    // The file is opened anew for each batch, so logging resumes once it can be written.
    QVERIFY(QDir().rmdir(QStringLiteral("log.txt")));
    DiagnosticLog::instance().log("f", "2", "g", "kept");
    QCOMPARE(logged(), QByteArray("In: f on line: 2, g : kept\n\r\n"));
}

void TestDiagnosticLog::failedWriteIsTracedOnce()
{
    const QString trace = QStringLiteral("Couldn't write log file ")
        + QDir::current().absoluteFilePath(QStringLiteral("log.txt"));
    const auto attempt = [](const char *line, const QString &message) {
        TraceCapture traces;
        DiagnosticLog::instance().log("f", line, "g", message);
        DiagnosticLog::instance().flush();
        return traces.lines();
    };

    // The file cannot be opened: said once, however often it is tried.
    QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
    QCOMPARE(attempt("1", "lost"), QStringList{trace});
    QCOMPARE(attempt("2", "lost"), QStringList());
    QVERIFY(QDir().rmdir(QStringLiteral("log.txt")));

    // A written entry is not traced; a failure after it is said again.
    QCOMPARE(attempt("3", "kept"), QStringList());

#ifdef Q_OS_UNIX
    // The disk fills up in the middle of an entry.
    const QByteArray kept = logged();
    {
        FileSizeLimit full(kept.size() + 10);
        QVERIFY(full.isActive());
        QCOMPARE(attempt("4", QString(100, QLatin1Char('x'))), QStringList{trace});
    }
    // What did fit is taken back: the last entry is never torn.
    QCOMPARE(logged(), kept);
    QCOMPARE(attempt("5", "kept"), QStringList());
#endif

    // A full log that cannot be turned over is not written past its bound.
    const QByteArray full(int(DiagnosticLog::maxFileSize), 'e');
    QVERIFY(writeFile(QStringLiteral("log.txt"), full));
    QVERIFY(QDir().mkdir(QStringLiteral("log.txt.1")));
    QCOMPARE(attempt("6", "lost"), QStringList{trace});
    QCOMPARE(logged(), full);
}

void TestDiagnosticLog::entriesReachTheDiskTogether()
{
    DiagnosticLog::instance().log("f", "1", "g", "one");
    DiagnosticLog::instance().log("f", "2", "g", "two");
    // Nothing is opened for an entry: they wait, and are written together without being asked.
    QVERIFY(!QFile::exists(QStringLiteral("log.txt")));
    QTRY_COMPARE(readFile(QStringLiteral("log.txt")),
                 QByteArray("In: f on line: 1, g : one\n\r\nIn: f on line: 2, g : two\n\r\n"));
}

#ifdef Q_OS_UNIX
void TestDiagnosticLog::fifoIsNeverWrittenOrWaitedOn_data()
{
    QTest::addColumn<bool>("reader");
    QTest::newRow("no reader") << false;
    QTest::newRow("a reader waiting") << true;
}

void TestDiagnosticLog::fifoIsNeverWrittenOrWaitedOn()
{
    QFETCH(bool, reader);
    const QString trace = QStringLiteral("Couldn't write log file ")
        + QDir::current().absoluteFilePath(QStringLiteral("log.txt"));
    {
        // Should the log open it after all, the guard lets it through within two seconds, or
        // the reader gets what it wrote: the test fails instead of hanging.
        GuardedFifo fifo(QStringLiteral("log.txt"));
        QVERIFY(fifo.isCreated());
        const int readEnd = reader ? ::open("log.txt", O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
        QVERIFY(!reader || readEnd >= 0);
        TraceCapture traces;
        for (const char *line : {"1", "2"}) {
            DiagnosticLog::instance().log("f", line, "g", "lost");
            DiagnosticLog::instance().flush();
        }
        QCOMPARE(traces.lines(), QStringList{trace});
        if (reader) {
            char byte = 0;
            QVERIFY(::read(readEnd, &byte, 1) <= 0);
            ::close(readEnd);
        }
    }
    // Without the FIFO the log goes on.
    DiagnosticLog::instance().log("f", "3", "g", "kept");
    QCOMPARE(logged(), QByteArray("In: f on line: 3, g : kept\n\r\n"));
}
#endif

void TestDiagnosticLog::logRotatesPastOneMebibyte_data()
{
    QTest::addColumn<qint64>("existing"); // bytes in log.txt before the entry
    QTest::addColumn<bool>("olderFile");  // a log.txt.1 from before is there
    QTest::addColumn<bool>("rotates");

    const qint64 entry = QByteArray("In: f on line: 1, g : new\n\r\n").size();
    const qint64 max = DiagnosticLog::maxFileSize;
    QTest::newRow("no log yet") << qint64(-1) << false << false;
    QTest::newRow("empty log") << qint64(0) << false << false;
    QTest::newRow("reaches the bound exactly") << max - entry << false << false;
    QTest::newRow("one byte past the bound") << max - entry + 1 << false << true;
    QTest::newRow("one byte past, older file replaced") << max - entry + 1 << true << true;
    QTest::newRow("at the bound already") << max << true << true;
    QTest::newRow("far past it, from an unbounded run") << 3 * max << false << true;
}

void TestDiagnosticLog::logRotatesPastOneMebibyte()
{
    QFETCH(qint64, existing);
    QFETCH(bool, olderFile);
    QFETCH(bool, rotates);

    const QByteArray earlier = existing < 0 ? QByteArray() : QByteArray(int(existing), 'e');
    if (existing >= 0)
        QVERIFY(writeFile(QStringLiteral("log.txt"), earlier));
    if (olderFile)
        QVERIFY(writeFile(QStringLiteral("log.txt.1"), "oldest"));

    DiagnosticLog::instance().log("f", "1", "g", "new");

    const QByteArray entry("In: f on line: 1, g : new\n\r\n");
    if (rotates) {
        QCOMPARE(logged(), entry);
        QCOMPARE(logged(QStringLiteral("log.txt.1")), earlier);
    } else {
        QCOMPARE(logged(), earlier + entry);
        QCOMPARE(QFileInfo::exists(QStringLiteral("log.txt.1")), olderFile);
        QVERIFY(QFileInfo(QStringLiteral("log.txt")).size() <= DiagnosticLog::maxFileSize);
    }
}

void TestDiagnosticLog::floodKeepsBothFilesBoundedAndWhole()
{
    QByteArray patch(348, '\x11');
    patch[0] = char(0xF0);
    patch[347] = char(0xF7);
    // About 2.5 MiB of entries: the log turns over twice.
    for (int i = 0; i < 1800; ++i) {
        patch[20] = char(i & 0x7F);
        DiagnosticLog::instance().logSysex("f", QString::number(i), "g",
                                           reinterpret_cast<const unsigned char *>(patch.data()),
                                           patch.size());
    }

    const QByteArray newest = logged();
    const QByteArray older = logged(QStringLiteral("log.txt.1"));
    QVERIFY(newest.size() <= DiagnosticLog::maxFileSize);
    QVERIFY(older.size() <= DiagnosticLog::maxFileSize);
    // The older file was full when it was turned over.
    QVERIFY(older.size() > DiagnosticLog::maxFileSize - 2 * newest.indexOf("\n\r\n"));
    // Both hold whole entries only, and the newest file ends with the last one.
    for (const QByteArray &contents : {older, newest}) {
        const QList<QByteArray> entries = contents.split('\r');
        QVERIFY(contents.endsWith("\n\r\n"));
        for (int i = 0; i < entries.size() - 1; ++i) {
            const QByteArray entry = i == 0 ? entries[i] : entries[i].mid(1);
            QVERIFY2(entry.startsWith("In: f on line: ") && entry.endsWith(" f7 \n"),
                     entry.left(40).constData());
            QCOMPARE(pieces(entry + "\r\n"), 348);
        }
    }
    QVERIFY(newest.contains("In: f on line: 1799, g : "));
}

void TestDiagnosticLog::controlCharactersAreEscaped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");

    QTest::newRow("window title sequence")
        << QStringLiteral("\x1b]0;owned\x07") << QStringLiteral("\\x1b]0;owned\\x07");
    QTest::newRow("clear screen") << QStringLiteral("A\x1b[2JB") << QStringLiteral("A\\x1b[2JB");
    QTest::newRow("line breaks and NUL")
        << QStringLiteral("a\r\nb") + QChar(0) << QStringLiteral("a\\x0d\\x0ab\\x00");
    QTest::newRow("C1 CSI and DEL") << QString::fromLatin1("x\x9b"
                                                           "2J\x7f")
                                    << QStringLiteral("x\\x9b2J\\x7f");
    QTest::newRow("backslash stays unambiguous")
        << QStringLiteral("a\\x1b") << QStringLiteral("a\\\\x1b");
    QTest::newRow("printable Latin-1 and beyond kept")
        << QStringLiteral("Caf\u00e9 \u00bd Ω") << QStringLiteral("Caf\u00e9 \u00bd Ω");
    QTest::newRow("right-to-left override")
        << QStringLiteral("ab\u202Ecd") << QStringLiteral("ab\\u202ecd");
}

void TestDiagnosticLog::controlCharactersAreEscaped()
{
    QFETCH(QString, name);
    QFETCH(QString, written);

    DiagnosticLog::instance().log(name, "1", name, name);
    const QByteArray contents = logged();
    QCOMPARE(QString::fromUtf8(contents),
             QStringLiteral("In: %1 on line: 1, %1 : %1\n\r\n").arg(written));
    // Only the entry's own ending is a control character.
    for (int i = 0; i < contents.size() - 3; ++i)
        QVERIFY2(quint8(contents[i]) >= 0x20 && contents[i] != 0x7F,
                 qPrintable(QString::number(i)));
}

QTEST_GUILESS_MAIN(TestDiagnosticLog)
#include "tst_diagnosticlog.moc"
