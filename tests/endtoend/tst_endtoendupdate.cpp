#include "../common/files.h"
#include "../common/jackserver.h"
#include "../updater/updaterrig.h"
#include "closeonsignal.h"
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

#include <csignal>
#include <memory>

namespace {

// A 4 KiB image: seven records of 512 bytes, one of 508 and the empty record that ends it.
QByteArray fourKiBImage()
{
    QByteArray image;
    for (int i = 0; i < 7; ++i)
        image += updateRecordOfSize(512);
    image += updateRecordOfSize(508);
    image += updateRecord(QByteArray());
    return image;
}

QStringList messages(const UpdateDialog &dialog)
{
    return dialog.findChild<QTextEdit *>(QStringLiteral("textEdit"))
        ->toPlainText()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The editor on the real MIDI backend with its updater dialog open.
struct Editor
{
    Editor()
        : window(std::make_unique<JackPort>())
        , dialog(window.findChild<UpdateDialog *>())
    {
        window.performUpdate();
    }

    QProgressBar *progress() const
    {
        return dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"));
    }
    bool buttonEnabled(const char *name) const
    {
        return dialog->findChild<QPushButton *>(QLatin1String(name))->isEnabled();
    }

    MainWindow window;
    UpdateDialog *dialog;
};

} // namespace

// Firmware updates from the editor to the emulator program over a JACK server's MIDI ports,
// with the updater's real pauses.
class TestEndToEndUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void updateCompletes_data();
    void updateCompletes();
    void updateNotConfirmed();
    void deviceNotReady();
    void updaterModeIsFound();
    void deviceGoneDuringTransfer();
    void signalEndsTheEditorOnceTheTransferHasEnded();

private:
    JackServer server;
    QTemporaryDir workDir;
    QString updateFile;
    QByteArray image;
};

void TestEndToEndUpdate::initTestCase()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(workDir.isValid());
    // The editors closed here keep their settings in the test's folder.
    qputenv("XDG_CONFIG_HOME", workDir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", workDir.filePath(QStringLiteral("data")).toLocal8Bit());
    image = fourKiBImage();
    QCOMPARE(image.size(), 4096);
    updateFile = workDir.filePath(QStringLiteral("update.txt"));
    QVERIFY(writeFile(updateFile, image.toHex(' ').toUpper()));
}

void TestEndToEndUpdate::updateCompletes_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("faultLine");

    QTest::newRow("healthy") << QStringList() << QString();
    QTest::newRow("every 5th answer dropped")
        << QStringList{"--drop-every", "5"} << "record resent after its answer was dropped";
    QTest::newRow("every 3rd record damaged")
        << QStringList{"--crc-error-every", "3"} << "sent: status 0x20, record damaged";
}

