// The graph a recording gets, by element name, and the player's answers with no graph.
#include "tests/media/PlayerTestSupport.h"

#include "platform/Registry.h"
#include "platform/WaveOut.h"

#include <QFile>
#include <cstdlib>

using namespace playertest;

namespace {
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

const char* const kAllNames[] = {
    "HVStreamParseFilter", "COREAAC AUDIO",           "CoreAAC Decoder",         "DirectSound Audio Renderer",
    "FFDShow Decoder1",    "FFDShow Decoder2",        "Color Space Convertor 1", "Color Space Convertor 2",
    "Mixing Renderer9",    "Mixing Renderer9-1",      "Mixing Renderer9-2",
};

struct GraphCase {
    const char* file;
    int videos;
    recgen::AudioCodec audio;
    recgen::Container container;
    recgen::VideoCodec codec;
    int mode;
    int streams;
    int audioCount;
    std::vector<std::string> names;  // every named element the graph must hold; the others must be absent
};

class PlayerGraphContents : public ::testing::TestWithParam<GraphCase> {};

TEST_P(PlayerGraphContents, HoldsExactlyTheNamedFilters)
{
    const GraphCase& c = GetParam();
    recgen::RecordingSpec spec = Spec(c.videos, c.audio, c.container);
    spec.codec = c.codec;
    const std::string path = Make(c.file, spec);
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(c.mode, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    EXPECT_EQ(player.GetState(), kStateStopped);
    EXPECT_EQ(player.GetVideoStreamCount(), c.streams);
    CDShowGraph* g = player.Graph();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->CountAudioPins(), c.audioCount);
    for (const char* name : kAllNames) {
        const bool wanted = std::find(c.names.begin(), c.names.end(), name) != c.names.end();
        EXPECT_EQ(g->HasElement(name), wanted) << name;
    }
    // Built and cued: the first picture is there and the duration is known.
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), 0);
    EXPECT_NEAR(static_cast<double>(player.GetDurationMs()), 3000.0, 60.0);
    EXPECT_EQ(player.GetPositionMs(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, PlayerGraphContents,
    ::testing::Values(
        GraphCase{"one_aac.mp4", 1, recgen::AudioCodec::Aac, recgen::Container::Mp4, recgen::VideoCodec::H264, 1, 1, 1,
                  {"HVStreamParseFilter", "COREAAC AUDIO", "DirectSound Audio Renderer", "FFDShow Decoder1",
                   "Color Space Convertor 1", "Mixing Renderer9"}},
        GraphCase{"one_pcm.mov", 1, recgen::AudioCodec::Pcm, recgen::Container::Mp4, recgen::VideoCodec::H264, 1, 1, 1001,
                  {"HVStreamParseFilter", "DirectSound Audio Renderer", "FFDShow Decoder1", "Color Space Convertor 1",
                   "Mixing Renderer9"}},
        GraphCase{"one_pcm.avi", 1, recgen::AudioCodec::Pcm, recgen::Container::Avi, recgen::VideoCodec::H264, 2, 1, 1001,
                  {"HVStreamParseFilter", "DirectSound Audio Renderer", "FFDShow Decoder1", "Color Space Convertor 1",
                   "Mixing Renderer9"}},
        GraphCase{"two_mode1.mp4", 2, recgen::AudioCodec::Aac, recgen::Container::Mp4, recgen::VideoCodec::H264, 1, 2, 1,
                  {"HVStreamParseFilter", "CoreAAC Decoder", "DirectSound Audio Renderer", "FFDShow Decoder1",
                   "FFDShow Decoder2", "Color Space Convertor 1", "Color Space Convertor 2", "Mixing Renderer9"}},
        GraphCase{"two_mode2.mp4", 2, recgen::AudioCodec::Aac, recgen::Container::Mp4, recgen::VideoCodec::H264, 2, 2, 1,
                  {"HVStreamParseFilter", "CoreAAC Decoder", "DirectSound Audio Renderer", "FFDShow Decoder1",
                   "FFDShow Decoder2", "Color Space Convertor 1", "Color Space Convertor 2", "Mixing Renderer9-1",
                   "Mixing Renderer9-2"}},
        GraphCase{"two_mpeg4_noaudio.avi", 2, recgen::AudioCodec::None, recgen::Container::Avi, recgen::VideoCodec::Mpeg4, 2, 2, 0,
                  {"HVStreamParseFilter", "FFDShow Decoder1", "FFDShow Decoder2", "Color Space Convertor 1",
                   "Color Space Convertor 2", "Mixing Renderer9-1", "Mixing Renderer9-2"}}));

TEST(PlayerGraph, TwoWindowsGetFrontAndRear)
{
    recgen::RecordingSpec s = Spec(2);
    s.rearWidth = 160;
    s.rearHeight = 120;
    const std::string path = Make("two_sizes.mp4", s);
    TestWindow w1, w2(160, 120);
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    auto front = player.LastFrame(0), rear = player.LastFrame(1);
    ASSERT_TRUE(front && rear);
    EXPECT_EQ(front->width, 320);
    EXPECT_EQ(rear->width, 160);
    EXPECT_EQ(rear->height, 120);
    // The pictures reach the windows on the GUI thread.
    ProcessEvents(50);
    ASSERT_TRUE(w1.last && w2.last);
    EXPECT_EQ(w1.last->width, 320);
    EXPECT_EQ(w2.last->width, 160);
    EXPECT_EQ(w1.destination.width, 320);
    EXPECT_EQ(w2.destination.height, 120);
}

TEST(PlayerGraph, OneWindowPlayerShowsTheFrontOnly)
{
    recgen::RecordingSpec s = Spec(2);
    s.rearWidth = 160;
    s.rearHeight = 120;
    const std::string path = Make("two_sizes_one_window.mp4", s);
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_TRUE(player.LastFrame(0));
    EXPECT_EQ(player.LastFrame(0)->width, 320);
    EXPECT_FALSE(player.LastFrame(1));
    VideoFrame rear;
    EXPECT_EQ(player.GetCurrentImage(1, &rear), 0);
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.GetState(), kStateRunning);
    EXPECT_EQ(player.Pause(), 1);
}

