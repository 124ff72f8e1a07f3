#include "platform/FileDialogs.h"

#include <QFileDialog>

namespace {
FileDialogHandler& Handler()
{
    static FileDialogHandler handler;
    return handler;
}
}  // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    FileDialogHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

QStringList RunFileDialog(const FileDialogRequest& r)
{
    if (Handler()) return Handler()(r);
    switch (r.kind) {
    case FileDialogKind::OpenOne: {
        const QString f = QFileDialog::getOpenFileName(r.owner, r.title, r.startPath, r.filter);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    case FileDialogKind::OpenMany:
        return QFileDialog::getOpenFileNames(r.owner, r.title, r.startPath, r.filter);
    case FileDialogKind::Save: {
        const QString f = QFileDialog::getSaveFileName(r.owner, r.title, r.startPath, r.filter);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    case FileDialogKind::Folder: {
        const QString f = QFileDialog::getExistingDirectory(r.owner, r.title, r.startPath);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    }
    return {};
}
