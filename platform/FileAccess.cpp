#include "platform/FileAccess.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlongs, no surrogates,
// nothing above U+10FFFF), or 0.
int Utf8Length(const unsigned char* p, std::size_t left)
{
    const unsigned c = p[0];
    if (c < 0x80) return 1;
    int n;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else return 0;
    if (left < static_cast<std::size_t>(n)) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    for (int i = 2; i < n; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return n;
}

bool IsEscape(QChar c) { return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF; }

FileCheck CheckOfErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR: return FileCheck::Missing;
    case ELOOP: return FileCheck::NotRegular;
    case EACCES:
    case EPERM: return FileCheck::NoAccess;
    default: return FileCheck::Failed;
    }
}

int Fail(FileCheck* check, FileCheck why)
{
    if (check) *check = why;
    return -1;
}

}  // namespace

QString FileNameFromBytes(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t n = static_cast<std::size_t>(bytes.size());
    std::size_t i = 0;
    while (i < n) {
        const int len = Utf8Length(p + i, n - i);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        out.append(QString::fromUtf8(reinterpret_cast<const char*>(p + i), len));
        i += static_cast<std::size_t>(len);
    }
    return out;
}

QByteArray FileNameToBytes(const QString& name)
{
    QByteArray out;
    out.reserve(name.size());
    qsizetype run = 0;  // start of the characters not yet written
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsEscape(name.at(i))) continue;
        // An escape belongs to no pair: a high surrogate before it would make it one.
        if (i > 0 && name.at(i - 1).isHighSurrogate()) continue;
        out.append(name.mid(run, i - run).toUtf8());
        out.append(static_cast<char>(name.at(i).unicode() - kEscapeBase));
        run = i + 1;
    }
    out.append(name.mid(run).toUtf8());
    return out;
}

int OpenRegularFile(const QString& path, FileCheck* check, qint64* size)
{
    if (path.isEmpty()) return Fail(check, FileCheck::Missing);
    const QByteArray native = FileNameToBytes(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return Fail(check, CheckOfErrno(errno));
    if (!S_ISREG(st.st_mode)) return Fail(check, FileCheck::NotRegular);
    // Not blocking, in case the name was given to a pipe since: the type is tested again on
    // what opened.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(check, CheckOfErrno(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(check, FileCheck::NotRegular);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (check) *check = FileCheck::Ok;
    if (size) *size = static_cast<qint64>(st.st_size);
    return fd;
}

FileCheck CheckRegularFile(const QString& path, qint64* size)
{
    FileCheck check = FileCheck::Failed;
    const int fd = OpenRegularFile(path, &check, size);
    if (fd >= 0) ::close(fd);
    return check;
}

std::vector<FolderEntry> ListFolder(const QString& folder)
{
    std::vector<FolderEntry> entries;
    const QByteArray native = FileNameToBytes(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir) return entries;
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        FolderEntry entry;
        entry.name = FileNameFromBytes(QByteArray(name));
        struct stat st {};
        if (::fstatat(dfd, name, &st, 0) == 0) {
            entry.folder = S_ISDIR(st.st_mode);
            entry.file = !entry.folder;
        } else {
            // A loop of links or one to nothing: there, but no folder to search.
            entry.file = ::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        }
        entries.push_back(entry);
    }
    ::closedir(dir);
    return entries;
}

QString CanonicalFolder(const QString& folder)
{
    char resolved[PATH_MAX];
    if (!::realpath(FileNameToBytes(folder).constData(), resolved)) return {};
    return FileNameFromBytes(QByteArray(resolved));
}
