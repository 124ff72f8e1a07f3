// Headers and the DEC_ interface: refusals with their texts, user data flags,
// H.263 picture headers, creation checks and durations (with GOV time codes).
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "decoder/DecoderInternal.h"
#include "decoder/DecoderTestUtil.h"

using namespace dec;
using namespace dectest;

namespace {

std::string g_messages;

void Record(const char* format, ...)
{
    g_messages += format;
}

struct VolSpec {
    int shape = 0;
    int verid = 1;
    int sprite = 0;
    int points = 0;
    int width = 176;
    int height = 144;
    int quantType = 0;
    int intraFirst = 0; // non-zero: load an intra matrix starting with this value
};

std::vector<uint8_t> MakeVol(const VolSpec& s)
{
    BitWriter w;
    w.Bytes({0, 0, 1, 0x20});
    w.Put(0, 1);  // random_accessible_vol
    w.Put(1, 8);  // video_object_type_indication
    if (s.verid != 1) {
        w.Put(1, 1);
        w.Put(uint32_t(s.verid), 4);
        w.Put(1, 3);
    } else {
        w.Put(0, 1);
    }
    w.Put(1, 4); // aspect_ratio_info
    w.Put(0, 1); // vol_control_parameters
    w.Put(uint32_t(s.shape), 2);
    w.Put(1, 1);
    w.Put(25, 16); // vop_time_increment_resolution
    w.Put(1, 1);
    w.Put(0, 1); // fixed_vop_rate
    w.Put(1, 1);
    w.Put(uint32_t(s.width), 13);
    w.Put(1, 1);
    w.Put(uint32_t(s.height), 13);
    w.Put(1, 1);
    w.Put(0, 1); // interlaced
    w.Put(1, 1); // obmc_disable
    w.Put(uint32_t(s.sprite), s.verid == 1 ? 1 : 2);
    if (s.sprite == 2) {
        w.Put(uint32_t(s.points), 6);
        w.Put(0, 2);
        w.Put(0, 1);
    }
    w.Put(0, 1); // not_8_bit
    w.Put(uint32_t(s.quantType), 1);
    if (s.quantType) {
        w.Put(s.intraFirst ? 1 : 0, 1);
        if (s.intraFirst) {
            w.Put(uint32_t(s.intraFirst), 8);
            w.Put(0, 8);
        }
        w.Put(0, 1);
    }
    if (s.verid != 1)
        w.Put(0, 1); // quarter_sample
    w.Put(1, 1);     // complexity_estimation_disable
    w.Put(1, 1);     // resync_marker_disable
    w.Put(0, 1);     // data_partitioned
    if (s.verid != 1) {
        w.Put(0, 1); // newpred_enable
        w.Put(0, 1); // reduced_resolution_vop_enable
    }
    w.Put(0, 1); // scalability
    std::vector<uint8_t> v = w.Finish();
    v.push_back(0); // the probe needs a byte after the start code
    return v;
}

int ParseVolBytes(const std::vector<uint8_t>& bytes, VolInfo* vol)
{
    BitReader r;
    BitstreamInit(&r, bytes.data() + 4, uint32_t(bytes.size() - 4));
    g_messages.clear();
    return ParseVolHeader(vol, &r, Record);
}

struct RefusalCase {
    VolSpec spec;
    const char* message;
};

class VolRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(VolRefusalTest, ReportsTextAndMinusOne)
{
    VolInfo vol = {};
    EXPECT_EQ(ParseVolBytes(MakeVol(GetParam().spec), &vol), -1);
    EXPECT_EQ(g_messages, GetParam().message);
}

// A refused header repeated in the stream must not leave the accepted one half overwritten.
TEST_P(VolRefusalTest, LeavesTheAcceptedHeaderAsItWas)
{
    VolInfo vol = {};
    ASSERT_EQ(ParseVolBytes(MakeVol(VolSpec{}), &vol), 0);
    const VolInfo accepted = vol;
    const std::vector<uint8_t> bytes = MakeVol(GetParam().spec);
    BitReader r;
    BitstreamInit(&r, bytes.data() + 4, uint32_t(bytes.size() - 4));
    EXPECT_EQ(ParseVolHeaderOrKeep(&vol, &r, Record), -1);
    EXPECT_EQ(std::memcmp(&vol, &accepted, sizeof vol), 0);
}

VolSpec Shape(int shape)
{
    VolSpec s;
    s.shape = shape;
    return s;
}

VolSpec Sprite(int verid, int sprite, int points)
{
    VolSpec s;
    s.verid = verid;
    s.sprite = sprite;
    s.points = points;
    return s;
}

VolSpec IntraMatrix(int first)
{
    VolSpec s;
    s.quantType = 1;
    s.intraFirst = first;
    return s;
}

INSTANTIATE_TEST_SUITE_P(Refusals, VolRefusalTest,
                         ::testing::Values(RefusalCase{Shape(1), "NOT SUPPORTED : Arbitrary Shape\n"},
                                           RefusalCase{Shape(3), "NOT SUPPORTED : Arbitrary Shape\n"},
                                           RefusalCase{Sprite(1, 1, 0), "NOT SUPPORTED : sprite_enable\n"},
                                           RefusalCase{Sprite(2, 3, 0), "NOT SUPPORTED : sprite_enable\n"},
                                           RefusalCase{Sprite(2, 2, 4), "ERROR : GMC points > 3"},
                                           RefusalCase{IntraMatrix(16), "ERROR : intra quant matrix\n"}));

TEST(VolHeader, AcceptsGmcAndMatrixStartingWith8)
{
    VolInfo vol = {};
    EXPECT_EQ(ParseVolBytes(MakeVol(Sprite(2, 2, 3)), &vol), 0);
    EXPECT_EQ(vol.sprite_enable, 2);
    EXPECT_EQ(vol.no_of_sprite_warping_points, 3);
    VolInfo q = {};
    EXPECT_EQ(ParseVolBytes(MakeVol(IntraMatrix(8)), &q), 0);
    EXPECT_EQ(q.quant_type, 1);
    // One value loaded: every position repeats it.
    EXPECT_EQ(q.intra_quant_mat[0], 8);
    EXPECT_EQ(q.intra_quant_mat[63], 8);
    EXPECT_EQ(q.nonintra_quant_mat[63], kDefaultNonIntraMatrix[63]);
    EXPECT_EQ(g_messages, "");
}

TEST(Interface, ParseVideoCfgReportsSizeAndMode)
{
    std::vector<uint8_t> cfg = MakeVol(VolSpec{});
    DEC_STREAM_CONFIG sc = {};
    sc.pConfigData = cfg.data();
    sc.uConfigLength = uint32_t(cfg.size());
    DEC_PARAM p = {};
    p.pStreamConfig = &sc;
    p.pfnMessage = Record;
    int isShort = -1;
    DEC_VIDEO_INFO info = {&isShort, 0, 0};
    EXPECT_EQ(ParseVideoCfg(&p, &info), 0);
    EXPECT_EQ(isShort, 0);
    EXPECT_EQ(info.uWidth, 176u);
    EXPECT_EQ(info.uHeight, 144u);

    g_messages.clear();
    sc.uConfigLength = 0;
    EXPECT_EQ(ParseVideoCfg(&p, &info), -1);
    EXPECT_EQ(g_messages, "ERROR : Config data is NULL\n");

    // A VOL the decoder refuses is no configuration to decode with.
    const std::vector<uint8_t> refused = MakeVol(IntraMatrix(16));
    sc.pConfigData = refused.data();
    sc.uConfigLength = uint32_t(refused.size());
    g_messages.clear();
    EXPECT_EQ(ParseVideoCfg(&p, &info), -1);
    EXPECT_EQ(g_messages, "ERROR : intra quant matrix\n");

    // Neither a VOL nor an H.263 picture.
    const std::vector<uint8_t> junk(40, 0x55);
    sc.pConfigData = junk.data();
    sc.uConfigLength = uint32_t(junk.size());
    g_messages.clear();
    EXPECT_EQ(ParseVideoCfg(&p, &info), -1);
    EXPECT_EQ(g_messages, "Error : H.263 picture header corrupted\n");
}

struct InitFixture {
    DEC_STREAM_CONFIG sc = {};
    DEC_PARAM p = {};
    DEC_MEMTAB tabs[4] = {};
    std::vector<uint8_t> mem[4];
    std::vector<uint8_t> planes;
    DEC_FRAME_BUF bufs[3] = {};
    int isShort = -1;
    DEC_VIDEO_INFO info = {&isShort, 1, 1};

