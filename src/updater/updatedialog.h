#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class MidiController;
class QPushButton;
class QSettings;

namespace Ui {
class UpdateDialog;
}

// The firmware updater. Loads an update file into the update image and checks every record of
// it, brings the device to readiness under its normal or its updater port name, and sends it
// the image record by record. Every step is reported as a line in the message box. It has no
// MIDI objects of its own: it borrows the patch controller's port and input monitor.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    // Room for the decoded update file.
    static constexpr unsigned int imageCapacity = 0x20000;
    // Longest update file read: far more text than imageCapacity bytes of hex with any sane
    // spacing, and little enough that reading it never stalls the window.
    static constexpr qint64 maxFileBytes = 1 << 20;
    // Image bytes carried by one data frame.
    static constexpr unsigned int frameBytes = 11;
    // The device's port name in update mode; in normal mode it is MidiController::portName.
    static constexpr const char *updaterPortName = "Vellichord Updater";

    // Waits the given number of milliseconds. The handshake and the transfer wait only through
    // this, so a test can run them on a clock of its own.
    using Pause = std::function<void(unsigned int ms)>;

    // controller must outlive the dialog's handshakes and transfers.
    UpdateDialog(QWidget *parent, MidiController *controller);
    ~UpdateDialog() override;

    // Where Open File keeps the folder it was last used in; the dialog does without when null.
    void setSettings(QSettings *store) { settings = store; }

    // Adds text as a new line under every message shown since the dialog was created.
    void appendMessage(const QString &text);

    // Loads and checks an update file. On failure the image is left empty (size 0), and
    // Connect and Update are disabled until a file loads and passes the check.
    bool load_update_binary(const QString &path);
    // Reads the update file (a regular file of at most maxFileBytes) and decodes its text into
    // destination, storing the number of bytes in *size. A file that is not whole pairs of hex
    // digits, decodes to nothing or to more than capacity bytes is refused, with a message;
    // nothing is stored past capacity. *size is changed only on success.
    bool load_file_into_buffer(const QString &path, unsigned char *destination,
                               unsigned int capacity, unsigned int *size);

    // Why decode_update_text refused a text.
    enum class TextFault { none, notHexPairs, overCapacity };
    // The decoding of load_file_into_buffer: after an optional UTF-8 byte-order mark, pairs of
    // hex digits, each pair one byte, with or without white space between the pairs, and
    // nothing else to the end. On a fault *size is left alone and *line, when given, is the
    // line (counted from 1) where the offending text starts; nothing is stored past capacity.
    // Reports nothing.
    static TextFault decode_update_text(const QByteArray &text, unsigned char *destination,
                                        unsigned int capacity, unsigned int *size,
                                        int *line = nullptr);
    // True when every record of the image fits in it and its checksum holds.
    bool crc_check(const unsigned char *image, unsigned int length);

    // The handshake: connects to the device and sends the update code until it answers. True
    // when the device is ready for the transfer.
    bool find_dfu();
    // Sends the image record by record. True when the device reported completion or accepted
    // every record.
    bool transmitUpdate(const unsigned char *image, unsigned int length);
    // The name under which a device status is traced.
    static QString statusName(int status);

    // True while a handshake or a transfer runs; the port is the dialog's then.
    bool isBusy() const { return busyDepth > 0; }

    const unsigned char *getImage() const { return updateImage.data(); }
    unsigned int getImageSize() const { return imageSize; }

    // Replaces the clock of the handshake and the transfer; an empty one restores the default,
    // which waits in real time and keeps the windows painting meanwhile.
    void setPause(Pause pause);

public slots:
    void switchToUpdateMode();
    void openFileDialog();
    void doUpdate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Busy;

    void pause(unsigned int ms);
    // Sends one record as data frames, pausing after each. Stops at the first frame the port
    // fails to send and returns its error code; 0 when every frame went out.
    int sendRecord(const unsigned char *record, unsigned int size);
    // Polls the monitor for the device's answer to a record; 0 when none came.
    int awaitAnswer();
    // Sets a button's state, or the state it gets back once a running handshake or transfer
    // is over.
    void setButtonEnabled(std::size_t button, bool enabled);
    // Open File, Connect and Update, in this order.
    std::array<QPushButton *, 3> buttons() const;
    static constexpr std::size_t connectButton = 1;
    static constexpr std::size_t updateButton = 2;

    Ui::UpdateDialog *ui;
    MidiController *controller;
    std::array<unsigned char, imageCapacity> updateImage{};
    unsigned int imageSize = 0;
    QString messageText;
    Pause pauseFunction;
    // Nesting depth of running handshakes and transfers, and the button states to restore.
    int busyDepth = 0;
    std::array<bool, 3> savedEnabled{};
    QSettings *settings = nullptr;
};
