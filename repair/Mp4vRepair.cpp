#include "repair/Mp4vRepair.h"

#include "platform/FileAccess.h"
#include "repair/FrameCheck.h"
#include "repair/RepairOutput.h"
#include "repair/RepairPaths.h"
#include "repair/VopExtract.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kRepairWidth = 640;
constexpr int kRepairHeight = 480;

std::FILE* Open(const QString& path, const char* mode)
{
    return std::fopen(QFile::encodeName(path).constData(), mode);
}

// The source comes from the card: only a regular file is opened, so a pipe never blocks.
std::FILE* OpenSource(const QString& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}

void Close(std::FILE*& f)
{
    if (f) std::fclose(f);
    f = nullptr;
}

}  // namespace

int RunVopmux(int fps)
{
    const QString ffmpeg = FindFfmpeg();
    if (fps <= 0 || fps > 1000 || ffmpeg.isEmpty()) {
        std::fputs("Error : vopmux execute\n", stderr);
        return 0;
    }
    const int frameMs = 1000 / fps;
    // The tool's parameters: input, size and milliseconds a picture. The size is in the
    // stream's own header; the picture time becomes fixed time stamps.
    const QString stamps = QStringLiteral("setts=ts=N*%1/(1000*TB):duration=%1/(1000*TB)").arg(frameMs);
    QProcess tool;
    tool.setWorkingDirectory(RepairWorkDir());
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(ffmpeg, {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                        QStringLiteral("-f"), QStringLiteral("m4v"), QStringLiteral("-i"), QString::fromLatin1(kTmpChecked),
                        QStringLiteral("-c:v"), QStringLiteral("copy"), QStringLiteral("-bsf:v"), stamps,
                        QStringLiteral("-use_editlist"), QStringLiteral("0"),
                        QStringLiteral("-f"), QStringLiteral("3gp"), QString::fromLatin1(kTmpWrapped)});
    if (!tool.waitForStarted(-1)) {
        std::fputs("Error : vopmux execute\n", stderr);
        return 0;
    }
    tool.waitForFinished(-1);
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0 ? 1 : 0;
}

int RepairMp4v(const QString& inPath, const QString& outName, int fps, const RepairMessageFn& message)
{
    const QString dir = RepairWorkDir();
    const QString tmpVops = RepairWorkFile(kTmpVops);
    const QString tmpChecked = RepairWorkFile(kTmpChecked);
    const QString tmpWrapped = RepairWorkFile(kTmpWrapped);
    const QString output = QFileInfo(outName).absoluteFilePath();

    // A folder opens for reading here but reads nothing; treat it as what it is.
    const QString inFile = RepairNativePath(inPath);
    std::FILE* in = OpenSource(inFile);
    if (!in) {
        message(QStringLiteral("Error : can't open infile"));
        QDir().rmdir(dir);
        return 1;
    }

    std::FILE* tmp = nullptr;
    std::FILE* tmp2 = nullptr;
    int result = 1;
    auto cleanUp = [&] {
        Close(in);
        Close(tmp);
        Close(tmp2);
        QFile::remove(tmpVops);
        QFile::remove(tmpChecked);
        QFile::remove(tmpWrapped);
        QDir().rmdir(dir);  // only when nothing else lies there
        return result;
    };

    tmp = Open(tmpVops, "wb");
    if (!tmp) {
        message(QStringLiteral("Error : can't open tmpfile wb"));
        return cleanUp();
    }
    bool writeFailed = false;
    const std::uint64_t extracted = ExtractVops(in, tmp, &writeFailed);
    const bool tmpClosed = std::fclose(tmp) == 0;
    tmp = nullptr;
    if (writeFailed || !tmpClosed) {
        message(QStringLiteral("Error : can't write tmpfile"));
        return cleanUp();
    }
    if (std::ferror(in)) {
        message(QStringLiteral("Error : can't read infile"));  // a read fault is no end of file
        return cleanUp();
    }
    if (extracted == 0) {
        message(QStringLiteral("Error : can't extract mpeg4 bitstream from the infile"));
        return cleanUp();
    }
    Close(in);

    tmp = Open(tmpVops, "rb");
    if (!tmp) {
        message(QStringLiteral("Error : can't open tmp1file rb"));
        return cleanUp();
    }
    tmp2 = Open(tmpChecked, "wb");
    if (!tmp2) {
        message(QStringLiteral("Error : can't open tmp2file rb"));
        return cleanUp();
    }
    const std::uint64_t checked = CheckVops(tmp, tmp2, kRepairWidth, kRepairHeight);
    const bool closed = std::fclose(tmp2) == 0;
    tmp2 = nullptr;
    if (checked == 0 || !closed) {
        message(QStringLiteral("Error : can't extract mp4 actual bitstream from the tmpfile\n"));
        return cleanUp();
    }
    Close(tmp);

    QFile::remove(tmpWrapped);
    if (FindFfmpeg().isEmpty()) {
        message(QStringLiteral("Error : ffmpeg is not installed"));
        return cleanUp();
    }
    // The former output stays unless a new one is there to take its place.
    if (RunVopmux(fps) != 1 || QFileInfo(tmpWrapped).size() <= 0) {
        message(QStringLiteral("Error : can't wrap the bitstream into 3gp"));
        return cleanUp();
    }
    QFile::remove(tmpVops);
    QFile::remove(tmpChecked);
    // What the decoder let through may still be no picture at all (random bytes that held
    // start codes): only a file that plays is a repair.
    if (FinishRepairOutput(tmpWrapped, output, outName, message)) result = 0;
    return cleanUp();
}
