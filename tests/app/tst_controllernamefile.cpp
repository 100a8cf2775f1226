#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "controllernamefile.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

// Which controller-name file the editor reads. This test has a folder to itself: it writes the
// file beside its executable. Its home and system data folders are temporary ones.
class TestControllerNameFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void firstFoundIsRead_data();
    void firstFoundIsRead();

private:
    QTemporaryDir root;
    QString userFolder;
    QString systemFolder;

    static QString besidePath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/Midi-CC-list.txt");
    }
};

void TestControllerNameFile::initTestCase()
{
    QVERIFY(root.isValid());
    // The data folders are named after the application, as the editor names itself.
    QCoreApplication::setApplicationName(QStringLiteral("vellichord"));
    QStandardPaths::setTestModeEnabled(true);
    qputenv("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    qputenv("XDG_DATA_DIRS",
            QFile::encodeName(root.filePath(QStringLiteral("usr/local/share")) + QLatin1Char(':')
                              + root.filePath(QStringLiteral("usr/share"))));
    userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    systemFolder = root.filePath(QStringLiteral("usr/share/vellichord"));
    // Test mode keeps the user's own folder out of it, the variables the system's.
    QVERIFY2(userFolder.startsWith(root.path())
                 && userFolder.endsWith(QLatin1String("/vellichord")),
             qPrintable(userFolder));
    QCOMPARE(QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).mid(0, 3),
             QStringList({userFolder, root.filePath(QStringLiteral("usr/local/share/vellichord")),
                          systemFolder}));
    QVERIFY(QDir().mkpath(userFolder) && QDir().mkpath(systemFolder));
}

void TestControllerNameFile::cleanup()
{
    for (const QString &path : {besidePath(), userFolder + QStringLiteral("/Midi-CC-list.txt"),
                                systemFolder + QStringLiteral("/Midi-CC-list.txt")}) {
        QFile::remove(path);
        QDir(path).removeRecursively();
    }
}

void TestControllerNameFile::firstFoundIsRead_data()
{
    // Which places hold a file ("file"), a folder of the file's name ("folder") or nothing
    // (""), and which file is read: "beside", "user", "system" or none ("").
    QTest::addColumn<QString>("beside");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("read");

    QTest::newRow("all three: beside the executable") << "file"
                                                      << "file"
                                                      << "file"
                                                      << "beside";
    QTest::newRow("beside and system") << "file"
                                       << ""
                                       << "file"
                                       << "beside";
    QTest::newRow("user's copy before the system's") << ""
                                                     << "file"
                                                     << "file"
                                                     << "user";
    QTest::newRow("user only") << ""
                               << "file"
                               << ""
                               << "user";
    QTest::newRow("system only (the package)") << ""
                                               << ""
                                               << "file"
                                               << "system";
    QTest::newRow("folder beside is passed over") << "folder"
                                                  << ""
                                                  << "file"
                                                  << "system";
    QTest::newRow("folder in the user's data") << ""
                                               << "folder"
                                               << "file"
                                               << "system";
    QTest::newRow("none") << ""
                          << ""
                          << ""
                          << "";
    QTest::newRow("only folders") << "folder"
                                  << "folder"
                                  << "folder"
                                  << "";
}

void TestControllerNameFile::firstFoundIsRead()
{
    QFETCH(QString, beside);
    QFETCH(QString, user);
    QFETCH(QString, system);
    QFETCH(QString, read);

    const QMap<QString, QString> paths{
        {QStringLiteral("beside"), besidePath()},
        {QStringLiteral("user"), userFolder + QStringLiteral("/Midi-CC-list.txt")},
        {QStringLiteral("system"), systemFolder + QStringLiteral("/Midi-CC-list.txt")},
    };
    const QMap<QString, QString> kinds{{QStringLiteral("beside"), beside},
                                       {QStringLiteral("user"), user},
                                       {QStringLiteral("system"), system}};
    for (auto place = kinds.cbegin(); place != kinds.cend(); ++place) {
        // Each file names controller 0 after its place.
        if (place.value() == QLatin1String("file"))
            QVERIFY(writeFile(paths[place.key()], "0 " + place.key().toUtf8() + "\n1 Modulation"));
        else if (place.value() == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(paths[place.key()]));
    }
    const QString expected = paths.value(read);
    QCOMPARE(findControllerNameFile(), expected);

    TraceCapture traces;
    MainWindow window(noDevice());
    window.selection()->select(16);
    auto *cc = window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"));
    if (read.isEmpty()) {
        QVERIFY(traces.contains(QStringLiteral("Couldn't find file ") + besidePath()));
        const QString looked = QStringLiteral("Looked for Midi-CC-list.txt in ")
            + QStringList({QCoreApplication::applicationDirPath(), userFolder}).join(", ");
        QVERIFY2(std::any_of(traces.lines().cbegin(), traces.lines().cend(),
                             [&](const QString &line) {
                                 return line.startsWith(looked) && line.endsWith(systemFolder);
                             }),
                 qPrintable(traces.lines().join('\n')));
        QCOMPARE(cc->count(), 0);
    } else {
        QVERIFY2(traces.contains(QStringLiteral("Reading controller names from ") + expected),
                 qPrintable(traces.lines().join('\n')));
        QCOMPARE(cc->count(), 2);
        QCOMPARE(cc->itemText(0), QStringLiteral("0 ") + read);
    }
}

QTEST_MAIN(TestControllerNameFile)
#include "tst_controllernamefile.moc"
