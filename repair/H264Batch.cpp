#include "repair/H264Batch.h"

#include "platform/FileAccess.h"
#include "repair/RepairPaths.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <unistd.h>

namespace {

constexpr const char* kH264RunDir = "h264";

QByteArray ShellQuote(const QByteArray& text)
{
    QByteArray quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

double Seconds(const QRegularExpressionMatch& m)
{
    return m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
}

// ffmpeg's log: the input's length once ("Duration: 00:00:03.00"), then how far it got on
// every status line ("time=00:00:01.20"); its last line says why it failed.
class FfmpegLog {
public:
    explicit FfmpegLog(const RepairProgressFn& progress) : m_progress(progress) {}

    void Feed(const QByteArray& bytes)
    {
        m_pending += bytes;
        qsizetype start = 0;
        for (qsizetype i = 0; i < m_pending.size(); ++i) {
            if (m_pending[i] != '\n' && m_pending[i] != '\r') continue;
            Line(QString::fromLocal8Bit(m_pending.mid(start, i - start)).trimmed());
            start = i + 1;
        }
        m_pending.remove(0, start);
    }
    QString LastLine()
    {
        Feed("\n");
        return m_last;
    }

private:
    void Line(const QString& line)
    {
        if (line.isEmpty()) return;
        m_last = line;
        static const QRegularExpression duration(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+(?:\\.\\d+)?)"));
        static const QRegularExpression time(QStringLiteral("time=(\\d+):(\\d+):(\\d+(?:\\.\\d+)?)"));
        if (const auto m = duration.match(line); m.hasMatch()) m_duration = Seconds(m);
        if (const auto m = time.match(line); m.hasMatch() && m_duration > 0 && m_progress)
            m_progress(static_cast<int>(std::clamp(Seconds(m) / m_duration * 100, 0.0, 100.0)));
    }

    RepairProgressFn m_progress;
    QByteArray m_pending;
    QString m_last;
    double m_duration = 0;
};

// Only a regular file is opened (a pipe would block), and a file may open and then fail to
// read: the infile must give its first bytes (or be empty).
bool CanRead(const QString& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    char byte;
    const bool ok = ::read(fd, &byte, 1) >= 0;
    ::close(fd);
    return ok;
}

}  // namespace

QByteArray H264BatchLine(const QString& path)
{
    // Four words joined by blanks; the last two bring their own leading blank.
    const QByteArray words[] = {"ffmpeg -i", ShellQuote(QFile::encodeName(RepairNativePath(path))),
                                " -r 30 -vcodec copy", QByteArray(" ") + kH264RepairOutput};
    return words[0] + ' ' + words[1] + ' ' + words[2] + ' ' + words[3];
}

QString H264BatchPath()
{
    return RepairWorkFile(kH264BatchName);
}

bool WriteH264Batch(const QString& path)
{
    // Replaced in one step: a shell still running a former script keeps reading its own.
    QSaveFile file(H264BatchPath());
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray line = H264BatchLine(path);
    if (file.write(line) != line.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

int MakeH264Batch(const QString& path, const RepairMessageFn& message, const RepairProgressFn& progress)
{
    if (!CanRead(RepairNativePath(path))) {
        message(QStringLiteral("Error : can't open infile"));
        return 1;
    }
    if (FindFfmpeg().isEmpty()) {
        message(QStringLiteral("Error : ffmpeg is not installed"));
        return 1;
    }
    if (!WriteH264Batch(path)) {
        message(QStringLiteral("Error : can't write ") + H264BatchPath());
        return 1;
    }
    const QString script = H264BatchPath();
    // ffmpeg writes into an empty folder of its own: it never meets a former output (and
    // its question before overwriting, which nobody is there to answer), and a failed run
    // leaves its part-written file there only.
    QDir runDir(RepairWorkFile(kH264RunDir));
    runDir.removeRecursively();
    QDir().mkpath(runDir.path());
    auto cleanUp = [&](int result) {
        QFile::remove(script);
        runDir.removeRecursively();
        return result;
    };

    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({script});
    process.setWorkingDirectory(runDir.path());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    FfmpegLog log(progress);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop,
                     [&] { log.Feed(process.readAllStandardError()); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start();
    if (!process.waitForStarted(-1)) {
        message(QStringLiteral("Error : can't start ") + script);
        return cleanUp(1);
    }
    if (process.state() != QProcess::NotRunning) loop.exec();
    log.Feed(process.readAllStandardError());

    if (process.exitStatus() != QProcess::NormalExit) {
        message(QStringLiteral("Error : ffmpeg stopped before the end"));
        return cleanUp(1);
    }
    if (process.exitCode() != 0) {
        message(QStringLiteral("Error : ffmpeg could not rewrap the infile\n") + log.LastLine());
        return cleanUp(1);
    }
    const QString output = QDir::current().absoluteFilePath(QString::fromLatin1(kH264RepairOutput));
    const bool done = FinishRepairOutput(runDir.filePath(QString::fromLatin1(kH264RepairOutput)), output,
                                         QString::fromLatin1(kH264RepairOutput), message);
    return cleanUp(done ? 0 : 1);
}
