#pragma once
// Open, save and folder dialogs behind one seam. The real ones are QFileDialogs; tests
// install a handler that answers with chosen paths (an empty answer is a cancel).
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class FileDialogKind { OpenOne, OpenMany, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::OpenOne;
    QWidget* owner = nullptr;
    QString title;
    QString startPath;   // folder or proposed file name
    QString filter;      // Qt filter text, e.g. "Recordings (*.avi *.mp4)"
};

using FileDialogHandler = std::function<QStringList(const FileDialogRequest&)>;

// The chosen paths, empty when cancelled.
QStringList RunFileDialog(const FileDialogRequest& request);
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
