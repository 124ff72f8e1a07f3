#pragma once
// The key frames of an AVI that lost its index (a camera that lost power before it wrote
// idx1). GStreamer's avidemux then scans the chunks itself but takes every picture for a key
// frame, so a seek lands on the next real one, or runs off the end in the last group of
// pictures. The walk below finds the real ones from the first bytes of each picture.
#include "media/FilterTable.h"

#include <QString>
#include <cstdint>
#include <vector>

struct AviVideoTrack {
    int streamNumber = 0;        // the "NN" of its chunks ("00dc")
    StreamCodec codec = StreamCodec::Unknown;
    double frameSeconds = 0.0;   // one chunk, one picture
};

// Times (100-ns units) of the key frames of each track, in track order; empty when the file
// keeps an index (idx1 or OpenDML), is no AVI or cannot be read.
std::vector<std::vector<std::int64_t>> FindAviKeyFrames(const QString& path,
                                                        const std::vector<AviVideoTrack>& tracks);
