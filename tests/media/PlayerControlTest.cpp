// Play, pause, stop, seek, step and rate on real recordings: the states and answers,
// and the frame numbers read back from the pictures of both windows.
#include "tests/media/PlayerTestSupport.h"

#include <QFile>

using namespace playertest;

namespace {
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

constexpr int kFps = 25;

class PlayerControl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        recgen::RecordingSpec s = Spec(2);
        s.fps = kFps;
        s.rearWidth = 160;
        s.rearHeight = 120;
        s.gop = 12;
        path_ = new std::string(Make("control.mp4", s));
    }
    static void TearDownTestSuite()
    {
        delete path_;
        path_ = nullptr;
    }
    void SetUp() override
    {
        player.Init(2, &w1, &w2);
        ASSERT_EQ(player.OpenFile(QString::fromStdString(*path_)), 1);
    }
    int Front() const { return FrameNumber(player.LastFrame(0)); }
    int Rear() const { return FrameNumber(player.LastFrame(1)); }

    static std::string* path_;
    TestWindow w1, w2{160, 120};
    CDShowPlayer player;
};
std::string* PlayerControl::path_ = nullptr;

TEST_F(PlayerControl, StatesFollowTheCalls)
{
    EXPECT_EQ(player.GetState(), kStateStopped);
    EXPECT_EQ(player.Graph()->Stop(), VFW_E_WRONG_STATE);
    EXPECT_EQ(player.Stop(), 0);
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.GetState(), kStateRunning);
    EXPECT_EQ(player.Graph()->Play(), VFW_E_WRONG_STATE);  // already running
    EXPECT_EQ(player.Pause(), 1);
    EXPECT_EQ(player.GetState(), kStatePaused);
    EXPECT_EQ(player.Stop(), 1);
    EXPECT_EQ(player.GetState(), kStateStopped);
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.GetState(), kStateRunning);
}

TEST_F(PlayerControl, SeekShowsTheFrameAtTheTimeInBothWindows)
{
    for (int ms : {1500, 420, 0, 2960, 1000}) {
        ASSERT_EQ(player.SeekMs(ms), 1) << ms;
        EXPECT_EQ(Front(), FrameAt(ms, kFps)) << ms;
        EXPECT_EQ(Rear(), FrameAt(ms, kFps)) << ms;
        EXPECT_EQ(player.GetPositionMs(), ms);
    }
    // The same picture reaches the windows through the event loop.
    ProcessEvents(30);
    EXPECT_EQ(FrameNumber(w1.last), FrameAt(1000, kFps));
    EXPECT_EQ(FrameNumber(w2.last), FrameAt(1000, kFps));
}

TEST_F(PlayerControl, FrameStepShowsExactlyTheNextFrame)
{
    ASSERT_EQ(player.SeekMs(1500), 1);
    const int at = FrameAt(1500, kFps);
    ASSERT_EQ(Front(), at);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(player.FrameStep(1), 1);
        EXPECT_EQ(Front(), at + i);
        EXPECT_EQ(Rear(), at + i);
        ProcessEvents(20);
        EXPECT_EQ(FrameNumber(w1.last), at + i);
        EXPECT_EQ(FrameNumber(w2.last), at + i);
        // The position moves with the picture.
        EXPECT_EQ(FrameAt(static_cast<int>(player.GetPositionMs()), kFps), at + i);
    }
    // Stepping from a running graph pauses it first.
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(200);
    ASSERT_EQ(player.FrameStep(1), 1);
    EXPECT_EQ(player.GetState(), kStatePaused);
    const int shown = Front();
    EXPECT_EQ(Rear(), shown);
    ASSERT_EQ(player.FrameStep(1), 1);
    EXPECT_EQ(Front(), shown + 1);
    EXPECT_EQ(player.FrameStep(0), 0);
}

TEST_F(PlayerControl, PlayAfterStepsKeepsFrontAndRearTogether)
{
    ASSERT_EQ(player.SeekMs(500), 1);
    ASSERT_EQ(player.FrameStep(1), 1);
    ASSERT_EQ(player.FrameStep(1), 1);
    ASSERT_EQ(player.SetRate(2.0f), 1);
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(1000);
    ASSERT_EQ(player.Pause(), 1);
    const int front = Front();
    EXPECT_EQ(Rear(), front);
    // A second at rate 2 covers about two seconds of the recording.
    EXPECT_GT(front, FrameAt(500 + 1400, kFps));
    // The position lies with the picture shown (a late picture may trail it a little).
    EXPECT_NEAR(static_cast<double>(player.GetPositionMs()), front * 1000.0 / kFps, 3 * 1000.0 / kFps);
}

