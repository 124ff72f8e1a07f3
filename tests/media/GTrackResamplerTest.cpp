// G-track resampling: records spread over the duration at 50 slots a second, gaps
// filled by the three-point quadratic, and the slot table never overrun.
#include "media/TrackData.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ResamplerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Leftovers of an earlier run must not show through.
        GTrackRecord junk;
        junk.dGz = 99.0;
        junk.chValid = 7;
        std::fill(std::begin(g_aGTrackResampled), std::end(g_aGTrackResampled), junk);
        g_nGSlotCount = -1;
    }

    // n records; record k carries set-1 values value(k), 2 value(k), -value(k) and a clock.
    template <typename F>
    void Records(int n, F value)
    {
        for (int k = 0; k < n; ++k) {
            GTrackRecord r;
            r.dGz = value(k);
            r.dGx = 2 * value(k);
            r.dGy = -value(k);
            r.dG2z = 5.0;
            r.chValid = 1;
            r.chHour = static_cast<std::int8_t>(k % 24);
            r.chMinute = static_cast<std::int8_t>(k % 60);
            r.chSecond = 30;
            g_aGTrack[k] = r;
        }
        g_nGRecordCount = n;
    }

    static void ExpectCleared(int from, int to)
    {
        for (int s = from; s < to; ++s) {
            ASSERT_EQ(0.0, g_aGTrackResampled[s].dGz) << s;
            ASSERT_EQ(0, g_aGTrackResampled[s].chValid) << s;
        }
    }

    CTextData data;
};

TEST_F(ResamplerTest, HundredRecordsOverTenSeconds)
{
    Records(100, [](int k) { return double(k); });
    g_nDurationMs = 10000;
    EXPECT_EQ(0, data.InterpolateGTrack());
    EXPECT_EQ(495, g_nGSlotCount);
    for (int k = 0; k <= 98; ++k) {
        const GTrackRecord& s = g_aGTrackResampled[5 * k];
        EXPECT_EQ(double(k), s.dGz) << k;
        EXPECT_EQ(5.0, s.dG2z) << k;
        EXPECT_EQ(1, s.chValid) << k;
        EXPECT_EQ(k % 60, s.chMinute) << k;
    }
    // Between records: the straight line of linear data, bytes and second set zero.
    for (int s = 1; s < 495; ++s) {
        if (s % 5 == 0)
            continue;
        const GTrackRecord& slot = g_aGTrackResampled[s];
        EXPECT_NEAR(s / 5.0, slot.dGz, 1e-9) << s;
        EXPECT_NEAR(2 * s / 5.0, slot.dGx, 1e-9) << s;
        EXPECT_NEAR(-s / 5.0, slot.dGy, 1e-9) << s;
        EXPECT_EQ(0.0, slot.dG2z) << s;
        EXPECT_EQ(0, slot.chValid) << s;
        EXPECT_EQ(0, slot.chSecond) << s;
    }
    // The last record only shapes the last quadratic.
    ExpectCleared(495, 600);
}

TEST_F(ResamplerTest, QuadraticThroughThreeRecords)
{
    const double y[] = {0.0, 1.0, 4.0};
    Records(3, [&](int k) { return y[k]; });
    g_nDurationMs = 120;  // 6 slots, step 2: y = (s / 2)^2
    data.InterpolateGTrack();
    EXPECT_EQ(4, g_nGSlotCount);
    EXPECT_EQ(0.0, g_aGTrackResampled[0].dGz);
    EXPECT_DOUBLE_EQ(0.25, g_aGTrackResampled[1].dGz);
    EXPECT_EQ(1.0, g_aGTrackResampled[2].dGz);
    EXPECT_DOUBLE_EQ(2.25, g_aGTrackResampled[3].dGz);
    EXPECT_DOUBLE_EQ(4.5, g_aGTrackResampled[3].dGx);
    EXPECT_DOUBLE_EQ(-2.25, g_aGTrackResampled[3].dGy);
    EXPECT_EQ(1, g_aGTrackResampled[2].chValid);
    EXPECT_EQ(0, g_aGTrackResampled[3].chValid);
    ExpectCleared(4, 10);
}

