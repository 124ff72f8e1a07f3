#pragma once
// Names and folders of the repair: the work folder of the program, the outputs and the
// outside programs it runs.
#include <QString>

// The MPEG-4 repair's output, relative to the current directory.
extern QString g_strRepairOutput;  // "Repair_Pomel.mp4"

inline constexpr const char* kH264RepairOutput = "Repair_MinaRove_case1.mp4";
inline constexpr const char* kH264BatchName = "make_h264_use_ffmpeg.sh";

// Registry place of the separate repair program's path.
inline constexpr const char* kRepairProgramKey = "HKEY_CURRENT_USER\\Software\\Halvenric\\Quenlow";
inline constexpr const char* kRepairProgramValue = "ClipMender";
inline constexpr const char* kRepairProgramName = "ClipMender";

// A drive path ("D:\a.mp4") as the file below that drive's root; any other path as it is.
QString RepairNativePath(const QString& path);

// $XDG_DATA_HOME/velmora-viewer/Recovery, created on demand.
QString RepairWorkDir();
// <work folder>/name.
QString RepairWorkFile(const char* name);
// ffmpeg from PATH; empty when it is not installed.
QString FindFfmpeg();
// The separate repair program: the registry's path when set, else ClipMender on PATH.
// Empty when there is no executable file there.
QString FindRepairProgram();
