#include "repair/H264Batch.h"

#include "repair/RepairPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace {

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

H264BatchResult MakeH264Batch(const QString& path)
{
    if (FindFfmpeg().isEmpty()) return H264BatchResult::NoFfmpeg;
    if (!WriteH264Batch(path)) return H264BatchResult::CannotWrite;
    const QString script = H264BatchPath();

    // Detached, so ffmpeg finishes even when the viewer closes first; the script goes
    // when it ends. No terminal: ffmpeg's question before overwriting an existing output
    // is answered by the empty input (the former file stays).
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), QStringLiteral("sh \"$1\"; status=$?; rm -f \"$1\"; exit $status"),
                          QStringLiteral("sh"), script});
    process.setWorkingDirectory(QDir::currentPath());
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        QFile::remove(script);
        return H264BatchResult::CannotStart;
    }
    return H264BatchResult::Started;
}
