#include "media/HVStreamParseFilter.h"

#include "media/AviKeyFrames.h"
#include "platform/FileAccess.h"

#include <QFile>
#include <algorithm>
#include <cstring>

#include <gst/gst.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace {

StreamCodec CodecOf(const AVCodecParameters* par)
{
    switch (par->codec_id) {
    case AV_CODEC_ID_H264: return StreamCodec::H264;
    case AV_CODEC_ID_MPEG4: return StreamCodec::Mpeg4;
    case AV_CODEC_ID_AAC: return StreamCodec::Aac;
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_MULAW:
    case AV_CODEC_ID_PCM_ALAW: return StreamCodec::Pcm;
    default: return StreamCodec::Unknown;
    }
}

// MP4 tags the data track "gpmd"; AVI keeps no format for it at all.
bool IsDataStream(const AVStream* st)
{
    const AVMediaType t = st->codecpar->codec_type;
    return t == AVMEDIA_TYPE_DATA || t == AVMEDIA_TYPE_UNKNOWN || st->codecpar->codec_tag == MKTAG('g', 'p', 'm', 'd');
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// Only a regular file: libavformat would wait for ever on a named pipe or a device.
FormatPtr OpenFormat(const QString& path)
{
    if (CheckRegularFile(path) != FileCheck::Ok) return nullptr;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, FileNameToBytes(path).constData(), nullptr, nullptr) < 0) return nullptr;
    return FormatPtr(ctx);
}

std::uint32_t Le32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// File offsets of the stream-list chunks ("LIST" .. "strl") of an AVI's header that
// describe neither video nor audio and come after every one that does.
std::vector<std::uint64_t> FindTrailingDataLists(const QString& path)
{
    std::vector<std::uint64_t> found;
    QFile f;
    const int fd = OpenRegularFile(path);
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return found;
    const QByteArray head = f.read(1 << 20);
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const std::size_t n = static_cast<std::size_t>(head.size());
    if (n < 24 || std::memcmp(d, "RIFF", 4) || std::memcmp(d + 8, "AVI ", 4)) return found;
    // The header list first.
    std::size_t at = 12;
    if (std::memcmp(d + at, "LIST", 4) || std::memcmp(d + at + 8, "hdrl", 4)) return found;
    const std::size_t hdrlEnd = std::min<std::size_t>(n, at + 8 + Le32(d + at + 4));
    at += 12;
    while (at + 12 <= hdrlEnd) {
        const std::uint32_t size = Le32(d + at + 4);
        if (!std::memcmp(d + at, "LIST", 4) && !std::memcmp(d + at + 8, "strl", 4)) {
            bool av = false;
            if (at + 24 <= n && !std::memcmp(d + at + 12, "strh", 4))
                av = !std::memcmp(d + at + 20, "vids", 4) || !std::memcmp(d + at + 20, "auds", 4);
            if (av) found.clear();
            else found.push_back(at);
        }
        at += 8 + size + (size & 1);
    }
    return found;
}

