#include "unsentrecovery.h"
#include "trace.h"

#include "patchdocument.h"

#include <QDebug>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <utility>

UnsentRecovery::UnsentRecovery(PatchDocument *document, QWidget *window)
    : QObject(window)
    , document(document)
    , window(window)
{
    connect(document, &PatchDocument::answerWaitEnded, this, [this] {
        if (std::exchange(awaitsAnswer, false))
            QTimer::singleShot(0, this, &UnsentRecovery::offer);
    });
}

UnsentRecovery::CloseChoice UnsentRecovery::askBeforeClosing() const
{
    QMessageBox box(QMessageBox::Warning, tr("Unsent changes"),
                    tr("The Vellichord does not have your changes yet."), QMessageBox::NoButton,
                    window);
    box.setObjectName(QStringLiteral("closeQuestion"));
    QPushButton *download = box.addButton(tr("Download and close"), QMessageBox::AcceptRole);
    QPushButton *save = box.addButton(tr("Save to file\u2026"), QMessageBox::ActionRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(download);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == download)
        return CloseChoice::Download;
    if (box.clickedButton() == save)
        return CloseChoice::Save;
    return box.clickedButton() == discard ? CloseChoice::Discard : CloseChoice::Cancel;
}

void UnsentRecovery::keep()
{
    if (!document->hasUnsentChanges())
        return;
    // A recovery file not offered yet holds the changes of an earlier run; it stays beside.
    if (awaitsAnswer && file.exists())
        qWarning().noquote() << "Kept the earlier recovery file as" << file.setAside();
    if (file.write(document->patch()))
        qCDebug(lcTrace).noquote() << "Unsent changes kept in" << file.path();
    else
        qWarning().noquote() << "Could not write the recovery file" << file.path()
                             << "- the unsent changes are lost";
}

void UnsentRecovery::offer()
{
    if (!file.exists())
        return;
    if (document->answerAwaited()) {
        awaitsAnswer = true;
        return;
    }
    QByteArray patch;
    const PatchFileFault fault = file.read(&patch);
    if (fault != PatchFileFault::None) {
        const QString aside = file.setAside();
        emit statusMessage(aside.isEmpty()
                               ? tr("Could not restore the unsent changes: %1: %2")
                                     .arg(file.path(), patch_file_fault_text(fault))
                               : tr("Could not restore the unsent changes: %1: %2; kept as %3")
                                     .arg(file.path(), patch_file_fault_text(fault), aside));
        return;
    }
    const QString time = QLocale().toString(file.time(), QLocale::ShortFormat);
    QMessageBox box(QMessageBox::Question, tr("Unsent changes"),
                    tr("Restore the unsent changes from %1?").arg(time), QMessageBox::NoButton,
                    window);
    box.setObjectName(QStringLiteral("recoveryQuestion"));
    QPushButton *restore = box.addButton(tr("Restore"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    qCDebug(lcTrace).noquote() << "Offering the unsent changes of" << file.path();
    box.exec();
    // Unanswered (the editor was ended meanwhile), the file stays for the next start.
    if (box.clickedButton() == restore)
        document->restoreUnsent(patch);
    else if (box.clickedButton() != discard)
        return;
    if (!file.remove())
        qWarning().noquote() << "Could not remove the recovery file" << file.path();
}
