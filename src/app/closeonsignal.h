#pragma once

#include <functional>

class QWidget;

// Makes SIGTERM, SIGINT and SIGHUP (kill, Ctrl-C, a session logging out) close the window
// instead of ending the process on the spot: open modal dialogs are rejected, since nobody may
// be there to answer them, and then close runs; without one, the window closes through its
// close event, as its close button does. The last window to ask gets them. Does nothing where
// there are no such signals.
void closeOnSignal(QWidget *window, std::function<void()> close = {});
