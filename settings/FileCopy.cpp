#include "settings/FileCopy.h"

#include "platform/FileAccess.h"
#include "settings/CardFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough to keep a card reader busy, small enough that cancel answers at once.
constexpr std::size_t kChunk = 4 << 20;

// The temporary file of a copy: closed and removed when it goes, unless it was kept.
class TempFile {
public:
    explicit TempFile(std::vector<char> name) : m_name(std::move(name)), m_fd(::mkstemp(m_name.data())), m_created(m_fd >= 0) {}
    ~TempFile()
    {
        if (m_fd >= 0) ::close(m_fd);
        if (m_created && !m_kept) ::unlink(m_name.data());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Opened() const { return m_created; }
    int fd() const { return m_fd; }
    const char* name() const { return m_name.data(); }
    bool Close()
    {
        const int r = ::close(m_fd);
        m_fd = -1;
        return r == 0;
    }
    void Keep() { m_kept = true; }

private:
    std::vector<char> m_name;
    int m_fd;
    bool m_created;
    bool m_kept = false;
};

// The temporary file's name beside the destination: hidden, after the destination's name
// while that fits in a folder entry; a long name (a folder entry holds 255 bytes) gives way
// to a short one rather than make the copy fail.
QByteArray TempNameBeside(const QFileInfo& destination)
{
    constexpr int kNameMax = 255;
    const QByteArray folder = FileNameToBytes(destination.absolutePath()) + '/';
    const QByteArray name = "." + FileNameToBytes(destination.fileName()) + ".XXXXXX";
    return folder + (name.size() <= kNameMax ? name : QByteArray(".copy.XXXXXX"));
}

// The process's file-creation mask, read without changing it (other threads create files).
mode_t CurrentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 022;
}

// One chunk from in to out: the kernel copies it when it can (no trip through our memory,
// and copy-on-write file systems share the blocks), else read and write. The bytes copied,
// 0 at the end, -1 on error.
ssize_t CopyChunk(int in, int out, std::vector<char>* buffer, bool* kernelCopy)
{
    if (*kernelCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n >= 0) return n;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM) return -1;
        *kernelCopy = false;  // not between these two file systems: copy by hand from here
    }
    if (buffer->empty()) buffer->resize(kChunk);
    ssize_t n;
    do n = ::read(in, buffer->data(), buffer->size());
    while (n < 0 && errno == EINTR);
    if (n > 0 && !WriteAll(out, buffer->data(), static_cast<std::size_t>(n))) return -1;
    return n;
}

}  // namespace

CopyResult CopyFileReplacing(const QString& source, const QString& destination, const CopyProgress& progress,
                             QString* error)
{
    const auto fail = [&](const QString& what, int err) {
        if (error) *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
        return CopyResult::Failed;
    };
    if (source.isEmpty()) return fail(QStringLiteral("no file"), ENOENT);
    if (destination.isEmpty()) return fail(QStringLiteral("no target"), ENOENT);
    const QFileInfo src(source), dst(destination);
    // A copy onto itself is complete as it stands.
    if (dst.exists() && src.exists() && src.canonicalFilePath() == dst.canonicalFilePath()) return CopyResult::Ok;

    // A named pipe or a device is refused by its type, never waited on.
    FileCheck check = FileCheck::Failed;
    qint64 size = 0;
    const int in = OpenRegularFile(source, &check, &size);
    if (in < 0) return fail(source, check == FileCheck::NotRegular ? EINVAL : errno);
    const std::int64_t total = size;

    const QByteArray temp = TempNameBeside(dst);
    TempFile out(std::vector<char>(temp.constData(), temp.constData() + temp.size() + 1));
    if (!out.Opened()) {
        const int err = errno;
        ::close(in);
        return fail(dst.absolutePath(), err);
    }
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::vector<char> buffer;
    bool kernelCopy = true;
    std::int64_t done = 0;
    CopyResult result = CopyResult::Ok;
    int err = 0;
    if (progress && !progress(0, total)) result = CopyResult::Cancelled;
    while (result == CopyResult::Ok) {
        const ssize_t n = CopyChunk(in, out.fd(), &buffer, &kernelCopy);
        if (n < 0) {
            err = errno;
            result = CopyResult::Failed;
            break;
        }
        if (n == 0) break;
        done += n;
        if (progress && !progress(done, total)) result = CopyResult::Cancelled;
    }
    ::close(in);
    if (result == CopyResult::Cancelled) return result;
    if (result == CopyResult::Failed) return fail(destination, err);
    // A source that ended before the length it had when opened (cut off, its card going) is
    // no whole copy.
    if (done < total) return fail(source, EIO);
    // The copy is on the disk before it takes the name and is reported done.
    if (::fsync(out.fd()) != 0 && errno != EINVAL) return fail(destination, errno);

    // The copy gets the permissions a new file of the user gets (the card's own say nothing).
    ::fchmod(out.fd(), 0666 & ~CurrentUmask());
    if (!out.Close()) return fail(destination, errno);
    if (::rename(out.name(), FileNameToBytes(destination).constData()) != 0) return fail(destination, errno);
    out.Keep();
    return CopyResult::Ok;
}
