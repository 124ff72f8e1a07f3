#include "platform/FileDialogs.h"

#include <QFileDialog>
#include <utility>

namespace {
FileDialogHandler& Handler()
{
    static FileDialogHandler handler;
    return handler;
}
}  // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

QStringList RunFileDialog(const FileDialogRequest& r)
{
    if (Handler()) return Handler()(r);
    const auto one = [](const QString& f) { return f.isEmpty() ? QStringList() : QStringList{f}; };
    switch (r.kind) {
    case FileDialogKind::OpenOne:
        return one(QFileDialog::getOpenFileName(r.owner, r.title, r.startPath, r.filter));
    case FileDialogKind::OpenMany:
        return QFileDialog::getOpenFileNames(r.owner, r.title, r.startPath, r.filter);
    case FileDialogKind::Save:
        return one(QFileDialog::getSaveFileName(r.owner, r.title, r.startPath, r.filter));
    case FileDialogKind::Folder:
        return one(QFileDialog::getExistingDirectory(r.owner, r.title, r.startPath));
    }
    return {};
}
