#include "../common/files.h"
#include "miditrafficmodel.h"

#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

MidiTraffic traffic(const QList<QByteArray> &messages, bool outgoing = false)
{
    MidiTraffic batch;
    for (const QByteArray &bytes : messages)
        batch.append({0, outgoing, bytes});
    return batch;
}

// count note-ons on channel 1, numbered by their note and velocity from first on.
MidiTraffic notes(int count, int first = 0)
{
    MidiTraffic batch;
    for (int i = first; i < first + count; ++i)
        batch.append({i, false, QByteArray(1, char(0x90)) + char(i % 128) + char(i / 128 % 128)});
    return batch;
}

QStringList texts(const MidiTrafficModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row, MidiTrafficModel::MessageColumn).data().toString();
    return result;
}

QByteArray frame(const QByteArray &bytes)
{
    return QByteArray(1, char(0xF0)) + bytes.toHex().toUpper() + char(0xF7);
}

} // namespace

class TestMidiTrafficModel : public QObject
{
    Q_OBJECT

private slots:
    void rowShowsEveryColumn();
    void eachBatchIsOneInsertion();
    void rowsStayWithinTheBound_data();
    void rowsStayWithinTheBound();
    void memoryStaysBounded();
    void filtersHideKinds_data();
    void filtersHideKinds();
    void hidingRemovesShownRows();
    void pauseKeepsNothingButRecordNumbers();
    void clearEmptiesTheRows();
    void copiedRowsAreLinesInOrder();
    void savedFileHoldsEveryRow();
    void failedSaveKeepsTheOldFile();
};

void TestMidiTrafficModel::rowShowsEveryColumn()
{
    MidiTrafficModel model;
    model.setPortName(QStringLiteral("Vellichord"));
    const QDateTime time(QDate(2026, 12, 8), QTime(11, 38, 1, 5));
    model.append({{time.toMSecsSinceEpoch(), false, hex("993c64")}});
    model.setPortName(QStringLiteral("Vellichord Updater"));
    model.append({{time.toMSecsSinceEpoch(), true, hex("f01af7")}});

    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 5);
    const QStringList first{"11:38:01.005", "in", "Vellichord", "Note On C3 (60) vel 100 Ch 10",
                            "99 3C 64"};
    for (int column = 0; column < model.columnCount(); ++column)
        QCOMPARE(model.index(0, column).data().toString(), first[column]);
    QCOMPARE(model.index(1, MidiTrafficModel::DirectionColumn).data().toString(),
             QStringLiteral("out"));
    QCOMPARE(model.index(1, MidiTrafficModel::PortColumn).data().toString(),
             QStringLiteral("Vellichord Updater"));
    QCOMPARE(model.headerData(MidiTrafficModel::RawColumn, Qt::Horizontal).toString(),
             QStringLiteral("Raw"));
    QVERIFY(!model.index(2, 0).data().isValid());
}

void TestMidiTrafficModel::eachBatchIsOneInsertion()
{
    MidiTrafficModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.append(notes(500));
    model.append(notes(3, 500));
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted[1].at(1).toInt(), 500);
    QCOMPARE(inserted[1].at(2).toInt(), 502);
    // A batch with nothing to show inserts nothing.
    model.append(traffic({hex("f8"), hex("fe")}));
    model.append({});
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(model.rowCount(), 503);
}

void TestMidiTrafficModel::rowsStayWithinTheBound_data()
{
    QTest::addColumn<QList<int>>("batches");
    QTest::addColumn<int>("removals");
    QTest::addColumn<int>("firstKept");

    const int max = MidiTrafficModel::maxRows;
    QTest::newRow("exactly full") << QList<int>{max} << 0 << 0;
    QTest::newRow("full, then five more") << QList<int>{max, 5} << 1 << 5;
    QTest::newRow("one batch larger than the bound") << QList<int>{max * 2 + 7} << 0 << max + 7;
    QTest::newRow("many batches") << QList<int>{4000, 4000, 4000, 4000} << 2 << 6000;
    QTest::newRow("a large batch over full rows") << QList<int>{10, max + 1} << 1 << 11;
}

void TestMidiTrafficModel::rowsStayWithinTheBound()
{
    QFETCH(QList<int>, batches);
    QFETCH(int, removals);
    QFETCH(int, firstKept);

    MidiTrafficModel model;
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    int sent = 0;
    for (int count : batches) {
        model.append(notes(count, sent));
        sent += count;
    }
    QCOMPARE(model.rowCount(), std::min(sent, MidiTrafficModel::maxRows));
    // The oldest go, in one removal from the top per batch.
    QCOMPARE(removed.count(), removals);
    for (const QList<QVariant> &removal : removed)
        QCOMPARE(removal.at(1).toInt(), 0);
    QCOMPARE(model.index(0, 0).data().toString(), midi_time_text(firstKept));
    QCOMPARE(model.index(model.rowCount() - 1, 0).data().toString(), midi_time_text(sent - 1));
}

void TestMidiTrafficModel::memoryStaysBounded()
{
    MidiTrafficModel model;
    for (int i = 0; i < 10; ++i)
        model.append(notes(1000));
    const qint64 full = model.memoryBytes();
    QVERIFY(full > 0);
    for (int i = 0; i < 100; ++i)
        model.append(notes(1000));
    QCOMPARE(model.memoryBytes(), full);
}

