#pragma once

#include <QObject>
#include <QStringList>

class EditorSettings;
class QMenu;
class QWidget;

// The recently loaded or saved patch files, the latest first, kept in the editor's settings,
// and the File menu's Recent Files submenu that lists them ("menuRecentFiles", a child of the
// window given). The menu is disabled while it is empty and while the window is busy. Library
// files have a list and a submenu of their own ("menuRecentLibraries").
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Patches, Libraries };

    RecentFiles(EditorSettings &settings, QWidget *window, Kind kind = Kind::Patches);

    QMenu *menu() const { return recentMenu; }
    // The latest first, at most EditorSettings::recentFilesKept.
    QStringList files() const { return list; }

    // Puts fileName's absolute path on top (once) and remembers its folder as the last one.
    void remember(const QString &fileName);
    // Drops fileName from the list when it no longer exists; true when it was dropped.
    bool forgetIfMissing(const QString &fileName);
    void setBusy(bool busy);

signals:
    // An entry of the menu was chosen.
    void fileChosen(const QString &fileName);

private:
    // Saves the list and lists it in the menu anew.
    void store(const QStringList &files);
    void rebuildMenu();

    EditorSettings &settings;
    const Kind kind;
    QMenu *recentMenu;
    QStringList list; // read from the settings once: a file may hold a long list
    bool busy = false;
};
