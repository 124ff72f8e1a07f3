#include "repair/RepairOutput.h"

#include "media/FrameGrabber.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

// A rename where possible, else a copy to a temporary file beside the output that is then
// renamed over it, so the name never holds a partial file.
bool ReplaceOutput(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) return false;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly)) return false;
    char chunk[1 << 16];
    for (;;) {
        const qint64 n = source.read(chunk, sizeof chunk);
        if (n < 0) {
            target.cancelWriting();
            return false;
        }
        if (n == 0) break;
        if (target.write(chunk, n) != n) {
            target.cancelWriting();
            return false;
        }
    }
    return target.commit();
}

}  // namespace

bool HoldsPictures(const QString& path)
{
    FrameGrabber grabber;
    if (!grabber.Open(QFile::encodeName(path).toStdString())) return false;
    GrabbedPicture picture;
    for (int stream = 0; stream < grabber.GetOutputStreams(); ++stream)
        if (grabber.GrabFrame(stream, 0.0, 16, 16, &picture)) return true;
    return false;
}

bool FinishRepairOutput(const QString& made, const QString& output, const QString& outName,
                        const RepairMessageFn& message)
{
    bool done = false;
    if (!HoldsPictures(made))
        message(QStringLiteral("Error : the repaired file holds no picture"));
    else if (!ReplaceOutput(made, output))
        message(QStringLiteral("Error : can't write the output file ") + outName);
    else
        done = true;
    QFile::remove(made);
    return done;
}
