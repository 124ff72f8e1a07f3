// The way of a decoded picture from the decoder to the windows, and the end of a recording:
// pictures stay in the decoder's planes and are held, not copied; held pictures never stall
// the decoder and outlive the graph; the bus reports the end without anyone asking for the
// position; opening another recording decodes nothing more of the one before.
#include "tests/media/PlayerTestSupport.h"

#include "media/FrameScaler.h"

#include <QElapsedTimer>

#include <cstring>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace playertest;

namespace {
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

constexpr int kFps = 25;

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Keeps every picture it is given, with the time it came.
class HoldingWindow : public TestWindow {
public:
    void PresentFrame(std::shared_ptr<const VideoFrame> frame) override
    {
        held.push_back(frame);
        arrived.push_back(NowMs());
        TestWindow::PresentFrame(std::move(frame));
    }
    std::vector<std::shared_ptr<const VideoFrame>> held;
    std::vector<std::int64_t> arrived;
};

int LumaNumber(const std::shared_ptr<const VideoFrame>& f)
{
    if (!f || !f->planes.Present()) return -1;
    return recgen::ReadFrameNumberLuma(f->planes.data[0], f->width, f->height, f->planes.stride[0]);
}

recgen::RecordingSpec TwoCameras(int durationMs)
{
    recgen::RecordingSpec s = Spec(2);
    s.durationMs = durationMs;
    s.fps = kFps;
    s.rearWidth = 160;
    s.rearHeight = 120;
    return s;
}

TEST(PlayerFramePath, PicturesKeepTheDecodersPlanesAndAreConvertedOnlyWhenAsked)
{
    const std::string path = Make("planes.mp4", TwoCameras(2000));
    TestWindow w1, w2(160, 120);
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    const std::int64_t conversions = FrameWork().conversions, copies = FrameWork().copies;
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_EQ(player.SeekMs(1000), 1);
    for (int index : {0, 1}) {
        const auto f = player.LastFrame(index);
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->planes.Present());
        EXPECT_EQ(f->planes.layout, PlaneLayout::I420);
        EXPECT_FALSE(f->pixels.Made()) << index;
        EXPECT_EQ(LumaNumber(f), FrameAt(1000, kFps)) << index;
    }
    // Nothing converted or copied on the way.
    EXPECT_EQ(FrameWork().conversions, conversions);
    EXPECT_EQ(FrameWork().copies, copies);
    // Asked for, the full-size picture is made once.
    const auto front = player.LastFrame(0);
    EXPECT_EQ(front->pixels.size(), 320u * 240u * 4u);
    EXPECT_EQ(FrameNumber(front), FrameAt(1000, kFps));
    EXPECT_EQ(FrameNumber(front), FrameAt(1000, kFps));
    EXPECT_EQ(FrameWork().conversions, conversions + 1);
    EXPECT_TRUE(front->pixels.Made());
}

