// FFmpeg's own decoder on an elementary stream, one thread: the reference
// pictures (all three planes) for the comparisons.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/DecoderTestUtil.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace dectest {

inline std::vector<Picture> FfmpegDecode(const std::vector<uint8_t>& stream, AVCodecID id)
{
    std::vector<Picture> out;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    AVCodecParserContext* parser = av_parser_init(id);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();

    auto drain = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            Picture p;
            p.width = frame->width;
            p.height = frame->height;
            CopyPictureYuv(&p, frame->data[0], frame->data[1], frame->data[2], size_t(frame->linesize[0]),
                           size_t(frame->linesize[1]));
            out.push_back(std::move(p));
            av_frame_unref(frame);
        }
    };

    std::vector<uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const uint8_t* data = padded.data();
    int left = int(stream.size());
    while (left > 0) {
        uint8_t* pdata = nullptr;
        int psize = 0;
        const int used = av_parser_parse2(parser, ctx, &pdata, &psize, data, left, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0)
            break;
        data += used;
        left -= used;
        if (psize > 0) {
            pkt->data = pdata;
            pkt->size = psize;
            if (avcodec_send_packet(ctx, pkt) == 0)
                drain();
        }
    }
    uint8_t* pdata = nullptr;
    int psize = 0;
    av_parser_parse2(parser, ctx, &pdata, &psize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (psize > 0) {
        pkt->data = pdata;
        pkt->size = psize;
        if (avcodec_send_packet(ctx, pkt) == 0)
            drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();

    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return out;
}

}  // namespace dectest
