// A VOL of a new picture size in mid-stream: two FFmpeg recordings of
// different sizes one after the other decode to the pictures FFmpeg gives for
// each, at its own size, with the rest of a chunk fed again as the interface
// asks.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "decoder/DecoderTestUtil.h"
#include "decoder/FfmpegReference.h"

using namespace dectest;

namespace {

struct SizeCase {
    const char* first;
    const char* second;
};

void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.first << " to " << c.second;
}

class SizeChangeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeChangeTest, BothSizesMatchFfmpeg)
{
    const SizeCase c = GetParam();
    const std::string args = "-c:v mpeg4 -q:v 3 -bf 2 -g 10 -f m4v";
    std::vector<uint8_t> stream = MakeStream(std::string("size_a_") + c.first + ".m4v", c.first, 20, args);
    const std::vector<uint8_t> second = MakeStream(std::string("size_b_") + c.second + ".m4v", c.second, 20, args);
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(second.empty());
    // FFmpeg on each recording by itself: on the joined stream it drops the
    // picture held back from the first size.
    auto ref = FfmpegDecode(stream, AV_CODEC_ID_MPEG4);
    const auto ref2 = FfmpegDecode(second, AV_CODEC_ID_MPEG4);
    ref.insert(ref.end(), ref2.begin(), ref2.end());
    ASSERT_EQ(ref.size(), 40u);
    stream.insert(stream.end(), second.begin(), second.end());
    for (bool lowDelay : {false, true}) {
        OurDecoder dec(352, 288, ConfigHeaders(stream), 0, lowDelay);
        ASSERT_NE(dec.handle(), nullptr);
        const auto pics = dec.DecodeAll(SplitPictures(stream, false), !lowDelay);
        ASSERT_EQ(pics.size(), ref.size()) << "low delay " << lowDelay;
        for (size_t i = 0; i < pics.size(); ++i) {
            EXPECT_EQ(pics[i].percent, 100) << "picture " << i << " low delay " << lowDelay;
            EXPECT_LE(pics[i].duration, lowDelay ? 3u * 3600u : 3600u) << "picture " << i;
            if (!lowDelay) {
                ASSERT_EQ(pics[i].width, ref[i].width) << "picture " << i;
                ASSERT_EQ(pics[i].height, ref[i].height) << "picture " << i;
                const YuvPsnr psnr = ComparePictures(pics[i], ref[i]);
                EXPECT_GE(psnr.Worst(), 50.0) << "picture " << i << " Y " << psnr.y << " U " << psnr.u;
                continue;
            }
            // Decoding order: the same picture is somewhere in FFmpeg's output.
            bool found = false;
            for (const Picture& r : ref)
                found = found || (r.width == pics[i].width && ComparePictures(pics[i], r).Worst() >= 50.0);
            EXPECT_TRUE(found) << "low-delay picture " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeChangeTest,
                         ::testing::Values(SizeCase{"352x288", "176x144"}, SizeCase{"176x144", "352x288"},
                                           SizeCase{"200x120", "330x250"}),
                         [](const ::testing::TestParamInfo<SizeCase>& i) {
                             return std::string(i.param.first).replace(3, 1, "_") + "_to_" +
                                    std::string(i.param.second).replace(3, 1, "_");
                         });

// A stretch of a size past the maxima is refused; the pictures after it, of
// the old size again, decode as from a fresh start: none decoded before the
// refused VOL goes out a second time with a map the new layout wiped.
TEST(SizeChange, SizePastTheMaximaIsSkippedAndNothingGoesOutTwice)
{
    const std::string args = "-c:v mpeg4 -q:v 3 -bf 2 -g 10 -f m4v";
    const auto small = MakeStream("past_small.m4v", "176x144", 20, args);
    const auto large = MakeStream("past_large.m4v", "352x288", 10, args);
    ASSERT_FALSE(small.empty());
    ASSERT_FALSE(large.empty());
    const auto once = FfmpegDecode(small, AV_CODEC_ID_MPEG4);
    ASSERT_EQ(once.size(), 20u);
    auto ref = once;
    ref.insert(ref.end(), once.begin(), once.end());
    std::vector<uint8_t> stream = small;
    stream.insert(stream.end(), large.begin(), large.end());
    stream.insert(stream.end(), small.begin(), small.end());
    OurDecoder dec(176, 144, ConfigHeaders(stream), 0, false);
    ASSERT_NE(dec.handle(), nullptr);
    const auto pics = dec.DecodeAll(SplitPictures(stream, false), true);
    ASSERT_EQ(pics.size(), ref.size());
    for (size_t i = 0; i < pics.size(); ++i) {
        ASSERT_EQ(pics[i].width, 176) << "picture " << i;
        EXPECT_EQ(pics[i].percent, 100) << "picture " << i;
        EXPECT_EQ(std::count(pics[i].errorMap.begin(), pics[i].errorMap.end(), 0), 99) << "picture " << i;
        EXPECT_GE(ComparePictures(pics[i], ref[i]).Worst(), 50.0) << "picture " << i;
    }
}

}  // namespace
