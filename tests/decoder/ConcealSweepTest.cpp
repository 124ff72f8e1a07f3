// Concealment against FFmpeg's over a sweep of damaged streams: sizes,
// sources, quantisers, packet sizes, plain and data-partitioned with and
// without B pictures, seeds; each decoder against its own undamaged decode.
// Too slow for every run, so disabled; run it by hand to judge a change to
// concealment on the class of input rather than on one stream:
//   build/release/tests/decoder_conceal_sweep_test --gtest_also_run_disabled_tests
// It prints a row per case and the summary: cases behind FFmpeg (luma),
// the worst deficit, the means. Environment variables narrow the sweep
// (SWEEP_SIZES=352x288,... SWEEP_SOURCES=pan,mandel SWEEP_Q=3,6 SWEEP_PS=250,600
// SWEEP_KINDS=dp,plain,plainb,dpb SWEEP_SEEDS=1,2,3 SWEEP_FRAMES SWEEP_GOP
// SWEEP_THREADS); SWEEP_DETAIL=1 adds each picture's PSNR, SWEEP_MAP=n the
// MB map of output picture n ('*' marked lost; '.' exact, 'o' 'O' '#' '@'
// mean square error below 10, 100, 1000, above).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v ? v : fallback;
}

std::vector<std::string> List(const std::string& s) {
  std::vector<std::string> out;
  for (size_t p = 0; p <= s.size();) {
    size_t e = s.find(',', p);
    if (e == std::string::npos) e = s.size();
    if (e > p) out.push_back(s.substr(p, e - p));
    p = e + 1;
  }
  return out;
}

double MeanPsnr(const std::vector<Picture>& got, const std::vector<Picture>& ref) {
  double sum = 0;
  for (size_t i = 0; i < got.size() && i < ref.size(); ++i) sum += LumaPsnr(got[i], ref[i]);
  return got.empty() ? 0 : sum / double(got.size());
}

char ErrorMark(const Picture& a, const Picture& b, int mbX, int mbY) {
  double e = 0;
  for (int y = 16 * mbY; y < 16 * mbY + 16 && y < a.height; ++y)
    for (int x = 16 * mbX; x < 16 * mbX + 16 && x < a.width; ++x) {
      const double d = double(a.y[y * a.width + x]) - b.y[y * a.width + x];
      e += d * d;
    }
  e /= 256;
  return e == 0 ? '.' : e < 10 ? 'o' : e < 100 ? 'O' : e < 1000 ? '#' : '@';
}

struct Stream {
  std::string name, source, args;
  int width, height;
};

