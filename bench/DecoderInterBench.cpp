// Decode speed of inter streams: our decoder beside FFmpeg's with one thread,
// on the same pictures, as pictures per second of the decoding thread's CPU
// time (median of several runs) and their ratio.
// Usage: decoder_inter_bench [pictures] [case number, default all]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

// CPU time of this thread: other work on the machine does not count.
double Now() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

double OursSeconds(const Split& s, int w, int h, int* pictures) {
  const int n = 4;
  std::vector<std::vector<uint8_t>> planes(3 * n);
  DEC_FRAME_BUF bufs[n];
  for (int i = 0; i < n; ++i) {
    planes[3 * i].resize(w * h + 15);
    planes[3 * i + 1].resize(w * h / 4 + 15);
    planes[3 * i + 2].resize(w * h / 4 + 15);
    bufs[i] = DEC_FRAME_BUF{planes[3 * i].data(), planes[3 * i + 1].data(), planes[3 * i + 2].data(), 0};
  }
  DEC_STREAM_CONFIG cfg{};
  cfg.pConfigData = s.config.data();
  cfg.uConfigLength = static_cast<uint32_t>(s.config.size());
  cfg.iIsShortHdrMode = -1;
  DEC_PARAM param{&cfg, bufs, n, static_cast<uint32_t>(w), static_cast<uint32_t>(h), nullptr};
  DEC_MEMTAB tabs[4];
  DEC_QueryMemSize(&param, tabs);
  std::vector<std::vector<uint8_t>> mem(4);
  for (int i = 0; i < 4; ++i) {
    mem[i].resize(tabs[i].uSize);
    tabs[i].pBase = mem[i].data();
  }
  int32_t sh = 0;
  DEC_VIDEO_INFO info{&sh, 0, 0};
  void* inst = DEC_Init(tabs, &param, &info);
  if (!inst) return -1;
  int zero = 0;
  *pictures = 0;
  const double t0 = Now();
  for (size_t i = 0; i <= s.chunks.size(); ++i) {
    const bool flush = i == s.chunks.size();
    DEC_INPUT in{&zero, flush ? nullptr : s.chunks[i].data(),
                 flush ? 0u : static_cast<uint32_t>(s.chunks[i].size()), 1, -1, 0};
    DEC_FRAME_RESULT res{-1, 0};
    DEC_OUTPUT out{};
    out.pResult = &res;
    DEC_Decode(inst, &in, &out);
    if (out.pY) ++*pictures;
  }
  return Now() - t0;
}

double FfmpegSeconds(const Split& s, int* pictures) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->thread_count = 1;
  if (avcodec_open2(ctx, codec, nullptr) < 0) return -1;
  std::vector<AVPacket*> packets;
  for (size_t i = 0; i < s.chunks.size(); ++i) {
    std::vector<uint8_t> data;
    if (i == 0) data = s.config;
    data.insert(data.end(), s.chunks[i].begin(), s.chunks[i].end());
    AVPacket* p = av_packet_alloc();
    av_new_packet(p, static_cast<int>(data.size()));
    std::memcpy(p->data, data.data(), data.size());
    packets.push_back(p);
  }
  AVFrame* frame = av_frame_alloc();
  *pictures = 0;
  const double t0 = Now();
  for (AVPacket* p : packets) {
    avcodec_send_packet(ctx, p);
    while (avcodec_receive_frame(ctx, frame) == 0) ++*pictures;
  }
  avcodec_send_packet(ctx, nullptr);
  while (avcodec_receive_frame(ctx, frame) == 0) ++*pictures;
  const double t = Now() - t0;
  for (AVPacket* p : packets) av_packet_free(&p);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// testsrc2 under strong temporal noise: dense coefficients in every block.
std::string NoisySource(int w, int h, int frames) {
  return "-f lavfi -i testsrc2=size=" + std::to_string(w) + "x" + std::to_string(h) +
         ":rate=25 -vf noise=alls=24:allf=t+u,format=yuv420p -frames:v " + std::to_string(frames);
}

}  // namespace

int main(int argc, char** argv) {
  av_log_set_level(AV_LOG_QUIET);
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  struct Case {
    const char* name;
    int w, h;
    bool noisy;
    const char* args;
  } cases[] = {
      {"640x480 simple profile", 640, 480, false, "-c:v mpeg4 -q:v 4 -g 30"},
      {"640x480 ASP, B-frames, qpel", 640, 480, false, "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -flags +qpel"},
      {"640x480 noisy, 4MV, B-frames", 640, 480, true, "-c:v mpeg4 -q:v 2 -g 30 -bf 2 -flags +mv4"},
      {"1280x720 xvid qpel, B, 3 Mb/s", 1280, 720, false,
       "-c:v libxvid -b:v 3M -g 30 -bf 2 -flags +qpel"},
  };
  const int kCases = static_cast<int>(sizeof cases / sizeof cases[0]);
  std::printf("%-32s %10s %12s %12s %8s\n", "stream", "pictures", "ours pic/s", "ffmpeg pic/s", "ratio");
  const int only = argc > 2 ? std::atoi(argv[2]) : -1;
  for (int k = 0; k < kCases; ++k) {
    if (only >= 0 && k != only) continue;
    const Case& c = cases[k];
    const std::string source = c.noisy ? NoisySource(c.w, c.h, frames) : PannedSource(c.w, c.h, frames);
    const auto stream = Encode("bench_inter", source, c.args, "m4v");
    const Split s = SplitMpeg4(stream);
    if (s.chunks.empty()) {
      std::fprintf(stderr, "ffmpeg could not make the stream\n");
      return 1;
    }
    int ours = 0, theirs = 0;
    std::vector<double> a, b;
    for (int run = 0; run < 7; ++run) {
      a.push_back(OursSeconds(s, c.w, c.h, &ours));
      b.push_back(FfmpegSeconds(s, &theirs));
    }
    const double ta = Median(a), tb = Median(b);
    std::printf("%-32s %10d %12.1f %12.1f %8.2f\n", c.name, ours, ours / ta, theirs / tb, tb / ta);
  }
  std::printf("ratio = FFmpeg's time / ours (above 1: we are faster)\n");
  return 0;
}
