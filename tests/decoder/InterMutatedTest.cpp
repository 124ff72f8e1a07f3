// Mutated inter streams (bit flips, overwritten and dropped bytes, spliced
// start codes, truncation, chunks cut anywhere) decode or fail cleanly; the
// sanitizer build checks that nothing is read or written out of bounds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

struct Kind {
  const char* name;
  const char* args;
  bool h263;
};

const Kind kKinds[] = {
    {"mut_simple_b", "-c:v mpeg4 -q:v 6 -g 8 -bf 2 -ps 200", false},
    {"mut_qpel_mv4", "-c:v mpeg4 -q:v 6 -g 8 -bf 1 -flags +qpel+mv4", false},
    {"mut_partitioned", "-c:v mpeg4 -q:v 6 -g 8 -data_partitioning 1 -ps 200", false},
    {"mut_interlaced", "-c:v mpeg4 -q:v 6 -g 8 -bf 1 -flags +ildct+ilme", false},
    {"mut_xvid_gmc", "-c:v libxvid -q:v 6 -g 8 -gmc 1 -bf 1 -flags +qpel", false},
    {"mut_h263", "-c:v h263 -q:v 6 -g 8 -ps 200", true},
};

std::vector<uint8_t> Mutate(std::vector<uint8_t> s, std::mt19937& rng) {
  auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
  const int edits = 1 + static_cast<int>(rng() % 6);
  for (int e = 0; e < edits && !s.empty(); ++e) {
    switch (rng() % 6) {
      case 0:  // bit flips
        for (int i = 0; i < 1 + static_cast<int>(rng() % 8); ++i) s[pick(s.size())] ^= uint8_t(1u << (rng() % 8));
        break;
      case 1: {  // overwritten run
        const size_t at = pick(s.size());
        for (size_t i = at; i < at + 1 + rng() % 32 && i < s.size(); ++i) s[i] = uint8_t(rng());
        break;
      }
      case 2: {  // dropped run
        const size_t at = pick(s.size());
        s.erase(s.begin() + static_cast<long>(at),
                s.begin() + static_cast<long>(std::min(s.size(), at + 1 + rng() % 200)));
        break;
      }
      case 3: {  // spliced start code: VOP, VOL, resync-like or H.263 picture
        static const uint8_t codes[][5] = {{0, 0, 1, 0xB6, 0x50}, {0, 0, 1, 0x20, 0x08},
                                           {0, 0, 0x80, 0x12, 0x34}, {0, 0, 0x82, 0x06, 0x1C}};
        const auto& c = codes[rng() % 4];
        s.insert(s.begin() + static_cast<long>(pick(s.size())), c, c + 5);
        break;
      }
      case 4:  // truncation
        s.resize(pick(s.size()));
        break;
      default: {  // a copy of another stretch
        const size_t from = pick(s.size()), to = pick(s.size());
        const size_t n = std::min<size_t>(1 + rng() % 300, s.size() - from);
        std::vector<uint8_t> piece(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(from + n));
        s.insert(s.begin() + static_cast<long>(to), piece.begin(), piece.end());
        break;
      }
    }
  }
  return s;
}

class InterMutatedTest : public ::testing::TestWithParam<Kind> {};

TEST_P(InterMutatedTest, AnyBytesDecodeWithoutFault) {
  const Kind k = GetParam();
  const auto stream = Encode(k.name, PannedSource(176, 144, 16), k.args, k.h263 ? "h263" : "m4v");
  ASSERT_FALSE(stream.empty());
  const Split clean = k.h263 ? SplitH263(stream) : SplitMpeg4(stream);
  ASSERT_GE(clean.chunks.size(), 16u);
  // VIEWER_FUZZ_ITERATIONS runs longer by hand; CI keeps the default.
  const char* env = std::getenv("VIEWER_FUZZ_ITERATIONS");
  const int iterations = env ? std::atoi(env) : 150;
  const char* seedEnv = std::getenv("VIEWER_FUZZ_SEED");
  std::mt19937 rng(seedEnv ? static_cast<uint32_t>(std::atoi(seedEnv)) : 12345u);
  int pictures = 0;
  for (int iter = 0; iter < iterations; ++iter) {
    // The configuration and the pictures, mutated as one stream.
    std::vector<uint8_t> all = clean.config;
    for (const auto& c : clean.chunks) all.insert(all.end(), c.begin(), c.end());
    const size_t configLen = clean.config.size();
    auto bad = Mutate(all, rng);
    const bool mutateConfig = iter % 10 == 0;
    std::vector<uint8_t> config(bad.begin(), bad.begin() + static_cast<long>(std::min(configLen, bad.size())));
    if (!mutateConfig) config = clean.config;
    OurDecoder dec(config, k.h263 ? 1 : -1, 176, 144, iter % 3 == 0, iter % 4 == 0);
    if (!dec.ok()) continue;
    const Split cut = k.h263 ? SplitH263(bad) : SplitMpeg4(bad);
    std::vector<Picture> out;
    if (iter % 2) {
      for (const auto& c : cut.chunks) dec.Decode(c.data(), c.size(), &out, 1, rng() % 16 == 0);
    } else {
      // Chunks cut anywhere, the end-of-frame flag only now and then.
      size_t pos = 0;
      while (pos < bad.size()) {
        const size_t n = std::min(bad.size() - pos, size_t(1 + rng() % 3000));
        const uint32_t used = dec.Decode(bad.data() + pos, n, &out, rng() % 3 == 0, 0);
        ASSERT_LE(used, n);
        pos += n;
      }
    }
    dec.Decode(nullptr, 0, &out);
    dec.Decode(nullptr, 0, &out);
    for (const auto& p : out) {
      ASSERT_LE(p.width, 176);
      ASSERT_LE(p.height, 144);
      ASSERT_GE(p.percent, 0);
      ASSERT_LE(p.percent, 100);
    }
    pictures += static_cast<int>(out.size());
  }
  EXPECT_GT(pictures, 0);
}

INSTANTIATE_TEST_SUITE_P(Streams, InterMutatedTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
