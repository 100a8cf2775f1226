#include "editorsettings.h"

#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

namespace {

const QString positionKey = QStringLiteral("window/position");
const QString sizeKey = QStringLiteral("window/size");
const QString maximizedKey = QStringLiteral("window/maximized");
const QString multiSelectKey = QStringLiteral("selection/multi");
const QString touchKey = QStringLiteral("device/selectByTouch");
const QString liveSendKey = QStringLiteral("device/sendAsYouEdit");
const QString recentKey = QStringLiteral("files/recent");
const QString recentLibrariesKey = QStringLiteral("files/recentLibraries");
const QString windowStateKey = QStringLiteral("window/state");
const QString monitorGeometryKey = QStringLiteral("monitor/geometry");
const QString monitorOpenKey = QStringLiteral("monitor/open");
const QString lastFolderKey = QStringLiteral("files/lastFolder");
const QString updaterFolderKey = QStringLiteral("updater/lastFolder");

} // namespace

QString EditorSettings::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/vellichord-editor.ini");
}

QString EditorSettings::refusal(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    if (info.size() > maxFileSize)
        return QStringLiteral("larger than %1 MiB").arg(maxFileSize / (1024 * 1024));
    return QString();
}

EditorSettings::EditorSettings(const QString &fileName)
    : file(fileName)
{
    const QString why = refusal(fileName);
    if (!why.isEmpty()) {
        qWarning().noquote()
            << "Settings file" << fileName << "not used:" << why
            << "- the editor starts with its defaults and leaves the file as it is";
        return;
    }
    store = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    if (store->status() != QSettings::NoError)
        qWarning().noquote() << "Could not read the settings file" << fileName;
    // A list grown past what the menus show (by hand, by another program) is cut once, so that
    // every later write of the file carries only what the editor keeps.
    for (const QString &key : {recentKey, recentLibrariesKey}) {
        const QStringList files = store->value(key).toStringList();
        if (files.size() > recentFilesKept)
            store->setValue(key, QStringList(files.mid(0, recentFilesKept)));
    }
}

EditorSettings::~EditorSettings() = default;

QVariant EditorSettings::value(const QString &key) const
{
    return store ? store->value(key) : memory.value(key);
}

void EditorSettings::setValue(const QString &key, const QVariant &value)
{
    if (store)
        store->setValue(key, value);
    else
        memory.insert(key, value);
}

std::optional<QPoint> EditorSettings::windowPosition() const
{
    const QVariant position = value(positionKey);
    if (!position.canConvert<QPoint>())
        return std::nullopt;
    return position.toPoint();
}

void EditorSettings::setWindowPosition(const QPoint &position)
{
    setValue(positionKey, position);
}

bool EditorSettings::multiSelect() const
{
    return value(multiSelectKey).toBool();
}

void EditorSettings::setMultiSelect(bool on)
{
    setValue(multiSelectKey, on);
}

bool EditorSettings::selectByTouch() const
{
    const QVariant on = value(touchKey);
    return on.isValid() ? on.toBool() : true;
}

void EditorSettings::setSelectByTouch(bool on)
{
    setValue(touchKey, on);
}

bool EditorSettings::sendAsYouEdit() const
{
    return value(liveSendKey).toBool();
}

void EditorSettings::setSendAsYouEdit(bool on)
{
    setValue(liveSendKey, on);
}

QStringList EditorSettings::recentFiles() const
{
    return value(recentKey).toStringList().mid(0, recentFilesKept);
}

void EditorSettings::setRecentFiles(const QStringList &files)
{
    setValue(recentKey, QStringList(files.mid(0, recentFilesKept)));
}

QStringList EditorSettings::recentLibraries() const
{
    return value(recentLibrariesKey).toStringList().mid(0, recentFilesKept);
}

void EditorSettings::setRecentLibraries(const QStringList &files)
{
    setValue(recentLibrariesKey, QStringList(files.mid(0, recentFilesKept)));
}

QSize EditorSettings::windowSize() const
{
    const QVariant stored = value(sizeKey);
    const QSize size = stored.toSize();
    return stored.canConvert<QSize>() && size.width() > 0 && size.height() > 0 ? size : QSize();
}

void EditorSettings::setWindowSize(const QSize &size)
{
    setValue(sizeKey, size);
}

bool EditorSettings::windowMaximized() const
{
    return value(maximizedKey).toBool();
}

void EditorSettings::setWindowMaximized(bool maximized)
{
    setValue(maximizedKey, maximized);
}

QByteArray EditorSettings::windowState() const
{
    return value(windowStateKey).toByteArray();
}

void EditorSettings::setWindowState(const QByteArray &state)
{
    setValue(windowStateKey, state);
}

QByteArray EditorSettings::monitorGeometry() const
{
    return value(monitorGeometryKey).toByteArray();
}

void EditorSettings::setMonitorGeometry(const QByteArray &geometry)
{
    setValue(monitorGeometryKey, geometry);
}

bool EditorSettings::monitorOpen() const
{
    return value(monitorOpenKey).toBool();
}

void EditorSettings::setMonitorOpen(bool open)
{
    setValue(monitorOpenKey, open);
}

QString EditorSettings::lastFolder() const
{
    return value(lastFolderKey).toString();
}

void EditorSettings::setLastFolder(const QString &folder)
{
    setValue(lastFolderKey, folder);
}

QString EditorSettings::updaterLastFolder() const
{
    return value(updaterFolderKey).toString();
}

void EditorSettings::setUpdaterLastFolder(const QString &folder)
{
    setValue(updaterFolderKey, folder);
}

void EditorSettings::sync()
{
    if (!store)
        return;
    store->sync();
    if (store->status() != QSettings::NoError)
        qWarning().noquote() << "Could not write the settings file" << file;
}

void EditorSettings::placeWindow(QWidget *window) const
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const std::optional<QPoint> position = windowPosition();
    if (position && showsUsablePart(QRect(*position, window->frameGeometry().size()), screens))
        window->move(*position);
}

bool showsUsablePart(const QRect &window, const QList<QRect> &screens)
{
    return std::any_of(screens.cbegin(), screens.cend(), [&window](const QRect &screen) {
        const QRect shown = window.intersected(screen);
        return !shown.isEmpty() && shown.top() == window.top()
            && shown.width() * 2 >= std::min(window.width(), screen.width())
            && shown.height() * 2 >= std::min(window.height(), screen.height());
    });
}
