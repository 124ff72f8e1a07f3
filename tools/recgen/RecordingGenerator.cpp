// Muxes a generated recording with FFmpeg's libraries.
#include "tools/recgen/RecordingGenerator.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace recgen {
namespace {

struct CodecCtxFree { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameFree { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };
using CodecCtx = std::unique_ptr<AVCodecContext, CodecCtxFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

std::string AvError(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

struct Track {
    CodecCtx enc;
    AVStream* stream = nullptr;
    Frame frame;
    std::int64_t next = 0;  // next frame index (video) or sample index (audio)
    int width = 0, height = 0;
    bool rear = false;
};

class Writer {
public:
    Writer(const RecordingSpec& spec, std::string* error) : spec_(spec), error_(error) {}
    ~Writer()
    {
        if (fmt_) {
            if (fmt_->pb && !(fmt_->oformat->flags & AVFMT_NOFILE)) avio_closep(&fmt_->pb);
            avformat_free_context(fmt_);
        }
    }

    bool Write(const std::string& path, std::vector<DataSample>* samplesOut)
    {
        const bool pcmInMp4 = spec_.container == Container::Mp4 && spec_.audio == AudioCodec::Pcm;
        const char* format = spec_.container == Container::Avi ? "avi" : (pcmInMp4 ? "mov" : "mp4");
        int rc = avformat_alloc_output_context2(&fmt_, nullptr, format, path.c_str());
        if (rc < 0 || !fmt_) return Fail("no muxer: " + AvError(rc));

        for (int i = 0; i < spec_.videoTracks && i < 2; ++i) {
            const bool rear = i == 1;
            const int w = rear && spec_.rearWidth > 0 ? spec_.rearWidth : spec_.width;
            const int h = rear && spec_.rearHeight > 0 ? spec_.rearHeight : spec_.height;
            if (!AddVideo(w, h, rear)) return false;
        }
        if (spec_.audio != AudioCodec::None && !AddAudio()) return false;
        if (spec_.dataTrack) {
            data_ = avformat_new_stream(fmt_, nullptr);
            if (!data_) return Fail("no data stream");
            data_->codecpar->codec_type = AVMEDIA_TYPE_DATA;
            data_->codecpar->codec_id = AV_CODEC_ID_BIN_DATA;
            data_->codecpar->codec_tag = MKTAG('g', 'p', 'm', 'd');
            data_->time_base = AVRational{1, 1000};
            samples_ = MakeDriveSamples(spec_);
        }

        if (!(fmt_->oformat->flags & AVFMT_NOFILE)) {
            rc = avio_open(&fmt_->pb, path.c_str(), AVIO_FLAG_WRITE);
            if (rc < 0) return Fail("cannot write " + path + ": " + AvError(rc));
        }
        rc = avformat_write_header(fmt_, nullptr);
        if (rc < 0) return Fail("header: " + AvError(rc));

        if (!Interleave()) return false;
        for (auto& t : video_) if (!Drain(t)) return false;
        if (audio_.enc && !Drain(audio_)) return false;
        rc = av_write_trailer(fmt_);
        if (rc < 0) return Fail("trailer: " + AvError(rc));
        if (samplesOut) *samplesOut = samples_;
        return true;
    }

private:
    bool Fail(const std::string& what)
    {
        if (error_) *error_ = what;
        return false;
    }

    bool Open(Track& t, const AVCodec* codec)
    {
        if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) t.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int rc = avcodec_open2(t.enc.get(), codec, nullptr);
        if (rc < 0) return Fail(std::string("encoder ") + codec->name + ": " + AvError(rc));
        t.stream = avformat_new_stream(fmt_, nullptr);
        if (!t.stream) return Fail("no stream");
        t.stream->time_base = t.enc->time_base;
        avcodec_parameters_from_context(t.stream->codecpar, t.enc.get());
        t.frame.reset(av_frame_alloc());
        return true;
    }

    bool AddVideo(int w, int h, bool rear)
    {
        const AVCodec* codec = spec_.codec == VideoCodec::H264 ? avcodec_find_encoder_by_name("libx264")
                                                               : avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (!codec) return Fail("no video encoder");
        Track t;
        t.enc.reset(avcodec_alloc_context3(codec));
        t.width = w;
        t.height = h;
        t.rear = rear;
        AVCodecContext* c = t.enc.get();
        c->width = w;
        c->height = h;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{1, spec_.fps};
        c->framerate = AVRational{spec_.fps, 1};
        c->gop_size = spec_.gop > 0 ? spec_.gop : spec_.fps;
        if (spec_.codec == VideoCodec::H264) {
            av_opt_set(c->priv_data, "preset", "ultrafast", 0);
            av_opt_set(c->priv_data, "crf", "20", 0);
        } else {
            c->bit_rate = static_cast<std::int64_t>(w) * h * spec_.fps / 2;
            c->max_b_frames = 0;
            if (spec_.container == Container::Avi) c->codec_tag = MKTAG('F', 'M', 'P', '4');
        }
        if (!Open(t, codec)) return false;
        t.frame->format = c->pix_fmt;
        t.frame->width = w;
        t.frame->height = h;
        if (av_frame_get_buffer(t.frame.get(), 0) < 0) return Fail("no frame");
        video_.push_back(std::move(t));
        return true;
    }

    bool AddAudio()
    {
        const bool aac = spec_.audio == AudioCodec::Aac;
        const AVCodec* codec = avcodec_find_encoder(aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_PCM_S16LE);
        if (!codec) return Fail("no audio encoder");
        audio_.enc.reset(avcodec_alloc_context3(codec));
        AVCodecContext* c = audio_.enc.get();
        c->sample_rate = 16000;
        c->sample_fmt = aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&c->ch_layout, 1);
        c->bit_rate = 32000;
        c->time_base = AVRational{1, c->sample_rate};
        if (!Open(audio_, codec)) return false;
        audio_.frame->format = c->sample_fmt;
        audio_.frame->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
        audio_.frame->sample_rate = c->sample_rate;
        av_channel_layout_copy(&audio_.frame->ch_layout, &c->ch_layout);
        if (av_frame_get_buffer(audio_.frame.get(), 0) < 0) return Fail("no audio frame");
        return true;
    }