TEST(PlayerGraph, OpensPathsWithSpacesAndJapanese)
{
    std::vector<recgen::DataSample> written;
    const std::string path = Make("録画 ドライブ #1.mp4", Spec(1), &written);
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromUtf8(path.c_str())), 1);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), 0);
    std::uint8_t buf[1024] = {};
    std::int32_t size = 1024;
    std::uint32_t stamp = 0;
    ASSERT_EQ(player.ReadDataSample(buf, &size, &stamp), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), static_cast<std::size_t>(size)), written.at(0).bytes);
}

TEST(PlayerGraph, NoVideoTrackBuildsNothing)
{
    const std::string path = Make("audio_only.mp4", Spec(0));
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    EXPECT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    EXPECT_EQ(player.GetState(), kStateNotBuilt);
    EXPECT_EQ(player.GetVideoStreamCount(), 0);
    EXPECT_FALSE(player.Graph()->HasElement("FFDShow Decoder1"));
    EXPECT_EQ(player.Graph()->Play(), VFW_E_WRONG_STATE);
    EXPECT_EQ(player.Play(), 0);
    EXPECT_EQ(player.GetState(), kStateNotBuilt);
}

TEST(PlayerGraph, AnswersWithoutAGraph)
{
    CDShowPlayer player;
    EXPECT_EQ(player.GetState(), kStateNoGraph);
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.Pause(), 1);
    EXPECT_EQ(player.Stop(), 1);
    EXPECT_EQ(player.SetRate(2.0f), 0);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(player.GetDurationMs(), 0);
    EXPECT_EQ(player.GetVideoStreamCount(), 0);
    std::uint8_t buf[16];
    std::int32_t size = 16;
    std::uint32_t stamp = 0;
    EXPECT_EQ(player.ReadDataSample(buf, &size, &stamp), 1);
    EXPECT_EQ(player.FrameStep(1), 1);
    EXPECT_EQ(player.SeekBackward(1.0), 0);
    EXPECT_EQ(player.SeekForward(1.0), 0);
    EXPECT_EQ(player.CheckFilters(), -1);
    VideoFrame f;
    EXPECT_EQ(player.GetCurrentImage(0, &f), 1);
    EXPECT_EQ(player.SetDecoderFlag1112(2, true), 1);
    EXPECT_EQ(player.StopAndClose(), 1);
    // No window: nothing opens.
    EXPECT_EQ(player.OpenFile(QStringLiteral("/nonexistent.mp4")), 0);
    EXPECT_EQ(player.GetState(), kStateNoGraph);
}