    void* Init(uint32_t w, uint32_t h, uint32_t n, const std::vector<uint8_t>& cfg, int mode)
    {
        sc.pConfigData = cfg.empty() ? nullptr : cfg.data();
        sc.uConfigLength = uint32_t(cfg.size());
        sc.iIsShortHdrMode = mode;
        planes.assign(size_t(w + 16) * (h + 16) * 2, 0);
        for (auto& b : bufs)
            b = {planes.data(), planes.data(), planes.data(), 0};
        p.pStreamConfig = &sc;
        p.pFrameBuffers = bufs;
        p.uFrmBufferNum = n;
        p.uMaxDecodableWidth = w;
        p.uMaxDecodableHeight = h;
        p.pfnMessage = Record;
        EXPECT_EQ(DEC_QueryMemSize(&p, tabs), 4);
        for (int i = 0; i < 4; ++i) {
            mem[i].assign(tabs[i].uSize, 0);
            tabs[i].pBase = mem[i].data();
        }
        g_messages.clear();
        return DEC_Init(tabs, &p, &info);
    }
};

TEST(Interface, CreationChecks)
{
    const std::vector<uint8_t> vol = MakeVol(VolSpec{});
    {
        InitFixture f;
        EXPECT_EQ(f.Init(650, 480, 3, vol, -1), nullptr);
        EXPECT_EQ(g_messages, "Error : uMaxDecodableWidth/Height is not multiple of 16\n");
        EXPECT_GT(f.tabs[1].uSize, 0u); // the size query accepted 650
    }
    {
        InitFixture f;
        EXPECT_EQ(f.Init(176, 144, 2, vol, -1), nullptr);
        EXPECT_EQ(g_messages, "Error : uFrmBufferNum is smaller than 3\n");
    }
    {
        InitFixture f;
        EXPECT_EQ(f.Init(176, 144, 3, {}, -1), nullptr);
        EXPECT_EQ(g_messages, "Error : iIsShortHdrMode is -1 but there is no config data\n");
    }
    {
        InitFixture f;
        EXPECT_EQ(f.Init(160, 144, 3, vol, -1), nullptr); // the VOL is wider than the maximum
        EXPECT_EQ(g_messages, "Error : VOL width/height is zero or larger than uMaxDecodableWidth/Height\n");
    }
    {
        InitFixture f;
        EXPECT_NE(f.Init(176, 144, 3, vol, 1), nullptr);
        EXPECT_EQ(f.isShort, 0); // the data decide
        EXPECT_EQ(f.info.uWidth, 176u);
        EXPECT_EQ(f.info.uHeight, 144u);
    }
    {
        // No 00 00 01 2x: short-header mode whatever the caller said, size unknown.
        InitFixture f;
        const std::vector<uint8_t> other = {0, 0, 1, 0xB6, 0x10, 0x20, 0x30};
        EXPECT_NE(f.Init(176, 144, 3, other, 0), nullptr);
        EXPECT_EQ(f.isShort, 1);
        EXPECT_EQ(f.info.uWidth, 0u);
        EXPECT_EQ(f.info.uHeight, 0u);
    }
    {
        // The walk reports an unsupported VOL and goes on; the set-up then finds no size.
        InitFixture f;
        EXPECT_EQ(f.Init(176, 144, 3, MakeVol(Shape(1)), -1), nullptr);
        EXPECT_EQ(g_messages, "NOT SUPPORTED : Arbitrary Shape\n"
                              "Error : VOL width/height is zero or larger than uMaxDecodableWidth/Height\n");
    }
    {
        // Refused after its size was read: still no size to decode with.
        InitFixture f;
        EXPECT_EQ(f.Init(176, 144, 3, MakeVol(IntraMatrix(16)), -1), nullptr);
        EXPECT_EQ(g_messages, "ERROR : intra quant matrix\n"
                              "Error : VOL width/height is zero or larger than uMaxDecodableWidth/Height\n");
    }
    {
        // A tab smaller than asked for is refused rather than overrun.
        InitFixture f;
        f.sc.pConfigData = vol.data();
        f.sc.uConfigLength = uint32_t(vol.size());
        f.Init(176, 144, 3, vol, -1);
        f.tabs[2].uSize -= 1;
        g_messages.clear();
        EXPECT_EQ(DEC_Init(f.tabs, &f.p, &f.info), nullptr);
        EXPECT_NE(g_messages, "");
    }
}

VolInfo ParseUserDataText(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), {0, 0, 1, 0xB6});
    BitReader r;
    BitstreamInit(&r, bytes.data(), uint32_t(bytes.size()));
    VolInfo vol = {};
    ParseUserData(&vol, &r);
    return vol;
}

