#pragma once

#include "recoveryfile.h"

#include <QObject>

class PatchDocument;
class QWidget;

// Unsent changes kept across an end nobody could answer (logging out, kill, Ctrl-C): written
// to the recovery file as the editor closes, offered back at the next start once the device
// has answered the start's patch request, which would otherwise replace them.
class UnsentRecovery : public QObject
{
    Q_OBJECT

public:
    // Questions open over window.
    UnsentRecovery(PatchDocument *document, QWidget *window);

    // What the user wants done with the unsent changes before the window closes.
    enum class CloseChoice { Download, Save, Discard, Cancel };
    // Asks it, over window; Cancel when the question is closed unanswered.
    CloseChoice askBeforeClosing() const;

    // Writes the document's unsent changes, if it has any, to the recovery file.
    void keep();
    // When the recovery file holds changes, asks whether to restore them (after the answer
    // to a patch request still out); restored, they are one undo step.
    void offer();

signals:
    void statusMessage(const QString &text);

private:
    PatchDocument *document;
    QWidget *window;
    RecoveryFile file;
    bool awaitsAnswer = false; // the offer waits for the answer to a patch request
};
