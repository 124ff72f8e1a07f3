#pragma once
// Rules over recording names and drives shared by the viewer and the settings code.
// They keep no state.
#include <QString>

// True when recording name a sorts before b. ".mp4", "_I" and "_" are ignored, so
// "20240131_120000_I.mp4" compares as its fourteen digits.
bool CompareRecordingNames(const QString& a, const QString& b);

// Splits the file name of a ".mp4" or ".avi" recording at its '^' marks: the 15
// characters after the first '^' (YYYYMMDD_HHMMSS), then three '^'-ended fields and
// the rest without its extension. Writes nothing for other paths.
void SplitRecordingName(const QString& path, QString* dateTime, QString* field2, QString* field3,
                        QString* field4, QString* last);

// Whether a file name ends in ".mp4" or ".avi", in any case.
bool HasRecordingExtension(const QString& name);

// Finds the camera's card: the first drive from D: to Y: that holds an "EVENT"
// folder (any case). On success *drive is "E:" and the answer is true.
bool FindEventDrive(QString* drive);

// The map buttons' provider query: always an empty string, stored in *out.
QString GetMapProvider(QString* out, int layoutMode, const QString& text);
