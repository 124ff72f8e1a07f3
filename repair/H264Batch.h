#pragma once
// Method 2 of the repair: rewrap an H.264 recording with ffmpeg through a one-line shell
// script in the repair's work folder.
#include "repair/RepairOutput.h"

#include <QByteArray>
#include <QString>
#include <functional>

// How far a running repair got, 0 to 100.
using RepairProgressFn = std::function<void(int percent)>;

// The script's one line (no line end) for the chosen recording. A drive path ("D:\a.mp4")
// names the file below that drive's root; the path is quoted for the shell.
QByteArray H264BatchLine(const QString& path);
QString H264BatchPath();  // <work folder>/make_h264_use_ffmpeg.sh

// Writes the script (truncating a former one); false when it cannot be written, and
// then no script is left.
bool WriteH264Batch(const QString& path);

// Writes the script and runs it in a folder of its own, serving the event loop while
// ffmpeg works and passing on how far it got. Its output must hold pictures; it then takes
// the name Repair_MinaRove_case1.mp4 in the current directory. Returns 0 when it did, 1
// when a step failed: its message was shown, no new file is left and a former output
// stays. The script is removed on every way out.
int MakeH264Batch(const QString& path, const RepairMessageFn& message, const RepairProgressFn& progress = {});