TEST_F(PlayerControl, PlayingFeedsBothWindowsOnTheGuiThread)
{
    ProcessEvents(20);
    const int front = w1.presented, rear = w2.presented;
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(600);
    // About fifteen pictures each at 25 a second; at least a third of them shown.
    EXPECT_GT(w1.presented - front, 5);
    EXPECT_GT(w2.presented - rear, 5);
    EXPECT_NEAR(FrameNumber(w1.last), FrameNumber(w2.last), 2);
    EXPECT_EQ(w2.last->width, 160);
}

TEST_F(PlayerControl, RateIsClampedWhenPlaying)
{
    struct Row { float asked; float played; };
    for (Row r : {Row{4.0f, 2.0f}, Row{0.25f, 0.5f}, Row{1.5f, 1.5f}, Row{1.0f, 1.0f}}) {
        ASSERT_EQ(player.Pause(), 1);
        ASSERT_EQ(player.SetRate(r.asked), 1);
        // Paused: stored as asked, nothing plays.
        EXPECT_EQ(player.GetState(), kStatePaused);
        EXPECT_FLOAT_EQ(player.Graph()->Rate(), r.asked);
        ASSERT_EQ(player.Play(), 1);
        EXPECT_FLOAT_EQ(player.Graph()->Rate(), r.played);
        EXPECT_DOUBLE_EQ(player.Graph()->AppliedRate(), r.played);
    }
    // While running the new rate applies at once.
    ASSERT_EQ(player.SetRate(2.0f), 1);
    EXPECT_EQ(player.GetState(), kStateRunning);
    EXPECT_DOUBLE_EQ(player.Graph()->AppliedRate(), 2.0);
}

TEST_F(PlayerControl, SeekBackAndForwardClamp)
{
    EXPECT_EQ(player.SeekBackward(1.0), 0);  // stopped
    EXPECT_EQ(player.SeekForward(1.0), 0);
    ASSERT_EQ(player.Pause(), 1);
    ASSERT_EQ(player.SeekMs(400), 1);
    EXPECT_EQ(player.SeekBackward(1.0), 1);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(Front(), 0);
    const std::int64_t dur = player.GetDurationMs();
    ASSERT_EQ(player.SeekMs(static_cast<std::int32_t>(dur - 400)), 1);
    EXPECT_EQ(player.SeekForward(1.0), 1);
    EXPECT_EQ(player.GetPositionMs(), dur);
    ASSERT_EQ(player.SeekMs(1000), 1);
    EXPECT_EQ(player.SeekForward(1.0), 1);
    EXPECT_EQ(player.GetPositionMs(), 2000);
    EXPECT_EQ(Front(), FrameAt(2000, kFps));
}

TEST_F(PlayerControl, PlayAtTheEndRestartsFromTheStart)
{
    ASSERT_EQ(player.Pause(), 1);
    ASSERT_EQ(player.SeekMs(static_cast<std::int32_t>(player.GetDurationMs())), 1);
    ASSERT_EQ(player.GetPositionMs(), player.GetDurationMs());
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(100);
    EXPECT_LT(player.GetPositionMs(), 1000);
    EXPECT_LT(Front(), FrameAt(1000, kFps));
}

TEST_F(PlayerControl, PlayingToTheEndReportsTheEnd)
{
    const std::int64_t dur = player.GetDurationMs();
    ASSERT_EQ(player.SeekMs(static_cast<std::int32_t>(dur - 300)), 1);
    ASSERT_EQ(player.Play(), 1);
    ProcessEventsUntil([&] { return player.GetPositionMs() >= dur; });
    EXPECT_EQ(player.GetPositionMs(), dur);
    EXPECT_EQ(Front(), 3 * kFps - 1);  // the last frame of the three seconds
    // Paused at the end, play starts over.
    ASSERT_EQ(player.Pause(), 1);
    ASSERT_EQ(player.Play(), 1);
    EXPECT_LT(player.GetPositionMs(), 500);
}

TEST_F(PlayerControl, RefreshFrameShowsThePausedFrameAgain)
{
    ASSERT_EQ(player.SeekMs(1200), 1);
    ProcessEvents(30);
    const int before = w1.presented;
    EXPECT_EQ(player.RefreshFrame(), 1);
    ProcessEvents(30);
    EXPECT_GT(w1.presented, before);
    EXPECT_EQ(FrameNumber(w1.last), FrameAt(1200, kFps));
    EXPECT_EQ(player.GetPositionMs(), 1200);
}

