#pragma once

#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "patchdocument.h"
#include "patchlayout.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

// Small helpers shared by the tests of undo, unsent changes and menus.
namespace editprobe {

inline QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

inline QByteArray type1(const MainWindow &window)
{
    return QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                      int(PatchLayout::length));
}

template<typename T>
T *child(const MainWindow &window, const QString &name)
{
    T *w = window.findChild<T *>(name);
    if (!w)
        qFatal("child %s missing", qPrintable(name));
    return w;
}

inline void press(const MainWindow &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(window, QLatin1String(button)), Qt::LeftButton);
}

// Selects exactly these controls, as clicks on the picture would.
inline void select(MainWindow &window, const QList<int> &controls)
{
    window.selection()->clear();
    for (int i : controls)
        window.frontPanel()->item(i)->setSelected(true);
}

// The controls drawn with the mark of unsent changes.
inline QList<int> marked(const MainWindow &window)
{
    QList<int> indices;
    for (int i = 0; i < 64; ++i) {
        if (window.frontPanel()->item(i)->isUnsent())
            indices << i;
    }
    return indices;
}

// Clicks the button with this text in the next message box that opens; asked (when given)
// is set once it has, and text (when given) to the question's text. The timer that waits for it
// is returned.
inline QTimer *answerNextQuestion(const QString &buttonText, bool *asked = nullptr,
                                  QString *text = nullptr)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, buttonText, asked, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        if (asked)
            *asked = true;
        if (text)
            *text = box->text();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        qWarning("no button %s", qPrintable(buttonText));
        box->reject();
    });
    timer->start(10);
    return timer;
}

} // namespace editprobe
