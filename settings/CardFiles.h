#pragma once
// Where the camera's files live on the card and how the viewer reads and writes them.
// data_setup.cfg is written only at the card's root and read from the root first, then from
// the SETUP folder; data_factory.cfg is read from the SETUP folder only.
#include "settings/SetupRecord.h"

#include <QString>

inline constexpr const char* kSetupFileName = "data_setup.cfg";
inline constexpr const char* kFactoryFileName = "data_factory.cfg";

// Native path of a file on the card: "E:" + name at the root, or below SETUP. Empty when the
// drive is unknown.
QString CardFilePath(const QString& drive, const QString& name, bool inSetupFolder);

enum class CardReadStatus {
    Ok,          // opened and the wanted number of bytes read
    Missing,     // opened in no place (a folder, pipe or device under the name counts as none)
    Short,       // opened but too short
};

struct CardReadInfo {
    QString path;        // native path of the file that opened
    bool inSetupFolder = false;
    qint64 size = -1;    // its length in bytes
};

// Reads the first 200 bytes of data_setup.cfg (root, else SETUP). On Short, *record is left
// alone; info tells which file opened and its length (a file longer than 200 bytes reads Ok).
CardReadStatus ReadSetupFile(const QString& drive, SetupRecord* record, CardReadInfo* info = nullptr);

// Reads data_factory.cfg from the SETUP folder; Short when it holds fewer than minBytes bytes.
// What it holds is kept in *record either way (missing bytes read as 0).
CardReadStatus ReadFactoryFile(const QString& drive, std::size_t minBytes, DeviceFactoryRecord* record,
                               CardReadInfo* info = nullptr);

enum class CardWriteStatus {
    Ok,
    NoDrive,     // the drive is not in the drive table
    ReadOnly,    // the card or the file is write-protected
    Full,        // no space left
    Failed,      // any other error
};

// Writes the record to data_setup.cfg at the card's root with its checksum recomputed into
// byte 3. The bytes go to a temporary file beside it, which then replaces the old file in one
// rename: on any failure the old file is left exactly as it was. *error gets the system's reason.
CardWriteStatus WriteSetupFile(const QString& drive, const SetupRecord& record, QString* error = nullptr);

// Writes bytes to a file through a temporary file beside it that then replaces it in one
// rename, so that on any failure an earlier file is left whole and nothing else stays behind.
CardWriteStatus WriteFileReplacing(const QString& path, const std::uint8_t* data, std::size_t size,
                                   QString* error = nullptr);

// Writes every byte to a descriptor, again after interruptions; false on an error (errno says).
bool WriteAll(int fd, const void* data, std::size_t size);
