#include "../common/files.h"
#include "../common/jackserver.h"
#include "../updater/updaterrig.h"
#include "devicewatcher.h"
#include "emulatorprocess.h"
#include "jackport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "updatedialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QString connectionText(const MainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("labelConnection"))->text();
}

void press(MainWindow &window, const char *button)
{
    QTest::mouseClick(window.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

// Lets the server go on when it goes out of scope, also when a check failed before: whatever
// waits on the server can end then, and the server can be stopped.
struct ResumeAtEnd
{
    JackServer &server;
    ~ResumeAtEnd() { server.resume(); }
};

QStringList messages(const UpdateDialog &dialog)
{
    return dialog.findChild<QTextEdit *>(QStringLiteral("textEdit"))
        ->toPlainText()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// The editor on its JACK port, with the emulator, while the JACK server goes away and comes
// back. The test process opens no JACK client of its own: libjack frees every client of a
// stopped server when another is opened, which the editor's port takes care of for its own.
class TestEndToEndRestart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void editorFollowsTheServerAway_data();
    void editorFollowsTheServerAway();
    void transferWhoseServerVanishes();
    void editorThroughAStalledServer_data();
    void editorThroughAStalledServer();
    void commandEndsWhileTheServerStalls_data();
    void commandEndsWhileTheServerStalls();

private:
    JackServer server;
    QTemporaryDir workDir;
};

void TestEndToEndRestart::initTestCase()
{
    QVERIFY(workDir.isValid());
}

void TestEndToEndRestart::cleanup()
{
    server.stop();
}

void TestEndToEndRestart::editorFollowsTheServerAway_data()
{
    QTest::addColumn<bool>("downloadFirst");
    QTest::newRow("noticed while idle") << false;
    QTest::newRow("download right after") << true;
}

void TestEndToEndRestart::editorFollowsTheServerAway()
{
    QFETCH(bool, downloadFirst);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    auto emulator = std::make_unique<EmulatorProcess>();
    QVERIFY2(emulator->start({}, &error), qPrintable(error));
    MainWindow window(std::make_unique<JackPort>());
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("Patch uploaded."), 10000);
    QCOMPARE(connectionText(window), QStringLiteral("Connected: Vellichord"));

    server.stop();
    if (downloadFirst) {
        // Nothing can be delivered, and the window does not say otherwise.
        press(window, "buttonDownload");
        QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
        QCOMPARE(connectionText(window), QStringLiteral("Not connected"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("MIDI system stopped"),
                              3 * DeviceWatcher::intervalMs);
    QCOMPARE(connectionText(window), QStringLiteral("Not connected"));
    press(window, "buttonDownload");
    QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
    press(window, "buttonUpload");
    QCOMPARE(statusText(window), QStringLiteral("Upload failed: Vellichord not connected"));
    emulator.reset();

    // The server and the device come back: found as a device plugged in is.
    QVERIFY2(server.start(&error), qPrintable(error));
    emulator = std::make_unique<EmulatorProcess>();
    QVERIFY2(emulator->start({QStringLiteral("--hex")}, &error), qPrintable(error));
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(window), QStringLiteral("Connected: Vellichord"),
                              2000);
    QCOMPARE(statusText(window), QStringLiteral("Vellichord connected"));
    press(window, "buttonDownload");
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
    QVERIFY(emulator->waitForLine(QStringLiteral("received: Type 1 patch")));
    QCOMPARE(
        emulator->lastMessage(QStringLiteral("received: Type 1 patch")).toHex(' '),
        QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()), 348)
            .toHex(' '));
    QCOMPARE(emulator->stop(), QString());
}