// Pull probe on the file source: rewrites the hidden lists' "LIST" as "JUNK".
GstPadProbeReturn HideAviLists(GstPad*, GstPadProbeInfo* info, gpointer hidden)
{
    const auto& lists = *static_cast<const std::vector<std::uint64_t>*>(hidden);
    GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buf || GST_BUFFER_OFFSET(buf) == GST_BUFFER_OFFSET_NONE) return GST_PAD_PROBE_OK;
    const std::uint64_t start = GST_BUFFER_OFFSET(buf);
    const std::uint64_t end = start + gst_buffer_get_size(buf);
    for (std::uint64_t at : lists) {
        if (at + 4 <= start || at >= end) continue;
        buf = gst_buffer_make_writable(buf);
        for (std::uint64_t i = 0; i < 4; ++i)
            if (at + i >= start && at + i < end)
                gst_buffer_fill(buf, static_cast<gsize>(at + i - start), &"JUNK"[i], 1);
        GST_PAD_PROBE_INFO_DATA(info) = buf;
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace

// Walks the data track once, one packet per call; the other tracks are skipped unread.
struct HVStreamParseFilter::DataReader {
    FormatPtr fmt;
    int stream = -1;
    bool failed = false;
    bool ended = false;
    AVPacket* pkt = nullptr;

    ~DataReader() { av_packet_free(&pkt); }

    bool Open(const QString& path)
    {
        // The container's header names every track; no need to decode to find them.
        fmt = OpenFormat(path);
        if (!fmt) return false;
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            if (stream < 0 && IsDataStream(fmt->streams[i])) stream = static_cast<int>(i);
            else fmt->streams[i]->discard = AVDISCARD_ALL;
        }
        pkt = av_packet_alloc();
        return stream >= 0 && pkt;
    }

    HRESULT Next(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp)
    {
        if (failed) return E_FAIL;
        if (ended) return kDataSampleEnd;
        for (;;) {
            const int r = av_read_frame(fmt.get(), pkt);
            if (r == AVERROR_EOF) {
                ended = true;
                return kDataSampleEnd;
            }
            if (r < 0) {
                // A cut-off tail ends the track like its end; anything else is a read fault.
                if (avio_feof(fmt->pb)) {
                    ended = true;
                    return kDataSampleEnd;
                }
                failed = true;
                return E_FAIL;
            }
            if (pkt->stream_index != stream) {
                av_packet_unref(pkt);
                continue;
            }
            const AVStream* st = fmt->streams[stream];
            std::int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            std::int64_t ms = t == AV_NOPTS_VALUE ? 0 : av_rescale_q(t, st->time_base, AVRational{1, 1000});
            if (st->start_time != AV_NOPTS_VALUE && st->start_time < 0)
                ms -= av_rescale_q(st->start_time, st->time_base, AVRational{1, 1000});
            ms = std::clamp<std::int64_t>(ms, 0, UINT32_MAX);
            const std::int32_t n = std::min<std::int32_t>(*size, pkt->size);
            if (n > 0) std::memcpy(buffer, pkt->data, static_cast<std::size_t>(n));
            *size = n;
            *stamp = static_cast<std::uint32_t>(ms);
            av_packet_unref(pkt);
            return S_OK;
        }
    }
};

HVStreamParseFilter::HVStreamParseFilter(const char* name)
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    m_bin = gst_bin_new(name);
    gst_object_ref_sink(m_bin);
}

HVStreamParseFilter::~HVStreamParseFilter()
{
    if (m_demux) {
        g_signal_handlers_disconnect_by_data(m_demux, this);
        gst_object_unref(m_demux);
    }
    for (Pin& p : m_pins)
        if (p.pad) gst_object_unref(p.pad);
    gst_object_unref(m_bin);
}

HRESULT HVStreamParseFilter::Load(const QString& path)
{
    if (m_demux || path.isEmpty()) return E_FAIL;
    m_source = path;
    m_path = FileNameToBytes(path).toStdString();

    FormatPtr fmt = OpenFormat(m_source);
    // The header is enough to know the tracks; decoding to probe them would cost a
    // second of a large recording.
    if (!fmt) return E_FAIL;
    const char* demuxName = nullptr;
    const std::string format = fmt->iformat->name;
    if (format.find("mp4") != std::string::npos || format.find("mov") != std::string::npos) demuxName = "qtdemux";
    else if (format == "avi") demuxName = "avidemux";
    if (!demuxName) return E_FAIL;
    m_bAvi = format == "avi";

    int videos = 0, audios = 0;
    std::vector<AviVideoTrack> aviVideos;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        Pin pin;
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            aviVideos.push_back({static_cast<int>(i), CodecOf(st->codecpar), av_q2d(st->time_base)});
            pin.video = true;
            pin.name = "Video_" + std::to_string(++videos);
            pin.width = st->codecpar->width;
            pin.height = st->codecpar->height;
        } else if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            pin.name = "Audio_" + std::to_string(++audios);
        } else {
            continue;
        }
        pin.codec = CodecOf(st->codecpar);
        m_pins.push_back(pin);
    }
    // Neither pictures nor sound: not a recording.
    if (m_pins.empty()) return E_FAIL;
    if (fmt->duration > 0) m_llProbedDuration = fmt->duration * 10;  // microseconds to 100 ns

    GstElement* src = gst_element_factory_make("filesrc", "File Source");
    GstElement* demux = gst_element_factory_make(demuxName, "Demultiplexer");
    if (!src || !demux) {
        if (src) gst_object_unref(src);
        if (demux) gst_object_unref(demux);
        m_pins.clear();
        return E_FAIL;
    }
    g_object_set(src, "location", m_path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(m_bin), src, demux, nullptr);
    gst_element_link(src, demux);
    if (m_bAvi) {
        m_aviKeyFrames = FindAviKeyFrames(m_source, aviVideos);
        // avidemux stops the whole file at the first chunk of a track it made no pad for
        // (the data track has no stream format). Trailing such tracks are shown to it as
        // JUNK: their chunks then belong to no stream and are skipped.
        m_aviHidden = FindTrailingDataLists(m_source);
        if (!m_aviHidden.empty()) {
            GstPad* srcPad = gst_element_get_static_pad(src, "src");
            gst_pad_add_probe(srcPad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_PULL),
                              &HideAviLists, &m_aviHidden, nullptr);
            gst_object_unref(srcPad);
        }
    }
    m_demux = GST_ELEMENT(gst_object_ref(demux));
    g_signal_connect(demux, "pad-added", G_CALLBACK(&HVStreamParseFilter::OnPadAdded), this);
    g_signal_connect(demux, "no-more-pads", G_CALLBACK(&HVStreamParseFilter::OnNoMorePads), this);

    for (Pin& p : m_pins) {
        GstPad* ghost = gst_ghost_pad_new_no_target(p.name.c_str(), GST_PAD_SRC);
        gst_element_add_pad(m_bin, ghost);
        p.pad = GST_PAD(gst_object_ref(ghost));
    }
    return S_OK;
}


