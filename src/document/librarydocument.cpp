#include "librarydocument.h"

#include "librarysender.h"
#include "patchdocument.h"
#include "trace.h"

#include <QFileInfo>
#include <QStringList>
#include <QUndoCommand>
#include <QUndoStack>

#include <utility>

namespace {

// One undo step of the library: every row before and after, so that undo and redo give back
// the exact bytes and origins. The change is already made when the step is pushed.
class LibraryCommand : public QUndoCommand
{
public:
    using Apply = std::function<void(const PatchLibrary::Rows &)>;

    LibraryCommand(Apply apply, PatchLibrary::Rows before, PatchLibrary::Rows after,
                   const QString &text)
        : QUndoCommand(text)
        , apply(std::move(apply))
        , before(std::move(before))
        , after(std::move(after))
    {
    }

    void undo() override
    {
        apply(before);
        applied = false;
    }
    void redo() override
    {
        if (!applied)
            apply(after);
        applied = true;
    }

private:
    Apply apply;
    PatchLibrary::Rows before;
    PatchLibrary::Rows after;
    bool applied = true;
};

} // namespace

QString preset_list_text(const QList<int> &presetNos)
{
    QStringList parts;
    for (int i = 0; i < presetNos.size();) {
        int last = i;
        while (last + 1 < presetNos.size() && presetNos[last + 1] == presetNos[last] + 1)
            ++last;
        if (last - i >= 2) {
            parts << QStringLiteral("%1\u2013%2").arg(presetNos[i]).arg(presetNos[last]);
        } else {
            for (int k = i; k <= last; ++k)
                parts << QString::number(presetNos[k]);
        }
        i = last + 1;
    }
    if (parts.isEmpty())
        return QString();
    const bool several = presetNos.size() > 1;
    const QString tail = parts.takeLast();
    const QString list = parts.isEmpty()
        ? tail
        : LibraryDocument::tr("%1 and %2").arg(parts.join(QStringLiteral(", ")), tail);
    return several ? LibraryDocument::tr("presets %1").arg(list)
                   : LibraryDocument::tr("preset %1").arg(list);
}

LibraryDocument::LibraryDocument(PatchDocument *document, QObject *parent)
    : QObject(parent)
    , document(document)
    , sender(new LibrarySender(*document->controller(), this))
{
    connect(document, &PatchDocument::devicePatchKnown, this, &LibraryDocument::deviceHolds);
    connect(document, &PatchDocument::answerWaitEnded, this, [this] {
        if (awaitingReceive) {
            setReceiving(false);
            emit statusMessage(tr("Receive into Library failed: no answer from Vellichord"));
        }
    });
    connect(sender, &LibrarySender::progress, this, &LibraryDocument::sendProgress);
    connect(sender, &LibrarySender::presetSent, this, [this](int presetNo) {
        // A row changed while its patch was on the way is not what was sent; the device
        // holds what was.
        if (rows.message(presetNo) == inFlight.value(presetNo))
            rows.markSent(presetNo);
        else
            rows.noteDevice(inFlight.value(presetNo));
        emit rowsChanged(presetNo, presetNo);
    });
    connect(sender, &LibrarySender::finished, this, [this](const LibrarySendResult &result) {
        emit statusMessage(result.summary());
        emit sendFinished(result);
    });
}

// The sender goes with this object, before the document's controller it uses.
LibraryDocument::~LibraryDocument() = default;

void LibraryDocument::recordChange(const PatchLibrary::Rows &before, const QString &text)
{
    const PatchLibrary::Rows after = rows.rows();
    if (after == before)
        return;
    document->undoStack()->push(new LibraryCommand(
        [this](const PatchLibrary::Rows &kept) { restoreRows(kept); }, before, after, text));
    unsaved = true;
    emit rowsChanged(0, PatchLibrary::presetCount - 1);
}

void LibraryDocument::restoreRows(const PatchLibrary::Rows &kept)
{
    rows.setRows(kept);
    unsaved = true;
    emit rowsChanged(0, PatchLibrary::presetCount - 1);
}

bool LibraryDocument::open(int presetNo)
{
    if (rows.isEmpty(presetNo))
        return false;
    if (!document->replace(rows.message(presetNo),
                           tr("Open preset %1 from the library").arg(presetNo)))
        return false;
    emit statusMessage(
        tr("Preset %1 \u201c%2\u201d is in the editor.").arg(presetNo).arg(rows.name(presetNo)));
    return true;
}

bool LibraryDocument::store(int presetNo)
{
    const PatchLibrary::Rows before = rows.rows();
    if (!rows.store(presetNo, document->patch()))
        return false;
    recordChange(before, tr("Store into preset %1").arg(presetNo));
    emit statusMessage(
        tr("The editor's patch is stored as preset %1 in the library.").arg(presetNo));
    return true;
}

