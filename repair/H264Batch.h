#pragma once
// Method 2 of the repair: rewrap an H.264 recording with ffmpeg through a one-line shell
// script in the repair's work folder.
#include <QByteArray>
#include <QString>

// The script's one line (no line end) for the chosen recording. A drive path ("D:\a.mp4")
// names the file below that drive's root; the path is quoted for the shell.
QByteArray H264BatchLine(const QString& path);
QString H264BatchPath();  // <work folder>/make_h264_use_ffmpeg.sh

// Writes the script (truncating a former one); false when it cannot be written, and
// then no script is left.
bool WriteH264Batch(const QString& path);

enum class H264BatchResult { Started, NoFfmpeg, CannotWrite, CannotStart };

// Writes the script and starts it without waiting, in the current directory, so the
// output lands there. The script is removed once ffmpeg is done with it.
H264BatchResult MakeH264Batch(const QString& path);
