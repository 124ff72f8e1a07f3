#pragma once
// The Format command of the main window: formats the camera's card FAT32 with the cluster size
// its capacity calls for, after the user confirms, and opens the fresh card in the file manager.
// Only a removable drive whose block device the system reports removable, and which is not the
// disk the system runs from, is formatted; anything else is refused without a word.
#include "platform/DiskFormat.h"
#include "platform/DriveTable.h"

#include <QString>
#include <functional>

class QWidget;

// The size class of a drive from its figures: 0 (too small, too large or unknown), 2, 4, 8, 16
// or 32. figures: bytes per cluster, free bytes, total bytes. *sizeValue gets twice the class
// for classes 2 to 32 and is left alone for class 0.
int DiskSizeClass(const DriveTable::DiskFreeSpace& space, double figures[3], int* sizeValue);

// The format program's cluster option for a size class ("/a:4096 " .. "/a:64K "); empty for 0.
QString ClusterOption(int sizeClass);
// The cluster in bytes an option names (4096 for "/a:4096 ", 16384 for "/a:16K "); 0 if none.
int ClusterBytes(const QString& option);

// What the command asks of the system. Tests replace members; an empty member is the real one.
struct FormatSystem {
    std::function<int(const QString& drive)> driveType;
    std::function<bool(const QString& drive, DriveTable::DiskFreeSpace*)> diskFreeSpace;
    std::function<DiskFormat::CardDevice(const QString& drive)> probe;
    // Runs the format (on a worker thread); the exit code, 0 for success.
    std::function<int(const DiskFormat::CardDevice&, int clusterBytes, QString* mountedAt, QString* error)> format;
    std::function<void(const QString& folder)> openFolder;
};
FormatSystem SetFormatSystem(FormatSystem system);

struct FormatCommandHooks {
    std::function<void()> setPanes;          // front pane large, rear pane hidden
    std::function<bool()> playerRunning;
    std::function<void()> togglePlayPause;   // pauses a playing recording
    // The main window's own size class (it keeps the figures); the free function when empty.
    std::function<int(const QString& drive, double figures[3])> diskSizeClass;
    std::function<void()> focusList;
};

// The size class of a drive as the card reports it now; class 0 when its figures cannot be read.
int GetDiskSizeClass(const QString& drive, double figures[3], DriveTable::DiskFreeSpace* space, int* sizeValue);

// owner: the main window (owner of the boxes); language: 0 Japanese, 1 English, 2 Korean.
void RunFormatCommand(QWidget* owner, int language, const FormatCommandHooks& hooks);