void TestEndToEndUpdate::updateCompletes()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, faultLine);

    const QString received = workDir.filePath(QStringLiteral("received.bin"));
    QFile::remove(received);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(faults + QStringList{"--write-image", received}, &error),
             qPrintable(error));
    Editor editor;
    QVERIFY(editor.dialog->load_update_binary(updateFile));

    finishRun(editor.dialog, [&] { editor.dialog->doUpdate(); });
    QVERIFY2(messages(*editor.dialog).endsWith(QStringLiteral("Transfer Complete.")),
             qPrintable(messages(*editor.dialog).join('\n')));
    QCOMPARE(editor.progress()->value(), 100);
    QCOMPARE(readFile(received).toHex(' '), image.toHex(' '));
    if (!faultLine.isEmpty())
        QVERIFY2(emulator.count(faultLine) > 0, qPrintable(emulator.lines().join('\n')));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndUpdate::updateNotConfirmed()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--no-confirm")}, &error), qPrintable(error));
    Editor editor;
    QVERIFY(editor.dialog->load_update_binary(updateFile));

    QVERIFY(!finishRun(editor.dialog, [&] { editor.dialog->doUpdate(); }));
    QCOMPARE(messages(*editor.dialog).last(),
             QStringLiteral("The Vellichord took every record but did not confirm the update. It "
                            "may still be in update mode: reconnect it and run the update again."));
    QVERIFY(editor.progress()->value() < 100);
    QCOMPARE(emulator.count(QStringLiteral("sent: status 0x1A")), 9);
    QVERIFY(editor.buttonEnabled("pushButton_2"));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndUpdate::deviceNotReady()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--not-ready")}, &error), qPrintable(error));
    Editor editor;
    QVERIFY(editor.dialog->load_update_binary(updateFile));

    finishRun(editor.dialog, [&] { editor.dialog->doUpdate(); });
    QCOMPARE(messages(*editor.dialog).last(),
             QStringLiteral("Please disconnect and reconnect the Vellichord then press Update."));
    QCOMPARE(emulator.count(QStringLiteral("received: data frame")), 0);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndUpdate::updaterModeIsFound()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--updater")}, &error), qPrintable(error));
    Editor editor;

    QVERIFY(finishRun(editor.dialog, [&] { editor.dialog->switchToUpdateMode(); }));
    QCOMPARE(editor.dialog->findChild<QLabel *>(QStringLiteral("label_device_name"))->text(),
             QStringLiteral("Tarvel Vellichord Updater"));
    QCOMPARE(messages(*editor.dialog).last(), QStringLiteral("Please press Update to continue."));
    QVERIFY(emulator.count(QStringLiteral("sent: status 0x3D, ready for the update")) > 0);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndUpdate::deviceGoneDuringTransfer()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    Editor editor;
    QVERIFY(editor.dialog->load_update_binary(updateFile));

    // Pulled out once the first record is in.
    QObject::connect(editor.progress(), &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && emulator.process.state() != QProcess::NotRunning)
            emulator.kill();
    });
    finishRun(editor.dialog, [&] { editor.dialog->doUpdate(); });

    const QStringList shown = messages(*editor.dialog);
    QCOMPARE(shown.last(),
             QStringLiteral("Lost the connection to the Vellichord.  Please "
                            "connect it and press Update again."));
    QVERIFY(!shown.contains(QStringLiteral("Transfer Complete.")));
    QVERIFY(editor.progress()->value() > 0 && editor.progress()->value() < 100);

    // The editor goes on working and says that the device is gone.
    QVERIFY(editor.buttonEnabled("buttonOpenFile"));
    QVERIFY(editor.buttonEnabled("pushButton_2"));
    QTest::mouseClick(editor.window.findChild<QPushButton *>(QStringLiteral("buttonUpload")),
                      Qt::LeftButton);
    QCOMPARE(editor.window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage(),
             QStringLiteral("Upload failed: Vellichord not connected"));
}

// SIGTERM during a transfer, with the signal handling and the quit of the editor's main(): the
// transfer goes on to its end, and then the editor ends.
void TestEndToEndUpdate::signalEndsTheEditorOnceTheTransferHasEnded()
{
    const QString received = workDir.filePath(QStringLiteral("received.bin"));
    QFile::remove(received);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--write-image"), received}, &error),
             qPrintable(error));
    Editor editor;
    QVERIFY(editor.dialog->load_update_binary(updateFile));
    closeOnSignal(&editor.window, [&editor] { editor.window.closeUnasked(); });
    QObject::connect(qApp, &QApplication::lastWindowClosed, qApp, &QApplication::quit);
    editor.window.show();

    bool raised = false;
    QObject::connect(editor.progress(), &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && !std::exchange(raised, true))
            std::raise(SIGTERM);
    });
    bool busyAtTheEnd = true;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit,
                     [&] { busyAtTheEnd = editor.dialog->isBusy(); });
    // A run that ends before any record was accepted raised nothing, and nothing ends the
    // editor then.
    QObject::connect(editor.dialog, &UpdateDialog::runFinished, [&] {
        if (!raised)
            QCoreApplication::exit(3);
    });
    QTimer::singleShot(0, editor.dialog, &UpdateDialog::doUpdate);
    // A failure, not a hang, when the editor never ends.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    watchdog.start(50000);
    const int ended = QCoreApplication::exec();
    QVERIFY2(ended == 0,
             qPrintable(QStringLiteral("%1; the updater said: %2; the status bar: %3; the "
                                       "emulator: %4")
                            .arg(ended == 3
                                     ? QStringLiteral("the run ended before a record was accepted")
                                     : QStringLiteral("the editor did not end"),
                                 messages(*editor.dialog).join('|'),
                                 editor.window.statusBar()->currentMessage(),
                                 emulator.lines().join('|'))));

    QVERIFY(raised);
    QVERIFY(!busyAtTheEnd);
    QVERIFY(!editor.window.isVisible());
    QCOMPARE(messages(*editor.dialog).last(), QStringLiteral("Transfer Complete."));
    QVERIFY(emulator.waitForLine(QStringLiteral("wrote the image")));
    QCOMPARE(readFile(received).toHex(' '), image.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

QTEST_MAIN(TestEndToEndUpdate)
#include "tst_endtoendupdate.moc"