void HVStreamParseFilter::OnPadAdded(GstElement*, GstPad* pad, void* self)
{
    static_cast<HVStreamParseFilter*>(self)->Attach(pad);
}

// A linked pin the demuxer never fed would hold the graph's first picture until the
// time-out; say at once that the file does not hold what its header promised.
void HVStreamParseFilter::OnNoMorePads(GstElement*, void* self)
{
    auto* f = static_cast<HVStreamParseFilter*>(self);
    for (const Pin& p : f->m_pins) {
        if (!gst_pad_is_linked(p.pad)) continue;
        GstPad* target = gst_ghost_pad_get_target(GST_GHOST_PAD(p.pad));
        if (target) {
            gst_object_unref(target);
            continue;
        }
        GError* err = g_error_new(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, "track %s not found", p.name.c_str());
        gst_element_post_message(f->m_bin, gst_message_new_error(GST_OBJECT(f->m_bin), err, nullptr));
        g_error_free(err);
        return;
    }
}

// Demuxer pads come in track order within each kind; the n-th video pad feeds "Video_n".
void HVStreamParseFilter::Attach(GstPad* demuxPad)
{
    gchar* padName = gst_pad_get_name(demuxPad);
    const std::string name = padName ? padName : "";
    g_free(padName);
    bool video;
    if (name.rfind("video", 0) == 0) video = true;
    else if (name.rfind("audio", 0) == 0) video = false;
    else return;
    const int nth = video ? ++m_nVideoSeen : ++m_nAudioSeen;
    int seen = 0;
    for (Pin& p : m_pins) {
        if (p.video != video || ++seen != nth) continue;
        gst_ghost_pad_set_target(GST_GHOST_PAD(p.pad), demuxPad);
        return;
    }
}

HVStreamParseFilter::DataTrackProbe HVStreamParseFilter::ProbeDataTrack(const QString& path)
{
    const FormatPtr fmt = OpenFormat(path);
    if (!fmt) return kNotARecording;
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (IsDataStream(fmt->streams[i])) return kHasDataTrack;
    return kNoDataTrack;
}

HRESULT HVStreamParseFilter::ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp)
{
    if (!size || !stamp || (!buffer && *size > 0)) return E_POINTER;
    if (*size < 0) return E_INVALIDARG;
    if (m_path.empty()) return E_FAIL;
    if (!m_reader) {
        m_reader = std::make_unique<DataReader>();
        if (!m_reader->Open(m_source)) m_reader->failed = true;
    }
    return m_reader->Next(buffer, size, stamp);
}

std::int64_t HVStreamParseFilter::ReachableSeekTarget(std::int64_t pos) const
{
    std::int64_t target = pos;
    for (const auto& keys : m_aviKeyFrames) {
        if (keys.empty()) continue;  // no picture of it was recognised: leave it to the demuxer
        const auto after = std::upper_bound(keys.begin(), keys.end(), pos);
        target = std::min(target, after == keys.begin() ? 0 : *(after - 1));
    }
    return target;
}
