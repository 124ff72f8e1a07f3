// Damaged recordings are the decoder's normal input: thousands of mutated
// intra streams (bit flips, truncations, spliced start codes, bytes of
// garbage) decode without a fault. Every buffer the decoder sees is sized
// exactly, so the sanitizer build catches a read or write past any of them.
#include <gtest/gtest.h>

#include <random>

#include "decoder/DecoderTestUtil.h"

using namespace dectest;

namespace {

struct Base {
    const char* name;
    const char* size;
    bool h263;
    const char* args;
};

const Base kBases[] = {
    {"fz_plain.m4v", "128x96", false, "-c:v mpeg4 -g 1 -f m4v"},
    {"fz_dp.m4v", "128x96", false, "-c:v mpeg4 -g 1 -data_partitioning 1 -ps 200 -f m4v"},
    {"fz_quant.m4v", "128x96", false, "-c:v mpeg4 -g 1 -mpeg_quant 1 -ps 200 -f m4v"},
    {"fz_sqcif.h263", "128x96", true, "-c:v h263 -g 1 -ps 100 -f h263"},
};

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& s, std::mt19937& gen)
{
    std::vector<uint8_t> m = s;
    const int edits = 1 + int(gen() % 6);
    for (int e = 0; e < edits && !m.empty(); ++e) {
        const size_t at = gen() % m.size();
        switch (gen() % 6) {
        case 0: // bit flips
        case 1:
            m[at] ^= uint8_t(1u << (gen() % 8));
            break;
        case 2: // truncation
            m.resize(at);
            break;
        case 3: { // spliced start code
            static const uint8_t codes[] = {0x20, 0xB2, 0xB3, 0xB6, 0xB6, 0x00};
            const uint8_t sc[4] = {0, 0, 1, codes[gen() % sizeof(codes)]};
            m.insert(m.begin() + long(at), sc, sc + 4);
            break;
        }
        case 4: { // a run of garbage
            const size_t n = std::min<size_t>(1 + gen() % 16, m.size() - at);
            for (size_t i = 0; i < n; ++i)
                m[at + i] = uint8_t(gen());
            break;
        }
        default: { // a piece cut out
            const size_t n = std::min<size_t>(1 + gen() % 64, m.size() - at);
            m.erase(m.begin() + long(at), m.begin() + long(at + n));
            break;
        }
        }
    }
    return m;
}

// Feeds the stream in chunks cut at random places, each in its own exact
// allocation, with random end-of-frame and reset flags; then flushes.
void FeedRandomly(OurDecoder& dec, const std::vector<uint8_t>& s, std::mt19937& gen)
{
    size_t off = 0;
    int calls = 0;
    while (off < s.size() && calls++ < 200) {
        const size_t n = std::min<size_t>(1 + gen() % 3000, s.size() - off);
        std::vector<uint8_t> chunk(s.begin() + long(off), s.begin() + long(off + n));
        DEC_INPUT in = {};
        in.pData = chunk.data();
        in.uLength = uint32_t(chunk.size());
        in.bEndOfFrame = int(gen() % 3 != 0);
        in.bReset = int(gen() % 17 == 0);
        DEC_FRAME_RESULT res = {-1, 0};
        DEC_OUTPUT out = {};
        out.pResult = &res;
        const uint32_t used = DEC_Decode(dec.handle(), &in, &out);
        ASSERT_LE(used, in.uLength);
        if (out.pY) {
            ASSERT_GE(out.uPercentDecoded, 0);
            ASSERT_LE(out.uPercentDecoded, 100);
            ASSERT_NE(out.pErrorMap, nullptr);
        }
        off += used ? used : n;
    }
    std::vector<Picture> pics;
    dec.Decode(nullptr, 0, &pics);
}

TEST(MutatedStreams, DecodeWithoutFault)
{
    std::mt19937 gen(20261210);
    int mutants = 0;
    for (const Base& b : kBases) {
        const std::vector<uint8_t> s = MakeStream(b.name, b.size, 2, b.args);
        ASSERT_FALSE(s.empty()) << b.name;
        const std::vector<uint8_t> config =
            b.h263 ? SplitPictures(s, true).front() : ConfigHeaders(s);
        for (int i = 0; i < 520; ++i) {
            const std::vector<uint8_t> m = Mutate(s, gen);
            // Mostly the intact configuration, sometimes a mutated one.
            const std::vector<uint8_t> cfg = (i % 8 == 0) ? Mutate(config, gen) : config;
            OurDecoder dec(128, 96, cfg, int(gen() % 3) - 1, gen() % 2 == 0, 3 + int(gen() % 2));
            if (!dec.handle())
                continue;
            FeedRandomly(dec, m, gen);
            ++mutants;
        }
    }
    EXPECT_GT(mutants, 2000);
}

// Bytes that were never a stream, with and without a header in front.
TEST(MutatedStreams, GarbageDecodesWithoutFault)
{
    std::mt19937 gen(99);
    const std::vector<uint8_t> s = MakeStream("fz_g.m4v", "128x96", 1, "-c:v mpeg4 -g 1 -f m4v");
    ASSERT_FALSE(s.empty());
    const std::vector<uint8_t> config = ConfigHeaders(s);
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> junk(1 + gen() % 4000);
        for (auto& v : junk)
            v = uint8_t(gen() % 4 == 0 ? 0 : gen());
        if (i % 2)
            junk.insert(junk.begin(), {0, 0, 1, 0xB6});
        OurDecoder dec(128, 96, i % 3 ? config : junk, i % 3 ? 0 : -1, i % 2 == 0);
        if (!dec.handle())
            continue;
        FeedRandomly(dec, junk, gen);
        // The configuration probe alone on the same bytes.
        DEC_STREAM_CONFIG sc = {};
        sc.pConfigData = junk.data();
        sc.uConfigLength = uint32_t(junk.size());
        DEC_PARAM p = {};
        p.pStreamConfig = &sc;
        int isShort = 0;
        DEC_VIDEO_INFO info = {&isShort, 0, 0};
        ParseVideoCfg(&p, &info);
    }
}

}  // namespace
