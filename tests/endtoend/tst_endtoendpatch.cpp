#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/jackserver.h"
#include "../common/simulateddevice.h"
#include "../common/viewinput.h"
#include "emulatorprocess.h"
#include "jackport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "parameterinfo.h"
#include "patchdocument.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <jack/jack.h>

#include <memory>

namespace {

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QByteArray type1(MainWindow &window)
{
    return QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                      348);
}

void press(MainWindow &window, const char *button)
{
    QTest::mouseClick(window.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

// The editor on the real MIDI backend, talking to whatever the JACK server carries.
std::unique_ptr<MainWindow> startEditor()
{
    auto window = std::make_unique<MainWindow>(std::make_unique<JackPort>());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qFatal("the editor window was never shown");
    return window;
}

// Where control's channel lies in a patch message.
int channelAddress(MainWindow &window, int control)
{
    return int(window.getMidiController()
                   ->getModels()
                   ->at(control)
                   ->getParameter(ParameterId::Channel)
                   ->address());
}

// Whether the MIDI system offers ports named "Vellichord" (the editor's own are not).
bool deviceOffered()
{
    JackPort probe;
    return probe.connect(MidiController::portName);
}

} // namespace

// The editor and the emulator, each a process of its own, over a JACK server's MIDI ports.
class TestEndToEndPatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void startUpTakesTheEmulatorsPatch();
    void downloadReachesTheEmulatorByteForByte();
    void savedPatchLoadsAndDownloads();
    void faultyAnswersChangeNothing_data();
    void faultyAnswersChangeNothing();
    void commandLine_data();
    void commandLine();
    void secondEmulatorStandsBack();
    void emulatorIsOneJackClient_data();
    void emulatorIsOneJackClient();
    void deviceGoneBeforeDownloadAndUpload();
    void uploadAnswerThatNeverComesIsReported();
    void deviceStartedAfterTheEditorIsFound();

private:
    JackServer server;
    QTemporaryDir workDir;
};

void TestEndToEndPatch::initTestCase()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(workDir.isValid());
}

void TestEndToEndPatch::startUpTakesTheEmulatorsPatch()
{
    QByteArray patch = SimulatedDevice::ownPatch();
    patch[6] = 0x61; // as saved by the editor
    const QString path = workDir.filePath(QStringLiteral("own.syx"));
    QVERIFY(writeFile(path, patch));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--patch"), path}, &error), qPrintable(error));

    auto window = startEditor();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("Patch uploaded."), 10000);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text(),
             QString::fromLatin1(SimulatedDevice::name));
    // Every byte the editor would send back is the emulator's.
    QCOMPARE(type1(*window).toHex(' '), patch.toHex(' '));
    QVERIFY(emulator.waitForLine(QStringLiteral("received: patch request (10 bytes)")));
    QVERIFY(emulator.waitForLine(
        QStringLiteral("sent: Type 2 patch \"Simulated Device\", preset 5 (348 bytes)")));

    window.reset();
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndPatch::downloadReachesTheEmulatorByteForByte()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--hex")}, &error), qPrintable(error));
    auto window = startEditor();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("Patch uploaded."), 10000);

    viewinput::clickControl(*window, 39);
    viewinput::chooseFromMenuOf(*window, 39, ParameterInfo::caption(Channel),
                                QStringLiteral("Ch 9"));
    const QByteArray edited = type1(*window);
    QCOMPARE(int(edited[channelAddress(*window, 39)]), 8);

    press(*window, "buttonDownload");
    QCOMPARE(statusText(*window), QStringLiteral("Patch downloaded"));
    QVERIFY(emulator.waitForLine(QStringLiteral("received: Type 1 patch")));
    QCOMPARE(emulator.lastMessage(QStringLiteral("received: Type 1 patch")).toHex(' '),
             edited.toHex(' '));

    // The device now holds the edit and hands it back.
    QByteArray expected = edited;
    expected[6] = 0x63;
    press(*window, "buttonUpload");
    QVERIFY(QTest::qWaitFor([&] { return emulator.count(QStringLiteral("sent: Type 2")) == 2; },
                            10000));
    QCOMPARE(emulator.lastMessage(QStringLiteral("sent: Type 2")).toHex(' '), expected.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndPatch::savedPatchLoadsAndDownloads()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--hex")}, &error), qPrintable(error));
    auto window = startEditor();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("Patch uploaded."), 10000);

    viewinput::clickControl(*window, 0);
    viewinput::chooseFromMenuOf(*window, 0, ParameterInfo::caption(Channel),
                                QStringLiteral("Ch 3"));
    const QString path = workDir.filePath(QStringLiteral("saved.syx"));
    answerFileDialog(path);
    press(*window, "buttonSaveSysex");
    const QByteArray saved = readFile(path);
    QCOMPARE(saved.size(), 348);
    QCOMPARE(saved, type1(*window));

    viewinput::chooseFromMenuOf(*window, 0, ParameterInfo::caption(Channel),
                                QStringLiteral("Ch 12"));
    QVERIFY(type1(*window) != saved);
    answerFileDialog(path);
    press(*window, "buttonLoadSysex");
    QCOMPARE(statusText(*window), QStringLiteral("Settings File Loaded"));

    press(*window, "buttonDownload");
    QVERIFY(emulator.waitForLine(QStringLiteral("received: Type 1 patch")));
    QCOMPARE(emulator.lastMessage(QStringLiteral("received: Type 1 patch")).toHex(' '),
             saved.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndPatch::faultyAnswersChangeNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("answer");

    QTest::newRow("short") << QStringList{"--patch-reply", "short"}
                           << "sent: other SysEx message (101 bytes)";
    QTest::newRow("overlong") << QStringList{"--patch-reply", "overlong"}
                              << "sent: other SysEx message (1100 bytes)";
    QTest::newRow("other kind") << QStringList{"--patch-reply", "other-kind"}
                                << "sent: other SysEx message (348 bytes)";
    QTest::newRow("silent") << QStringList{"--silent"} << "dropped answer: Type 2 patch";
}

