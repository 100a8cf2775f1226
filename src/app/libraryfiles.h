#pragma once

#include <QObject>

#include <functional>

class EditorSettings;
class LibraryDocument;
class QDockWidget;
class QWidget;
class RecentFiles;

// The library's files as the window offers them: Open Library…, Save Library As…, the recent
// library files, the question before a library with changes in no file is replaced, and the
// copy kept beside the recovery file when the editor closes unasked. A library opened shows
// its dock.
class LibraryFiles : public QObject
{
    Q_OBJECT

public:
    // deviceBusy answers true while the updater runs: then no library is opened.
    LibraryFiles(LibraryDocument *library, RecentFiles *recent, const EditorSettings *settings,
                 QDockWidget *dock, std::function<bool()> deviceBusy, QWidget *window);

    void open();
    bool saveAs();
    void openRecent(const QString &fileName);
    // When the library holds changes that are in no file, asks whether to save them first.
    // True when the library may go.
    bool askBeforeLosing();
    // Closing unasked: a library with changes in no file is written beside the recovery file,
    // under a name of its own.
    void keepUnsaved();

signals:
    void statusMessage(const QString &text);

private:
    bool load(const QString &fileName);

    LibraryDocument *library;
    RecentFiles *recent;
    const EditorSettings *settings;
    QDockWidget *dock;
    std::function<bool()> deviceBusy;
    QWidget *window;
};
