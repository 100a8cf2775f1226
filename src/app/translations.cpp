#include "translations.h"

#include "trace.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

namespace {

// Marks the translators this file installs, so that a later call replaces them.
const QString installedName = QStringLiteral("vellichordTranslator");

QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

// A translator for locale from one of folders, or null when none has one.
QTranslator *loaded(QCoreApplication &app, const QLocale &locale, const QString &name,
                    const QStringList &folders)
{
    auto *translator = new QTranslator(&app);
    translator->setObjectName(installedName);
    for (const QString &folder : folders) {
        if (translator->load(locale, name, QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return translator;
        }
    }
    delete translator;
    return nullptr;
}

} // namespace

QStringList translationFolders()
{
    QStringList folders{QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    const QStringList data = QStandardPaths::locateAll(QStandardPaths::AppDataLocation,
                                                       QStringLiteral("translations"),
                                                       QStandardPaths::LocateDirectory);
    return folders + data;
}

QString installTranslations(QCoreApplication &app, const QLocale &locale,
                            const QStringList &folders)
{
    const QList<QTranslator *> earlier = app.findChildren<QTranslator *>(
        installedName, Qt::FindDirectChildrenOnly);
    for (QTranslator *translator : earlier) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }

    QTranslator *editor = loaded(app, locale, QStringLiteral("vellichord"), folders);
    if (!editor) {
        qCDebug(lcTrace).noquote() << "No translation for" << locale.name();
        return QString();
    }
    // Qt's own only with the editor's and in its language (the locale may list several), so
    // that a dialog never mixes two languages.
    const QLocale language(editor->language());
    const QString qtFolder = qtTranslationsPath();
    if (!loaded(app, language, QStringLiteral("qtbase"), {qtFolder}))
        loaded(app, language, QStringLiteral("qt"), {qtFolder});
    qCDebug(lcTrace).noquote() << "Translation" << editor->filePath() << "loaded";
    return editor->filePath();
}
