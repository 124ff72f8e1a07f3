// The VOL header put in front of the repaired VOPs, and the bit writer that makes it.
#include "RepairTestSupport.h"
#include "decoder/Decoder.h"
#include "repair/VolHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header() { return Bytes(g_abVolHeader, g_abVolHeader + 66); }

TEST(VolHeader, Is66BytesFor640x480ExactlyAsTheCameraExpects)
{
    ASSERT_EQ(BuildVolHeader(640, 480), 66);
    Bytes expected = {0x00, 0x00, 0x01, 0xB0, 0x03, 0x00, 0x00, 0x01, 0xB5, 0x89, 0x13, 0x00, 0x00, 0x01, 0xB2};
    const char* text = "Halvenric";
    expected.insert(expected.end(), text, text + 9);
    expected.insert(expected.end(), 23, 0x00);
    const Bytes tail = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xC4,
                        0x88, 0x81, 0xF4, 0x51, 0x40, 0x43, 0xC1, 0x46, 0x3F};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Header(), expected);
}

TEST(VolHeader, Is66BytesForEverySizeThatFits13BitsAndRefusesOthers)
{
    struct Case { int w, h, len; } cases[] = {
        {1, 1, 66}, {176, 144, 66}, {320, 240, 66}, {1920, 1080, 66}, {8191, 8191, 66},
        {0, 480, 0}, {640, 0, 0}, {8192, 480, 0}, {640, 8192, 0}, {-16, 480, 0}};
    for (const Case& c : cases) EXPECT_EQ(BuildVolHeader(c.w, c.h), c.len) << c.w << "x" << c.h;
}

TEST(VolHeader, CarriesWidthAndHeightIn13BitFieldsBetweenMarkers)
{
    // Bit 44 after the VOL start code starts the width; marker, height, marker.
    ASSERT_EQ(BuildVolHeader(0x1555, 0x0AAA), 66);
    auto bit = [](int n) { return (g_abVolHeader[55 + n / 8] >> (7 - n % 8)) & 1; };
    auto field = [&](int at, int n) { unsigned v = 0; for (int i = 0; i < n; ++i) v = v << 1 | bit(at + i); return v; };
    EXPECT_EQ(field(4 + 40, 13), 0x1555u);
    EXPECT_EQ(bit(57), 1);
    EXPECT_EQ(field(58, 13), 0x0AAAu);
    EXPECT_EQ(bit(71), 1);
}

TEST(VolHeader, OurDecoderReadsTheSizeBackFromIt)
{
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{200, 152}, std::pair{8191, 8191}}) {
        ASSERT_EQ(BuildVolHeader(width, height), 66);
        DEC_STREAM_CONFIG config{};
        config.pConfigData = g_abVolHeader;
        config.uConfigLength = 66;
        config.iIsShortHdrMode = -1;
        DEC_PARAM param{};
        param.pStreamConfig = &config;
        std::int32_t shortHeader = -1;
        DEC_VIDEO_INFO info{};
        info.piIsShortHdr = &shortHeader;
        ASSERT_EQ(ParseVideoCfg(&param, &info), 0) << width << "x" << height;
        EXPECT_EQ(shortHeader, 0);
        EXPECT_EQ(info.uWidth, unsigned(width));
        EXPECT_EQ(info.uHeight, unsigned(height));
    }
}

struct BitsCase {
    const char* name;
    std::vector<std::pair<int, std::uint32_t>> writes;
    Bytes expected;
    long bits;
};

TEST(PutBits, AppendsMostSignificantFirstAcrossByteBorders)
{
    const BitsCase cases[] = {
        {"nibble then byte", {{4, 0xF}, {8, 0xAB}}, {0xFA, 0xB0}, 12},
        {"32 bits off a border", {{5, 0}, {32, 0x12345678}}, {0x00, 0x91, 0xA2, 0xB3, 0xC0}, 37},
        {"only the low bits", {{3, 0xFF}, {5, 0}}, {0xE0}, 8},
        {"13 bits over three bytes", {{7, 0}, {13, 0x1FFF}, {4, 0}}, {0x01, 0xFF, 0xF0}, 24},
        {"single bits", {{1, 1}, {1, 0}, {1, 1}, {1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 1}}, {0xB1, 0x80}, 9},
    };
    for (const BitsCase& c : cases) {
        std::uint8_t buffer[16] = {};
        BitWriter w;
        InitBitWriter(&w, buffer, sizeof buffer);
        for (const auto& [n, v] : c.writes) PutBits(&w, n, v);
        EXPECT_EQ(Bytes(buffer, buffer + c.expected.size()), c.expected) << c.name;
        EXPECT_EQ(w.totalBits, c.bits) << c.name;
        EXPECT_EQ(w.ptr - buffer, c.bits / 8) << c.name;
        EXPECT_EQ(w.bitPos, c.bits % 8) << c.name;
    }
}

