#include "patchfiledialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace PatchFileDialog {

namespace {

const QString suffix = QStringLiteral("syx");

// The tr() of the functions below.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(PatchFileDialog)
};

QString filters()
{
    return Texts::tr("Patch files (*.syx);;All files (*)");
}

QString libraryFilters()
{
    return Texts::tr("Library files (*.syx);;All files (*)");
}

QString askToSave(QWidget *parent, const QString &folder, const QString &caption,
                  const QString &kinds)
{
    QFileDialog dialog(parent, caption, folder, kinds);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds it before asking whether to replace an existing file.
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    QString fileName = dialog.selectedFiles().constFirst();
    // A dialog that left it out (a typed path through a folder with a dot in its name).
    if (!QFileInfo(fileName).fileName().contains(QLatin1Char('.')))
        fileName += QLatin1Char('.') + suffix;
    return fileName;
}

} // namespace

QString askToOpen(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent, Texts::tr("Open File"), folder, filters());
}

QString askToSave(QWidget *parent, const QString &folder)
{
    return askToSave(parent, folder, Texts::tr("Save File"), filters());
}

QString askToOpenLibrary(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent, Texts::tr("Open Library"), folder,
                                        libraryFilters());
}

QString askToSaveLibrary(QWidget *parent, const QString &folder)
{
    return askToSave(parent, folder, Texts::tr("Save Library As"), libraryFilters());
}

} // namespace PatchFileDialog
