#include "recentfiles.h"

#include "editorsettings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentFiles::RecentFiles(EditorSettings &settings, QWidget *window, Kind kind)
    : QObject(window)
    , settings(settings)
    , kind(kind)
    , recentMenu(
          new QMenu(kind == Kind::Patches ? tr("&Recent Files") : tr("Recent Li&braries"), window))
    , list(kind == Kind::Patches ? settings.recentFiles() : settings.recentLibraries())
{
    recentMenu->setObjectName(kind == Kind::Patches ? QStringLiteral("menuRecentFiles")
                                                    : QStringLiteral("menuRecentLibraries"));
    rebuildMenu();
}

void RecentFiles::remember(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = list;
    files.removeAll(path);
    files.prepend(path);
    settings.setLastFolder(QFileInfo(path).absolutePath());
    store(files);
}

bool RecentFiles::forgetIfMissing(const QString &fileName)
{
    if (QFileInfo::exists(fileName))
        return false;
    QStringList files = list;
    files.removeAll(fileName);
    store(files);
    return true;
}

void RecentFiles::setBusy(bool on)
{
    busy = on;
    recentMenu->setEnabled(!busy && !list.isEmpty());
}

void RecentFiles::store(const QStringList &files)
{
    if (kind == Kind::Patches) {
        settings.setRecentFiles(files);
        list = settings.recentFiles();
    } else {
        settings.setRecentLibraries(files);
        list = settings.recentLibraries();
    }
    settings.sync();
    rebuildMenu();
}

void RecentFiles::rebuildMenu()
{
    recentMenu->clear();
    for (const QString &file : qAsConst(list)) {
        QAction *action = recentMenu->addAction(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { emit fileChosen(file); });
    }
    recentMenu->setEnabled(!busy && !list.isEmpty());
}
