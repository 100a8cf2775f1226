#include "../common/files.h"
#include "recoveryfile.h"

#include <QtTest>

// The file that keeps unsent changes from one run to the next; reading and restoring it is
// tested with the editor's window (tst_recovery).
class TestRecoveryFile : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesOfTheSameSecondAreAllKept();
};

void TestRecoveryFile::damagedFilesOfTheSameSecondAreAllKept()
{
    QTemporaryDir dir;
    RecoveryFile file(dir.filePath(QStringLiteral("recovery.syx")));
    QStringList kept;
    for (const QByteArray &bytes : {QByteArray("\xF0\x00\xF7"), QByteArray(348, 'x')}) {
        QVERIFY(writeFile(file.path(), bytes));
        QFile written(file.path());
        QVERIFY(written.open(QIODevice::ReadWrite)
                && written.setFileTime(QDateTime(QDate(2026, 3, 1), QTime(9, 30)),
                                       QFileDevice::FileModificationTime));
        written.close();
        QByteArray read;
        QVERIFY(file.read(&read) != PatchFileFault::None);
        const QString aside = file.setAside();
        QVERIFY(!file.exists());
        QCOMPARE(readFile(aside), bytes);
        kept << aside;
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    QCOMPARE(QFileInfo(kept.first()).fileName(), QStringLiteral("recovery-20260301-093000.syx"));
}

QTEST_GUILESS_MAIN(TestRecoveryFile)
#include "tst_recoveryfile.moc"
