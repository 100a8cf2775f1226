#include "../common/files.h"
#include "../common/tracecapture.h"
#include "diagnosticlog.h"

#include <QtTest>

#include <vector>

// Every test runs in a fresh working directory, where the log lands.
class TestDiagnosticLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void entryHasExactFormat();
    void entriesAccumulate();
    void sysexIsLoggedUpToFirstF7_data();
    void sysexIsLoggedUpToFirstF7();
    void unwritableLogIsSilent();
    void failedWriteIsTraced();

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

    QCOMPARE(readFile(QStringLiteral("log.txt")),
             QByteArray("In: src/transfer/midicontroller.cpp on line: 68, "
                        "MidiController::parseType2Message : hello\n\r\n"));
}

void TestDiagnosticLog::entriesAccumulate()
{
    QVERIFY(writeFile(QStringLiteral("log.txt"), "from an earlier run\n"));
    DiagnosticLog::instance().log("f", "1", "g", "one");
    DiagnosticLog::instance().log("f", "2", "g", "two");

    QCOMPARE(readFile(QStringLiteral("log.txt")),
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

    const QByteArray entry = readFile(QStringLiteral("log.txt"));
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
    QVERIFY(QFileInfo(QStringLiteral("log.txt")).isDir());

    // The file is opened anew for each entry, so logging resumes once it can be written.
    QVERIFY(QDir().rmdir(QStringLiteral("log.txt")));
    DiagnosticLog::instance().log("f", "2", "g", "kept");
    QCOMPARE(readFile(QStringLiteral("log.txt")), QByteArray("In: f on line: 2, g : kept\n\r\n"));
}

void TestDiagnosticLog::failedWriteIsTraced()
{
    const QString trace = QStringLiteral("Couldn't write log file ")
        + QDir::current().absoluteFilePath(QStringLiteral("log.txt"));

    // The file cannot be opened.
    QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
    {
        TraceCapture traces;
        DiagnosticLog::instance().log("f", "1", "g", "lost");
        QCOMPARE(traces.lines(), QStringList{trace});
    }
    QVERIFY(QDir().rmdir(QStringLiteral("log.txt")));

    // A written entry is not traced.
    {
        TraceCapture traces;
        DiagnosticLog::instance().log("f", "2", "g", "kept");
        QCOMPARE(traces.lines(), QStringList());
    }

#ifdef Q_OS_UNIX
    // The disk fills up in the middle of an entry.
    const QByteArray kept = readFile(QStringLiteral("log.txt"));
    {
        TraceCapture traces;
        FileSizeLimit full(kept.size() + 10);
        QVERIFY(full.isActive());
        DiagnosticLog::instance().log("f", "3", "g", QString(100, QLatin1Char('x')));
        QCOMPARE(traces.lines(), QStringList{trace});
    }
    QVERIFY(readFile(QStringLiteral("log.txt")).startsWith(kept));
#endif
}

QTEST_GUILESS_MAIN(TestDiagnosticLog)
#include "tst_diagnosticlog.moc"
