#pragma once
// The recording's source: a bin of filesrc and the container's demuxer (qtdemux for
// MP4, avidemux for AVI) with one ghost pad per video or audio track, named "Video_n"
// or "Audio_n". The pads exist from Load on, before the demuxer has found its streams,
// so the graph can be linked at build time; each is aimed at its demuxer pad when that
// appears. The data samples are read with libavformat from the data track.
#include "media/FilterTable.h"
#include "platform/ComResult.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _GstElement;
struct _GstPad;

class HVStreamParseFilter {
public:
    struct Pin {
        std::string name;     // "Video_1", "Video_2", "Audio_1"
        bool video = false;
        StreamCodec codec = StreamCodec::Unknown;
        int width = 0;        // video only
        int height = 0;
        _GstPad* pad = nullptr;  // the bin's ghost pad
    };

    explicit HVStreamParseFilter(const char* name = "HVStreamParseFilter");
    ~HVStreamParseFilter();
    HVStreamParseFilter(const HVStreamParseFilter&) = delete;
    HVStreamParseFilter& operator=(const HVStreamParseFilter&) = delete;

    // The bin; the filter keeps one reference of its own.
    _GstElement* Element() const { return m_bin; }

    void SetSourceFlag(std::uint8_t flag) { m_bSourceFlag = flag; }
    std::uint8_t SourceFlag() const { return m_bSourceFlag; }

    // Opens the file: probes its tracks, makes the demuxer and the pins.
    // S_OK, or E_FAIL when the file is missing, not a recording, or unreadable.
    HRESULT Load(const QString& path);

    // What a file holds, read from its container's header alone (no graph, no decoding):
    // kNotARecording when no demuxer reads it (or it is no regular file), kNoDataTrack, or
    // kHasDataTrack.
    enum DataTrackProbe { kNotARecording = -1, kNoDataTrack = 0, kHasDataTrack = 1 };
    static DataTrackProbe ProbeDataTrack(const QString& path);

    // Output pins in track order (front video first).
    const std::vector<Pin>& Pins() const { return m_pins; }
    // AVI carries H.264 as a byte stream, one picture a chunk, without saying so in its caps.
    bool IsAvi() const { return m_bAvi; }
    // Duration found by the probe, 100-ns units, 0 when unknown.
    std::int64_t ProbedDuration() const { return m_llProbedDuration; }
    // Where a seek to pos (100-ns units) lands: in an AVI that lost its index, the last
    // key frame at or before it of every video track (its demuxer takes every picture for
    // a key frame and would land on the next real one, or run off the end); pos elsewhere.
    std::int64_t ReachableSeekTarget(std::int64_t pos) const;

    // One data sample per call: S_OK with the sample (cut to *size bytes when longer;
    // *size becomes the bytes written) and its stamp in milliseconds, kDataSampleEnd after
    // the last one, E_FAIL when the file has no data track or cannot be read, E_POINTER
    // for a missing argument.
    HRESULT ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp);

private:
    struct DataReader;
    static void OnPadAdded(_GstElement* demux, _GstPad* pad, void* self);
    static void OnNoMorePads(_GstElement* demux, void* self);
    void Attach(_GstPad* demuxPad);

    _GstElement* m_bin = nullptr;
    _GstElement* m_demux = nullptr;
    std::vector<Pin> m_pins;
    int m_nVideoSeen = 0;   // demuxer pads met so far, by kind
    int m_nAudioSeen = 0;
    std::int64_t m_llProbedDuration = 0;
    std::uint8_t m_bSourceFlag = 1;
    bool m_bAvi = false;
    std::vector<std::uint64_t> m_aviHidden;  // header lists shown to the demuxer as JUNK
    std::vector<std::vector<std::int64_t>> m_aviKeyFrames;  // per video track, when the index is lost
    QString m_source;      // the recording as the program names it
    std::string m_path;    // the same as the system's bytes
    std::unique_ptr<DataReader> m_reader;
};
