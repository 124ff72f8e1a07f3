#pragma once
// Formatting a card, the one operation of the program that destroys data. The card's block
// device is found from its mount through the drive table, and nothing is written unless the
// system says that device is removable and it is not the disk the system runs from. UDisks2
// (over D-Bus) formats it as a desktop user may, without root, as file managers do; where
// UDisks2 is absent, the volume is unmounted, mkfs.fat runs on it and it is mounted again.
// Results are exit codes, as the format program's: 0 success, anything else failure.
#include <QString>

namespace DiskFormat {

struct CardDevice {
    QString device;          // block device, such as /dev/sdb1; empty when none is known
    QString mountRoot;       // where it is mounted now
    bool removable = false;  // the system reports the disk removable
    bool systemDisk = false; // it is (on) the disk that holds the running system
};

// What the system says about the device under a drive of the drive table ("E:").
CardDevice Probe(const QString& drive);

// Whether the disk of a block device holds the system's root, /boot, /usr or /var.
bool IsSystemDisk(const QString& device);

// Only a removable block device that is not the system's disk may be formatted.
bool MayFormat(const CardDevice& card);

// Formats the card FAT32 with clusterBytes per cluster and mounts it again; *mountedAt gets
// its new mount folder. Refuses (exit code 1, nothing touched) what MayFormat refuses.
int Format(const CardDevice& card, int clusterBytes, QString* mountedAt, QString* error);

// mkfs.fat -F 32 on a device or an image file that is not mounted, with the cluster given in
// bytes and the target's sector size; the exit code of mkfs.fat (-1 when it does not start).
int RunMkfsFat(const QString& target, int clusterBytes, int sectorSize, QString* error);

// The logical sector size of a block device (512 for anything else).
int SectorSize(const QString& device);

// Shows a folder in the desktop's file manager.
void OpenFolder(const QString& path);

}  // namespace DiskFormat
