#pragma once

class QWidget;

// Makes SIGTERM, SIGINT and SIGHUP (kill, Ctrl-C, a session logging out) close the window
// through its close event, as its close button does, instead of ending the process on the
// spot. The last window to ask gets them. Does nothing where there are no such signals.
void closeOnSignal(QWidget *window);
