#include "midimonitorwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

MidiTraffic notes(int count, int first = 0)
{
    MidiTraffic batch;
    for (int i = first; i < first + count; ++i)
        batch.append({i, false, QByteArray(1, char(0x90)) + char(i % 128) + char(0x40)});
    return batch;
}

} // namespace

class TestMidiMonitorWindow : public QObject
{
    Q_OBJECT

private slots:
    void batchesAreGatheredAndShownTogether();
    void gatheringStaysWithinTheRows();
    void checkBoxesSetTheFilters();
    void pauseAndClearButtons();
    void copyPutsTheSelectedRowsOnTheClipboard();
};

void TestMidiMonitorWindow::batchesAreGatheredAndShownTogether()
{
    MidiMonitorWindow window;
    QSignalSpy inserted(window.model(), &QAbstractItemModel::rowsInserted);
    window.showTraffic(notes(3), QStringLiteral("Vellichord"));
    window.showTraffic(notes(2, 3), QStringLiteral("Vellichord"));
    window.showTraffic(notes(1, 5), QStringLiteral("Vellichord Updater"));
    QCOMPARE(window.model()->rowCount(), 0);
    QTRY_COMPARE(window.model()->rowCount(), 6);
    // One insertion per port's run of messages, not per batch.
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(window.model()->index(4, MidiTrafficModel::PortColumn).data().toString(),
             QStringLiteral("Vellichord"));
    QCOMPARE(window.model()->index(5, MidiTrafficModel::PortColumn).data().toString(),
             QStringLiteral("Vellichord Updater"));
}

void TestMidiMonitorWindow::gatheringStaysWithinTheRows()
{
    MidiMonitorWindow window;
    for (int i = 0; i < 5; ++i)
        window.showTraffic(notes(5000, i * 5000), QString::fromLatin1(i % 2 ? "A" : "B"));
    window.flush();
    QCOMPARE(window.model()->rowCount(), MidiTrafficModel::maxRows);
    QCOMPARE(window.model()->index(0, 0).data().toString(), midi_time_text(15000));
    QCOMPARE(window.model()->index(9999, 0).data().toString(), midi_time_text(24999));
}

void TestMidiMonitorWindow::checkBoxesSetTheFilters()
{
    MidiMonitorWindow window;
    auto *clock = window.findChild<QCheckBox *>(QStringLiteral("hideClock"));
    QVERIFY(clock && clock->isChecked());
    clock->setChecked(false);
    window.findChild<QCheckBox *>(QStringLiteral("hideNotes"))->setChecked(true);
    window.findChild<QCheckBox *>(QStringLiteral("hideSysEx"))->setChecked(true);
    QCOMPARE(window.model()->filters(), MidiTrafficModel::HideNotes | MidiTrafficModel::HideSysEx);
    window.findChild<QCheckBox *>(QStringLiteral("hideControlChanges"))->setChecked(true);
    QVERIFY(window.model()->filters().testFlag(MidiTrafficModel::HideControlChanges));
}

void TestMidiMonitorWindow::pauseAndClearButtons()
{
    MidiMonitorWindow window;
    window.showTraffic(notes(4), QString());
    window.flush();
    auto *pause = window.findChild<QPushButton *>(QStringLiteral("pause"));
    pause->click();
    QVERIFY(window.model()->isPaused());
    window.showTraffic(notes(4), QString());
    window.flush();
    QCOMPARE(window.model()->rowCount(), 4);
    pause->click();
    QVERIFY(!window.model()->isPaused());
    window.findChild<QPushButton *>(QStringLiteral("clear"))->click();
    QCOMPARE(window.model()->rowCount(), 0);
}

void TestMidiMonitorWindow::copyPutsTheSelectedRowsOnTheClipboard()
{
    MidiMonitorWindow window;
    window.showTraffic(notes(5), QStringLiteral("Vellichord"));
    window.flush();
    QApplication::clipboard()->clear();
    window.findChild<QPushButton *>(QStringLiteral("copy"))->click();
    QCOMPARE(QApplication::clipboard()->text(), QString()); // nothing selected
    window.table()->selectRow(3);
    window.table()->selectionModel()->select(
        window.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.findChild<QPushButton *>(QStringLiteral("copy"))->click();
    QCOMPARE(QApplication::clipboard()->text(), window.model()->rowsText({1, 3}));
    QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("Note On C#-2 (1) vel 64")));
}

QTEST_MAIN(TestMidiMonitorWindow)
#include "tst_midimonitorwindow.moc"
