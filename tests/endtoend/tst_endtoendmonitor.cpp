#include "../common/files.h"
#include "../common/jackserver.h"
#include "../midi/jackpeer.h"
#include "../updater/updaterrig.h"
#include "emulatorprocess.h"
#include "jackport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "midimonitorwindow.h"
#include "updatedialog.h"

#include <QAction>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

namespace {

// The editor on the real MIDI backend with its MIDI monitor open.
struct Editor
{
    Editor()
        : window(std::make_unique<JackPort>())
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("the editor window was never shown");
        window.findChild<QAction *>(QStringLiteral("actionMidiMonitor"))->trigger();
        monitor = window.findChild<MidiMonitorWindow *>();
    }

    // The monitor's rows: direction, port and text.
    QStringList rows() const
    {
        monitor->flush();
        QStringList result;
        const MidiTrafficModel &model = *monitor->model();
        for (int row = 0; row < model.rowCount(); ++row)
            result
                << QStringList{model.index(row, MidiTrafficModel::DirectionColumn)
                                   .data()
                                   .toString(),
                               model.index(row, MidiTrafficModel::PortColumn).data().toString(),
                               model.index(row, MidiTrafficModel::MessageColumn).data().toString()}
                       .join(QLatin1Char(' '));
        return result;
    }
    bool shows(const QString &row) const { return rows().contains(row); }

    MainWindow window;
    MidiMonitorWindow *monitor = nullptr;
};

// A JACK client that plays the device's part on the input of the program that is
// "Vellichord Editor": connects to it, and sends the probe CC 127 = 0 on channel 16 until
// arrived() says it came through, so that nothing sent afterwards is lost to a connection that
// the server has not put in place yet.
bool connectPads(JackPeer &pads, const std::function<bool()> &arrived)
{
    jack_client_t *patchbay = jack_client_open("patchbay", JackNoStartServer, nullptr);
    if (!patchbay)
        return false;
    const bool connected = jack_connect(patchbay, "Pads:midi_out", "Vellichord Editor:input") == 0;
    jack_client_close(patchbay);
    return connected
        && QTest::qWaitFor(
               [&] {
                   pads.send(QByteArray::fromHex("bf7f00"));
                   return arrived();
               },
               10000);
}

const QString probe = QStringLiteral("CC 127 = 0 Ch 16");

} // namespace

// The MIDI monitor of the editor talking to the emulator program over a JACK server.
class TestEndToEndMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void patchAndTouchAreShown();
    void updateRecordsAreShown();
    void commandLinePrintsTheSameLines();

private:
    JackServer server;
    QTemporaryDir workDir;
};

void TestEndToEndMonitor::initTestCase()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(workDir.isValid());
    qputenv("XDG_CONFIG_HOME", workDir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", workDir.filePath(QStringLiteral("data")).toLocal8Bit());
}