void TestEndToEndPatch::faultyAnswersChangeNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, answer);

    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(arguments, &error), qPrintable(error));
    auto window = startEditor();
    const QByteArray defaults = type1(*window);
    QVERIFY2(emulator.waitForLine(answer), qPrintable(emulator.lines().join('\n')));

    // Whatever arrives has had time to be applied; the editor keeps its own patch.
    QTest::qWait(300);
    QCOMPARE(statusText(*window), QStringLiteral("Ready"));
    QCOMPARE(type1(*window).toHex(' '), defaults.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndPatch::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");

    const QString missing = workDir.filePath(QStringLiteral("missing.syx"));
    const QString shortFile = workDir.filePath(QStringLiteral("short.syx"));
    writeFile(shortFile, SimulatedDevice::ownPatch().left(347));

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--drop-every <n>";
    QTest::newRow("zero") << QStringList{"--drop-every", "0"} << 2
                          << "--drop-every wants a whole number of at least 1, not \"0\"";
    QTest::newRow("not a number") << QStringList{"--crc-error-every", "x"} << 2
                                  << "--crc-error-every wants a whole number";
    QTest::newRow("reply kind") << QStringList{"--patch-reply", "loud"} << 2
                                << "unknown --patch-reply \"loud\"";
    QTest::newRow("missing patch") << QStringList{"--patch", missing} << 1
                                   << "cannot load the patch file " + missing + ": cannot be read";
    QTest::newRow("short patch") << QStringList{"--patch", shortFile} << 1
                                 << "cannot load the patch file " + shortFile
            + ": shorter than 348 bytes";
    QTest::newRow("stray argument") << QStringList{"loud"} << 2 << "unexpected argument";
    QTest::newRow("preset 20") << QStringList{"--preset", "20"} << 2
                               << "--preset wants a preset number 0..19, not \"20\"";
    QTest::newRow("preset not a number")
        << QStringList{"--preset", "x"} << 2 << "--preset wants a preset number 0..19, not \"x\"";
    QTest::newRow("missing library")
        << QStringList{"--presets", missing} << 1
        << "cannot load the library file " + missing + ": cannot be read";
    const QString twice = workDir.filePath(QStringLiteral("twice.syx"));
    QByteArray patch = SimulatedDevice::ownPatch();
    patch[6] = 0x61;
    writeFile(twice, patch + patch);
    QTest::newRow("library with a preset twice") << QStringList{"--presets", twice} << 1
                                                 << "cannot load the library file " + twice
            + ": message 2 (byte 348): a second patch for preset 5";
}

void TestEndToEndPatch::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);

    QProcess process;
    process.start(QStringLiteral(VELLICHORD_EMULATOR), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString output = QString::fromUtf8(process.readAll() + process.readAllStandardError());
    QVERIFY2(output.contains(says), qPrintable(output));
    // Nothing that failed opened a port.
    QVERIFY(!output.contains(QStringLiteral("Emulating")));
}

void TestEndToEndPatch::secondEmulatorStandsBack()
{
    EmulatorProcess first;
    QString error;
    QVERIFY2(first.start({QStringLiteral("--updater")}, &error), qPrintable(error));

    QProcess second;
    second.start(QStringLiteral(VELLICHORD_EMULATOR),
                 {QStringLiteral("--jack"), QStringLiteral("--if-absent")});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(second.readAll().startsWith("A Vellichord is connected"),
             qPrintable(second.readAllStandardError()));
    QCOMPARE(first.stop(), QString());

    // With no device left it emulates one.
    EmulatorProcess third;
    QVERIFY2(third.start({QStringLiteral("--if-absent")}, &error), qPrintable(error));
    QCOMPARE(third.stop(SIGINT), QString());
}