bool LibraryDocument::rename(int presetNo, const QString &name)
{
    const PatchLibrary::Rows before = rows.rows();
    if (!rows.rename(presetNo, name))
        return false;
    recordChange(before, tr("Rename preset %1").arg(presetNo));
    return true;
}

bool LibraryDocument::paste(int presetNo, const QByteArray &message)
{
    const PatchLibrary::Rows before = rows.rows();
    if (!rows.store(presetNo, message)) {
        emit statusMessage(tr("Nothing to paste: the clipboard holds no Vellichord patch"));
        return false;
    }
    recordChange(before, tr("Paste into preset %1").arg(presetNo));
    return true;
}

bool LibraryDocument::swap(int first, int second)
{
    if (first == second || (rows.isEmpty(first) && rows.isEmpty(second)))
        return false;
    const PatchLibrary::Rows before = rows.rows();
    if (!rows.swap(first, second))
        return false;
    recordChange(before, tr("Swap presets %1 and %2").arg(first).arg(second));
    return true;
}

bool LibraryDocument::remove(int presetNo)
{
    if (rows.isEmpty(presetNo))
        return false;
    const PatchLibrary::Rows before = rows.rows();
    rows.clear(presetNo);
    recordChange(before, tr("Delete preset %1").arg(presetNo));
    return true;
}

bool LibraryDocument::load(const QString &path)
{
    const PatchLibrary::Rows before = rows.rows();
    if (const LibraryFileError error = rows.load(path)) {
        emit statusMessage(
            tr("Could not open library file: %1: %2").arg(path, library_file_fault_text(error)));
        return false;
    }
    recordChange(before, tr("Open library %1").arg(QFileInfo(path).fileName()));
    unsaved = false;
    const int count = rows.count();
    emit statusMessage(count == 1 ? tr("Library opened: %1 (1 preset)").arg(path)
                                  : tr("Library opened: %1 (%2 presets)").arg(path).arg(count));
    return true;
}

bool LibraryDocument::save(const QString &path)
{
    if (rows.count() == 0) {
        emit statusMessage(tr("Nothing to save: the library is empty"));
        return false;
    }
    if (!rows.save(path)) {
        emit statusMessage(tr("Could not save library file: %1").arg(path));
        return false;
    }
    unsaved = false;
    emit statusMessage(tr("Library saved: %1").arg(path));
    return true;
}

bool LibraryDocument::receive()
{
    if (sending() || deviceBusy())
        return false;
    if (!document->upload())
        return false;
    setReceiving(true);
    return true;
}

void LibraryDocument::deviceHolds(const QByteArray &patch, bool answered)
{
    if (!(answered && awaitingReceive)) {
        const int presetNo = rows.noteDevice(patch);
        if (presetNo >= 0)
            emit rowsChanged(presetNo, presetNo);
        return;
    }
    setReceiving(false);
    const PatchLibrary::Rows before = rows.rows();
    const int presetNo = rows.receive(patch);
    if (presetNo < 0) {
        emit statusMessage(
            tr("Not received into the library: the Vellichord's patch has preset number %1")
                .arg(static_cast<unsigned char>(patch.at(PatchLayout::presetNoOffset))));
        return;
    }
    recordChange(before, tr("Receive preset %1 into the library").arg(presetNo));
    // The device is known to hold it even when the row held it already.
    emit rowsChanged(presetNo, presetNo);
    emit statusMessage(tr("Preset %1 received into the library.").arg(presetNo));
}

void LibraryDocument::setReceiving(bool on)
{
    if (std::exchange(awaitingReceive, on) != on)
        emit receivingChanged(on);
}

QList<int> LibraryDocument::sendable(const QList<int> &presetNos) const
{
    QList<int> found;
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo) {
        if (presetNos.contains(presetNo) && !rows.isEmpty(presetNo))
            found << presetNo;
    }
    return found;
}

bool LibraryDocument::send(const QList<int> &presetNos)
{
    if (sending() || awaitingReceive || deviceBusy())
        return false;
    QList<QByteArray> messages;
    inFlight.clear();
    for (const int presetNo : sendable(presetNos)) {
        messages << rows.message(presetNo);
        inFlight.insert(presetNo, rows.message(presetNo));
    }
    if (messages.isEmpty()) {
        emit statusMessage(tr("Nothing to send: the rows chosen are empty"));
        return false;
    }
    qCDebug(lcTrace) << "Send" << messages.size() << "presets from the library";
    return sender->start(messages);
}

void LibraryDocument::stopSending()
{
    sender->stop();
}

bool LibraryDocument::sending() const
{
    return sender->running();
}