// The decoder renders into padded planes (rows longer than the picture, chroma planes after
// padding rows); the conversion, the snapshot and the frame number read them as they lie.
TEST(PlayerFramePath, PaddedPlanesConvertAndSnapshotAsTightOnes)
{
    recgen::RecordingSpec s = Spec(1);
    s.durationMs = 2000;
    s.fps = kFps;
    s.width = 176;  // rows and height that no decoder alignment meets
    s.height = 114;
    const std::string path = Make("padded.mp4", s);
    TestWindow w1(176, 114), w2;
    CDShowPlayer player;
    player.Init(1, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_EQ(player.SeekMs(1000), 1);
    const auto f = player.LastFrame(0);
    ASSERT_TRUE(f && f->planes.Present());
    ASSERT_EQ(f->planes.layout, PlaneLayout::I420);
    const VideoPlanes& p = f->planes;
    const int w = f->width, h = f->height;
    ASSERT_EQ(w, 176);
    ASSERT_EQ(h, 114);
    EXPECT_TRUE(p.stride[0] > w || p.data[1] - p.data[0] > std::ptrdiff_t(p.stride[0]) * h)
        << "the decoder's planes are not padded: this test shows nothing";

    // The same picture in tight planes, converted the same way.
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    // (libswscale reads whole words, past the end of the last row.)
    std::vector<std::uint8_t> tight(std::size_t(w) * h + 2 * std::size_t(cw) * ch + 64);
    std::uint8_t* planes[3] = {tight.data(), tight.data() + std::size_t(w) * h, tight.data() + std::size_t(w) * h + std::size_t(cw) * ch};
    for (int i = 0; i < 3; ++i)
        for (int y = 0; y < (i ? ch : h); ++y)
            std::memcpy(planes[i] + std::size_t(y) * (i ? cw : w), p.data[i] + std::ptrdiff_t(y) * p.stride[i],
                        std::size_t(i ? cw : w));
    VideoFrame packed;
    packed.width = w;
    packed.height = h;
    packed.planes = p;
    packed.planes.keep = nullptr;
    for (int i = 0; i < 3; ++i) {
        packed.planes.data[i] = planes[i];
        packed.planes.stride[i] = i ? cw : w;
    }
    FrameScaler::ConvertOnFirstRead(packed);
    ASSERT_EQ(f->pixels.size(), packed.pixels.size());
    EXPECT_TRUE(f->pixels == packed.pixels);
    EXPECT_EQ(FrameNumber(f), FrameAt(1000, kFps));

    // The snapshot: the same pixels, bottom row first.
    std::vector<std::uint8_t> dib;
    ASSERT_EQ(player.Graph()->GetCurrentImage(0, &dib), 0);
    ASSERT_EQ(dib.size(), 40 + std::size_t(w) * 4 * h);
    for (int y = 0; y < h; ++y)
        ASSERT_EQ(std::memcmp(dib.data() + 40 + std::size_t(h - 1 - y) * w * 4,
                              f->pixels.data() + std::size_t(y) * f->stride, std::size_t(w) * 4),
                  0)
            << "row " << y;
}

TEST(PlayerFramePath, HeldPicturesNeitherStallTheDecoderNorDieWithTheGraph)
{
    const std::string path = Make("held.mp4", TwoCameras(2000));
    HoldingWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_EQ(player.Play(), 1);
    QElapsedTimer t;
    t.start();
    while (!player.Graph()->IsComplete() && t.elapsed() < 6000) ProcessEvents(20);
    ProcessEvents(50);
    ASSERT_TRUE(player.Graph()->IsComplete());
    player.Close();
    // The decoder went on to the end while the windows held every picture before; a late
    // picture may have been dropped on a loaded machine.
    for (HoldingWindow* w : {&w1, &w2}) {
        ASSERT_GT(w->held.size(), 25u);
        EXPECT_GE(LumaNumber(w->held.back()), 2 * kFps - 1 - 5);
        // The graph is gone; its pictures are still whole, in order.
        int previous = -1;
        for (const auto& f : w->held) {
            const int n = LumaNumber(f);
            EXPECT_GE(n, previous);
            previous = n;
        }
        EXPECT_EQ(FrameNumber(w->held[w->held.size() / 2]), LumaNumber(w->held[w->held.size() / 2]));
    }
}

TEST(PlayerFramePath, TheBusReportsTheEndWithoutAPositionQuery)
{
    const std::string path = Make("end.mp4", TwoCameras(1500));
    HoldingWindow w1, w2;
    CDShowPlayer player;
    std::int64_t endAt = -1;
    int ends = 0;
    player.SetNotifyWindow([&] {
        endAt = NowMs();
        ++ends;
    });
    player.Init(2, &w1, &w2);
    for (int round = 0; round < 2; ++round) {  // the report holds for the next recording too
        ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
        ASSERT_EQ(player.SeekMs(1000), 1);
        for (HoldingWindow* w : {&w1, &w2}) {
            w->held.clear();
            w->arrived.clear();
        }
        endAt = -1;
        ends = 0;
        ASSERT_EQ(player.Play(), 1);
        // Only the event loop runs: nothing asks for the position.
        QElapsedTimer clock;
        clock.start();
        while (endAt < 0 && clock.elapsed() < 3000) ProcessEvents(0);
        ASSERT_GE(endAt, 0) << "no end reported";
        EXPECT_EQ(ends, 1);
        ASSERT_FALSE(w1.held.empty());
        ASSERT_FALSE(w2.held.empty());
        // From the time the last picture was due (on a loaded machine the last ones may
        // have come too late to be shown), or the rear camera's last one came, if later: the
        // end is the end of both streams.
        const int last = 1500 * kFps / 1000 - 1, shown = LumaNumber(w1.held.back());
        ASSERT_GE(shown, last - 5);
        const std::int64_t due = std::max(w1.arrived.back() + (last - shown) * 1000 / kFps, w2.arrived.back());
        EXPECT_LT(endAt - due, 100) << "the end came long after the last picture";
        EXPECT_TRUE(player.Graph()->IsComplete());
        EXPECT_EQ(player.GetPositionMs(), player.GetDurationMs());
    }
}

TEST(PlayerFramePath, OpeningAnotherRecordingDecodesNothingMoreOfThePrevious)
{
    const std::string first = Make("first.mp4", TwoCameras(3000));
    const std::string second = Make("second.mp4", Spec(1));
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(first)), 1);
    ASSERT_EQ(player.Play(), 1);
    ProcessEvents(300);
    ASSERT_EQ(player.Pause(), 1);
    const std::int64_t before = FrameWork().decoded;
    ASSERT_EQ(player.OpenFile(QString::fromStdString(second)), 1);
    // Only the new recording's first picture: the old graph was not cued to its start.
    EXPECT_EQ(FrameWork().decoded - before, 1);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), 0);
}

}  // namespace
