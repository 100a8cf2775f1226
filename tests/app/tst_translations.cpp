#include "../common/simulateddevice.h"
#include "mainwindow.h"
#include "parameterinfo.h"
#include "patchcheck.h"
#include "translations.h"

#include <QtTest>
#include <QtWidgets>

// The editor in German and in English, as installTranslations() sets it up for a locale, and
// the editor program choosing its language from LANG. Tests elsewhere compare English texts:
// they never install a translation.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void choosesTheFileOfTheLanguage_data();
    void choosesTheFileOfTheLanguage();
    void germanWindow_data();
    void germanWindow();
    void germanMenuBarAndStatus();
    void englishReplacesGerman();
    void acceleratorsDifferWithinAMenu_data();
    void acceleratorsDifferWithinAMenu();
    void shownValuesInGermanStoredInEnglish_data();
    void shownValuesInGermanStoredInEnglish();
    void editorProgramFollowsLang_data();
    void editorProgramFollowsLang();

private:
    QTemporaryDir workDir;
    const QStringList folders{QStringLiteral(VELLICHORD_QM_DIR)};
};

namespace {

QStringList menuTitles(const MainWindow &window)
{
    QStringList titles;
    for (const QAction *action : window.menuBar()->actions())
        titles << action->text();
    return titles;
}

} // namespace

void TestTranslations::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestTranslations::cleanup()
{
    installTranslations(*qApp, QLocale::c(), folders);
}

void TestTranslations::choosesTheFileOfTheLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("file");
    QTest::newRow("de_DE") << "de_DE"
                           << "vellichord_de.qm";
    QTest::newRow("de_AT falls back to de") << "de_AT"
                                            << "vellichord_de.qm";
    QTest::newRow("de_CH falls back to de") << "de_CH"
                                            << "vellichord_de.qm";
    QTest::newRow("English needs none") << "en_US"
                                        << "";
    QTest::newRow("no French") << "fr_FR"
                               << "";
    QTest::newRow("C") << "C"
                       << "";
}

void TestTranslations::choosesTheFileOfTheLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, file);
    const QString loaded = installTranslations(*qApp, QLocale(locale), folders);
    QCOMPARE(QFileInfo(loaded).fileName(), file);
    // Qt's own texts come with the editor's, or not at all.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
             file.isEmpty() ? QStringLiteral("Cancel") : QStringLiteral("Abbrechen"));
    // A folder without the file: nothing is installed.
    QCOMPARE(installTranslations(*qApp, QLocale(locale), {workDir.path()}), QString());
    QCOMPARE(QCoreApplication::translate("EditorMenus", "&File"), QStringLiteral("&File"));
}

void TestTranslations::germanWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    // Actions of every menu.
    QTest::newRow("Load Settings") << "actionLoad"
                                   << "Einstellungen &laden\u2026";
    QTest::newRow("Open Library") << "actionOpenLibrary"
                                  << "Bibliothek \u00f6&ffnen\u2026";
    QTest::newRow("Quit") << "actionQuit"
                          << "&Beenden";
    QTest::newRow("Select All") << "actionSelectAll"
                                << "&Alles ausw\u00e4hlen";
    QTest::newRow("Copy") << "actionCopy"
                          << "&Kopieren";
    QTest::newRow("Upload") << "actionUpload"
                            << "Vom Vellichord &empfangen";
    QTest::newRow("Download") << "actionDownload"
                              << "An Vellichord &senden";
    QTest::newRow("About") << "actionAbout"
                           << "\u00dc&ber";
    // The window's buttons (from its form) and the pane's captions (from the parameter table).
    QTest::newRow("Upload button") << "buttonUpload"
                                   << "Empfangen";
    QTest::newRow("Load Settings button") << "buttonLoadSysex"
                                          << "Einstellungen laden";
    QTest::newRow("Channel caption") << "labelChannel"
                                     << "Kanal";
    QTest::newRow("Mode caption") << "labelMode"
                                  << "Modus";
    QTest::newRow("Color caption") << "labelColour"
                                   << "Farbe";
    QTest::newRow("connection") << "labelConnection"
                                << "Nicht verbunden";
}

void TestTranslations::germanWindow()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QVERIFY(!installTranslations(*qApp, QLocale(QStringLiteral("de_DE")), folders).isEmpty());
    MainWindow window(noDevice());
    QObject *object = window.findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(object->property("text").toString(), text);
}

void TestTranslations::germanMenuBarAndStatus()
{
    QVERIFY(!installTranslations(*qApp, QLocale(QStringLiteral("de_DE")), folders).isEmpty());
    MainWindow window(noDevice());
    window.show();
    QCOMPARE(menuTitles(window),
             QStringList({QStringLiteral("&Datei"), QStringLiteral("&Bearbeiten"),
                          QStringLiteral("&Ansicht"), QStringLiteral("&Ger\u00e4t"),
                          QStringLiteral("&Hilfe")}));
    // The pane's value names: a pad's colours.
    auto *colours = window.findChild<QComboBox *>(QStringLiteral("comboBoxColour"));
    QVERIFY(colours);
    QStringList items;
    for (int i = 0; i < colours->count(); ++i)
        items << colours->itemText(i);
    QVERIFY2(items.startsWith(QStringLiteral("Rot")) && items.contains(QStringLiteral("Blau")),
             qPrintable(items.join(QLatin1Char(','))));
    // The status bar after the start: no device on this MIDI system.
    QTRY_COMPARE(window.statusBar()->currentMessage(), QStringLiteral("Kein Vellichord gefunden"));
}