struct FewCase {
    const char* name;
    int records;
    int durationMs;
    int slotCount;
    bool recordInSlot0;
};

class FewRecords : public ResamplerTest, public ::testing::WithParamInterface<FewCase> {};

TEST_P(FewRecords, Table)
{
    const FewCase& c = GetParam();
    Records(c.records, [](int k) { return k + 1.0; });
    g_nDurationMs = c.durationMs;
    data.InterpolateGTrack();
    EXPECT_EQ(c.slotCount, g_nGSlotCount);
    EXPECT_EQ(c.recordInSlot0 ? 1 : 0, g_aGTrackResampled[0].chValid);
    ExpectCleared(1, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Resampler, FewRecords,
    ::testing::Values(FewCase{"None", 0, 10000, 0, false}, FewCase{"One", 1, 10000, 0, false},
                      FewCase{"Two", 2, 10000, 0, true},
                      // No duration: every record lands in slot 0, nothing is filled.
                      FewCase{"ZeroDuration", 50, 0, 0, true},
                      // A negative duration counts as none.
                      FewCase{"NegativeDuration", 50, -5000, 0, true}),
    [](const ::testing::TestParamInfo<FewCase>& info) { return std::string(info.param.name); });

TEST_F(ResamplerTest, SeveralRecordsPerSlotKeepTheLater)
{
    Records(10, [](int k) { return double(k); });
    g_nDurationMs = 100;  // 5 slots for 10 records: step 0.5
    data.InterpolateGTrack();
    EXPECT_EQ(4, g_nGSlotCount);
    EXPECT_EQ(1.0, g_aGTrackResampled[0].dGz);
    EXPECT_EQ(3.0, g_aGTrackResampled[1].dGz);
    EXPECT_EQ(7.0, g_aGTrackResampled[3].dGz);
    EXPECT_EQ(8.0, g_aGTrackResampled[4].dGz);  // record n - 2 at trunc(x1) = 4
}

TEST_F(ResamplerTest, OneHourFitsWhole)
{
    Records(kGTrackCapacity, [](int k) { return k * 0.001; });
    g_nDurationMs = 3600 * 1000;
    data.InterpolateGTrack();
    EXPECT_EQ(kGTrackCapacity - 1, g_nGSlotCount);
    EXPECT_DOUBLE_EQ((kGTrackCapacity - 2) * 0.001, g_aGTrackResampled[kGTrackCapacity - 2].dGz);
    EXPECT_EQ(1, g_aGTrackResampled[kGTrackCapacity - 2].chValid);
}

TEST_F(ResamplerTest, LongerThanTheTableStopsAtItsEnd)
{
    // Two hours of records at 25 a second: slot positions run past the table.
    Records(kGTrackCapacity, [](int k) { return k * 0.001; });
    g_nDurationMs = 2 * 3600 * 1000;
    data.InterpolateGTrack();
    EXPECT_EQ(kGSlotCapacity, g_nGSlotCount);
    // Slot 2k holds record k; the odd slots lie halfway.
    EXPECT_DOUBLE_EQ((kGSlotCapacity / 2 - 1) * 0.001, g_aGTrackResampled[kGSlotCapacity - 2].dGz);
    EXPECT_NEAR((kGSlotCapacity / 2 - 0.5) * 0.001, g_aGTrackResampled[kGSlotCapacity - 1].dGz, 1e-9);
}

TEST_F(ResamplerTest, LongestDurationDoesNotOverflow)
{
    Records(3, [](int k) { return double(k); });
    g_nDurationMs = 2147483647;  // about 596 hours
    data.InterpolateGTrack();
    EXPECT_EQ(kGSlotCapacity, g_nGSlotCount);
    EXPECT_EQ(0.0, g_aGTrackResampled[0].dGz);
    EXPECT_EQ(1, g_aGTrackResampled[0].chValid);
    EXPECT_GT(g_aGTrackResampled[kGSlotCapacity - 1].dGz, 0.0);
}

}  // namespace
