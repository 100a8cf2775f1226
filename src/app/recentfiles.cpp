#include "recentfiles.h"

#include "editorsettings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentFiles::RecentFiles(EditorSettings &settings, QWidget *window)
    : QObject(window)
    , settings(settings)
    , recentMenu(new QMenu(tr("&Recent Files"), window))
    , list(settings.recentFiles())
{
    recentMenu->setObjectName(QStringLiteral("menuRecentFiles"));
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
    settings.setRecentFiles(files);
    list = settings.recentFiles();
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