    // Writes video frames, audio frames and data samples in the order of their times.
    bool Interleave()
    {
        const std::int64_t frames = static_cast<std::int64_t>(spec_.durationMs) * spec_.fps / 1000;
        const std::int64_t audioSamples = audio_.enc ? static_cast<std::int64_t>(spec_.durationMs) * 16 : 0;
        std::size_t nextSample = 0;
        for (;;) {
            double best = 1e300;
            int which = -1;  // 0..1 video, 2 audio, 3 data
            for (std::size_t i = 0; i < video_.size(); ++i) {
                if (video_[i].next < frames) {
                    const double t = double(video_[i].next) * 1000.0 / spec_.fps;
                    if (t < best) { best = t; which = int(i); }
                }
            }
            if (audio_.enc && audio_.next < audioSamples) {
                const double t = double(audio_.next) / 16.0;
                if (t < best) { best = t; which = 2; }
            }
            if (nextSample < samples_.size() && double(samples_[nextSample].stampMs) < best) which = 3;
            if (which < 0) return true;
            if (which <= 1) {
                if (!EncodeVideo(video_[which])) return false;
            } else if (which == 2) {
                if (!EncodeAudio()) return false;
            } else {
                if (!WriteSample(nextSample)) return false;
                ++nextSample;
            }
        }
    }

