#include "platform/DiskFormat.h"

#include "platform/DriveTable.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QVariantMap>

#include <sys/stat.h>
#include <unistd.h>

namespace DiskFormat {
namespace {

QByteArray ReadSmall(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString SysEntry(const QString& device)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (name.isEmpty()) return {};
    return QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
}

// The whole disks beneath a sysfs block entry: a partition's disk, or for a mapped device
// (LVM, encryption, RAID) the disks of the devices it is made of.
void CollectDisks(const QString& entry, QSet<QString>* disks, int depth)
{
    if (entry.isEmpty() || depth > 8) return;
    if (QFileInfo::exists(entry + QStringLiteral("/partition"))) {
        disks->insert(QFileInfo(QFileInfo(entry).path()).fileName());
        return;
    }
    const QStringList slaves = QDir(entry + QStringLiteral("/slaves")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (slaves.isEmpty()) {
        disks->insert(QFileInfo(entry).fileName());
        return;
    }
    for (const QString& s : slaves)
        CollectDisks(QFileInfo(QStringLiteral("/sys/class/block/") + s).canonicalFilePath(), disks, depth + 1);
}

QSet<QString> DisksOf(const QString& device)
{
    QSet<QString> disks;
    CollectDisks(SysEntry(device), &disks, 0);
    return disks;
}

bool IsBlockDevice(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

// ---- UDisks2

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kManager = "/org/freedesktop/UDisks2/Manager";
constexpr int kCallMs = 60 * 1000;
constexpr int kFormatMs = 60 * 60 * 1000;  // a slow card with a full erase takes long

QDBusConnection Bus() { return QDBusConnection::systemBus(); }

bool HaveUDisks()
{
    QDBusConnection bus = Bus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString name = QString::fromLatin1(kService);
    if (bus.interface()->isServiceRegistered(name)) return true;
    return bus.interface()->activatableServiceNames().value().contains(name);
}

QDBusMessage Call(const QString& path, const char* iface, const char* method, const QVariantList& args,
                  int timeoutMs = kCallMs)
{
    QDBusMessage m = QDBusMessage::createMethodCall(QString::fromLatin1(kService), path, QString::fromLatin1(iface),
                                                    QString::fromLatin1(method));
    m.setArguments(args);
    m.setInteractiveAuthorizationAllowed(true);
    return Bus().call(m, QDBus::Block, timeoutMs);
}

bool Failed(const QDBusMessage& reply, QString* error)
{
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    if (error) *error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return true;
}

QVariant Property(const QString& path, const char* iface, const char* name)
{
    const QDBusMessage r = Call(path, "org.freedesktop.DBus.Properties", "Get",
                                {QString::fromLatin1(iface), QString::fromLatin1(name)});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
    return r.arguments().first().value<QDBusVariant>().variant();
}

QString BlockObject(const QString& device)
{
    const QDBusMessage r = Call(QString::fromLatin1(kManager), "org.freedesktop.UDisks2.Manager", "ResolveDevice",
                                {QVariantMap{{QStringLiteral("path"), device}}, QVariantMap()});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
    const QList<QDBusObjectPath> paths = qdbus_cast<QList<QDBusObjectPath>>(r.arguments().first());
    return paths.isEmpty() ? QString() : paths.first().path();
}

// UDisks2 2.10 and later pass mkfs arguments on; older ones format with mkfs.fat's defaults.
bool UDisksTakesMkfsArgs()
{
    const QStringList v = Property(QString::fromLatin1(kManager), "org.freedesktop.UDisks2.Manager", "Version")
                              .toString()
                              .split(QLatin1Char('.'));
    if (v.size() < 2) return false;
    const int major = v[0].toInt(), minor = v[1].toInt();
    return major > 2 || (major == 2 && minor >= 10);
}

// What UDisks2 says of the card's block object: removable media, and not a system device.
void AskUDisks(const QString& object, CardDevice* card)
{
    if (Property(object, "org.freedesktop.UDisks2.Block", "HintSystem").toBool()) card->systemDisk = true;
    const QString drive = Property(object, "org.freedesktop.UDisks2.Block", "Drive").value<QDBusObjectPath>().path();
    if (drive.isEmpty() || drive == QLatin1String("/")) return;
    if (Property(drive, "org.freedesktop.UDisks2.Drive", "Removable").toBool() ||
        Property(drive, "org.freedesktop.UDisks2.Drive", "MediaRemovable").toBool())
        card->removable = true;
}

QStringList MkfsArgs(int clusterBytes, int sectorSize)
{
    return {QStringLiteral("-F"), QStringLiteral("32"), QStringLiteral("-s"),
            QString::number(std::max(1, clusterBytes / std::max(1, sectorSize)))};
}

int RunTool(const QString& program, const QStringList& args, QString* error)
{
    const QString exe = QStandardPaths::findExecutable(program).isEmpty()
                            ? QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                            : QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) {
        if (error) *error = program + QStringLiteral(": not found");
        return -1;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(exe, args);
    if (!p.waitForStarted() || !p.waitForFinished(-1)) {
        if (error) *error = program + QStringLiteral(": ") + p.errorString();
        return -1;
    }
    if (p.exitStatus() != QProcess::NormalExit) {
        if (error) *error = program + QStringLiteral(": crashed");
        return -1;
    }
    if (p.exitCode() != 0 && error) *error = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitCode();
}

int FormatWithUDisks(const CardDevice& card, int clusterBytes, QString* mountedAt, QString* error)
{
    const QString object = BlockObject(card.device);
    if (object.isEmpty()) {
        if (error) *error = QStringLiteral("UDisks2 does not know ") + card.device;
        return 1;
    }
    const QDBusMessage unmounted = Call(object, "org.freedesktop.UDisks2.Filesystem", "Unmount", {QVariantMap()});
    if (unmounted.type() == QDBusMessage::ErrorMessage &&
        !unmounted.errorName().endsWith(QLatin1String("NotMounted")) && Failed(unmounted, error))
        return 1;

    int code = 0;
    const int sector = SectorSize(card.device);
    if (UDisksTakesMkfsArgs()) {
        const QVariantMap options{{QStringLiteral("mkfs-args"), MkfsArgs(clusterBytes, sector)}};
        code = Failed(Call(object, "org.freedesktop.UDisks2.Block", "Format", {QStringLiteral("vfat"), options}, kFormatMs), error) ? 1 : 0;
    } else if (::access(QFile::encodeName(card.device).constData(), W_OK) == 0) {
        code = RunMkfsFat(card.device, clusterBytes, sector, error);  // we may write it ourselves
    } else {
        code = Failed(Call(object, "org.freedesktop.UDisks2.Block", "Format", {QStringLiteral("vfat"), QVariantMap()}, kFormatMs), error) ? 1 : 0;
    }

    // Mounted again, formatted or not, so that the card stays in the drive table.
    const QDBusMessage mounted = Call(object, "org.freedesktop.UDisks2.Filesystem", "Mount", {QVariantMap()});
    if (mounted.type() == QDBusMessage::ReplyMessage && !mounted.arguments().isEmpty() && mountedAt)
        *mountedAt = mounted.arguments().first().toString();
    return code;
}

int FormatWithMkfs(const CardDevice& card, int clusterBytes, QString* mountedAt, QString* error)
{
    if (!card.mountRoot.isEmpty()) {
        const int code = RunTool(QStringLiteral("umount"), {card.mountRoot}, error);
        if (code != 0) return code;
    }
    const int code = RunMkfsFat(card.device, clusterBytes, SectorSize(card.device), error);
    if (!card.mountRoot.isEmpty() &&
        RunTool(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("vfat"), card.device, card.mountRoot}, nullptr) == 0 &&
        mountedAt)
        *mountedAt = card.mountRoot;
    return code;
}

}  // namespace

bool IsSystemDisk(const QString& device)
{
    const QSet<QString> target = DisksOf(device);
    if (target.isEmpty()) return false;
    // The folders of the running system; a live system's medium sits at one of the last ones.
    static const char* const kSystemMounts[] = {"/", "/boot", "/boot/efi", "/efi", "/usr", "/var",
                                                "/run/live/medium", "/lib/live/mount/medium", "/cdrom",
                                                "/run/initramfs/live"};
    const QList<QByteArray> lines = ReadSmall(QStringLiteral("/proc/self/mounts")).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 2 || !f[0].startsWith("/dev/")) continue;
        const QString at = QString::fromLocal8Bit(f[1]);
        bool system = false;
        for (const char* m : kSystemMounts) system = system || at == QLatin1String(m);
        if (system && DisksOf(QString::fromLocal8Bit(f[0])).intersects(target)) return true;
    }
    const QList<QByteArray> swaps = ReadSmall(QStringLiteral("/proc/swaps")).split('\n');
    for (const QByteArray& line : swaps) {
        const QByteArray source = line.split(' ').value(0);
        if (source.startsWith("/dev/") && DisksOf(QString::fromLocal8Bit(source)).intersects(target)) return true;
    }
    return false;
}

