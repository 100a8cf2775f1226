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
{
    recentMenu->setObjectName(QStringLiteral("menuRecentFiles"));
    rebuildMenu();
}

QStringList RecentFiles::files() const
{
    return settings.recentFiles();
}

void RecentFiles::remember(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList list = files();
    list.removeAll(path);
    list.prepend(path);
    settings.setLastFolder(QFileInfo(path).absolutePath());
    store(list);
}

bool RecentFiles::forgetIfMissing(const QString &fileName)
{
    if (QFileInfo::exists(fileName))
        return false;
    QStringList list = files();
    list.removeAll(fileName);
    store(list);
    return true;
}

void RecentFiles::setBusy(bool on)
{
    busy = on;
    recentMenu->setEnabled(!busy && !files().isEmpty());
}

void RecentFiles::store(const QStringList &list)
{
    settings.setRecentFiles(list);
    settings.sync();
    rebuildMenu();
}

void RecentFiles::rebuildMenu()
{
    recentMenu->clear();
    const QStringList shown = files();
    for (const QString &file : shown) {
        QAction *action = recentMenu->addAction(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { emit fileChosen(file); });
    }
    recentMenu->setEnabled(!busy && !shown.isEmpty());
}
