#include "controlplacement.h"

#include <QtTest>

// The picture tool (tools/panelpicture.cpp) and the pictures it painted into images/, which
// the editor shows.
class TestPanelPicture : public QObject
{
    Q_OBJECT

private slots:
    void writesEachScale_data();
    void writesEachScale();
    void committedPicturesHaveTheirSizes_data();
    void committedPicturesHaveTheirSizes();
    void badArgumentsWriteNothing_data();
    void badArgumentsWriteNothing();

private:
    static int runTool(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral(PANEL_PICTURE), arguments);
        if (!tool.waitForFinished(60000))
            return -1;
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }
    // The panel's picture at scale: opaque inside its rounded housing, transparent corners.
    static void checkPicture(const QString &path, int scale)
    {
        const QImage picture(path);
        QVERIFY2(!picture.isNull(), qPrintable(path));
        QCOMPARE(picture.size(), QSize(panelWidth, panelHeight) * scale);
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(picture.pixel(picture.width() / 2, picture.height() / 2)), 255);
    }
};

void TestPanelPicture::writesEachScale_data()
{
    QTest::addColumn<QStringList>("scaleArgument");
    QTest::addColumn<int>("scale");

    QTest::newRow("none") << QStringList() << 1;
    QTest::newRow("1") << QStringList{QStringLiteral("1")} << 1;
    QTest::newRow("2") << QStringList{QStringLiteral("2")} << 2;
}

void TestPanelPicture::writesEachScale()
{
    QFETCH(QStringList, scaleArgument);
    QFETCH(int, scale);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("panel.png"));
    QCOMPARE(runTool(QStringList{path} + scaleArgument), 0);
    checkPicture(path, scale);
}

void TestPanelPicture::committedPicturesHaveTheirSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("scale");

    QTest::newRow("1x") << "vellichord-scaled.png" << 1;
    QTest::newRow("2x") << "vellichord-scaled@2x.png" << 2;
}

void TestPanelPicture::committedPicturesHaveTheirSizes()
{
    QFETCH(QString, name);
    QFETCH(int, scale);

    checkPicture(QStringLiteral(VELLICHORD_IMAGES "/") + name, scale);
}

void TestPanelPicture::badArgumentsWriteNothing_data()
{
    QTest::addColumn<QStringList>("scaleArguments");

    QTest::newRow("scale 0") << QStringList{QStringLiteral("0")};
    QTest::newRow("scale 5") << QStringList{QStringLiteral("5")};
    QTest::newRow("not a number") << QStringList{QStringLiteral("2x")};
    QTest::newRow("one too many") << QStringList{QStringLiteral("2"), QStringLiteral("2")};
}

void TestPanelPicture::badArgumentsWriteNothing()
{
    QFETCH(QStringList, scaleArguments);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("panel.png"));
    QCOMPARE(runTool(QStringList{path} + scaleArguments), 2);
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestPanelPicture)
#include "tst_panelpicture.moc"
