// Times DOWN's copy (with its progress window, offscreen) of a 500 MB recording between two
// folders of one disk, beside cp of the same file.
//   download_bench [--mb N] [--rounds N] [--dir FOLDER]
// The file is made in a fresh scratch folder under FOLDER (the system's temporary folder by
// default) and removed at the end. Prints the median times and their ratio (DOWN / cp).
#include "settings/Download.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

bool MakeFile(const QString& path, int mb)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    std::mt19937_64 rng(1);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MB
    for (int i = 0; i < mb; ++i) {
        for (auto& w : block) w = rng();
        if (f.write(reinterpret_cast<const char*>(block.data()), 1 << 20) != (1 << 20)) return false;
    }
    return true;
}

// Writes back what earlier rounds left in memory, so that no round pays for another.
void Settle(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int mb = 500, rounds = 5;
    QString base = QDir::tempPath();
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--mb")) mb = std::atoi(argv[i + 1]);
        else if (a == QLatin1String("--rounds")) rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == QLatin1String("--dir")) base = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir scratch(base + QStringLiteral("/download_bench-XXXXXX"));
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot make a scratch folder under %s\n", qPrintable(base));
        return 1;
    }
    const QString src = scratch.filePath(QStringLiteral("card"));
    const QString dst = scratch.filePath(QStringLiteral("target"));
    QDir().mkpath(src);
    QDir().mkpath(dst);
    const QString recording = src + QStringLiteral("/20170811_123456_NF.mp4");
    if (!MakeFile(recording, mb)) {
        std::fprintf(stderr, "cannot write %d MB into %s\n", mb, qPrintable(src));
        return 1;
    }

    std::vector<double> down, cp;
    for (int r = 0; r < rounds; ++r) {
        const QString byDown = dst + QStringLiteral("/down.mp4");
        const QString byCp = dst + QStringLiteral("/cp.mp4");
        QFile::remove(byDown);
        QFile::remove(byCp);
        Settle(scratch.path());
        Clock::time_point t0 = Clock::now();
        if (CopyWithProgress(nullptr, 1, recording, byDown) != CopyResult::Ok) {
            std::fprintf(stderr, "DOWN failed\n");
            return 1;
        }
        down.push_back(Seconds(Clock::now() - t0));
        Settle(scratch.path());
        t0 = Clock::now();
        if (QProcess::execute(QStringLiteral("cp"), {recording, byCp}) != 0) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
        cp.push_back(Seconds(Clock::now() - t0));
    }
    const double d = Median(down), c = Median(cp);
    std::printf("file %d MB, %d rounds, folder %s\n", mb, rounds, qPrintable(scratch.path()));
    std::printf("DOWN median %.3f s (%.0f MB/s)\n", d, mb / d);
    std::printf("cp   median %.3f s (%.0f MB/s)\n", c, mb / c);
    std::printf("ratio DOWN / cp: %.3f\n", d / c);
    return 0;
}
