// The data samples of a recording through the player, and files that are not good
// recordings: none may crash or hang, and the player stays usable after each.
#include "tests/media/PlayerTestSupport.h"

#include "platform/FileAccess.h"

#include <QFile>
#include <cstring>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace playertest;

namespace {
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// Reads as the open routine does: a zero-filled 1,024-byte buffer each call.
std::vector<recgen::DataSample> ReadAll(CDShowPlayer& player, int* endCode)
{
    std::vector<recgen::DataSample> got;
    for (int guard = 0; guard < 100000; ++guard) {
        std::uint8_t buf[1024] = {};
        std::int32_t size = 1024;
        std::uint32_t stamp = 0;
        const int r = player.ReadDataSample(buf, &size, &stamp);
        if (r != 0) {
            *endCode = r;
            return got;
        }
        got.push_back({stamp, std::string(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(size))});
    }
    *endCode = 0;
    return got;
}

struct DataCase {
    const char* file;
    recgen::Container container;
    int videos;
    recgen::AudioCodec audio;
};

class PlayerDataSamples : public ::testing::TestWithParam<DataCase> {};

TEST_P(PlayerDataSamples, EverySampleComesBackOnceInOrder)
{
    const DataCase& c = GetParam();
    recgen::RecordingSpec spec = Spec(c.videos, c.audio, c.container);
    spec.gRecordsPerSecond = 10;
    std::vector<recgen::DataSample> written;
    const std::string path = Make(c.file, spec, &written);
    ASSERT_GT(written.size(), 30u);
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    int end = 0;
    const auto got = ReadAll(player, &end);
    EXPECT_EQ(end, kDataSampleEnd);
    ASSERT_EQ(got.size(), written.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].stampMs, written[i].stampMs) << i;
        EXPECT_EQ(got[i].bytes, written[i].bytes) << i;
    }
    // The end stays the end.
    std::uint8_t buf[8];
    std::int32_t size = 8;
    std::uint32_t stamp = 0;
    EXPECT_EQ(player.ReadDataSample(buf, &size, &stamp), kDataSampleEnd);
    // Reading does not disturb playback.
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.Pause(), 1);
}

INSTANTIATE_TEST_SUITE_P(Containers, PlayerDataSamples,
                         ::testing::Values(DataCase{"data.mp4", recgen::Container::Mp4, 1, recgen::AudioCodec::Aac},
                                           DataCase{"data_two.mp4", recgen::Container::Mp4, 2, recgen::AudioCodec::Aac},
                                           DataCase{"data_pcm.mov", recgen::Container::Mp4, 1, recgen::AudioCodec::Pcm},
                                           DataCase{"data.avi", recgen::Container::Avi, 2, recgen::AudioCodec::Pcm}));

TEST(PlayerData, LongSampleIsCutToTheBuffer)
{
    std::vector<recgen::DataSample> written;
    const std::string path = Make("cut.mp4", Spec(1), &written);
    ASSERT_FALSE(written.empty());
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    std::uint8_t buf[12];
    std::memset(buf, 0xEE, sizeof buf);
    std::int32_t size = 10;
    std::uint32_t stamp = 99;
    ASSERT_EQ(player.ReadDataSample(buf, &size, &stamp), 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(stamp, static_cast<std::uint32_t>(written[0].stampMs));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 10), written[0].bytes.substr(0, 10));
    EXPECT_EQ(buf[10], 0xEE);  // nothing beyond the buffer
    // The next call brings the next sample, whole.
    std::uint8_t big[1024] = {};
    size = 1024;
    ASSERT_EQ(player.ReadDataSample(big, &size, &stamp), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(big), static_cast<std::size_t>(size)), written[1].bytes);
    // Missing arguments are refused, not followed.
    EXPECT_EQ(player.ReadDataSample(nullptr, &size, &stamp), static_cast<int>(E_POINTER));
    EXPECT_EQ(player.ReadDataSample(big, nullptr, &stamp), static_cast<int>(E_POINTER));
}

TEST(PlayerData, RecordingWithoutDataEndsAtTheFirstRead)
{
    recgen::RecordingSpec spec = Spec(1);
    spec.dataTrack = false;
    const std::string path = Make("nodata.mp4", spec);
    TestWindow w1;
    CDShowPlayer player;
    player.Init(1, &w1, nullptr);
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);
    int end = 0;
    EXPECT_TRUE(ReadAll(player, &end).empty());
    EXPECT_EQ(end, static_cast<int>(E_FAIL));
}

// ---- files that are not good recordings ----

