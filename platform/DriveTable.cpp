#include "platform/DriveTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <sys/statvfs.h>

namespace DriveTable {
namespace {

constexpr char kFirstLetter = 'D';
constexpr char kLastLetter = 'Y';

// File systems that are no volume a user would call a drive.
const QSet<QString>& PseudoFileSystems()
{
    static const QSet<QString> types = {
        QStringLiteral("proc"),       QStringLiteral("sysfs"),      QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),     QStringLiteral("tmpfs"),      QStringLiteral("ramfs"),
        QStringLiteral("cgroup"),     QStringLiteral("cgroup2"),    QStringLiteral("securityfs"),
        QStringLiteral("debugfs"),    QStringLiteral("tracefs"),    QStringLiteral("pstore"),
        QStringLiteral("bpf"),        QStringLiteral("configfs"),   QStringLiteral("fusectl"),
        QStringLiteral("mqueue"),     QStringLiteral("hugetlbfs"),  QStringLiteral("autofs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),  QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),       QStringLiteral("overlay"),    QStringLiteral("squashfs"),
        QStringLiteral("selinuxfs"),  QStringLiteral("fuse.portal"), QStringLiteral("fuse.gvfsd-fuse"),
    };
    return types;
}

// /proc/self/mounts writes space, tab, newline and backslash as octal escapes.
QString Unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int v = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(v));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

QByteArray ReadSmallFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

struct Volume {
    QString root;
    QString device;
    bool removable = false;
};

std::vector<Volume> MountedVolumes(const QByteArray& mounts)
{
    std::vector<Volume> volumes;
    QSet<QString> devices;
    QSet<QString> roots;
    const QList<QByteArray> lines = mounts.split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 3)
            continue;
        const QString device = Unescape(f[0]);
        const QString root = Unescape(f[1]);
        const QString type = QString::fromLatin1(f[2]);
        // Only volumes on block devices; the system's own root stands for C:.
        if (!device.startsWith(QLatin1String("/dev/")) || PseudoFileSystems().contains(type))
            continue;
        if (root == QLatin1String("/") || !QFileInfo(root).isDir())
            continue;
        // A device mounted twice (bind mounts) is one drive, at its first mount.
        if (devices.contains(device) || roots.contains(root))
            continue;
        devices.insert(device);
        roots.insert(root);
        volumes.push_back({root, device, IsRemovableDevice(device)});
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        if (a.removable != b.removable)
            return a.removable;
        return a.root < b.root;
    });
    return volumes;
}

// "E=/path;G=/other": letters D to Y, each once; anything else is skipped.
std::vector<DriveInfo> ExplicitDrives(const QString& spec)
{
    std::vector<DriveInfo> drives;
    for (const QString& item : spec.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq != 1)
            continue;
        const QChar letter = item.at(0).toUpper();
        if (letter < QLatin1Char(kFirstLetter) || letter > QLatin1Char(kLastLetter) || item.mid(2).isEmpty())
            continue;
        const QString root = QDir::cleanPath(QFileInfo(item.mid(2)).absoluteFilePath());
        if (std::any_of(drives.begin(), drives.end(), [&](const DriveInfo& d) { return d.letter == letter; }))
            continue;
        // Explicit entries stand in for cards.
        drives.push_back({letter, root, true, QString()});
    }
    std::sort(drives.begin(), drives.end(),
              [](const DriveInfo& a, const DriveInfo& b) { return a.letter < b.letter; });
    return drives;
}

// The letter of "E:", "E:\..." or "e:/..."; a null QChar when there is none.
QChar LetterOf(const QString& drivePath)
{
    if (drivePath.size() < 2 || drivePath.at(1) != QLatin1Char(':') || !drivePath.at(0).isLetter())
        return QChar();
    return drivePath.at(0).toUpper();
}

// The entry of `dir` named `name`, in the spelling found on disk; empty when none.
QString MatchEntry(const QString& dir, const QString& name)
{
    if (QFileInfo::exists(dir + QLatin1Char('/') + name))
        return name;
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    return QString();
}

}  // namespace

bool IsRemovableDevice(const QString& device)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (name.isEmpty())
        return false;
    QString entry = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (entry.isEmpty())
        return false;
    // A partition's disk is the parent folder of its entry.
    if (QFileInfo::exists(entry + QStringLiteral("/partition")))
        entry = QFileInfo(entry).path();
    if (ReadSmallFile(entry + QStringLiteral("/removable")).trimmed() == "1")
        return true;
    // Built-in readers report their cards as fixed disks; the card says what it is.
    return ReadSmallFile(entry + QStringLiteral("/device/type")).trimmed() == "SD";
}