TEST(PutBits, ClearsTheBitsAfterThePositionAndKeepsThoseBefore)
{
    std::uint8_t buffer[4];
    std::memset(buffer, 0xFF, sizeof buffer);
    BitWriter w;
    InitBitWriter(&w, buffer, sizeof buffer);
    PutBits(&w, 3, 0b010);
    EXPECT_EQ(buffer[0], 0x40);
    PutBits(&w, 2, 0b11);
    EXPECT_EQ(buffer[0], 0x58);
}

TEST(PutBits, NeverWritesPastTheBuffer)
{
    std::uint8_t buffer[3] = {0, 0, 0x5A};
    BitWriter w;
    InitBitWriter(&w, buffer, 2);
    PutBits(&w, 12, 0xFFF);
    PutBits(&w, 8, 0xFF);  // would need a third byte
    EXPECT_TRUE(w.overflow);
    EXPECT_EQ(buffer[1], 0xF0);
    EXPECT_EQ(buffer[2], 0x5A);
    EXPECT_EQ(w.totalBits, 12);
    PutBits(&w, 0, 1);
    PutBits(&w, 33, 1);
    EXPECT_EQ(w.totalBits, 12);
}

TEST(PutBits, StuffsToTheByteBorderOnlyWhenNotAligned)
{
    std::uint8_t buffer[4] = {};
    BitWriter w;
    InitBitWriter(&w, buffer, sizeof buffer);
    AlignWithStuffing(&w);
    EXPECT_EQ(w.totalBits, 0);
    PutBits(&w, 5, 0b10101);
    AlignWithStuffing(&w);
    EXPECT_EQ(buffer[0], 0xAB);  // 10101 011
    PutBits(&w, 1, 1);
    AlignWithStuffing(&w);
    EXPECT_EQ(buffer[1], 0xBF);  // 1 0111111
    EXPECT_EQ(w.totalBits, 16);
}

TEST(PutUserDataBytes, AppendsThe32BytesAtAnyBitPosition)
{
    std::uint8_t text[32];
    for (int i = 0; i < 32; ++i) text[i] = static_cast<std::uint8_t>(0x11 * (i % 16));
    std::uint8_t buffer[40] = {};
    BitWriter w;
    InitBitWriter(&w, buffer, sizeof buffer);
    PutBits(&w, 4, 0xA);
    PutUserDataBytes(&w, text);
    EXPECT_EQ(w.totalBits, 4 + 256);
    for (int i = 0; i < 32; ++i) {
        const int got = ((buffer[i] & 0x0F) << 4) | (buffer[i + 1] >> 4);
        EXPECT_EQ(got, text[i]) << i;
    }
}

// FFmpeg reads the header as the stream's own: the VOPs of a recording behind it decode
// to the same pictures, at the header's size.
class VolHeaderWithFfmpeg : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(VolHeaderWithFfmpeg, LetsFfmpegDecodeTheVopsOfARecordingOfThatSize)
{
    const auto [width, height] = GetParam();
    const QString dir = repairtest::Scratch(QStringLiteral("vol"));
    const QString original = dir + QStringLiteral("/orig_%1x%2.m4v").arg(width).arg(height);
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(original, 1, 4, width, height, false));
    const QByteArray stream = repairtest::ReadFile(original);
    const auto vops = repairtest::VopOffsets(stream);
    ASSERT_FALSE(vops.empty());

    ASSERT_EQ(BuildVolHeader(width, height), 66);
    const QByteArray rebuilt = QByteArray(reinterpret_cast<const char*>(g_abVolHeader), 66) + stream.mid(vops.front());
    const QString repaired = dir + QStringLiteral("/ours_%1x%2.m4v").arg(width).arg(height);
    ASSERT_TRUE(repairtest::WriteFile(repaired, rebuilt));

    std::string error;
    const auto want = repairtest::DecodeWithFfmpeg(original, &error);
    const auto got = repairtest::DecodeWithFfmpeg(repaired, &error);
    ASSERT_EQ(want.size(), 30u);
    ASSERT_EQ(got.size(), want.size()) << error;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].width, width);
        EXPECT_EQ(got[i].height, height);
        EXPECT_GE(repairtest::Psnr(got[i], want[i]), 99) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, VolHeaderWithFfmpeg,
                         ::testing::Values(std::make_pair(640, 480), std::make_pair(320, 240), std::make_pair(200, 152)));

}  // namespace
