#include "../common/files.h"
#include "diagnosticlog.h"
#include "patch.h"
#include "recoveryfile.h"

#include <QtTest>

namespace {

struct Message
{
    QtMsgType type;
    QString category;
    QString text;
};

QList<Message> *caught = nullptr;

void catchMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (caught)
        caught->append({type, QString::fromLatin1(context.category), text});
}

// The installed editor program, run offscreen for as long as its start-up takes, on a MIDI
// system that is not there and without its controller-name file.
class EditorRun
{
public:
    // dataHome, when given, is the folder of its data (the recovery file) and its settings.
    EditorRun(const QStringList &arguments, const QString &loggingRules,
              const QString &dataHome = QString())
    {
        const QString editor = dir.filePath(QStringLiteral("vellichord-editor"));
        copied = QFile::copy(QStringLiteral(VELLICHORD_EDITOR), editor)
            && QFile::setPermissions(editor,
                                     QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                         | QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_LOGGING_RULES", "QT_LOGGING_CONF", "QT_MESSAGE_PATTERN"})
            environment.remove(QLatin1String(name));
        if (!loggingRules.isEmpty())
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(
            QStringLiteral("JACK_DEFAULT_SERVER"),
            QStringLiteral("vellichord-absent-%1").arg(QCoreApplication::applicationPid()));
        environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
        if (!dataHome.isEmpty()) {
            environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome); // its settings too
        }
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        if (copied)
            process.start(editor, arguments);
    }
    ~EditorRun()
    {
        process.kill();
        process.waitForFinished(10000);
    }

    bool started() { return copied && process.waitForStarted(10000); }
    // Everything it wrote to stderr so far, line by line.
    QStringList errorLines()
    {
        errors += process.readAllStandardError();
        return QString::fromUtf8(errors).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Sends SIGTERM, as logging out does: the exit code, -1 when it did not end of its own.
    int terminate()
    {
        process.terminate();
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
            ? process.exitCode()
            : -1;
    }
    QString nameFile() const { return dir.filePath(QStringLiteral("Midi-CC-list.txt")); }

private:
    QTemporaryDir dir;
    QProcess process;
    QByteArray errors;
    bool copied = false;
};

} // namespace

// The editor's trace lines are quiet unless asked for; the warnings a user needs are not.
class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void tracesOnlyWhenAskedFor_data();
    void tracesOnlyWhenAskedFor();
    void unwrittenLogEntryIsWarnedAboutByDefault();
    void recoveryQuestionEndedBySignalKeepsTheFile();
};

void TestLogging::tracesOnlyWhenAskedFor_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("loggingRules");
    QTest::addColumn<bool>("traced");

    QTest::newRow("by default") << QStringList() << QString() << false;
    QTest::newRow("--verbose") << QStringList{"--verbose"} << QString() << true;
    QTest::newRow("QT_LOGGING_RULES") << QStringList() << "vellichord.debug=true" << true;
    QTest::newRow("every category's debug lines") << QStringList() << "*.debug=true" << true;
}

void TestLogging::tracesOnlyWhenAskedFor()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, loggingRules);
    QFETCH(bool, traced);

    EditorRun editor(arguments, loggingRules);
    QVERIFY(editor.started());
    // The controller starts its monitor, and traces that, before the names are read.
    const QString warning = QStringLiteral("Couldn't find file ") + editor.nameFile();
    QTRY_VERIFY_WITH_TIMEOUT(editor.errorLines().contains(warning), 30000);

    const QStringList lines = editor.errorLines();
    const QString trace = QStringLiteral("vellichord: Midi monitor thread started.");
    QCOMPARE(lines.contains(trace), traced);
    if (!traced) {
        for (const QString &line : lines)
            QVERIFY2(!line.startsWith(QStringLiteral("vellichord: ")), qPrintable(line));
    }
}

void TestLogging::unwrittenLogEntryIsWarnedAboutByDefault()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
    QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));

    QList<Message> messages;
    caught = &messages;
    const QtMessageHandler before = qInstallMessageHandler(&catchMessage);
    DiagnosticLog::instance().log("f", "1", "g", "lost");
    DiagnosticLog::instance().flush();
    qInstallMessageHandler(before);
    caught = nullptr;

    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().type, QtWarningMsg);
    QCOMPARE(messages.first().text,
             QStringLiteral("Couldn't write log file ")
                 + QDir(dir.path()).absoluteFilePath("log.txt"));
}

void TestLogging::recoveryQuestionEndedBySignalKeepsTheFile()
{
    QTemporaryDir data;
    const QString path = data.filePath(QStringLiteral("vellichord/recovery.syx"));
    Patch patch;
    patch.setName(QStringLiteral("Unsent"));
    QVERIFY(RecoveryFile(path).write(patch.toType1()));

    EditorRun editor({QStringLiteral("--verbose")}, QString(), data.path());
    QVERIFY(editor.started());
    QTRY_VERIFY_WITH_TIMEOUT(
        editor.errorLines().contains(QStringLiteral("vellichord: Offering the unsent changes of ")
                                     + path),
        30000);
    QCOMPARE(editor.terminate(), 0);
    QVERIFY(editor.errorLines().contains(QStringLiteral("vellichord: deleted ui")));
    QCOMPARE(readFile(path), patch.toType1()); // for the start after
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