std::string WriteBytes(const std::string& name, const std::string& bytes)
{
    const std::string path = Scratch() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Garbage(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// A recording with a video codec the player has no decoder for, from FFmpeg's encoder.
std::string UnsupportedCodec()
{
    const std::string path = Scratch() + "/mjpeg.avi";
    const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=10 -t 1 "
                            "-c:v mjpeg -pix_fmt yuvj420p '" + path + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return path;
}

// Things on a card that are not files at all; none may hold the player.
std::string NamedPipe()
{
    const std::string path = Scratch() + "/pipe.mp4";
    ::unlink(path.c_str());
    EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
    return path;
}

std::string LinkLoop()
{
    const std::string path = Scratch() + "/loop.mp4";
    ::unlink(path.c_str());
    EXPECT_EQ(::symlink("loop.mp4", path.c_str()), 0);
    return path;
}

enum class Expect { Fails, NoVideo, MayOpen, Opens };

struct BadCase {
    const char* name;
    std::string (*make)();
    Expect expect;
};

std::string GoodMp4() { return Make("good.mp4", Spec(1)); }
std::string GoodAvi() { return Make("good.avi", Spec(1, recgen::AudioCodec::Pcm, recgen::Container::Avi)); }

// A good recording under a name that is not valid UTF-8.
std::string InvalidUtf8Name()
{
    const std::string path = Scratch() + "/bad\xff\xfename.mp4";
    std::ofstream(path, std::ios::binary) << ReadBytes(GoodMp4());
    return path;
}

const BadCase kBadCases[] = {
    {"missing file", [] { return Scratch() + "/no_such_file.mp4"; }, Expect::Fails},
    {"empty file", [] { return WriteBytes("empty.mp4", ""); }, Expect::Fails},
    {"a folder", [] { return Scratch(); }, Expect::Fails},
    {"garbage", [] { return WriteBytes("garbage.mp4", Garbage(64 * 1024, 1)); }, Expect::Fails},
    {"garbage behind an MP4 header",
     [] { return WriteBytes("ftyp_garbage.mp4", std::string("\0\0\0\x18" "ftypmp42\0\0\0\0mp42isom", 24) + Garbage(32 * 1024, 2)); },
     Expect::Fails},
    {"garbage behind an AVI header",
     [] { return WriteBytes("riff_garbage.avi", std::string("RIFF\x10\0\1\0AVI LIST", 16) + Garbage(32 * 1024, 3)); },
     Expect::Fails},
    {"MP4 cut before its index", [] {
         const std::string b = ReadBytes(GoodMp4());
         return WriteBytes("cut_half.mp4", b.substr(0, b.size() / 2));
     }, Expect::Fails},
    {"MP4 with its index cut short", [] {
         const std::string b = ReadBytes(GoodMp4());
         return WriteBytes("cut_tail.mp4", b.substr(0, b.size() - 200));
     }, Expect::MayOpen},
    {"AVI cut in the middle", [] {
         const std::string b = ReadBytes(GoodAvi());
         return WriteBytes("cut_half.avi", b.substr(0, b.size() / 2));
     }, Expect::MayOpen},
    {"MP4 with garbage over its middle", [] {
         std::string b = ReadBytes(GoodMp4());
         const std::string g = Garbage(b.size() / 3, 4);
         b.replace(b.size() / 4, g.size(), g);
         return WriteBytes("scribbled.mp4", b);
     }, Expect::MayOpen},
    {"no video track", [] { return Make("bad_audio_only.mp4", Spec(0)); }, Expect::NoVideo},
    {"unsupported video codec", &UnsupportedCodec, Expect::Fails},
    {"a named pipe", &NamedPipe, Expect::Fails},
    {"a link to itself", &LinkLoop, Expect::Fails},
    {"a character device", [] { return std::string("/dev/zero"); }, Expect::Fails},
    {"a name not valid in UTF-8", &InvalidUtf8Name, Expect::Opens},
};

class PlayerBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(PlayerBadInput, NeitherCrashesNorHangs)
{
    const BadCase& c = GetParam();
    ::alarm(120);  // a case that hangs ends the program, and fails
    const std::string path = c.make();
    TestWindow w1, w2;
    CDShowPlayer player;
    player.Init(2, &w1, &w2);
    // Named as a folder listing names it: by the system's bytes.
    const int opened = player.OpenFile(FileNameFromBytes(QByteArray::fromStdString(path)));
    switch (c.expect) {
    case Expect::Opens: {
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(player.GetState(), kStateStopped);
        int end = 0;
        EXPECT_FALSE(ReadAll(player, &end).empty());
        break;
    }
    case Expect::Fails:
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(player.GetState(), kStateNoGraph);
        break;
    case Expect::NoVideo:
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(player.GetState(), kStateNotBuilt);
        EXPECT_EQ(player.Play(), 0);
        break;
    case Expect::MayOpen:
        if (opened) {
            // Whatever can be shown plays to an end that the player reports.
            player.SeekMs(static_cast<std::int32_t>(player.GetDurationMs() / 2));
            EXPECT_EQ(player.Play(), 1);
            QElapsedTimer t;
            t.start();
            while (player.GetPositionMs() < player.GetDurationMs() && t.elapsed() < 6000) ProcessEvents(20);
            EXPECT_EQ(player.GetPositionMs(), player.GetDurationMs());
            player.SeekMs(500);
            std::uint8_t buf[1024];
            std::int32_t size = 1024;
            std::uint32_t stamp = 0;
            player.ReadDataSample(buf, &size, &stamp);
        }
        break;
    }
    // The same player opens a good recording afterwards.
    ASSERT_EQ(player.OpenFile(QString::fromStdString(GoodMp4())), 1);
    EXPECT_EQ(player.GetState(), kStateStopped);
    EXPECT_EQ(FrameNumber(player.LastFrame(0)), 0);
    ::alarm(0);
}

INSTANTIATE_TEST_SUITE_P(Files, PlayerBadInput, ::testing::ValuesIn(kBadCases),
                         [](const ::testing::TestParamInfo<BadCase>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

}  // namespace
