#include "../common/fifo.h"
#include "../common/files.h"
#include "emulateddevice.h"

#include <QtTest>

namespace {

// The emulator program, run to its end on a MIDI system that is not there: JACK (as on a
// machine without the ALSA sequencer) with a server name that nothing uses, and libjack told
// not to start one.
struct Run
{
    bool ended = false;
    int exitCode = -1;
    QString output;
    QStringList errors;
};

Run runEmulator(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("JACK_DEFAULT_SERVER"),
        QStringLiteral("vellichord-absent-%1").arg(QCoreApplication::applicationPid()));
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELLICHORD_EMULATOR),
                  QStringList(QStringLiteral("--jack")) + arguments);
    Run run;
    // An emulator that hangs is ended here, so that the test fails instead.
    run.ended = process.waitForStarted(10000) && process.waitForFinished(20000)
        && process.exitStatus() == QProcess::NormalExit;
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError())
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

} // namespace

// How the emulator program starts, and refuses to, before any MIDI traffic.
class TestEmulatorStart : public QObject
{
    Q_OBJECT

private slots:
    void withoutMidiSystemItSaysSoAndEnds_data();
    void withoutMidiSystemItSaysSoAndEnds();
    void patchOptionTakesOnlyRegularPatchFiles_data();
    void patchOptionTakesOnlyRegularPatchFiles();
};

void TestEmulatorStart::withoutMidiSystemItSaysSoAndEnds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("portName");

    QTest::newRow("device") << QStringList() << "Vellichord";
    QTest::newRow("updater") << QStringList{"--updater"} << "Vellichord Updater";
    QTest::newRow("only if absent") << QStringList{"--if-absent"} << "Vellichord";
}

void TestEmulatorStart::withoutMidiSystemItSaysSoAndEnds()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, portName);

    const Run run = runEmulator(arguments);
    QVERIFY2(run.ended, qPrintable(run.errors.join(QLatin1Char('|'))));
    QCOMPARE(run.exitCode, 1);
    // One line that says what is wrong, instead of libjack's many.
    QCOMPARE(run.errors.size(), 1);
    const QString line = run.errors.first();
    QVERIFY2(line.startsWith(QStringLiteral("vellichord-emulator: could not open the MIDI ports "
                                            "\"%1\" on Jack (")
                                 .arg(portName)),
             qPrintable(line));
    QVERIFY2(line.endsWith(QStringLiteral("Is the MIDI system running? Start a JACK server (for "
                                          "example \"jackd -d dummy\") or load the ALSA "
                                          "sequencer (snd-seq).")),
             qPrintable(line));
    QVERIFY2(!run.output.contains(QStringLiteral("Emulating")), qPrintable(run.output));
}

void TestEmulatorStart::patchOptionTakesOnlyRegularPatchFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason"); // after the name as printed; empty when taken

    QTest::newRow("FIFO") << "fifo"
                          << "patch.syx"
                          << "patch.syx: not a regular file";
    QTest::newRow("folder") << "folder"
                            << "patch.syx"
                            << "patch.syx: not a regular file";
    QTest::newRow("348 zero bytes") << "zeros"
                                    << "patch.syx"
                                    << "patch.syx: not a patch file";
    QTest::newRow("patch followed by 3 GiB") << "oversized"
                                             << "patch.syx"
                                             << "";
    QTest::newRow("control characters in the name") << "missing"
                                                    << "\x1b]0;x\x07"
                                                    << "\\x1b]0;x\\x07: cannot be read";
}

void TestEmulatorStart::patchOptionTakesOnlyRegularPatchFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    std::unique_ptr<GuardedFifo> fifo;
    if (kind == QLatin1String("fifo")) {
        fifo = std::make_unique<GuardedFifo>(path);
        QVERIFY(fifo->isCreated());
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else if (kind == QLatin1String("zeros")) {
        QVERIFY(writeFile(path, QByteArray(348, '\0')));
    } else if (kind == QLatin1String("oversized")) {
        QVERIFY(writeFile(path, EmulatedDevice::defaultPatch()));
        QFile file(path);
        QVERIFY(file.resize(qint64(3) << 30)); // sparse
    }

    const Run run = runEmulator({QStringLiteral("--patch"), path});
    QVERIFY2(run.ended, qPrintable(run.errors.join(QLatin1Char('|'))));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors.size(), 1);
    if (reason.isEmpty()) {
        // Taken: the emulator went on to its ports, which this machine cannot give it.
        QVERIFY2(run.errors.first().contains(QStringLiteral("could not open the MIDI ports")),
                 qPrintable(run.errors.first()));
    } else {
        QCOMPARE(run.errors.first(),
                 QStringLiteral("vellichord-emulator: cannot load the patch file %1/%2")
                     .arg(folder.path(), reason));
    }
}

QTEST_GUILESS_MAIN(TestEmulatorStart)
#include "tst_emulatorstart.moc"