void TestMidiTrafficModel::filtersHideKinds_data()
{
    QTest::addColumn<int>("filters");
    QTest::addColumn<QStringList>("shown");

    using M = MidiTrafficModel;
    QTest::newRow("default: clock and active sensing hidden")
        << int(M::HideClock)
        << QStringList{"Note On C3 (60) vel 100 Ch 10", "CC 7 = 64 Ch 1", "Patch request", "Start",
                       "Program Change 1 Ch 1"};
    QTest::newRow("nothing hidden") << 0 << QStringList{"Clock",
                                                        "Note On C3 (60) vel 100 Ch 10",
                                                        "Active Sensing",
                                                        "CC 7 = 64 Ch 1",
                                                        "Patch request",
                                                        "Start",
                                                        "Program Change 1 Ch 1"};
    QTest::newRow("notes and CCs hidden") << int(M::HideNotes | M::HideControlChanges)
                                          << QStringList{"Clock", "Active Sensing", "Patch request",
                                                         "Start", "Program Change 1 Ch 1"};
    QTest::newRow("everything that can be")
        << int(M::HideClock | M::HideNotes | M::HideControlChanges | M::HideSysEx)
        << QStringList{"Start", "Program Change 1 Ch 1"};
}

void TestMidiTrafficModel::filtersHideKinds()
{
    QFETCH(int, filters);
    QFETCH(QStringList, shown);

    MidiTrafficModel model;
    QCOMPARE(model.filters(), MidiTrafficModel::Filters(MidiTrafficModel::HideClock));
    model.setFilters(MidiTrafficModel::Filters(filters));
    model.append(traffic({hex("f8"), hex("993c64"), hex("fe"), hex("b00740"),
                          hex("f0000000007f620000f7"), hex("fa"), hex("c001")}));
    QCOMPARE(texts(model), shown);
}

void TestMidiTrafficModel::hidingRemovesShownRows()
{
    MidiTrafficModel model;
    model.setFilters({});
    model.append(traffic({hex("f8"), hex("993c64"), hex("b00740")}));
    model.setFilters(MidiTrafficModel::HideNotes);
    QCOMPARE(texts(model), (QStringList{"Clock", "CC 7 = 64 Ch 1"}));
    // Shown again from now on; what was hidden is gone.
    model.setFilters({});
    QCOMPARE(model.rowCount(), 2);
    model.append(traffic({hex("993c64")}));
    QCOMPARE(texts(model).last(), QStringLiteral("Note On C3 (60) vel 100 Ch 10"));
}

void TestMidiTrafficModel::pauseKeepsNothingButRecordNumbers()
{
    const QByteArray record1 = hex("0003aabbcc");
    const QByteArray record2 = hex("000301020f");
    MidiTrafficModel model;
    model.append(traffic({hex("993c64")}));
    model.setPaused(true);
    QVERIFY(model.isPaused());
    model.append(traffic({QByteArray("\xF0Qk8vR2x\xF7"), frame(record1)}, true));
    model.append(traffic({hex("f01af7"), hex("b00740")}));
    QCOMPARE(model.rowCount(), 1);
    model.setPaused(false);
    model.append(traffic({frame(record2)}, true));
    QCOMPARE(texts(model),
             (QStringList{"Note On C3 (60) vel 100 Ch 10", "Firmware record 2 (5 bytes)"}));
}

void TestMidiTrafficModel::clearEmptiesTheRows()
{
    MidiTrafficModel model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clear();
    QCOMPARE(reset.count(), 0);
    model.append(notes(20));
    model.clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.memoryBytes() < 100, true);
    model.append(notes(1));
    QCOMPARE(model.rowCount(), 1);
}

void TestMidiTrafficModel::copiedRowsAreLinesInOrder()
{
    MidiTrafficModel model;
    model.setPortName(QStringLiteral("Vellichord"));
    const qint64 time = QDateTime(QDate(2026, 12, 8), QTime(9, 0)).toMSecsSinceEpoch();
    model.append({{time, true, hex("f0000000007f620000f7")},
                  {time + 1, false, hex("b00740")},
                  {time + 2, false, hex("993c64")}});
    QCOMPARE(model.lineText(1),
             QStringLiteral("09:00:00.001\tin\tVellichord\tCC 7 = 64 Ch 1\tB0 07 40"));
    // Selected in any order, copied in the table's; rows that are not there are left out.
    QCOMPARE(model.rowsText({2, 0, 7}),
             QStringLiteral("09:00:00.000\tout\tVellichord\tPatch request\tF0 00 00 00 00 7F 62 "
                            "00 00 F7\n"
                            "09:00:00.002\tin\tVellichord\tNote On C3 (60) vel 100 Ch 10\t99 3C "
                            "64\n"));
    QCOMPARE(model.rowsText({}), QString());
}

void TestMidiTrafficModel::savedFileHoldsEveryRow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.txt"));
    MidiTrafficModel model;
    model.append(notes(3));
    QString error;
    QVERIFY(model.saveText(path, &error));
    const QList<QByteArray> lines = readFile(path).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(QString::fromUtf8(lines[2]), model.lineText(2));
    QVERIFY(lines[3].isEmpty());

    QVERIFY(!model.saveText(dir.filePath(QStringLiteral("no/such/folder/monitor.txt")), &error));
    QVERIFY(!error.isEmpty());
}

void TestMidiTrafficModel::failedSaveKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.txt"));
    QVERIFY(writeFile(path, "old lines\n"));
    MidiTrafficModel model;
    model.append(notes(5000));
    QString error;
    {
        const FileSizeLimit limit(4096);
        QVERIFY(limit.isActive());
        QVERIFY(!model.saveText(path, &error));
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFile(path), QByteArray("old lines\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"monitor.txt"});
#else
    QSKIP("needs a file size limit");
#endif
}

QTEST_GUILESS_MAIN(TestMidiTrafficModel)
#include "tst_miditrafficmodel.moc"
