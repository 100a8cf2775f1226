#include "../common/files.h"
#include "patch.h"
#include "recoveryfile.h"

#include <QtTest>

// The file that keeps unsent changes from one run to the next.
class TestRecoveryFile : public QObject
{
    Q_OBJECT

private slots:
    void patchReadsBackByteForByte_data();
    void patchReadsBackByteForByte();
    void damagedFileIsSetAsideWhole();

private:
    QTemporaryDir dir;
};

void TestRecoveryFile::patchReadsBackByteForByte_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("written");

    QTest::newRow("folder made on the way") << "share/vellichord/recovery.syx" << true;
    QTest::newRow("folder is a file") << "blocked/vellichord/recovery.syx" << false;
}

void TestRecoveryFile::patchReadsBackByteForByte()
{
    QFETCH(QString, path);
    QFETCH(bool, written);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("blocked")), "not a folder"));
    RecoveryFile file(dir.filePath(path));
    Patch patch;
    patch.setName(QStringLiteral("Kept"));
    patch.setPresetNo(7);
    patch.controls().at(12)->updateParameter(Channel, 9);

    QCOMPARE(file.write(patch.toType1()), written);
    QCOMPARE(file.exists(), written);
    if (!written)
        return;
    patch.controls().at(40)->updateParameter(Colour, 3);
    QVERIFY(file.write(patch.toType1())); // replaces the first
    QByteArray read;
    QCOMPARE(file.read(&read), PatchFileFault::None);
    QCOMPARE(read, patch.toType1());
    QVERIFY(file.remove());
    QVERIFY(!file.exists());
}

void TestRecoveryFile::damagedFileIsSetAsideWhole()
{
    RecoveryFile file(dir.filePath(QStringLiteral("damaged/recovery.syx")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("damaged")));
    QStringList kept;
    // Two damaged files of the same second take no one's place.
    for (const QByteArray &bytes : {QByteArray("\xF0\x00\xF7"), QByteArray(348, 'x')}) {
        QVERIFY(writeFile(file.path(), bytes));
        QFile written(file.path());
        QVERIFY(written.open(QIODevice::ReadWrite));
        QVERIFY(written.setFileTime(QDateTime(QDate(2026, 3, 1), QTime(9, 30)),
                                    QFileDevice::FileModificationTime));
        written.close();
        QByteArray read;
        QVERIFY(file.read(&read) != PatchFileFault::None);
        const QString aside = file.setAside();
        QVERIFY(!aside.isEmpty());
        QVERIFY(!file.exists());
        QCOMPARE(readFile(aside), bytes);
        kept << aside;
    }
    QCOMPARE(QDir(dir.filePath(QStringLiteral("damaged"))).count(), 2u + 2u); // with . and ..
    QVERIFY(kept.first() != kept.last());
}

QTEST_GUILESS_MAIN(TestRecoveryFile)
#include "tst_recoveryfile.moc"