TEST(UserData, EncoderFlags)
{
    VolInfo a = ParseUserDataText("DivX503b1393p");
    EXPECT_EQ(a.bPackedBitstream, 1);
    EXPECT_EQ(a.bOldEncoder, 0);
    EXPECT_EQ(a.workaroundFlags, 0);

    VolInfo b = ParseUserDataText("DivX500Build413");
    EXPECT_EQ(b.workaroundFlags, 0x60);
    EXPECT_EQ(b.bOldEncoder, 1);
    EXPECT_EQ(b.bPackedBitstream, 0);

    EXPECT_EQ(ParseUserDataText("XviD0012").bOldEncoder, 1);
    EXPECT_EQ(ParseUserDataText("XviD0013").bOldEncoder, 0);

    // Only the first 30 bytes count: the "p" at byte 31 is not seen.
    VolInfo c = ParseUserDataText("DivX503b1393" + std::string(18, 'x') + "p" + std::string(9, 'y'));
    EXPECT_EQ(c.bPackedBitstream, 0);
    VolInfo d = ParseUserDataText("DivX503b1393p" + std::string(27, 'z'));
    EXPECT_EQ(d.bPackedBitstream, 1);
}

// H.263 picture header with PLUSPTYPE: UFEP 1, custom or standard format.
std::vector<uint8_t> PlusPicture(int format, int options, int pwi, int phi)
{
    BitWriter w;
    w.Put(0x20, 22); // PSC
    w.Put(7, 8);     // TR
    w.Put(0x10, 5);  // PTYPE bits before the source format
    w.Put(7, 3);     // PLUSPTYPE
    w.Put(1, 3);     // UFEP
    w.Put(uint32_t(format), 3);
    w.Put(0, 1);     // custom PCF
    w.Put(0, 1);     // UMV
    w.Put(uint32_t(options), 9);
    w.Put(8, 4);     // 1000
    w.Put(0, 3);     // I picture
    w.Put(0, 2);     // RPR, RRU
    w.Put(0, 1);     // RTYPE
    w.Put(1, 3);     // 001
    w.Put(0, 1);     // CPM
    if (format == 6) {
        w.Put(2, 4); // PAR 12:11
        w.Put(uint32_t(pwi), 9);
        w.Put(1, 1);
        w.Put(uint32_t(phi), 9);
    }
    w.Put(5, 5); // PQUANT
    w.Put(0, 1); // PEI
    std::vector<uint8_t> v = w.Finish();
    v.resize(v.size() + 8, 0);
    return v;
}

