#pragma once
// Method 1 of the repair: cut the VOPs out of a damaged MPEG-4 recording, keep what the
// built-in decoder accepts behind a new VOL header, wrap that into 3GP and move it to the
// output name.
#include "repair/RepairOutput.h"

#include <QString>

inline constexpr const char* kTmpVops = "tmp.bin";
inline constexpr const char* kTmpChecked = "tmp2.bin";
inline constexpr const char* kTmpWrapped = "tmp2.3gp";

// Returns 0 when outName holds the repaired recording and it plays, 1 when a step failed
// (its message was shown and a former file of that name is left as it was). Work files go
// to the repair's work folder and are removed on every way out.
int RepairMp4v(const QString& inPath, const QString& outName, int fps, const RepairMessageFn& message);

// Wraps tmp2.bin of the work folder into tmp2.3gp there, 1000 / fps milliseconds a
// picture, and waits for it. Returns 1 when the wrap ran and succeeded, 0 otherwise.
int RunVopmux(int fps);
