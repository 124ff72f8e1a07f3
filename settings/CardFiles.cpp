#include "settings/CardFiles.h"

#include "platform/DriveTable.h"
#include "platform/FileAccess.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only a regular file is read: a named pipe under the file's name would otherwise hold the
// window before it ever appears. Anything else counts as a file that is not there.
bool OpenForReading(const QString& path, QFile* file)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    if (file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

// Tells the caller which file opened and its length.
void Describe(const QString& path, const QFile& file, bool inSetupFolder, CardReadInfo* info)
{
    if (!info) return;
    info->path = path;
    info->inSetupFolder = inSetupFolder;
    info->size = file.size();
}

CardWriteStatus StatusFromErrno(int err)
{
    switch (err) {
    case EROFS:
    case EACCES:
    case EPERM: return CardWriteStatus::ReadOnly;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return CardWriteStatus::Full;
    default: return CardWriteStatus::Failed;
    }
}

}  // namespace

QString CardFilePath(const QString& drive, const QString& name, bool inSetupFolder)
{
    if (drive.isEmpty()) return {};
    const QString drivePath = drive.left(1) + QStringLiteral(":\\") + (inSetupFolder ? QStringLiteral("SETUP\\") : QString()) + name;
    return DriveTable::NativePath(drivePath);
}

CardReadStatus ReadSetupFile(const QString& drive, SetupRecord* record, CardReadInfo* info)
{
    QFile file;
    bool inSetup = false;
    QString path = CardFilePath(drive, kSetupFileName, false);
    if (!OpenForReading(path, &file)) {
        inSetup = true;
        path = CardFilePath(drive, kSetupFileName, true);
        if (!OpenForReading(path, &file)) return CardReadStatus::Missing;
    }
    Describe(path, file, inSetup, info);
    const QByteArray bytes = file.read(static_cast<qint64>(kSetupRecordSize));
    if (static_cast<std::size_t>(bytes.size()) < kSetupRecordSize) return CardReadStatus::Short;
    *record = SetupRecordFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()));
    return CardReadStatus::Ok;
}

CardReadStatus ReadFactoryFile(const QString& drive, std::size_t minBytes, DeviceFactoryRecord* record,
                               CardReadInfo* info)
{
    QFile file;
    const QString path = CardFilePath(drive, kFactoryFileName, true);
    if (!OpenForReading(path, &file)) return CardReadStatus::Missing;
    Describe(path, file, true, info);
    const QByteArray bytes = file.read(static_cast<qint64>(kFactoryRecordSize));
    *record = FactoryRecordFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
    return static_cast<std::size_t>(bytes.size()) < minBytes ? CardReadStatus::Short : CardReadStatus::Ok;
}

bool WriteAll(int fd, const void* bytes, std::size_t size)
{
    const auto* data = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

CardWriteStatus WriteFileReplacing(const QString& path, const std::uint8_t* data, std::size_t size, QString* error)
{
    const QByteArray target = FileNameToBytes(path);
    const QFileInfo fi(path);
    const QByteArray temp = FileNameToBytes(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".XXXXXX"));

    auto fail = [&](int err, const QString& step) {
        if (error) *error = QStringLiteral("%1: %2").arg(step, QString::fromLocal8Bit(std::strerror(err)));
        return StatusFromErrno(err);
    };

    // A write-protected file is not replaced behind the user's back.
    if (fi.exists() && ::access(target.constData(), W_OK) != 0) return fail(errno, fi.fileName());

    std::vector<char> tempName(temp.begin(), temp.end());
    tempName.push_back('\0');
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) return fail(errno, QStringLiteral("create"));
    struct stat st {};
    ::fchmod(fd, ::stat(target.constData(), &st) == 0 ? (st.st_mode & 07777) : 0644);

    int err = 0;
    const char* step = nullptr;
    if (!WriteAll(fd, data, size)) {
        err = errno;
        step = "write";
    } else if (::fsync(fd) != 0 && errno != EINVAL) {
        err = errno;
        step = "sync";
    }
    if (::close(fd) != 0 && !step) {
        err = errno;
        step = "close";
    }
    if (!step && ::rename(tempName.data(), target.constData()) != 0) {
        err = errno;
        step = "rename";
    }
    if (step) {
        ::unlink(tempName.data());
        return fail(err, QString::fromLatin1(step));
    }
    return CardWriteStatus::Ok;
}

CardWriteStatus WriteSetupFile(const QString& drive, const SetupRecord& record, QString* error)
{
    const QString path = CardFilePath(drive, kSetupFileName, false);
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("unknown drive");
        return CardWriteStatus::NoDrive;
    }
    SetupRecord out = record;
    out.checksum = SetupRecordChecksum(out);
    const SetupBytes bytes = SetupRecordToBytes(out);
    return WriteFileReplacing(path, bytes.data(), bytes.size(), error);
}