int ParsePicture(const std::vector<uint8_t>& bytes, VolInfo* vol)
{
    BitReader r;
    BitstreamInit(&r, bytes.data(), uint32_t(bytes.size()));
    g_messages.clear();
    return ParseH263PictureHeader(vol, &r, Record);
}

TEST(H263Header, CustomSizeFromPlusType)
{
    VolInfo vol = {};
    ASSERT_EQ(ParsePicture(PlusPicture(6, 0, 159, 120), &vol), 0);
    EXPECT_EQ(vol.video_object_layer_width, 640);
    EXPECT_EQ(vol.video_object_layer_height, 480);
    EXPECT_EQ(vol.vop_quant, 5);
    EXPECT_EQ(vol.vop_time_increment, 7);
    VolInfo cif = {};
    ASSERT_EQ(ParsePicture(PlusPicture(3, 0, 0, 0), &cif), 0);
    EXPECT_EQ(cif.video_object_layer_width, 352);
}

TEST(H263Header, RefusedOptionsReportTheText)
{
    for (int bit = 0; bit < 9; ++bit) {
        VolInfo vol = {};
        EXPECT_EQ(ParsePicture(PlusPicture(2, 1 << bit, 0, 0), &vol), -1) << bit;
        EXPECT_EQ(g_messages, "Not supported H263 features\n") << bit;
    }
}

TEST(BitReader, ReadsZerosPastTheEnd)
{
    const uint8_t data[1] = {0xA5};
    BitReader r;
    BitstreamInit(&r, data, 1);
    EXPECT_EQ(BitstreamGetBits(&r, 16), 0xA500u);
    EXPECT_LT(BitstreamBitsLeft(&r), 0);
    EXPECT_EQ(BitstreamGetBits(&r, 24), 0u);
}

TEST(StartCodes, VolProbeNeedsAByteAfterTheCode)
{
    const uint8_t vol[] = {0, 0, 1, 0x21, 0};
    EXPECT_EQ(ProbeVolStartCode(vol, 5), 0);
    EXPECT_EQ(ProbeVolStartCode(vol, 4), -1);
    const uint8_t vop[] = {0, 0, 1, 0xB6, 0};
    EXPECT_EQ(ProbeVolStartCode(vop, 5), -1);
    EXPECT_EQ(BitLength(-1), 0);
    EXPECT_EQ(BitLength(0), 1);
    EXPECT_EQ(BitLength(24), 5);
}

