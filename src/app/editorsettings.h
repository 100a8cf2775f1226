#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>

#include <memory>
#include <optional>

class QSettings;
class QWidget;

// What the editor remembers between runs, in one INI file: the window's position and size, the
// selection mode, the recent files and the last folders of the editor and the updater.
// A file that is not a regular file, or is larger than maxFileSize, is neither read nor
// written: opening a FIFO waits for a writer that never comes, and a huge file fills the
// memory. The editor then runs with defaults and leaves the file as it is.
class EditorSettings
{
public:
    static constexpr qint64 maxFileSize = 1024 * 1024;
    static constexpr int recentFilesKept = 8;

    // The editor's own file in the user's configuration folder.
    static QString defaultFileName();
    explicit EditorSettings(const QString &fileName = defaultFileName());
    ~EditorSettings();
    EditorSettings(const EditorSettings &) = delete;
    EditorSettings &operator=(const EditorSettings &) = delete;

    // Why the file cannot hold the settings; empty when it can, or does not exist yet.
    static QString refusal(const QString &fileName);

    QString fileName() const { return file; }
    // False when the file was refused: values then last only for this run.
    bool isUsed() const { return store != nullptr; }

    std::optional<QPoint> windowPosition() const;
    void setWindowPosition(const QPoint &position);
    // Moves window to the stored position when it shows a usable part there on one of today's
    // screens: a screen that has gone or changed since could leave it out of reach.
    void placeWindow(QWidget *window) const;
    // The window's size when not maximised, without a docked library; invalid when none was
    // stored or the stored one is not a size.
    QSize windowSize() const;
    void setWindowSize(const QSize &size);
    bool windowMaximized() const;
    void setWindowMaximized(bool maximized);
    bool multiSelect() const;
    void setMultiSelect(bool on);
    // Device > Select Controls by Touch (on unless turned off) and Send Changes as You Edit
    // (off unless turned on).
    bool selectByTouch() const;
    void setSelectByTouch(bool on);
    bool sendAsYouEdit() const;
    void setSendAsYouEdit(bool on);
    // The latest first, at most recentFilesKept whatever the file holds.
    QStringList recentFiles() const;
    void setRecentFiles(const QStringList &files);
    // The library files opened or saved lately, kept as the recent files are.
    QStringList recentLibraries() const;
    void setRecentLibraries(const QStringList &files);
    // The docks' places and visibility, as QMainWindow::saveState gives them.
    QByteArray windowState() const;
    void setWindowState(const QByteArray &state);
    // The MIDI monitor window's geometry (QWidget::saveGeometry) and whether it was open.
    QByteArray monitorGeometry() const;
    void setMonitorGeometry(const QByteArray &geometry);
    bool monitorOpen() const;
    void setMonitorOpen(bool open);
    QString lastFolder() const;
    void setLastFolder(const QString &folder);
    QString updaterLastFolder() const;
    void setUpdaterLastFolder(const QString &folder);

    // Writes what changed to the file; says so on stderr when that failed.
    void sync();

private:
    QVariant value(const QString &key) const;
    void setValue(const QString &key, const QVariant &value);

    QString file;
    std::unique_ptr<QSettings> store; // null when the file was refused
    QVariantHash memory;              // this run's values when it was
};

// Whether a window at geometry window shows a usable part on one of the screens (their
// available geometries): its top edge, where it is grabbed, and at least half of its width and
// of its height (or of the screen's, when that is smaller).
bool showsUsablePart(const QRect &window, const QList<QRect> &screens);
