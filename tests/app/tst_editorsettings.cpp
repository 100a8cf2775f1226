#include "../common/fifo.h"
#include "../common/files.h"
#include "editorsettings.h"

#include <QtTest>

// The settings file is read only when it is a regular file of sane size, and a file that was
// not read is never written; a remembered window position is used only where the window can
// still be reached.
class TestEditorSettings : public QObject
{
    Q_OBJECT

private slots:
    void onlyASaneFileIsReadAndWritten_data();
    void onlyASaneFileIsReadAndWritten();
    void windowPositionNeedsAUsablePart_data();
    void windowPositionNeedsAUsablePart();
};

void TestEditorSettings::onlyASaneFileIsReadAndWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("used");

    QTest::newRow("regular file") << "small" << true;
    QTest::newRow("FIFO") << "fifo" << false;
    QTest::newRow("larger than the bound") << "oversize" << false;
}

void TestEditorSettings::onlyASaneFileIsReadAndWritten()
{
    QFETCH(QString, kind);
    QFETCH(bool, used);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vellichord-editor.ini"));
    QByteArray contents("[selection]\nmulti=true\n");
    std::unique_ptr<GuardedFifo> fifo;
    if (kind == QLatin1String("fifo")) {
        // A regression blocks for two seconds, reads nothing and then writes over the FIFO.
        fifo = std::make_unique<GuardedFifo>(path);
        QVERIFY(fifo->isCreated());
    } else {
        if (kind == QLatin1String("oversize"))
            contents += QByteArray(";" + QByteArray(98, 'x') + "\n")
                            .repeated(int(EditorSettings::maxFileSize / 100) + 1);
        QVERIFY(writeFile(path, contents));
    }

    EditorSettings settings(path);
    QCOMPARE(settings.isUsed(), used);
    QCOMPARE(settings.multiSelect(), used);
    // Values set meanwhile hold for the run whether or not the file takes them.
    settings.setMultiSelect(false);
    settings.setRecentFiles({QStringLiteral("/a.syx")});
    settings.sync();
    QVERIFY(!settings.multiSelect());
    QCOMPARE(settings.recentFiles(), QStringList{QStringLiteral("/a.syx")});

    if (kind == QLatin1String("fifo"))
        QVERIFY(!QFileInfo(path).isFile());
    else
        QCOMPARE(readFile(path) == contents, !used);
}

void TestEditorSettings::windowPositionNeedsAUsablePart_data()
{
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<bool>("usable");

    const QRect wide(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 720);
    const QList<QRect> one{wide};
    const QList<QRect> two{wide, right};
    QTest::newRow("on the screen") << one << QPoint(100, 100) << true;
    QTest::newRow("partly left of it, most shown") << one << QPoint(-300, 100) << true;
    QTest::newRow("off every screen") << one << QPoint(3000, 100) << false;
    QTest::newRow("a sliver at the right edge") << one << QPoint(1900, 100) << false;
    QTest::newRow("a sliver at the bottom") << one << QPoint(100, 1060) << false;
    QTest::newRow("top above the screen") << one << QPoint(100, -50) << false;
    QTest::newRow("on the second screen") << two << QPoint(2000, 100) << true;
    QTest::newRow("below the shorter screen's sliver") << two << QPoint(2000, 700) << false;
    QTest::newRow("screen smaller than the window")
        << QList<QRect>{QRect(0, 0, 800, 600)} << QPoint(0, 0) << true;
    QTest::newRow("no screen") << QList<QRect>() << QPoint(0, 0) << false;
}

void TestEditorSettings::windowPositionNeedsAUsablePart()
{
    QFETCH(QList<QRect>, screens);
    QFETCH(QPoint, position);
    QFETCH(bool, usable);

    QCOMPARE(showsUsablePart(QRect(position, QSize(911, 600)), screens), usable);
}

QTEST_GUILESS_MAIN(TestEditorSettings)
#include "tst_editorsettings.moc"
