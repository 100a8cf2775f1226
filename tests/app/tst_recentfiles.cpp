#include "editorsettings.h"
#include "recentfiles.h"

#include <QtTest>
#include <QtWidgets>

// The recent-files list as kept in the settings and shown in its menu, without a window.
class TestRecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rememberingPutsTheFileOnTop_data();
    void rememberingPutsTheFileOnTop();
    void onlyAMissingFileIsForgotten();
    void menuFollowsTheListAndTheBusyState();

private:
    QString file(const QString &name, bool create = true);

    std::unique_ptr<QTemporaryDir> perTest;
};

void TestRecentFiles::init()
{
    perTest = std::make_unique<QTemporaryDir>();
}

QString TestRecentFiles::file(const QString &name, bool create)
{
    const QString path = perTest->filePath(name);
    if (create) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

void TestRecentFiles::rememberingPutsTheFileOnTop_data()
{
    QTest::addColumn<QStringList>("remembered"); // names in the order they are remembered
    QTest::addColumn<QStringList>("listed");     // the list that results, latest first
    QTest::newRow("one") << QStringList{"a"} << QStringList{"a"};
    QTest::newRow("again moves to the top, once")
        << QStringList{"a", "b", "c", "a"} << QStringList{"a", "c", "b"};
    QTest::newRow("the same twice") << QStringList{"a", "a"} << QStringList{"a"};
    QTest::newRow("nine keep the latest eight")
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"}
        << QStringList{"9", "8", "7", "6", "5", "4", "3", "2"};
}

void TestRecentFiles::rememberingPutsTheFileOnTop()
{
    QFETCH(QStringList, remembered);
    QFETCH(QStringList, listed);
    QStringList expected;
    for (const QString &name : qAsConst(listed))
        expected << file(name);
    {
        EditorSettings settings(file(QStringLiteral("editor.ini"), false));
        QWidget window;
        RecentFiles recent(settings, &window);
        for (const QString &name : qAsConst(remembered)) {
            // A relative name is listed by its absolute path.
            QDir::setCurrent(perTest->path());
            recent.remember(name);
        }
        QCOMPARE(recent.files(), expected);
        QCOMPARE(settings.lastFolder(), QFileInfo(expected.first()).absolutePath());
        QStringList shown;
        for (QAction *entry : recent.menu()->actions())
            shown << QDir::fromNativeSeparators(entry->text());
        QCOMPARE(shown, expected);
    }
    // Written to the file at once.
    EditorSettings later(file(QStringLiteral("editor.ini"), false));
    QCOMPARE(later.recentFiles(), expected);
}

void TestRecentFiles::onlyAMissingFileIsForgotten()
{
    EditorSettings settings(file(QStringLiteral("editor.ini"), false));
    QWidget window;
    RecentFiles recent(settings, &window);
    const QString kept = file(QStringLiteral("kept.syx"));
    const QString gone = file(QStringLiteral("gone.syx"));
    recent.remember(kept);
    recent.remember(gone);
    QVERIFY(!recent.forgetIfMissing(kept));
    QCOMPARE(recent.files(), (QStringList{gone, kept}));
    QVERIFY(QFile::remove(gone));
    QVERIFY(recent.forgetIfMissing(gone));
    QCOMPARE(recent.files(), QStringList{kept});
    QCOMPARE(recent.menu()->actions().size(), 1);
}

void TestRecentFiles::menuFollowsTheListAndTheBusyState()
{
    EditorSettings settings(file(QStringLiteral("editor.ini"), false));
    QWidget window;
    RecentFiles recent(settings, &window);
    QCOMPARE(window.findChild<QMenu *>(QStringLiteral("menuRecentFiles")), recent.menu());
    QVERIFY(!recent.menu()->isEnabled()); // empty
    recent.setBusy(true);
    const QString path = file(QStringLiteral("one.syx"));
    recent.remember(path);
    QVERIFY(!recent.menu()->isEnabled()); // busy
    recent.setBusy(false);
    QVERIFY(recent.menu()->isEnabled());

    QSignalSpy chosen(&recent, &RecentFiles::fileChosen);
    recent.menu()->actions().constFirst()->trigger();
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), path);
}

QTEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