TEST_F(PlayerControl, SnapshotIsTheTopDownPicture)
{
    ASSERT_EQ(player.SeekMs(800), 1);
    for (int index : {0, 1}) {
        VideoFrame image;
        ASSERT_EQ(player.GetCurrentImage(index, &image), 1);
        auto last = player.LastFrame(index);
        ASSERT_TRUE(last);
        EXPECT_EQ(image.width, last->width);
        EXPECT_EQ(image.height, last->height);
        EXPECT_EQ(image.pixels, last->pixels);
        EXPECT_EQ(recgen::ReadFrameNumber(image.pixels.data(), image.width, image.height, image.stride),
                  FrameAt(800, kFps));
    }
    VideoFrame none;
    EXPECT_EQ(player.GetCurrentImage(2, &none), 0);
    EXPECT_EQ(player.GetCurrentImage(0, nullptr), 0);

    std::vector<std::uint8_t> dib;
    ASSERT_EQ(player.Graph()->GetCurrentImage(0, &dib), S_OK);
    ASSERT_EQ(dib.size(), 40u + 320u * 240u * 4u);
    EXPECT_EQ(dib[0], 40);
    EXPECT_EQ(dib[14], 32);
    // Bottom row first: the DIB's last row is the picture's top row.
    const auto last = player.LastFrame(0);
    EXPECT_TRUE(std::equal(last->pixels.begin(), last->pixels.begin() + 320 * 4, dib.end() - 320 * 4));
}

TEST_F(PlayerControl, RepaintAndFitGoToTheWindows)
{
    ASSERT_EQ(player.SeekMs(600), 1);
    TestWindow other;
    EXPECT_EQ(player.RepaintVideo(nullptr), 0);
    EXPECT_EQ(player.RepaintVideo(&other), 1);
    EXPECT_EQ(other.repaints, 1);
    EXPECT_EQ(FrameNumber(other.last), FrameAt(600, kFps));
    w1.width = 640;
    w1.height = 360;
    EXPECT_EQ(player.UpdateVideoPosition(1), 0);
    EXPECT_EQ(w1.destination.width, 640);
    EXPECT_EQ(w1.destination.height, 360);
    EXPECT_EQ(w2.destination.width, 160);
    EXPECT_GE(w1.repaints, 1);
    EXPECT_GE(w2.repaints, 1);
}

TEST_F(PlayerControl, ReopeningReplacesTheGraph)
{
    ASSERT_EQ(player.Play(), 1);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(*path_)), 1);
    EXPECT_EQ(player.GetState(), kStateStopped);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(Front(), 0);
}

}  // namespace

namespace {

struct ContainerCase {
    const char* file;
    recgen::Container container;
    recgen::VideoCodec codec;
    recgen::AudioCodec audio;
};

class PlayerContainers : public ::testing::TestWithParam<ContainerCase> {};

// Seek, step and play work alike in every container and codec the camera writes.
TEST_P(PlayerContainers, SeekStepAndPlayInStep)
{
    const ContainerCase& c = GetParam();
    recgen::RecordingSpec s = Spec(2, c.audio, c.container);
    s.fps = kFps;
    s.codec = c.codec;
    s.gop = 10;
    const std::string path = Make(c.file, s);
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_EQ(player.SeekMs(1500), 1);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), FrameAt(1500, kFps));
    EXPECT_EQ(FrameNumber(player.LastFrame(1)), FrameAt(1500, kFps));
    ASSERT_EQ(player.FrameStep(1), 1);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), FrameAt(1500, kFps) + 1);
    EXPECT_EQ(FrameNumber(player.LastFrame(1)), FrameAt(1500, kFps) + 1);
    ASSERT_EQ(player.SeekMs(300), 1);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), FrameAt(300, kFps));
    ASSERT_EQ(player.SetRate(2.0f), 1);
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(500);
    ASSERT_EQ(player.Pause(), 1);
    const int front = FrameNumber(player.LastFrame(0));
    EXPECT_GT(front, FrameAt(300 + 600, kFps));
    EXPECT_EQ(FrameNumber(player.LastFrame(1)), front);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PlayerContainers,
    ::testing::Values(ContainerCase{"kind_h264.avi", recgen::Container::Avi, recgen::VideoCodec::H264, recgen::AudioCodec::Pcm},
                      ContainerCase{"kind_mpeg4.avi", recgen::Container::Avi, recgen::VideoCodec::Mpeg4, recgen::AudioCodec::Pcm},
                      ContainerCase{"kind_mpeg4.mp4", recgen::Container::Mp4, recgen::VideoCodec::Mpeg4, recgen::AudioCodec::Aac},
                      ContainerCase{"kind_pcm.mov", recgen::Container::Mp4, recgen::VideoCodec::H264, recgen::AudioCodec::Pcm}));

}  // namespace

