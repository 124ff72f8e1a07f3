// Intra-only MPEG-4 at 640x480 (and H.263 CIF): pictures per second of our
// decoder and of FFmpeg's decoder with one thread on the same pictures,
// printed with their ratio. Run by hand: decoder_bench [pictures]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>

#include "decoder/DecoderTestUtil.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace dectest;

namespace {

// Thread CPU time: other load on the machine distorts it less than wall time.
double CpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

namespace {

double OursPerSecond(const std::vector<std::vector<uint8_t>>& chunks, const std::vector<uint8_t>& config,
                     uint32_t w, uint32_t h, bool h263)
{
    OurDecoder dec(w, h, config, h263 ? 1 : 0, true);
    if (!dec.handle())
        return 0;
    int pictures = 0;
    const double t0 = CpuSeconds();
    for (const auto& c : chunks) {
        DEC_INPUT in = {};
        in.pData = c.data();
        in.uLength = uint32_t(c.size());
        in.bEndOfFrame = 1;
        DEC_FRAME_RESULT res = {-1, 0};
        DEC_OUTPUT out = {};
        out.pResult = &res;
        DEC_Decode(dec.handle(), &in, &out);
        pictures += out.pY != nullptr;
    }
    const double s = CpuSeconds() - t0;
    return pictures / s;
}

double FfmpegPerSecond(const std::vector<std::vector<uint8_t>>& chunks, AVCodecID id)
{
    const AVCodec* codec = avcodec_find_decoder(id);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        return 0;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::vector<uint8_t>> padded;
    for (const auto& c : chunks) {
        padded.push_back(c);
        padded.back().resize(c.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    }
    int pictures = 0;
    const double t0 = CpuSeconds();
    for (size_t i = 0; i < chunks.size(); ++i) {
        pkt->data = padded[i].data();
        pkt->size = int(chunks[i].size());
        if (avcodec_send_packet(ctx, pkt) == 0)
            while (avcodec_receive_frame(ctx, frame) == 0)
                ++pictures;
    }
    avcodec_send_packet(ctx, nullptr);
    while (avcodec_receive_frame(ctx, frame) == 0)
        ++pictures;
    const double s = CpuSeconds() - t0;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return pictures / s;
}

void Run(const char* label, const char* file, const char* size, uint32_t w, uint32_t h, bool h263, int pictures)
{
    const std::string args = std::string(h263 ? "-c:v h263" : "-c:v mpeg4") + " -g 1 -q:v 4 -f " +
                             (h263 ? "h263" : "m4v");
    const std::vector<uint8_t> stream = MakeStream(file, size, pictures, args);
    if (stream.empty()) {
        std::printf("%s: ffmpeg could not make the stream\n", label);
        return;
    }
    const auto chunks = SplitPictures(stream, h263);
    const std::vector<uint8_t> config = h263 ? chunks.front() : ConfigHeaders(stream);
    // Best of five rounds each, alternating, so that other load on the machine counts less.
    double ours = 0, theirs = 0;
    for (int round = 0; round < 5; ++round) {
        ours = std::max(ours, OursPerSecond(chunks, config, w, h, h263));
        theirs = std::max(theirs, FfmpegPerSecond(chunks, h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4));
    }
    std::printf("%-22s ours %8.1f pictures/s   ffmpeg %8.1f pictures/s   ratio %.2f\n", label, ours, theirs,
                theirs > 0 ? ours / theirs : 0.0);
}

}  // namespace

int main(int argc, char** argv)
{
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 200;
    Run("mpeg4 intra 640x480", "bench_intra_640.m4v", "640x480", 640, 480, false, pictures);
    Run("h263 intra 352x288", "bench_intra_cif.h263", "352x288", 352, 288, true, pictures);
    return 0;
}
