#pragma once
// The filters the graph is built from, by class id, and the GStreamer element
// factories that stand in for each of them.
#include "platform/ComResult.h"

#include <cstddef>

// Answer of the source filter's data-sample read after the last sample.
constexpr HRESULT kDataSampleEnd = 38;

enum class FilterClass {
    Source,          // stream-parse source (our bin of filesrc and the container's demuxer)
    AacDecoder,
    AudioRenderer,
    VideoDecoder,    // one factory per codec, chosen by the stream's caps
    ColorConverter,
    VideoRenderer,
    Brightness,      // only checked for, never added
};

struct FilterEntry {
    FilterClass cls;
    const char* clsid;
    // Factories the filter needs; all must be registered for the filter to count as present.
    const char* factories[4];
};

// The entry of a filter class.
const FilterEntry& FindFilterEntry(FilterClass cls);

// True when every factory of the filter class is in the GStreamer registry.
bool FilterRegistered(FilterClass cls);

// Decoder factory for a video stream's codec, nullptr when none is known.
enum class StreamCodec { Unknown, H264, Mpeg4, Aac, Pcm };
const char* VideoDecoderFactory(StreamCodec codec);
