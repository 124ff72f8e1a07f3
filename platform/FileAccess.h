#pragma once
// Files on the card as the system names them, and whether one can be read without waiting.
// Names are bytes on this system. A name that is not valid UTF-8 keeps each stray byte as a
// lone surrogate (U+DC80 + the byte), so every name a folder lists opens again by the same
// bytes; names that are valid UTF-8 read exactly as QFile::decodeName reads them.
#include <QByteArray>
#include <QString>
#include <vector>

QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);

enum class FileCheck {
    Ok,          // a regular file that opens for reading
    Missing,     // no such file, or a link to nothing
    NotRegular,  // a folder, named pipe, device, socket, or a loop of links
    NoAccess,    // reading is not permitted
    Failed,      // any other error the system gave
};

// Opens path for reading only when it is a regular file; a named pipe or a device is found
// by its type and never waited on. The descriptor (close-on-exec, blocking reads), or -1 with
// *check saying why. *size gets the file's length.
int OpenRegularFile(const QString& path, FileCheck* check = nullptr, qint64* size = nullptr);

// OpenRegularFile's answer for a file that other code (libavformat, GStreamer) then opens by
// its name.
FileCheck CheckRegularFile(const QString& path, qint64* size = nullptr);

struct FolderEntry {
    QString name;
    bool folder = false;    // a folder, or a link to one
    bool file = false;      // anything else that exists (its type is checked when opened)
};

// A folder's entries (without "." and ".."), by the bytes the system gives, unsorted.
std::vector<FolderEntry> ListFolder(const QString& folder);

// The folder's path with every link resolved, or empty when it cannot be had.
QString CanonicalFolder(const QString& folder);
