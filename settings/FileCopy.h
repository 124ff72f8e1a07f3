#pragma once
// Copying a recording off the card. The bytes go to a hidden temporary file in the target
// folder, which takes the file's name in one rename once every byte is there: a failed or
// cancelled copy never leaves a cut file under the recording's name, and an earlier file of
// that name stays whole until the new one is complete.
#include <QString>
#include <cstdint>
#include <functional>

enum class CopyResult { Ok, Cancelled, Failed };

// Bytes copied so far and the source's size; answering false cancels the copy. Called on the
// thread that copies, between chunks.
using CopyProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// *error gets the system's reason on failure.
CopyResult CopyFileReplacing(const QString& source, const QString& destination, const CopyProgress& progress,
                             QString* error = nullptr);
