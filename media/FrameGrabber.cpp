#include "media/FrameGrabber.h"

#include "platform/FileAccess.h"

#include <algorithm>
#include <cmath>
#include <map>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

// Pictures beyond any camera's are refused rather than allocated.
constexpr int kMaxSide = 8192;

bool IsOutputStream(const AVStream* st)
{
    const AVMediaType t = st->codecpar->codec_type;
    if (t != AVMEDIA_TYPE_VIDEO && t != AVMEDIA_TYPE_AUDIO) return false;
    return st->codecpar->codec_tag != MKTAG('g', 'p', 'm', 'd');  // the data track
}

}  // namespace

struct FrameGrabber::Impl {
    AVFormatContext* fmt = nullptr;
    std::vector<int> outputs;                 // container stream index of each output stream
    std::map<int, AVCodecContext*> decoders;  // opened on first grab, by container index
    SwsContext* sws = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    AVFrame* shown = av_frame_alloc();

    ~Impl()
    {
        Close();
        sws_freeContext(sws);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&shown);
    }

    void Close()
    {
        for (auto& [index, dec] : decoders) avcodec_free_context(&dec);
        decoders.clear();
        outputs.clear();
        avformat_close_input(&fmt);
    }

    AVCodecContext* Decoder(int index)
    {
        auto it = decoders.find(index);
        if (it != decoders.end()) return it->second;
        const AVCodecParameters* par = fmt->streams[index]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (dec && (avcodec_parameters_to_context(dec, par) < 0 || avcodec_open2(dec, codec, nullptr) < 0))
            avcodec_free_context(&dec);
        decoders[index] = dec;  // a stream without a decoder is not tried again
        return dec;
    }

    // Takes a decoded frame as the candidate for the frame on show at target; true once the
    // frame on show is known.
    bool Take(AVFrame* f, std::int64_t target, bool* have)
    {
        if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT) || f->width <= 0 || f->height <= 0) {
            av_frame_unref(f);  // a damaged picture is never shown
            return false;
        }
        const std::int64_t ts = f->best_effort_timestamp;
        if (ts != AV_NOPTS_VALUE && ts > target && *have) {
            av_frame_unref(f);  // past the time: the frame before it is the one on show
            return true;
        }
        av_frame_unref(shown);
        av_frame_move_ref(shown, f);
        *have = true;
        return ts != AV_NOPTS_VALUE && ts >= target;
    }

    // Receives every frame the decoder has ready; true once the frame on show is known.
    bool Drain(AVCodecContext* dec, std::int64_t target, bool* have)
    {
        while (avcodec_receive_frame(dec, frame) == 0)
            if (Take(frame, target, have)) return true;
        return false;
    }
};

FrameGrabber::FrameGrabber() : d(std::make_unique<Impl>()) {}

FrameGrabber::~FrameGrabber() = default;

bool FrameGrabber::Open(const std::string& path)
{
    Close();
    // A named pipe or a device would hold the demuxer for ever.
    if (CheckRegularFile(FileNameFromBytes(QByteArray::fromStdString(path))) != FileCheck::Ok) return false;
    if (avformat_open_input(&d->fmt, path.c_str(), nullptr, nullptr) < 0) return false;
    // MP4 and AVI headers describe their streams fully; probing frames is only for the rest.
    bool described = true;
    for (unsigned i = 0; i < d->fmt->nb_streams; ++i) {
        const AVCodecParameters* par = d->fmt->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && (par->width <= 0 || par->height <= 0)) described = false;
    }
    if (!described && avformat_find_stream_info(d->fmt, nullptr) < 0) {
        Close();
        return false;
    }
    for (unsigned i = 0; i < d->fmt->nb_streams; ++i)
        if (IsOutputStream(d->fmt->streams[i])) d->outputs.push_back(static_cast<int>(i));
    return true;
}

void FrameGrabber::Close() { d->Close(); }

int FrameGrabber::GetOutputStreams() const { return static_cast<int>(d->outputs.size()); }

bool FrameGrabber::GetStreamSize(int stream, int* width, int* height) const
{
    if (stream < 0 || stream >= GetOutputStreams()) return false;
    const AVCodecParameters* par = d->fmt->streams[d->outputs[stream]]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO) return false;
    if (width) *width = par->width;
    if (height) *height = par->height;
    return true;
}

bool FrameGrabber::GrabFrame(int stream, double seconds, int width, int height, GrabbedPicture* out)
{
    if (!out || stream < 0 || stream >= GetOutputStreams() || width <= 0 || height <= 0 || width > kMaxSide ||
        height > kMaxSide || !std::isfinite(seconds))
        return false;
    const int index = d->outputs[stream];
    AVStream* st = d->fmt->streams[index];
    if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) return false;
    AVCodecContext* dec = d->Decoder(index);
    if (!dec) return false;

    const std::int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const std::int64_t target =
        start + av_rescale_q(std::llround(std::max(0.0, seconds) * AV_TIME_BASE), AV_TIME_BASE_Q, st->time_base);
    // To the key frame at or before the time; where the index cannot say, from the start.
    if (av_seek_frame(d->fmt, index, target, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(d->fmt, index, start, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    avcodec_flush_buffers(dec);
    av_frame_unref(d->shown);

    bool have = false, known = false;
    while (!known) {
        if (av_read_frame(d->fmt, d->packet) < 0) {
            // The end: what the decoder still holds, then the last frame is the one on show.
            avcodec_send_packet(dec, nullptr);
            d->Drain(dec, target, &have);
            break;
        }
        if (d->packet->stream_index == index && avcodec_send_packet(dec, d->packet) >= 0)
            known = d->Drain(dec, target, &have);
        av_packet_unref(d->packet);
    }
    if (!have) return false;

    const AVFrame* f = d->shown;
    if (f->width > kMaxSide || f->height > kMaxSide) return false;
    d->sws = sws_getCachedContext(d->sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height,
                                  AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (!d->sws) return false;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    std::uint8_t* dst[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {width * 4, 0, 0, 0};
    if (sws_scale(d->sws, f->data, f->linesize, 0, f->height, dst, dstStride) != height) return false;
    out->width = width;
    out->height = height;
    out->bgrx = std::move(pixels);
    return true;
}
