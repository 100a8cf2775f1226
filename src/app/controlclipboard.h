#pragma once

#include <QObject>

class ControlCopy;
class PatchDocument;
class QMimeData;
class Selection;

// Edit > Copy, Paste and Paste All but Note/CC: one control's parameters go to the clipboard,
// as the editor's own form and as the text "vellichord show" prints for the control, and come
// back onto every selected control as one undo step. Every outcome is said in a status text.
class ControlClipboard : public QObject
{
    Q_OBJECT

public:
    ControlClipboard(PatchDocument *document, Selection *selection, QObject *parent = nullptr);

    // What the clipboard holds for a copy.
    static QMimeData *mimeData(const ControlCopy &copy);

    // Puts the one selected control on the clipboard; false, saying why, without exactly one.
    bool copy();
    // Writes the clipboard's control onto each selected control, every parameter that it has
    // (with keepNumbers all but its note or controller numbers). False, changing nothing and
    // saying why, without a selection or a control on the clipboard.
    bool paste(bool keepNumbers);

signals:
    void statusMessage(const QString &text);

private:
    PatchDocument *document;
    Selection *selection;
};
