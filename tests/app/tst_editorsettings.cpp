#include "editorsettings.h"

#include <QtTest>

// A remembered window position is used only where the window can still be reached. (A FIFO
// or oversize settings file is tested through the window in tst_menus.)
class TestEditorSettings : public QObject
{
    Q_OBJECT

private slots:
    void windowPositionNeedsAUsablePart_data();
    void windowPositionNeedsAUsablePart();
    void windowSizeIsReadOnlyWhenItIsOne_data();
    void windowSizeIsReadOnlyWhenItIsOne();
};

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

void TestEditorSettings::windowSizeIsReadOnlyWhenItIsOne_data()
{
    QTest::addColumn<QByteArray>("line"); // in the file's [window] group
    QTest::addColumn<QSize>("size");

    QTest::newRow("a size") << QByteArray("size=@Size(1300 900)") << QSize(1300, 900);
    QTest::newRow("none") << QByteArray() << QSize();
    QTest::newRow("no width") << QByteArray("size=@Size(0 900)") << QSize();
    QTest::newRow("negative") << QByteArray("size=@Size(-5 900)") << QSize();
    QTest::newRow("a word") << QByteArray("size=large") << QSize();
    QTest::newRow("a number") << QByteArray("size=1300") << QSize();
    QTest::newRow("a point") << QByteArray("size=@Point(1300 900)") << QSize();
}

void TestEditorSettings::windowSizeIsReadOnlyWhenItIsOne()
{
    QFETCH(QByteArray, line);
    QFETCH(QSize, size);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("vellichord-editor.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[window]\n" + line + "\nmaximized=true\n");
    file.close();

    EditorSettings settings(path);
    QCOMPARE(settings.windowSize(), size);
    QVERIFY(settings.windowMaximized());
    // Written back as read.
    if (size.isValid()) {
        settings.setWindowSize(size + QSize(1, 1));
        settings.sync();
        QCOMPARE(EditorSettings(path).windowSize(), size + QSize(1, 1));
    }
}

QTEST_GUILESS_MAIN(TestEditorSettings)
#include "tst_editorsettings.moc"
