#pragma once
// The last step of both repair methods: the file a method made must hold pictures that a
// player decodes before it takes the output's name.
#include <QString>
#include <functional>

// Shows one message to the user (the dialog passes a message box).
using RepairMessageFn = std::function<void(const QString& text)>;

// True when a video stream of the file gives at least one decoded, undamaged picture.
bool HoldsPictures(const QString& path);

// Moves made to output (an absolute path) in one step when it holds pictures; otherwise
// says why through message, outName naming the output. made is gone afterwards either way;
// a former output stays unless the new file took its place. True when it did.
bool FinishRepairOutput(const QString& made, const QString& output, const QString& outName,
                        const RepairMessageFn& message);