void TestEndToEndPatch::emulatorIsOneJackClient_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("client");
    QTest::newRow("normal mode") << QStringList() << "Vellichord";
    QTest::newRow("update mode") << QStringList{"--updater"} << "Vellichord Updater";
}

void TestEndToEndPatch::emulatorIsOneJackClient()
{
    // Both ports on one client, named as the device's ports: one client for the server to
    // run, and none left over that a dead server's libjack could crash on.
    QFETCH(QStringList, arguments);
    QFETCH(QString, client);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(arguments, &error), qPrintable(error));
    jack_client_t *lister = jack_client_open("port lister", JackNoStartServer, nullptr);
    QVERIFY(lister);
    QStringList ports;
    const char **found = jack_get_ports(lister, nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
    for (const char **port = found; port && *port; ++port)
        ports << QString::fromUtf8(*port);
    jack_free(found);
    jack_client_close(lister);
    ports.sort();
    QCOMPARE(ports, QStringList({client + ":midi_in", client + ":midi_out"}));
}

void TestEndToEndPatch::deviceGoneBeforeDownloadAndUpload()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    auto window = startEditor();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("Patch uploaded."), 10000);
    viewinput::clickControl(*window, 39);
    viewinput::chooseFromMenuOf(*window, 39, ParameterInfo::caption(Channel),
                                QStringLiteral("Ch 9"));
    const QByteArray edited = type1(*window);
    const QString name =
        window->findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text();

    // Pulled out: its ports go once the MIDI system has noticed.
    emulator.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!deviceOffered(), 10000);
    press(*window, "buttonDownload");
    QCOMPARE(statusText(*window), QStringLiteral("Download failed: Vellichord not connected"));
    press(*window, "buttonUpload");
    QCOMPARE(statusText(*window), QStringLiteral("Upload failed: Vellichord not connected"));
    QCOMPARE(type1(*window).toHex(' '), edited.toHex(' '));
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text(), name);

    // Editing goes on, and the patch can be kept in a file.
    viewinput::chooseFromMenuOf(*window, 39, ParameterInfo::caption(Channel),
                                QStringLiteral("Ch 10"));
    QCOMPARE(int(type1(*window)[channelAddress(*window, 39)]), 9);
    const QString path = workDir.filePath(QStringLiteral("unplugged.syx"));
    answerFileDialog(path);
    press(*window, "buttonSaveSysex");
    QCOMPARE(readFile(path).toHex(' '), type1(*window).toHex(' '));
}

void TestEndToEndPatch::uploadAnswerThatNeverComesIsReported()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--silent")}, &error), qPrintable(error));
    auto window = startEditor();
    const QString dropped = QStringLiteral("dropped answer: Type 2 patch");
    QVERIFY(emulator.waitForLine(dropped));
    const QByteArray defaults = type1(*window);

    // The request reaches the device, which never answers. (One that is pulled out instead is
    // seen going, and "Vellichord disconnected" says so.)
    press(*window, "buttonUpload");
    QCOMPARE(statusText(*window), QStringLiteral("Waiting for upload..."));
    QVERIFY(QTest::qWaitFor([&] { return emulator.count(dropped) == 2; }, 10000));
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window),
                              QStringLiteral("Upload failed: no answer from Vellichord"),
                              PatchDocument::uploadAnswerWaitMs + 10000);
    QCOMPARE(type1(*window).toHex(' '), defaults.toHex(' '));
}

void TestEndToEndPatch::deviceStartedAfterTheEditorIsFound()
{
    QByteArray patch = SimulatedDevice::ownPatch();
    patch[6] = 0x61; // as saved by the editor
    const QString path = workDir.filePath(QStringLiteral("later.syx"));
    QVERIFY(writeFile(path, patch));

    auto window = startEditor();
    auto *field = window->findChild<QLabel *>(QStringLiteral("labelConnection"));
    QCOMPARE(field->text(), QStringLiteral("Not connected"));
    QTest::qWait(3000);
    QCOMPARE(field->text(), QStringLiteral("Not connected"));

    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--patch"), path}, &error), qPrintable(error));
    QElapsedTimer sinceStart;
    sinceStart.start();
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), QStringLiteral("Connected: Vellichord"), 2000);
    qInfo("found %lld ms after the emulator's ports were open", sinceStart.elapsed());
    // Found without unsent changes: asked for its patch at once, and sent nothing else.
    QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("Patch uploaded."), 10000);
    QCOMPARE(type1(*window).toHex(' '), patch.toHex(' '));
    QCOMPARE(emulator.count(QStringLiteral("received: patch request (10 bytes)")), 1);

    QCOMPARE(emulator.stop(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), QStringLiteral("Not connected"), 5000);
    QCOMPARE(statusText(*window), QStringLiteral("Vellichord disconnected"));
}

QTEST_MAIN(TestEndToEndPatch)
#include "tst_endtoendpatch.moc"