TEST(PlayerGraph, InitMakesAnUnbuiltGraphAndChecksFilters)
{
    TestWindow w1;
    CDShowPlayer player;
    player.Init(2, &w1, nullptr);
    EXPECT_EQ(player.GetState(), kStateNotBuilt);
    EXPECT_EQ(player.CheckFilters(), 1);
    EXPECT_EQ(player.Play(), 0);  // nothing built yet
    EXPECT_EQ(player.ReadDataSample(nullptr, nullptr, nullptr), static_cast<int>(E_FAIL));
}

// The filter check asks the GStreamer registry; each row runs in a fresh process that
// sees only the listed plugins.
TEST(PlayerGraph, FilterCheckNamesTheFirstMissingFilter)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Row { std::vector<const char*> plugins; int answer; };
    const Row rows[] = {
        {{"libgstlibav.so", "libgstvideofilter.so"}, -1},
        {{"libgstcoreelements.so", "libgstisomp4.so", "libgstavi.so", "libgstvideofilter.so"}, -2},
        {{"libgstcoreelements.so", "libgstisomp4.so", "libgstavi.so", "libgstlibav.so"}, -4},
        {{"libgstcoreelements.so", "libgstisomp4.so", "libgstavi.so", "libgstlibav.so", "libgstvideofilter.so"}, 1},
    };
    const std::string system = "/usr/lib/x86_64-linux-gnu/gstreamer-1.0/";
    int n = 0;
    for (const Row& r : rows) {
        const std::string dir = Scratch() + "/plugins" + std::to_string(n++);
        QDir(QString::fromStdString(dir)).removeRecursively();
        QDir().mkpath(QString::fromStdString(dir));
        for (const char* p : r.plugins)
            ASSERT_TRUE(QFile::link(QString::fromStdString(system + p), QString::fromStdString(dir + "/" + p)));
        EXPECT_EXIT(
            {
                setenv("GST_PLUGIN_SYSTEM_PATH_1_0", dir.c_str(), 1);
                setenv("GST_PLUGIN_PATH_1_0", "", 1);
                setenv("GST_REGISTRY_1_0", (dir + "/registry.bin").c_str(), 1);
                TestWindow w;
                CDShowPlayer player;
                player.Init(1, &w, nullptr);
                std::exit(player.CheckFilters() + 10);
            },
            ::testing::ExitedWithCode(r.answer + 10), "")
            << n;
    }
}

