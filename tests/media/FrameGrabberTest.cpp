// Still frames without playing: the frame on show at a time, read back from the frame-number
// band the generator draws into every frame, on H.264 and MPEG-4 part 2, MP4 and AVI, sparse
// key frames, B-frames from FFmpeg's own encoder, and files that cannot be read.
#include "TestScratch.h"
#include "media/FrameGrabber.h"
#include "tools/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string Scratch()
{
    return TestScratchDir();
}

std::string Make(const std::string& name, const recgen::RecordingSpec& spec)
{
    const std::string path = Scratch() + "/" + name;
    std::string error;
    EXPECT_TRUE(recgen::WriteRecording(path, spec, nullptr, &error)) << error;
    return path;
}

recgen::RecordingSpec Spec(int durationMs, int gop = 0, int tracks = 1)
{
    recgen::RecordingSpec s;
    s.durationMs = durationMs;
    s.gop = gop;
    s.videoTracks = tracks;
    s.rearWidth = 160;
    s.rearHeight = 120;
    return s;
}

// The frame number of a grab, read at the picture's own size when the grab is that size.
int NumberOf(const GrabbedPicture& p)
{
    return recgen::ReadFrameNumber(p.bgrx.data(), p.width, p.height, p.width * 4);
}

int GrabNumber(FrameGrabber& g, int stream, double seconds, int w, int h)
{
    GrabbedPicture p;
    if (!g.GrabFrame(stream, seconds, w, h, &p)) return -2;
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
    EXPECT_EQ(p.bgrx.size(), std::size_t(w) * h * 4);
    return NumberOf(p);
}

TEST(FrameGrabber, FrameOnShowAtTheTime)
{
    recgen::RecordingSpec mpeg4 = Spec(6000, 25);
    mpeg4.codec = recgen::VideoCodec::Mpeg4;
    mpeg4.container = recgen::Container::Avi;
    recgen::RecordingSpec odd = Spec(6000, 17);
    odd.width = 352;
    odd.height = 198;
    odd.fps = 15;
    const std::string h264 = Make("h264_gop40.mp4", Spec(6000, 40));
    // B-frames and another encoder: FFmpeg's libx264 re-encodes the generator's pictures.
    const std::string bframes = Scratch() + "/bframes.mp4";
    const std::string cmd = "ffmpeg -v error -y -i '" + h264 +
                            "' -map 0:v:0 -c:v libx264 -bf 3 -g 33 -pix_fmt yuv420p '" + bframes + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    struct Case {
        std::string path;
        int fps;
        double seconds;
        int w, h;
    } cases[] = {
        {h264, 10, 0.0, 320, 240},
        {h264, 10, 3.5, 320, 240},   // 35 frames on from the key frame at 0
        {h264, 10, 4.05, 160, 120},  // between two frames: the earlier one is on show
        {h264, 10, 5.9, 640, 480},
        {Make("mpeg4.avi", mpeg4), 10, 2.2, 320, 240},
        {Make("odd.mp4", odd), 15, 4.0, 126, 174},
        {bframes, 10, 2.7, 320, 240},
        {bframes, 10, 5.0, 320, 240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " at " + std::to_string(c.seconds));
        FrameGrabber g;
        ASSERT_TRUE(g.Open(c.path));
        // Read back at a size the band survives: the grab itself, or one at the native size.
        const int expected = int(c.seconds * c.fps + 1e-6);
        if (c.w >= 160 && c.h >= 120) {
            EXPECT_EQ(GrabNumber(g, 0, c.seconds, c.w, c.h), expected);
        }
        int w = 0, h = 0;
        ASSERT_TRUE(g.GetStreamSize(0, &w, &h));
        EXPECT_EQ(GrabNumber(g, 0, c.seconds, w, h), expected);
    }
}

TEST(FrameGrabber, OneOpenServesManyGrabsInAnyOrder)
{
    FrameGrabber g;
    ASSERT_TRUE(g.Open(Make("two.mp4", Spec(8000, 30, 2))));
    EXPECT_EQ(g.GetOutputStreams(), 3);  // two videos and sound; the data track is not counted
    int w = 0, h = 0;
    ASSERT_TRUE(g.GetStreamSize(1, &w, &h));
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    EXPECT_FALSE(g.GetStreamSize(2, &w, &h));  // the sound
    for (double t : {7.0, 1.0, 4.4, 0.2, 7.9}) {
        EXPECT_EQ(GrabNumber(g, 0, t, 320, 240), int(t * 10 + 1e-6)) << t;
        EXPECT_EQ(GrabNumber(g, 1, t, 160, 120), int(t * 10 + 1e-6)) << t;
    }
}

TEST(FrameGrabber, ShorterRecordingShowsItsLastFrame)
{
    FrameGrabber g;
    ASSERT_TRUE(g.Open(Make("short.mp4", Spec(2000))));
    for (double t : {15.0, 61.0, 1e9}) EXPECT_EQ(GrabNumber(g, 0, t, 320, 240), 19) << t;
}

TEST(FrameGrabber, RefusesWhatItCannotShow)
{
    const std::string garbage = Scratch() + "/garbage.mp4";
    {
        std::ofstream f(garbage, std::ios::binary);
        for (int i = 0; i < 5000; ++i) f.put(char(i * 131 % 251));
    }
    // The first half of a recording: the index at its end is gone.
    const std::string whole = Make("whole.mp4", Spec(3000));
    const std::string half = Scratch() + "/half.mp4";
    {
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(half, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() / 2));
    }
    for (const std::string& path : {garbage, half, Scratch() + "/missing.mp4", Scratch()}) {
        FrameGrabber g;
        EXPECT_FALSE(g.Open(path)) << path;
        GrabbedPicture p;
        EXPECT_FALSE(g.GrabFrame(0, 1.0, 10, 10, &p));
    }

    FrameGrabber g;
    ASSERT_TRUE(g.Open(whole));
    ASSERT_EQ(g.GetOutputStreams(), 2);
    GrabbedPicture p;
    p.width = 7;
    EXPECT_FALSE(g.GrabFrame(1, 1.0, 32, 32, &p));  // the sound has no pictures
    EXPECT_FALSE(g.GrabFrame(2, 1.0, 32, 32, &p));
    EXPECT_FALSE(g.GrabFrame(-1, 1.0, 32, 32, &p));
    EXPECT_FALSE(g.GrabFrame(0, 1.0, 0, 32, &p));
    EXPECT_FALSE(g.GrabFrame(0, 1.0, 100000, 32, &p));
    EXPECT_EQ(p.width, 7);  // untouched on failure
    EXPECT_TRUE(g.GrabFrame(0, -3.0, 32, 32, &p));  // before the start: the first frame
}

}  // namespace
