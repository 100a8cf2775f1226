#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The preset name and its character count. What is typed or pasted is kept to what the
// device can store: printable ASCII, at most 16 characters; what was dropped is said in a
// status message.
class PresetNameField : public QWidget
{
    Q_OBJECT

public:
    explicit PresetNameField(QWidget *parent = nullptr);

    // Puts a name into the field as it is, without the field's signals.
    void showName(const QString &name);
    QString name() const;
    QLineEdit *lineEdit() const { return field; }

signals:
    // The user changed the name (each key, each paste).
    void renamed(const QString &name);
    // The field lost the keyboard or Enter was pressed in it.
    void editingFinished();
    void statusMessage(const QString &text);

private:
    void showCount();

    QLineEdit *field = nullptr;
    QLabel *count = nullptr;
};
