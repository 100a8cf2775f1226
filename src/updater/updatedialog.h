#pragma once

#include "updateprotocol.h"

#include <QDialog>
#include <QString>

class MidiController;
class QSettings;

namespace Ui {
class UpdateDialog;
}

// The firmware updater's window: a form over UpdateProtocol. Open File chooses the update file,
// Connect runs the handshake and Update the handshake and the transfer; the protocol's lines go
// to the message box and its progress to the bar. While a run is busy the other windows take
// no input and cannot be closed.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr unsigned int imageCapacity = UpdateFile::imageCapacity;
    static constexpr qint64 maxFileBytes = UpdateFile::maxFileBytes;
    static constexpr unsigned int frameBytes = UpdateFile::frameBytes;
    static constexpr const char *updaterPortName = UpdateProtocol::updaterPortName;
    using Pause = UpdateProtocol::Pause;

    // controller lends its port and monitor; it must not be null and must outlive the dialog.
    UpdateDialog(QWidget *parent, MidiController *controller);
    ~UpdateDialog() override;

    UpdateProtocol &protocol() { return updater; }

    // Where Open File keeps the folder it was last used in; the dialog does without when null.
    void setSettings(QSettings *store) { settings = store; }

    // Adds text as a new line under every message shown since the dialog was created.
    void appendMessage(const QString &text);

    bool load_update_binary(const QString &path) { return updater.load_update_binary(path); }
    bool find_dfu() { return updater.find_dfu(); }
    bool transmitUpdate(const unsigned char *image, unsigned int length)
    {
        return updater.transmitUpdate(image, length);
    }
    bool isBusy() const { return updater.isBusy(); }
    const unsigned char *getImage() const { return updater.getImage(); }
    unsigned int getImageSize() const { return updater.getImageSize(); }
    void setPause(Pause pause) { updater.setPause(std::move(pause)); }

public slots:
    void switchToUpdateMode();
    void openFileDialog();
    void doUpdate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showActions();
    void setBusy(bool busy);

    Ui::UpdateDialog *ui;
    UpdateProtocol updater;
    QString messageText;
    QSettings *settings = nullptr;
};
