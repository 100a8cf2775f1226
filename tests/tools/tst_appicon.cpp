#include <QtTest>

// The icon tool (tools/appicon.cpp) and the icons it painted into images/, which are installed
// as the desktop's icons.
class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void writesEverySize_data();
    void writesEverySize();
    void committedIconsHaveTheirSizes_data();
    void committedIconsHaveTheirSizes();
    void badArgumentsWriteNothing_data();
    void badArgumentsWriteNothing();

private:
    static void addSizes()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%d px", size) << size;
    }
    // A square icon of that size: a tile with transparent corners round opaque pads.
    static void checkIcon(const QString &path, int size)
    {
        const QImage icon(path);
        QVERIFY2(!icon.isNull(), qPrintable(path));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
    static int runTool(const QStringList &arguments, QString *errors = nullptr)
    {
        QProcess tool;
        tool.start(QStringLiteral(APP_ICON), arguments);
        if (!tool.waitForFinished(60000))
            return -1;
        if (errors)
            *errors = QString::fromLocal8Bit(tool.readAllStandardError());
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }
};

void TestAppIcon::writesEverySize_data()
{
    addSizes();
}

void TestAppIcon::writesEverySize()
{
    QFETCH(int, size);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QCOMPARE(runTool({folder.path()}), 0);
    checkIcon(folder.filePath(QStringLiteral("icon-%1.png").arg(size)), size);
#ifdef VELLICHORD_HAVE_SVG
    QFile svg(folder.filePath(QStringLiteral("icon.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("viewBox=\"0 0 256 256\""));
#endif
}

void TestAppIcon::committedIconsHaveTheirSizes_data()
{
    addSizes();
}

void TestAppIcon::committedIconsHaveTheirSizes()
{
    QFETCH(int, size);
    checkIcon(QStringLiteral(VELLICHORD_IMAGES "/icon-%1.png").arg(size), size);
    QVERIFY(QFile::exists(QStringLiteral(VELLICHORD_IMAGES "/icon.svg")));
}

void TestAppIcon::badArgumentsWriteNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("no folder") << QStringList() << 2 << "usage:";
    QTest::newRow("two folders") << QStringList({"a", "b"}) << 2 << "usage:";
    QTest::newRow("folder missing") << QStringList({"missing"}) << 1 << "no folder missing";
}

void TestAppIcon::badArgumentsWriteNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess tool;
    tool.setWorkingDirectory(folder.path());
    tool.start(QStringLiteral(APP_ICON), arguments);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), exitCode);
    QVERIFY(QString::fromLocal8Bit(tool.readAllStandardError()).contains(message));
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TestAppIcon)
#include "tst_appicon.moc"