TEST(ConcealSweep, DISABLED_AgainstFfmpeg) {
  av_log_set_level(AV_LOG_QUIET);
  const int frames = std::atoi(Env("SWEEP_FRAMES", "50").c_str());
  std::vector<Stream> streams;
  for (const auto& size : List(Env("SWEEP_SIZES", "352x288,640x480,176x144")))
    for (const auto& src : List(Env("SWEEP_SOURCES", "pan,mandel")))
      for (const auto& q : List(Env("SWEEP_Q", "3,6")))
        for (const auto& ps : List(Env("SWEEP_PS", "250,600")))
          for (const auto& kind : List(Env("SWEEP_KINDS", "dp,plain,plainb,dpb"))) {
            int w = 0, h = 0;
            std::sscanf(size.c_str(), "%dx%d", &w, &h);
            const std::string source = src == "pan" ? PannedSource(w, h, frames)
                                                    : "-f lavfi -i mandelbrot=size=" + size +
                                                          ":rate=25 -vf format=yuv420p -frames:v " +
                                                          std::to_string(frames);
            std::string args = "-c:v mpeg4 -q:v " + q + " -g " + Env("SWEEP_GOP", "25") + " -ps " + ps;
            if (kind == "dp" || kind == "dpb") args += " -data_partitioning 1";
            if (kind == "plainb" || kind == "dpb") args += " -bf 2";
            streams.push_back({size + "_" + src + "_q" + q + "_ps" + ps + "_" + kind, source, args, w, h});
          }
  std::vector<uint32_t> seeds;
  for (const auto& s : List(Env("SWEEP_SEEDS", "1,2,3"))) seeds.push_back(uint32_t(std::atoi(s.c_str())));
  const bool detail = std::getenv("SWEEP_DETAIL") != nullptr;
  const int mapPicture = std::atoi(Env("SWEEP_MAP", "-1").c_str());

  struct Row {
    std::string text;
    double ours, theirs;
  };
  std::map<std::string, Row> rows;
  std::mutex mu;
  std::atomic<size_t> next{0};
  auto worker = [&]() {
    for (size_t i; (i = next++) < streams.size();) {
      const Stream& st = streams[i];
      const Split clean = SplitMpeg4(Encode("sweep_" + st.name, st.source, st.args, "m4v"));
      const auto theirClean = DecodeWithFfmpeg(clean, AV_CODEC_ID_MPEG4);
      const auto ourClean = OurDecoder(clean.config, 0).DecodeAll(clean.chunks);
      for (const uint32_t seed : seeds) {
        // Odd seeds: noise bursts only; even: fewer bursts and cut stretches.
        // Bursts scale with the picture area.
        const int bursts = (seed % 2 ? 12 : 6) * st.width * st.height / (352 * 288) + 1, cuts = seed % 2 ? 0 : 4;
        const Split bad = Damage(clean, seed, bursts, cuts);
        const auto theirs = DecodeWithFfmpeg(bad, AV_CODEC_ID_MPEG4);
        const auto ours = OurDecoder(bad.config, 0).DecodeAll(bad.chunks);
        std::string text;
        char line[256];
        for (size_t j = 0; detail && j < ours.size() && j < theirs.size(); ++j) {
          const double o = LumaPsnr(ours[j], ourClean[j]), t = LumaPsnr(theirs[j], theirClean[j]);
          std::snprintf(line, sizeof line, "  picture %2zu type %d: ours %6.2f FFmpeg %6.2f%s\n", j,
                        ours[j].codingType, o, t, o < t - 0.5 ? "  <" : "");
          text += line;
          if (int(j) != mapPicture) continue;
          const int mbw = (st.width + 15) / 16, mbh = (st.height + 15) / 16;
          for (int y = 0; y < mbh; ++y) {
            text += "    ";
            for (int x = 0; x < mbw; ++x) {
              text += ours[j].errorMap[y * mbw + x] ? '*' : ' ';
              text += ErrorMark(ours[j], ourClean[j], x, y);
            }
            text += "   |   ";
            for (int x = 0; x < mbw; ++x) text += std::string(" ") + ErrorMark(theirs[j], theirClean[j], x, y);
            text += "\n";
          }
        }
        Row r{text, MeanPsnr(ours, ourClean), MeanPsnr(theirs, theirClean)};
        std::snprintf(line, sizeof line, "%-36s seed %u: ours %6.2f FFmpeg %6.2f  %+6.2f%s%s", st.name.c_str(), seed,
                      r.ours, r.theirs, r.ours - r.theirs, r.ours < r.theirs ? "  behind" : "",
                      ours.size() != ourClean.size() || theirs.size() != theirClean.size() ? "  COUNT" : "");
        r.text += line;
        std::lock_guard<std::mutex> lock(mu);
        rows[st.name + "_" + std::to_string(seed)] = r;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < std::max(1, std::atoi(Env("SWEEP_THREADS", "3").c_str())); ++i) threads.emplace_back(worker);
  for (auto& t : threads) t.join();

  int behind = 0;
  double ours = 0, theirs = 0, worst = 99;
  for (const auto& [key, r] : rows) {
    std::printf("%s\n", r.text.c_str());
    behind += r.ours < r.theirs;
    ours += r.ours;
    theirs += r.theirs;
    worst = std::min(worst, r.ours - r.theirs);
  }
  ASSERT_FALSE(rows.empty());
  std::printf("cases %zu behind %d worst %+.2f dB mean ours %.2f FFmpeg %.2f dB\n", rows.size(), behind, worst,
              ours / double(rows.size()), theirs / double(rows.size()));
}

}  // namespace