TEST(PlayerGraph, MarksTheRegistry)
{
    CDShowPlayer player;
    EXPECT_EQ(Registry::GetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavoris", "usingDShow"), 1u);
}

TEST(PlayerGraph, CloseReturnsToNoGraph)
{
    const std::string path = Make("close.mp4", Spec(1));
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    ASSERT_EQ(player.Play(), 1);
    EXPECT_EQ(player.StopAndClose(), 1);
    EXPECT_EQ(player.GetState(), kStateNoGraph);
    // Opening again after a close works, and a null path leaves the open graph alone.
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    CDShowGraph* g = player.Graph();
    EXPECT_EQ(player.OpenFile(QString()), 0);
    EXPECT_EQ(player.Graph(), g);
    EXPECT_EQ(player.GetState(), kStateStopped);
}

TEST(PlayerGraph, VolumeInHundredthsOfADecibel)
{
    struct Row { int volume; int hundredths; };
    for (Row r : {Row{100, 0}, Row{50, -301}, Row{1, -2000}, Row{0, -10000}, Row{10, -999}, Row{-5, -10000},
                  Row{250, 0}})
        EXPECT_EQ(CDShowPlayer::VolumeToHundredthsDb(r.volume), r.hundredths) << r.volume;

    const std::string path = Make("volume.mp4", Spec(1));
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    EXPECT_EQ(player.SetVolume(50), 1);
    EXPECT_NEAR(player.Graph()->LinearVolume(), 0.7071, 0.001);  // -3.01 dB
    EXPECT_EQ(player.SetVolume(0), 1);
    EXPECT_NEAR(player.Graph()->LinearVolume(), 0.0, 1e-4);
    EXPECT_EQ(player.SetVolume(100), 1);
    EXPECT_DOUBLE_EQ(player.Graph()->LinearVolume(), 1.0);

    // The wave-out level applies after the player's volume, and muting it silences the player.
    waveOutSetVolume(0, 0x7FFF7FFF);
    player.GetPositionMs();
    EXPECT_NEAR(player.Graph()->LinearVolume(), 0.5, 0.001);
    EXPECT_EQ(player.SetVolume(50), 1);
    EXPECT_NEAR(player.Graph()->LinearVolume(), 0.7071 * 0.5, 0.001);
    waveOutSetVolume(0, 0);
    player.GetPositionMs();
    EXPECT_DOUBLE_EQ(player.Graph()->LinearVolume(), 0.0);
    waveOutSetVolume(0, 0xFFFFFFFF);
    player.GetPositionMs();
    EXPECT_NEAR(player.Graph()->LinearVolume(), 0.7071, 0.001);
}

TEST(PlayerGraph, DecoderFlagsGoToTheNamedDecoder)
{
    const std::string path = Make("flags.mp4", Spec(2));
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    EXPECT_EQ(player.SetDecoderFlag1112(2, true), 0);
    EXPECT_EQ(player.SetDecoderFlag1113(2, true), 0);
    EXPECT_TRUE(player.Graph()->DecoderFlag(2, 1112));
    EXPECT_TRUE(player.Graph()->DecoderFlag(2, 1113));
    EXPECT_FALSE(player.Graph()->DecoderFlag(1, 1112));
    EXPECT_EQ(player.SetDecoderFlag1112(3, true), 0);
}

}  // namespace

namespace {

// A graph object rebuilt for another recording keeps nothing of the first.
TEST(PlayerGraph, RebuildingForAnotherFileStartsAfresh)
{
    recgen::RecordingSpec longer = Spec(2);
    longer.durationMs = 4000;
    const std::string first = Make("rebuild_two.mp4", longer);
    const std::string second = Make("rebuild_one.mp4", Spec(1));
    TestWindow w1, w2;
    CDShowGraph graph(2, &w1, &w2);
    graph.Reset(1);
    ASSERT_EQ(graph.BuildGraph(QString::fromStdString(first)), S_OK);
    std::int64_t d = 0;
    graph.GetDuration(&d);
    EXPECT_NEAR(d / 10000.0, 4000.0, 60.0);
    ASSERT_TRUE(graph.LastFrame(1));
    ASSERT_EQ(graph.BuildGraph(QString::fromStdString(second)), S_OK);
    graph.GetDuration(&d);
    EXPECT_NEAR(d / 10000.0, 3000.0, 60.0);
    EXPECT_EQ(graph.VideoStreams(), 1);
    EXPECT_FALSE(graph.LastFrame(1));
    EXPECT_EQ(graph.State(), kStateStopped);
    EXPECT_EQ(graph.BuildGraph(QString()), 1);
}

}  // namespace