    bool EncodeVideo(Track& t)
    {
        AVFrame* f = t.frame.get();
        if (av_frame_make_writable(f) < 0) return Fail("frame not writable");
        const int n = static_cast<int>(t.next);
        // A slowly moving diagonal pattern so that the coder has motion to code; the rear
        // camera's picture is tinted differently.
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x)
                f->data[0][y * f->linesize[0] + x] = static_cast<std::uint8_t>(60 + ((x + y + 3 * n) & 63) * 2);
        for (int y = 0; y < t.height / 2; ++y)
            for (int x = 0; x < t.width / 2; ++x) {
                f->data[1][y * f->linesize[1] + x] = static_cast<std::uint8_t>(t.rear ? 160 : 110 + (x & 15));
                f->data[2][y * f->linesize[2] + x] = static_cast<std::uint8_t>(t.rear ? 100 : 140 + (y & 15));
            }
        DrawFrameNumber(f->data[0], t.width, t.height, f->linesize[0], n);
        // Neutral chroma under the number band keeps its cells black and white.
        const int band = (t.height / 8 < 16 ? 16 : t.height / 8) / 2 + 1;
        for (int y = 0; y < band && y < t.height / 2; ++y)
            for (int x = 0; x < t.width / 2; ++x) {
                f->data[1][y * f->linesize[1] + x] = 128;
                f->data[2][y * f->linesize[2] + x] = 128;
            }
        f->pts = t.next++;
        return Send(t, f);
    }

    bool EncodeAudio()
    {
        AVFrame* f = audio_.frame.get();
        if (av_frame_make_writable(f) < 0) return Fail("audio frame not writable");
        for (int i = 0; i < f->nb_samples; ++i) {
            const double v = 0.2 * std::sin(2 * 3.14159265358979 * 440.0 * double(audio_.next + i) / 16000.0);
            if (f->format == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(f->data[0])[i] = static_cast<float>(v);
            else
                reinterpret_cast<std::int16_t*>(f->data[0])[i] = static_cast<std::int16_t>(v * 32767);
        }
        // AVI keeps no edit list: were the coder's priming samples left before zero, the muxer
        // would shift every track (video and data too) late by them.
        const std::int64_t priming = spec_.container == Container::Avi ? audio_.enc->initial_padding : 0;
        f->pts = audio_.next + priming;
        audio_.next += f->nb_samples;
        return Send(audio_, f);
    }

    bool Send(Track& t, AVFrame* f)
    {
        int rc = avcodec_send_frame(t.enc.get(), f);
        if (rc < 0) return Fail("encode: " + AvError(rc));
        Packet pkt(av_packet_alloc());
        while ((rc = avcodec_receive_packet(t.enc.get(), pkt.get())) == 0) {
            // Without a duration on the last packet the MP4 edit list ends one frame early.
            if (pkt->duration <= 0)
                pkt->duration = t.enc->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : t.frame->nb_samples;
            av_packet_rescale_ts(pkt.get(), t.enc->time_base, t.stream->time_base);
            pkt->stream_index = t.stream->index;
            rc = av_interleaved_write_frame(fmt_, pkt.get());
            if (rc < 0) return Fail("write: " + AvError(rc));
        }
        return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? true : Fail("encode: " + AvError(rc));
    }

    bool Drain(Track& t) { return Send(t, nullptr); }

    bool WriteSample(std::size_t i)
    {
        const DataSample& s = samples_[i];
        Packet pkt(av_packet_alloc());
        if (av_new_packet(pkt.get(), static_cast<int>(s.bytes.size())) < 0) return Fail("no packet");
        std::copy(s.bytes.begin(), s.bytes.end(), pkt->data);
        pkt->pts = pkt->dts = av_rescale_q(s.stampMs, AVRational{1, 1000}, data_->time_base);
        const std::int64_t next = i + 1 < samples_.size() ? samples_[i + 1].stampMs : s.stampMs + 1;
        pkt->duration = next > s.stampMs ? next - s.stampMs : 1;
        pkt->stream_index = data_->index;
        pkt->flags |= AV_PKT_FLAG_KEY;
        const int rc = av_interleaved_write_frame(fmt_, pkt.get());
        return rc < 0 ? Fail("write sample: " + AvError(rc)) : true;
    }

    const RecordingSpec& spec_;
    std::string* error_;
    AVFormatContext* fmt_ = nullptr;
    std::vector<Track> video_;
    Track audio_;
    AVStream* data_ = nullptr;
    std::vector<DataSample> samples_;
};

}  // namespace

bool WriteRecording(const std::string& path, const RecordingSpec& spec, std::vector<DataSample>* samples,
                    std::string* error)
{
    av_log_set_level(AV_LOG_ERROR);
    Writer w(spec, error);
    return w.Write(path, samples);
}

}  // namespace recgen