TEST(Durations, H263TemporalReferenceWraps)
{
    std::vector<uint8_t> stream = MakeStream("tr.h263", "176x144", 2, "-c:v h263 -g 1 -f h263");
    ASSERT_FALSE(stream.empty());
    auto chunks = SplitPictures(stream, true);
    ASSERT_EQ(chunks.size(), 2u);
    // TR sits in the 8 bits after the 22-bit start code.
    auto setTr = [](std::vector<uint8_t>& c, int tr) {
        c[2] = uint8_t((c[2] & 0xFC) | (tr >> 6));
        c[3] = uint8_t((c[3] & 0x03) | ((tr & 0x3F) << 2));
    };
    setTr(chunks[0], 250);
    setTr(chunks[1], 4);
    OurDecoder dec(176, 144, chunks[0], -1, true);
    ASSERT_NE(dec.handle(), nullptr);
    const auto pics = dec.DecodeAll(chunks, false);
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[1].duration, 30030u);
}

}  // namespace

namespace {

bool HasGovHeader(const std::vector<uint8_t>& s)
{
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB3)
            return true;
    return false;
}

// FFmpeg writes a GOV header before every I-VOP; its time code is the second
// of the first picture shown after it, which with B-VOPs comes before the
// I-VOP. Delayed output gives each picture its own frame interval; low-delay
// output (decoding order) never goes back in time and ends at the same time.
TEST(Durations, GovTimeCodesWithBPictures)
{
    struct Case {
        const char* name;
        int frames;
        const char* args;
        uint32_t ticks; // of one frame interval
    } cases[] = {
        {"gov25.m4v", 150, "-c:v mpeg4 -bf 2 -g 25 -f m4v", 3600},
        {"gov10.m4v", 40, "-c:v mpeg4 -bf 2 -g 7 -r 10 -f m4v", 9000},
        // Three seconds a picture: modulo_time_base of 3 in every VOP.
        {"gov_slow.m4v", 12, "-c:v mpeg4 -bf 1 -g 4 -r 1/3 -f m4v", 270000},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> stream = MakeStream(c.name, "176x144", c.frames, c.args);
        ASSERT_TRUE(HasGovHeader(stream)) << c.name;
        const auto chunks = SplitPictures(stream, false);
        for (bool lowDelay : {false, true}) {
            OurDecoder dec(176, 144, ConfigHeaders(stream), 0, lowDelay);
            ASSERT_NE(dec.handle(), nullptr);
            const auto pics = dec.DecodeAll(chunks, !lowDelay);
            ASSERT_EQ(pics.size(), size_t(c.frames)) << c.name;
            EXPECT_EQ(pics[0].duration, 0u) << c.name;
            uint64_t total = 0;
            for (size_t i = 1; i < pics.size(); ++i) {
                if (!lowDelay) {
                    EXPECT_EQ(pics[i].duration, c.ticks) << c.name << " picture " << i;
                }
                EXPECT_LE(pics[i].duration, 3u * c.ticks) << c.name << " picture " << i << " low delay";
                total += pics[i].duration;
            }
            EXPECT_EQ(total, uint64_t(c.frames - 1) * c.ticks) << c.name << " low delay " << lowDelay;
        }
    }
}

// Two recordings one after the other: the second time code goes back to 0.
// The first picture of the second lasts nothing, the rest their interval.
TEST(Durations, TimeCodeGoingBackStartsCountingAgain)
{
    std::vector<uint8_t> stream = MakeStream("gov_twice.m4v", "176x144", 30, "-c:v mpeg4 -bf 2 -g 10 -f m4v");
    ASSERT_TRUE(HasGovHeader(stream));
    const size_t one = stream.size();
    stream.insert(stream.end(), stream.begin(), stream.begin() + long(one));
    OurDecoder dec(176, 144, ConfigHeaders(stream), 0, false);
    ASSERT_NE(dec.handle(), nullptr);
    const auto pics = dec.DecodeAll(SplitPictures(stream, false), true);
    ASSERT_EQ(pics.size(), 60u);
    for (size_t i = 0; i < pics.size(); ++i)
        EXPECT_EQ(pics[i].duration, i % 30 == 0 ? 0u : 3600u) << "picture " << i;
}

}  // namespace
