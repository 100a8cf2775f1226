#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

// Answers the next modal file dialog: selects path and accepts, or cancels when path is empty.
inline void answerFileDialog(const QString &path)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, path] {
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
        static_cast<QDialog *>(dialog)->accept();
    });
    timer->start(10);
}