void TestEndToEndRestart::transferWhoseServerVanishes()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QByteArray image;
    for (int i = 0; i < 8; ++i)
        image += updateRecordOfSize(512);
    image += updateRecord(QByteArray());
    const QString updateFile = workDir.filePath(QStringLiteral("update.txt"));
    QVERIFY(writeFile(updateFile, image.toHex(' ').toUpper()));

    EmulatorProcess emulator;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    MainWindow window(std::make_unique<JackPort>());
    auto *dialog = window.findChild<UpdateDialog *>();
    window.performUpdate();
    QVERIFY(dialog->load_update_binary(updateFile));
    auto *progress = dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"));

    // The server goes once the first record is in.
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        if (value > 0)
            server.stop();
    });
    finishRun(dialog, [&] { dialog->doUpdate(); });

    const QStringList shown = messages(*dialog);
    QCOMPARE(shown.last(),
             QStringLiteral("Lost the connection to the Vellichord.  Please "
                            "connect it and press Update again."));
    QVERIFY(!shown.contains(QStringLiteral("Transfer Complete.")));
    QVERIFY(progress->value() > 0 && progress->value() < 100);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("MIDI system stopped"),
                              3 * DeviceWatcher::intervalMs);
    QCOMPARE(connectionText(window), QStringLiteral("Not connected"));
}

void TestEndToEndRestart::editorThroughAStalledServer_data()
{
    QTest::addColumn<bool>("download");
    QTest::newRow("download") << true;
    QTest::newRow("updater's connect") << false;
}

void TestEndToEndRestart::editorThroughAStalledServer()
{
    QFETCH(bool, download);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    EmulatorProcess emulator;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    MainWindow window(std::make_unique<JackPort>());
    window.show();
    auto *dialog = window.findChild<UpdateDialog *>();
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("Patch uploaded."), 10000);

    QVERIFY(server.stall());
    const ResumeAtEnd resume{server};
    if (download) {
        // What the send found shows at once.
        press(window, "buttonDownload");
        QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
        QCOMPARE(connectionText(window), QStringLiteral("Not connected"));
    } else {
        // The run ends, and the window's thread stays free meanwhile: the end is reported
        // through its event loop.
        const QString updateFile = workDir.filePath(QStringLiteral("update.txt"));
        QVERIFY(writeFile(updateFile, updateRecord(QByteArray()).toHex(' ').toUpper()));
        window.performUpdate();
        QVERIFY(dialog->load_update_binary(updateFile));
        auto *connect = dialog->findChild<QPushButton *>(QStringLiteral("buttonSwitchMode"));
        QVERIFY(connect->isEnabled());
        QSignalSpy finished(dialog, &UpdateDialog::runFinished);
        QTest::mouseClick(connect, Qt::LeftButton);
        QVERIFY(finished.wait(15000));
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY2(
            messages(*dialog).last().startsWith(QStringLiteral("No response from the Vellichord.")),
            qPrintable(messages(*dialog).join('\n')));
        QCOMPARE(connectionText(window), QStringLiteral("Not connected"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("MIDI system stopped"),
                              3 * DeviceWatcher::intervalMs);

    // Once the server goes on, the device is found again.
    server.resume();
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(window), QStringLiteral("Connected: Vellichord"),
                              10000);
    press(window, "buttonDownload");
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
}

void TestEndToEndRestart::commandEndsWhileTheServerStalls_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("get") << QStringList{"get", "--timeout", "2000"};
    QTest::newRow("ports") << QStringList{"ports"};
}

void TestEndToEndRestart::commandEndsWhileTheServerStalls()
{
    QFETCH(QStringList, arguments);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(server.stall());
    const ResumeAtEnd resume{server};
    QProcess command;
    command.setWorkingDirectory(workDir.path());
    command.start(QStringLiteral(VELLICHORD_CLI), arguments);
    // Generous: the wait under test is 2 s, and a busy machine is slow.
    const bool ended = command.waitForFinished(15000);
    if (!ended) {
        command.kill();
        command.waitForFinished(5000);
    }
    QVERIFY2(ended, "the command did not end");
    QCOMPARE(command.exitStatus(), QProcess::NormalExit);
    QCOMPARE(command.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(command.readAllStandardError()),
             QStringLiteral("vellichord ") + arguments.first()
                 + QStringLiteral(": the MIDI system does not answer (is the JACK server "
                                  "stopped?)\n"));
}

QTEST_MAIN(TestEndToEndRestart)
#include "tst_endtoendrestart.moc"
