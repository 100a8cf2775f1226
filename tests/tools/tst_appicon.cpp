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
        QTest::addColumn<int>("scale");
        for (int size : {16, 32, 48, 64, 128, 256}) {
            QTest::addRow("%d px", size) << size << 1;
            QTest::addRow("%d px at 2x", size) << size << 2;
        }
    }
    // Where the icon of size points at scale is: icon-N.png, icon-N@2x.png.
    static QString iconName(int size, int scale)
    {
        return QStringLiteral("icon-%1%2.png")
            .arg(size)
            .arg(scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale));
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
    QFETCH(int, scale);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QCOMPARE(runTool({folder.path()}), 0);
    checkIcon(folder.filePath(iconName(size, scale)), size * scale);
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
    QFETCH(int, scale);
    checkIcon(QStringLiteral(VELLICHORD_IMAGES "/") + iconName(size, scale), size * scale);
    // The same drawing as at 1x, with more pixels: brought down to 1x it nearly matches.
    if (scale > 1) {
        const QImage fine(QStringLiteral(VELLICHORD_IMAGES "/") + iconName(size, scale));
        const QImage plain(QStringLiteral(VELLICHORD_IMAGES "/") + iconName(size, 1));
        const QImage down = fine.scaled(plain.size(), Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation)
                                .convertToFormat(plain.format());
        qint64 difference = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                difference += qAbs(qGray(down.pixel(x, y)) - qGray(plain.pixel(x, y)))
                    + qAbs(qAlpha(down.pixel(x, y)) - qAlpha(plain.pixel(x, y)));
        QVERIFY2(difference / (size * size) < 12,
                 qPrintable(QString::number(difference / (size * size))));
    }
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