namespace {

TEST_F(PlayerControl, StepAndSeekPastTheEndsStayUsable)
{
    QElapsedTimer t;
    t.start();
    // Stepping off the last picture ends there, at once.
    ASSERT_EQ(player.SeekMs(2990), 1);
    EXPECT_EQ(Front(), 3 * kFps - 1);
    player.FrameStep(1);
    EXPECT_EQ(Front(), 3 * kFps - 1);
    ASSERT_EQ(player.SeekMs(2000), 1);
    player.FrameStep(1000);
    // Seeks outside the recording land on its ends.
    EXPECT_EQ(player.SeekMs(-500), 1);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(Front(), 0);
    EXPECT_EQ(player.SeekMs(999999), 1);
    EXPECT_EQ(player.GetPositionMs(), player.GetDurationMs());
    EXPECT_LT(t.elapsed(), 4500);  // no wait ran into its time-out
    // And everything still works.
    ASSERT_EQ(player.SeekMs(1000), 1);
    EXPECT_EQ(Front(), FrameAt(1000, kFps));
    ASSERT_EQ(player.FrameStep(1), 1);
    EXPECT_EQ(Front(), FrameAt(1000, kFps) + 1);
    EXPECT_EQ(Rear(), FrameAt(1000, kFps) + 1);
    ASSERT_EQ(player.Play(), 1);
    ProcessEventsUntil([&] { return Front() > FrameAt(1000, kFps) + 1; });
    ASSERT_EQ(player.Pause(), 1);
    EXPECT_GT(Front(), FrameAt(1000, kFps) + 1);
}

}  // namespace

namespace {

std::uint32_t Le32At(const std::string& d, std::size_t at)
{
    return static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8 |
           static_cast<std::uint8_t>(d[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 3])) << 24;
}

// The recording as a camera leaves it when the power goes before it wrote its index: the
// file ends where idx1 began. `tidy` also mends the RIFF size and clears the header's
// has-index flag, as a tool that strips the index would.
bool DropAviIndex(const std::string& path, bool tidy)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return false;
    std::string d = f.readAll().toStdString();
    f.close();
    std::size_t at = 12;
    while (at + 8 <= d.size() && d.compare(at, 4, "idx1") != 0) at += 8 + Le32At(d, at + 4) + (Le32At(d, at + 4) & 1);
    if (at + 8 > d.size()) return false;
    d.resize(at);
    if (tidy) {
        const std::uint32_t riff = static_cast<std::uint32_t>(d.size() - 8);
        for (int i = 0; i < 4; ++i) d[4 + i] = static_cast<char>(riff >> (8 * i));
        const std::size_t avih = d.find("avih");
        if (avih == std::string::npos) return false;
        d[avih + 8 + 12] = static_cast<char>(d[avih + 8 + 12] & ~0x10);  // dwFlags: AVIF_HASINDEX
    }
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(d.data(), static_cast<qint64>(d.size())) == static_cast<qint64>(d.size());
}

class IndexlessAvi : public ::testing::TestWithParam<bool> {};

// Without its index the recording still plays, and a seek lands on the last key frame at or
// before its time (one a second here) instead of running off the end in the last second.
// A seek forward that would land behind the picture on show stays where playback was.
TEST_P(IndexlessAvi, SeekLandsOnTheKeyFrameBeforeItsTime)
{
    recgen::RecordingSpec s = Spec(2, recgen::AudioCodec::Pcm, recgen::Container::Avi);
    s.fps = kFps;
    const std::string path = Make(GetParam() ? "noindex_tidy.avi" : "noindex_cut.avi", s);
    ASSERT_TRUE(DropAviIndex(path, GetParam()));
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    EXPECT_EQ(player.GetVideoStreamCount(), 2);
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(300);
    ASSERT_EQ(player.Pause(), 1);
    for (int ms : {1500, 2400, 600, 2900}) {
        ASSERT_EQ(player.SeekMs(ms), 1) << ms;
        EXPECT_FALSE(player.Graph()->IsComplete()) << ms;
        EXPECT_EQ(player.GetPositionMs(), ms / 1000 * 1000) << ms;
        EXPECT_EQ(FrameNumber(player.LastFrame(0)), ms / 1000 * kFps) << ms;
        EXPECT_EQ(FrameNumber(player.LastFrame(1)), ms / 1000 * kFps) << ms;
    }
    ASSERT_EQ(player.Play(), 1);
    ProcessEventsUntil([&] { return FrameNumber(player.LastFrame(0)) > 2 * kFps; });
    ASSERT_EQ(player.Pause(), 1);
    const int shown = FrameNumber(player.LastFrame(0));
    EXPECT_GT(shown, 2 * kFps);
    EXPECT_EQ(player.SeekForward(0.3), 1);
    EXPECT_FALSE(player.Graph()->IsComplete());
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), shown);
    EXPECT_LT(player.GetPositionMs(), player.GetDurationMs());
}

INSTANTIATE_TEST_SUITE_P(Kinds, IndexlessAvi, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Stripped" : "Cut"; });

}  // namespace