void TestEndToEndMonitor::patchAndTouchAreShown()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    Editor editor;
    QVERIFY(editor.monitor && editor.monitor->isVisible());

    // The editor asks for the device's patch as it starts.
    QTRY_VERIFY_WITH_TIMEOUT(editor.shows(QStringLiteral("out Vellichord Patch request")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(editor.rows()
                                     .filter(QRegularExpression(QStringLiteral(
                                         "^in Vellichord Patch '.*' preset \\d+ \\(348 bytes\\)$")))
                                     .size()
                                 == 1,
                             10000);

    // A pad pressed and let go, and a knob turned, as the device sends them: a second client
    // plays the device's part on the editor's input.
    JackPeer pads("Pads", "midi_out", "");
    QVERIFY(
        connectPads(pads, [&] { return editor.shows(QStringLiteral("in Vellichord ") + probe); }));
    pads.send(QByteArray::fromHex("993c64"));
    pads.send(QByteArray::fromHex("993c00"));
    pads.send(QByteArray::fromHex("f8"));
    pads.send(QByteArray::fromHex("b00740"));
    QTRY_VERIFY_WITH_TIMEOUT(editor.shows(QStringLiteral("in Vellichord CC 7 = 64 Ch 1")), 10000);
    const QStringList rows = editor.rows();
    const int pressed = rows.indexOf(QStringLiteral("in Vellichord Note On C3 (60) vel 100 Ch 10"));
    QVERIFY2(pressed > 0, qPrintable(rows.join('\n')));
    QCOMPARE(rows.value(pressed + 1), QStringLiteral("in Vellichord Note On C3 (60) vel 0 Ch 10"));
    // The clock between is hidden.
    QCOMPARE(rows.value(pressed + 2), QStringLiteral("in Vellichord CC 7 = 64 Ch 1"));

    // A download shows as it went out.
    QVERIFY(editor.window.getMidiController()->downloadPatch());
    QTRY_COMPARE(
        editor.rows().filter(QRegularExpression(QStringLiteral("^out Vellichord Patch '"))).size(),
        1);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndMonitor::updateRecordsAreShown()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    Editor editor;
    // Two records of 30 bytes, and the empty one that ends an image.
    const QByteArray image = updateRecordOfSize(30) + updateRecordOfSize(30)
        + updateRecord(QByteArray());
    const QString updateFile = workDir.filePath(QStringLiteral("update.txt"));
    QVERIFY(writeFile(updateFile, image.toHex(' ').toUpper()));
    editor.window.performUpdate();
    auto *dialog = editor.window.findChild<UpdateDialog *>();
    QVERIFY(dialog->load_update_binary(updateFile));
    QVERIFY(finishRun(dialog, [&] { dialog->doUpdate(); }));

    QTRY_VERIFY_WITH_TIMEOUT(
        editor.rows().filter(QStringLiteral("Status 0x77 update taken")).size() == 1, 10000);
    const QStringList rows = editor.rows();
    // The handshake: codes go out every 10 ms until the device answers ready.
    const int first = rows.indexOf(QStringLiteral("out Vellichord Firmware record 1 (30 bytes)"));
    QVERIFY2(first > 0, qPrintable(rows.join('\n')));
    QVERIFY(rows.mid(0, first).contains(QStringLiteral("out Vellichord Update code")));
    QVERIFY(rows.mid(0, first).contains(
        QStringLiteral("in Vellichord Status 0x3D ready for the update")));
    // Then each record and its answer; a late answer to a second code may come between.
    const QStringList records = rows.mid(first).filter(
        QRegularExpression(QStringLiteral("Firmware record \\d+ \\(|Status 0x(1A|77)")));
    QCOMPARE(records.join('\n'),
             QStringList({"out Vellichord Firmware record 1 (30 bytes)",
                          "in Vellichord Status 0x1A record accepted",
                          "out Vellichord Firmware record 2 (30 bytes)",
                          "in Vellichord Status 0x1A record accepted",
                          "out Vellichord Firmware record 3 (4 bytes)",
                          "in Vellichord Status 0x77 update taken, the device resets"})
                 .join('\n'));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndMonitor::commandLinePrintsTheSameLines()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));
    QProcess monitor;
    monitor.start(QStringLiteral(VELLICHORD_CLI), {"monitor", "--hex"});
    QVERIFY(monitor.waitForStarted(10000));
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT((said += monitor.readAllStandardError()).contains("Ctrl-C ends"),
                              said.constData(), 10000);

    QByteArray output;
    JackPeer pads("Pads", "midi_out", "");
    QVERIFY(connectPads(pads, [&] {
        return (output += monitor.readAllStandardOutput()).contains(probe.toUtf8());
    }));
    pads.send(QByteArray::fromHex("993c64"));
    pads.send(QByteArray::fromHex("fe"));
    pads.send(QByteArray::fromHex("b00740"));
    // The device's patch, as it answers another program's request.
    QProcess get;
    get.start(QStringLiteral(VELLICHORD_CLI),
              {"get", "-o", workDir.filePath(QStringLiteral("got.syx"))});
    QVERIFY(get.waitForFinished(30000));
    QCOMPARE(get.exitCode(), 0);

    QTRY_VERIFY_WITH_TIMEOUT((output += monitor.readAllStandardOutput()).contains("Patch '"),
                             10000);
    QVERIFY(signalProcess(monitor, SIGINT));
    QVERIFY(monitor.waitForFinished(30000));
    QCOMPARE(monitor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(monitor.exitCode(), 0);
    output += monitor.readAllStandardOutput();
    QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString &line) { return line.contains(probe); }),
                lines.end());
    const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  ");
    const QStringList expected{
        time + "in   Note On C3 \\(60\\) vel 100 Ch 10  \\[99 3C 64\\]",
        time + "in   CC 7 = 64 Ch 1  \\[B0 07 40\\]",
        time + "in   Patch '[a-z]+' preset \\d+ \\(348 bytes\\)  \\[F0 00 00 00 00 7F 63 .* F7\\]"};
    // Active sensing is left out; the patch may come before or after the pads.
    QCOMPARE(lines.size(), 3);
    for (const QString &pattern : expected)
        QVERIFY2(!lines.filter(QRegularExpression('^' + pattern + '$')).isEmpty(),
                 qPrintable(pattern + QStringLiteral(" in:\n") + lines.join('\n')));
    QCOMPARE(emulator.stop(), QString());
}

QTEST_MAIN(TestEndToEndMonitor)
#include "tst_endtoendmonitor.moc"
