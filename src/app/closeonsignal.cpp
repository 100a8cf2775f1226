#include "closeonsignal.h"

#include "stopsignals.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

namespace {

QPointer<StopSignals> current;

// A dialog's exec() would keep waiting for an answer, and with it the close; rejected, each
// returns as if its Cancel had been pressed.
void rejectModalDialogs()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

} // namespace

void closeOnSignal(QWidget *window, std::function<void()> close)
{
    if (!close)
        close = [window] { window->close(); };
    delete current;
    current = new StopSignals(window);
    if (!current->isActive()) {
        qWarning("Cannot set up signal handling; SIGTERM will end the editor at once");
        return;
    }
    QObject::connect(current, &StopSignals::received, window, [close] {
        rejectModalDialogs();
        close();
    });
}
