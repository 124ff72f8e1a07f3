#include "platform/DriveTable.h"

// Filled in with the drive search.
namespace DriveTable {
std::vector<DriveInfo> Drives() { return {}; }
std::optional<DriveInfo> Find(QChar) { return std::nullopt; }
QString NativePath(const QString&) { return {}; }
QString DrivePath(const QString&) { return {}; }
int GetDriveType(const QString&) { return DRIVE_NO_ROOT_DIR; }
bool GetDiskFreeSpace(const QString&, std::uint64_t*, std::uint64_t*) { return false; }
}  // namespace DriveTable
