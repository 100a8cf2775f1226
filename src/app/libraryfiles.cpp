#include "libraryfiles.h"

#include "editorsettings.h"
#include "librarydocument.h"
#include "patchfiledialog.h"
#include "recentfiles.h"
#include "recoveryfile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

LibraryFiles::LibraryFiles(LibraryDocument *library, RecentFiles *recent,
                           const EditorSettings *settings, QDockWidget *dock,
                           std::function<bool()> deviceBusy, QWidget *window)
    : QObject(window)
    , library(library)
    , recent(recent)
    , settings(settings)
    , dock(dock)
    , deviceBusy(std::move(deviceBusy))
    , window(window)
{
}

void LibraryFiles::open()
{
    if (deviceBusy() || !askBeforeLosing())
        return;
    const QString fileName = PatchFileDialog::askToOpenLibrary(window, settings->lastFolder());
    if (!fileName.isEmpty())
        load(fileName);
}

bool LibraryFiles::saveAs()
{
    const QString fileName = PatchFileDialog::askToSaveLibrary(window, settings->lastFolder());
    if (fileName.isEmpty() || !library->save(fileName))
        return false;
    recent->remember(fileName);
    return true;
}

void LibraryFiles::openRecent(const QString &fileName)
{
    if (deviceBusy())
        return;
    if (recent->forgetIfMissing(fileName)) {
        emit statusMessage(tr("Recent file not found, removed from the list: %1").arg(fileName));
        return;
    }
    if (askBeforeLosing())
        load(fileName);
}

bool LibraryFiles::load(const QString &fileName)
{
    if (!library->load(fileName))
        return false;
    recent->remember(fileName);
    dock->show();
    return true;
}

bool LibraryFiles::askBeforeLosing()
{
    if (!library->hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Unsaved library"),
                    tr("The library has changes that are in no file yet."), QMessageBox::NoButton,
                    window);
    box.setObjectName(QStringLiteral("libraryQuestion"));
    QPushButton *save = box.addButton(tr("Save Library\u2026"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return saveAs();
    return box.clickedButton() == discard;
}

void LibraryFiles::keepUnsaved()
{
    if (!library->hasUnsavedChanges())
        return;
    // Nobody can be asked where it goes: beside the recovery file, under a name of its own.
    const QDir folder = QFileInfo(RecoveryFile::defaultPath()).absoluteDir();
    const QString path = folder.filePath(
        QStringLiteral("library-%1.syx")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    if (folder.mkpath(QStringLiteral(".")) && library->save(path))
        qWarning().noquote() << "The library's unsaved changes are kept in" << path;
    else
        qWarning().noquote() << "Could not write" << path
                             << "- the library's unsaved changes are lost";
}
