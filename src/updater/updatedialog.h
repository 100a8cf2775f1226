#pragma once

#include "updateprotocol.h"

#include <QDialog>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

class MidiController;

namespace Ui {
class UpdateDialog;
}

// The firmware updater's window: a form over UpdateProtocol. Open File chooses the update file,
// Connect runs the handshake and Update the handshake and the transfer; the protocol's lines go
// to the message box and its progress to the bar. A run goes on a thread of its own, so that
// no other dialog, nor anything else on the window's thread, can hold it up; Stop asks it to
// stop between records. While a run is busy the other windows take no input and cannot be
// closed, and the updater itself stays open.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr unsigned int imageCapacity = UpdateFile::imageCapacity;
    static constexpr qint64 maxFileBytes = UpdateFile::maxFileBytes;
    static constexpr unsigned int frameBytes = UpdateFile::frameBytes;
    static constexpr const char *updaterPortName = UpdateProtocol::updaterPortName;
    using Pause = UpdateProtocol::Pause;
    // A run: what the updater's thread does with the protocol; true when it succeeded.
    using Run = std::function<bool(UpdateProtocol &)>;

    // controller lends its port and monitor; it must not be null and must outlive the dialog.
    UpdateDialog(QWidget *parent, MidiController *controller);
    // Stops a run that is still going and waits for its thread.
    ~UpdateDialog() override;

    UpdateProtocol &protocol() { return updater; }

    // Where Open File keeps the folder it was last used in; the dialog does without when null.
    // The folder the file dialog opens in; a chosen file's folder replaces it
    // (lastFolderChanged).
    void setLastFolder(const QString &folder) { lastFolder = folder; }

    // Adds text as a new line under every message shown since the dialog was created.
    void appendMessage(const QString &text);

    bool load_update_binary(const QString &path) { return updater.load_update_binary(path); }
    // From the time a run is started until runFinished; the port is the updater's then.
    bool isBusy() const { return running; }
    const unsigned char *getImage() const { return updater.getImage(); }
    unsigned int getImageSize() const { return updater.getImageSize(); }
    // The clock of the runs; an empty one waits in real time. Not while busy.
    void setPause(Pause pause);

    // Starts run on the updater's thread and returns at once; runFinished follows. False, and
    // nothing started, while another run is busy.
    bool start(Run run);

public slots:
    void switchToUpdateMode();
    void openFileDialog();
    void doUpdate();
    // Asks the run to stop before its next record.
    void stop();

signals:
    void lastFolderChanged(const QString &folder);
    // A run started (true) or ended (false).
    void busyChanged(bool busy);
    // A run ended, with its result; its messages are shown by then.
    void runFinished(bool done);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showActions();
    void setRunning(bool busy);
    // Closes the dialog, or says why not while a run is busy.
    void closeWhenIdle();

    Ui::UpdateDialog *ui;
    UpdateProtocol updater;
    std::unique_ptr<QThread> worker;
    bool running = false;
    QString messageText;
    QString lastFolder;
};
