#include "controlclipboard.h"

#include "controlcopy.h"
#include "controlnames.h"
#include "controltable.h"
#include "patchdocument.h"
#include "selection.h"
#include "trace.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QMimeData>

#include <optional>

ControlClipboard::ControlClipboard(PatchDocument *document, Selection *selection, QObject *parent)
    : QObject(parent)
    , document(document)
    , selection(selection)
{
}

QMimeData *ControlClipboard::mimeData(const ControlCopy &copy)
{
    auto *data = new QMimeData;
    data->setData(QLatin1String(ControlCopy::mimeType), copy.toJson());
    data->setText(copy.text() + QLatin1Char('\n'));
    return data;
}

bool ControlClipboard::copy()
{
    if (selection->size() != 1) {
        emit statusMessage(
            selection->isEmpty()
                ? tr("Select the control to copy first")
                : tr("Copy takes one control; %1 are selected").arg(selection->size()));
        return false;
    }
    const int control = selection->indices().constFirst();
    const ControlCopy copied(control, *document->controls().at(control));
    QGuiApplication::clipboard()->setMimeData(mimeData(copied));
    qCDebug(lcTrace) << "Copied" << copied.text();
    emit statusMessage(tr("Copied %1").arg(ControlNames::name(control)));
    return true;
}

bool ControlClipboard::paste(bool keepNumbers)
{
    const QList<int> targets = selection->indices();
    if (targets.isEmpty()) {
        emit statusMessage(tr("Select the controls to paste onto first"));
        return false;
    }
    // The editor's own form first; text only when it is a control's line as copied.
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    std::optional<ControlCopy> copied;
    if (data && data->hasFormat(QLatin1String(ControlCopy::mimeType)))
        copied = ControlCopy::fromJson(data->data(QLatin1String(ControlCopy::mimeType)));
    if (!copied && data && data->hasText())
        copied = ControlCopy::fromText(data->text());
    if (!copied) {
        emit statusMessage(data && data->hasText()
                               ? tr("Nothing pasted: the clipboard's text is no control copied "
                                    "from the editor")
                               : tr("Nothing pasted: the clipboard holds no control"));
        return false;
    }

    const QString source = ControlNames::name(copied->control());
    const QString onto = targets.size() == 1 ? ControlNames::name(targets.constFirst())
                                             : tr("%1 controls").arg(targets.size());
    int written = 0;
    const QByteArray before = document->patch();
    document->edit(
        keepNumbers ? tr("Paste %1 but Note/CC onto %2").arg(source, onto)
                    : tr("Paste %1 onto %2").arg(source, onto),
        [&](ControlTable &table) {
            for (int target : targets)
                written += copied->pasteOnto(*table.at(target), keepNumbers);
        },
        targets);
    if (written == 0)
        emit statusMessage(tr("Nothing pasted: the selected controls have none of the "
                              "parameters copied from %1")
                               .arg(source));
    else if (document->patch() == before)
        emit statusMessage(
            tr("The selected controls already hold what was copied from %1").arg(source));
    else
        emit statusMessage(
            keepNumbers ? tr("Pasted %1 onto %2, each keeping its note or CC").arg(source, onto)
                        : tr("Pasted %1 onto %2").arg(source, onto));
    return written > 0;
}
