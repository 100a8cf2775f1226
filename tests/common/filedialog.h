#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <functional>

// Answers the next modal file dialog: selects path and accepts, or cancels when path is empty.
// beforeAccept runs after the choice is made, just before the dialog returns it.
inline void answerFileDialog(const QString &path, std::function<void()> beforeAccept = {})
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, path, beforeAccept] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed into the name field as a user would; selectFile() waits for the file model.
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        if (beforeAccept)
            beforeAccept();
        static_cast<QDialog *>(dialog)->accept();
    });
    timer->start(10);
}