void TestTranslations::englishReplacesGerman()
{
    QVERIFY(!installTranslations(*qApp, QLocale(QStringLiteral("de_DE")), folders).isEmpty());
    QCOMPARE(installTranslations(*qApp, QLocale(QStringLiteral("en_GB")), folders), QString());
    MainWindow window(noDevice());
    QCOMPARE(menuTitles(window),
             QStringList({QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("&View"),
                          QStringLiteral("&Device"), QStringLiteral("&Help")}));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("labelConnection"))->text(),
             QStringLiteral("Not connected"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

// Alt and a letter reach one entry of a menu: no two entries of a menu (the menu bar's titles
// among them) share their underlined letter.
void TestTranslations::acceleratorsDifferWithinAMenu_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("German") << QStringLiteral("de_DE");
    QTest::newRow("English") << QStringLiteral("C");
}

void TestTranslations::acceleratorsDifferWithinAMenu()
{
    QFETCH(QString, locale);
    QCOMPARE(installTranslations(*qApp, QLocale(locale), folders).isEmpty(),
             locale == QLatin1String("C"));
    MainWindow window(noDevice());
    QList<QWidget *> menus{window.menuBar()};
    for (QMenu *menu : window.findChildren<QMenu *>())
        menus << menu;
    for (const QWidget *menu : qAsConst(menus)) {
        QMap<QChar, QString> taken;
        for (const QAction *action : menu->actions()) {
            const int at = action->text().indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (at < 0)
                continue;
            const QChar letter = action->text().at(at + 1).toLower();
            QVERIFY2(
                !taken.contains(letter),
                qPrintable(QStringLiteral("%1 and %2").arg(taken.value(letter), action->text())));
            taken.insert(letter, action->text());
        }
    }
}

void TestTranslations::shownValuesInGermanStoredInEnglish_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("english");
    QTest::newRow("first channel") << int(Channel) << 0 << "Kan. 1"
                                   << "Ch 1";
    QTest::newRow("last channel") << int(Channel) << 15 << "Kan. 16"
                                  << "Ch 16";
    QTest::newRow("global channel") << int(Channel) << 16 << "Global"
                                    << "Global";
    QTest::newRow("type") << int(Type) << 0 << "Note"
                          << "Note";
    QTest::newRow("mode") << int(Toggle) << 1 << "Schalter"
                          << "Toggle";
    QTest::newRow("aftertouch") << int(Aftertouch) << 1 << "Ein"
                                << "On";
    QTest::newRow("colour") << int(Colour) << 2 << "Blau"
                            << "Blue";
    QTest::newRow("function colour") << int(ColourF) << 1 << "Gr\u00fcn"
                                     << "Green";
}

// The editor shows the names in German; the command line and the files read and write the
// English ones, which stay as they are.
void TestTranslations::shownValuesInGermanStoredInEnglish()
{
    QFETCH(int, id);
    QFETCH(int, value);
    QFETCH(QString, shown);
    QFETCH(QString, english);
    QVERIFY(!installTranslations(*qApp, QLocale(QStringLiteral("de_DE")), folders).isEmpty());
    const auto parameter = ParameterId(id);
    QCOMPARE(ParameterInfo::shownValueNames(parameter).value(value), shown);
    QCOMPARE(ParameterInfo::valueNames(parameter).value(value), english);
    QCOMPARE(ParameterInfo::shownValueNames(parameter).size(),
             ParameterInfo::valueNames(parameter).size());
    QCOMPARE(ParameterInfo::shownCaption(ColourF), QStringLiteral("Farbe Fn"));
    QCOMPARE(ParameterInfo::caption(ColourF), QStringLiteral("Color Fn"));
    QCOMPARE(PatchCheck::reservedFor(0), QStringLiteral("Bank Select"));
}

void TestTranslations::editorProgramFollowsLang_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("traced");
    QTest::newRow("German") << "de_DE.UTF-8"
                            << "vellichord: Translation " VELLICHORD_QM_DIR
                               "/vellichord_de.qm loaded";
    QTest::newRow("C") << "C"
                       << "vellichord: No translation for C";
}

// The editor program itself reads the system's language from LANG.
void TestTranslations::editorProgramFollowsLang()
{
    QFETCH(QString, lang);
    QFETCH(QString, traced);
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "QT_MESSAGE_PATTERN"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LANG"), lang);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vellichord.debug=true"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    environment.insert(
        QStringLiteral("JACK_DEFAULT_SERVER"),
        QStringLiteral("vellichord-absent-%1").arg(QCoreApplication::applicationPid()));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.setWorkingDirectory(home.path());
    editor.start(QStringLiteral(VELLICHORD_EDITOR), QStringList());
    QVERIFY(editor.waitForStarted(10000));
    QByteArray errors;
    const auto lines = [&] {
        errors += editor.readAllStandardError();
        return QString::fromUtf8(errors).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    QTRY_VERIFY2_WITH_TIMEOUT(lines().contains(traced), errors.constData(), 10000);
    editor.terminate();
    QVERIFY(editor.waitForFinished(10000));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