std::vector<DriveInfo> Drives()
{
    if (qEnvironmentVariableIsSet("VIEWER_DRIVES"))
        return ExplicitDrives(qEnvironmentVariable("VIEWER_DRIVES"));
    return DrivesFromMountTable(ReadSmallFile(QStringLiteral("/proc/self/mounts")));
}

std::vector<DriveInfo> DrivesFromMountTable(const QByteArray& mounts)
{
    std::vector<DriveInfo> drives;
    char letter = kFirstLetter;
    for (const Volume& v : MountedVolumes(mounts)) {
        if (letter > kLastLetter)
            break;
        drives.push_back({QLatin1Char(letter), v.root, v.removable, v.device});
        ++letter;
    }
    return drives;
}

std::optional<DriveInfo> Find(QChar letter)
{
    letter = letter.toUpper();
    for (const DriveInfo& d : Drives())
        if (d.letter == letter)
            return d;
    return std::nullopt;
}

namespace {

// The drive a drive path ("E:", "E:\...") names, when it is known.
std::optional<DriveInfo> DriveOf(const QString& drivePath)
{
    const QChar letter = LetterOf(drivePath);
    if (letter.isNull())
        return std::nullopt;
    return Find(letter);
}

}  // namespace

QString NativePath(const QString& drivePath)
{
    const std::optional<DriveInfo> drive = DriveOf(drivePath);
    if (!drive)
        return QString();
    QString path = drive->root;
    bool onDisk = true;
    const QStringList parts = drivePath.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")),
                                                     Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString spelled = part;
        if (onDisk) {
            const QString found = MatchEntry(path, part);
            if (found.isEmpty())
                onDisk = false;  // not there yet: the rest keeps its spelling
            else
                spelled = found;
        }
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += spelled;
    }
    return path;
}

QString DrivePath(const QString& nativePath)
{
    if (nativePath.isEmpty())
        return QString();
    const QString path = QDir::cleanPath(QFileInfo(nativePath).absoluteFilePath());
    const DriveInfo* best = nullptr;
    QString bestRoot;
    const std::vector<DriveInfo> drives = Drives();
    for (const DriveInfo& d : drives) {
        const QString root = QDir::cleanPath(QFileInfo(d.root).absoluteFilePath());
        const bool below = path == root ||
                           path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        // The innermost root wins when one drive is mounted inside another.
        if (below && (!best || root.size() > bestRoot.size())) {
            best = &d;
            bestRoot = root;
        }
    }
    if (!best)
        return QString();
    QString rest = path.mid(bestRoot.size());
    if (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QString(best->letter) + QStringLiteral(":\\") + rest;
}

int GetDriveType(const QString& drive)
{
    const std::optional<DriveInfo> d = DriveOf(drive);
    if (!d || !QFileInfo(d->root).isDir())
        return DRIVE_NO_ROOT_DIR;
    return d->removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

bool GetDiskFreeSpace(const QString& drive, std::uint64_t* freeBytes, std::uint64_t* totalBytes)
{
    const std::optional<DriveInfo> d = DriveOf(drive);
    if (!d)
        return false;
    struct statvfs st {};
    if (statvfs(QFile::encodeName(d->root).constData(), &st) != 0)
        return false;
    if (freeBytes)
        *freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    if (totalBytes)
        *totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    return true;
}

bool GetDiskFreeSpace(const QString& drive, DiskFreeSpace* space)
{
    const std::optional<DriveInfo> d = DriveOf(drive);
    if (!d || !space)
        return false;
    struct statvfs st {};
    if (statvfs(QFile::encodeName(d->root).constData(), &st) != 0 || st.f_frsize == 0)
        return false;
    // The block is split in 512-byte sectors when it divides, as FAT and most disks have them.
    const std::uint64_t block = st.f_frsize;
    const std::uint32_t sector = block % 512 == 0 ? 512 : static_cast<std::uint32_t>(block);
    const auto clamp = [](std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, UINT32_MAX)); };
    space->bytesPerSector = sector;
    space->sectorsPerCluster = clamp(block / sector);
    space->freeClusters = clamp(st.f_bavail);
    space->totalClusters = clamp(st.f_blocks);
    return true;
}

}  // namespace DriveTable
