#pragma once
// The program's own folders, following the XDG base directory rules.
#include <QString>

namespace Paths {

inline constexpr const char* kProgramName = "velmora-viewer";

QString ConfigDir();  // $XDG_CONFIG_HOME/velmora-viewer, created on demand
QString DataDir();    // $XDG_DATA_HOME/velmora-viewer, created on demand (work files)

}  // namespace Paths