CardDevice Probe(const QString& drive)
{
    CardDevice card;
    const QChar letter = drive.isEmpty() ? QChar() : drive.at(0);
    const std::optional<DriveInfo> d = letter.isNull() ? std::nullopt : DriveTable::Find(letter);
    if (!d || !IsBlockDevice(d->device)) return card;
    card.device = d->device;
    card.mountRoot = d->root;
    card.removable = DriveTable::IsRemovableDevice(card.device);
    card.systemDisk = IsSystemDisk(card.device);
    if (HaveUDisks()) {
        const QString object = BlockObject(card.device);
        if (!object.isEmpty()) AskUDisks(object, &card);
    }
    return card;
}

bool MayFormat(const CardDevice& card)
{
    return card.removable && !card.systemDisk && IsBlockDevice(card.device) && !IsSystemDisk(card.device);
}

int Format(const CardDevice& card, int clusterBytes, QString* mountedAt, QString* error)
{
    if (!MayFormat(card)) {
        if (error) *error = QStringLiteral("not a removable card: ") + card.device;
        return 1;
    }
    return HaveUDisks() ? FormatWithUDisks(card, clusterBytes, mountedAt, error)
                        : FormatWithMkfs(card, clusterBytes, mountedAt, error);
}

int RunMkfsFat(const QString& target, int clusterBytes, int sectorSize, QString* error)
{
    return RunTool(QStringLiteral("mkfs.fat"), MkfsArgs(clusterBytes, sectorSize) << target, error);
}

int SectorSize(const QString& device)
{
    QString entry = SysEntry(device);
    if (entry.isEmpty() || !IsBlockDevice(device)) return 512;
    if (QFileInfo::exists(entry + QStringLiteral("/partition"))) entry = QFileInfo(entry).path();
    const int size = ReadSmall(entry + QStringLiteral("/queue/logical_block_size")).trimmed().toInt();
    return size >= 512 ? size : 512;
}

void OpenFolder(const QString& path) { QProcess::startDetached(QStringLiteral("xdg-open"), {path}); }

}  // namespace DiskFormat
