#pragma once
// Drive letters for mounted volumes. The program names places on the card "E:\Event\x.mp4";
// here the letters D to Y are given to mounted volumes (removable ones first, in a stable
// order), each with its mount root. VIEWER_DRIVES="E=/path/to/card;G=/other" replaces the
// table with explicit entries, for tests and the demo card; they count as removable.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

struct DriveInfo {
    QChar letter;        // 'D' .. 'Y'
    QString root;        // native mount folder
    bool removable = false;
    QString device;      // block device, empty when unknown
};

namespace DriveTable {

// Drive type codes as the program tests them.
inline constexpr int DRIVE_UNKNOWN = 0;
inline constexpr int DRIVE_NO_ROOT_DIR = 1;
inline constexpr int DRIVE_REMOVABLE = 2;
inline constexpr int DRIVE_FIXED = 3;

std::vector<DriveInfo> Drives();                 // read afresh each call
// The letters for mounted volumes as listed in a mount table (/proc/self/mounts form).
std::vector<DriveInfo> DrivesFromMountTable(const QByteArray& mounts);
std::optional<DriveInfo> Find(QChar letter);

// "E:\EVENT\x.mp4" (or "E:" / "E:\") to a native path below the drive's root, each
// component matched case-insensitively as on a FAT card; components that do not exist
// yet keep their spelling. Empty when the drive is unknown.
QString NativePath(const QString& drivePath);
// The inverse for a native path below a drive root: "E:\Event\x.mp4", or empty.
QString DrivePath(const QString& nativePath);

int GetDriveType(const QString& drive);          // "E:" or "E:\"
bool GetDiskFreeSpace(const QString& drive, std::uint64_t* freeBytes, std::uint64_t* totalBytes);

// The figures of a drive in the program's units: a cluster is the file system's block.
struct DiskFreeSpace {
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t freeClusters = 0;
    std::uint32_t totalClusters = 0;
};
bool GetDiskFreeSpace(const QString& drive, DiskFreeSpace* space);

// Whether the disk under a block device says it can be taken out: the kernel's removable flag
// of the disk, or an SD card in a built-in card reader.
bool IsRemovableDevice(const QString& device);

}  // namespace DriveTable
