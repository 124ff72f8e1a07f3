#pragma once
// Shared pieces of the player tests: a video window that records what it is given,
// recordings made by the generator in the test's scratch folder, and the event loop.
#include "TestScratch.h"
#include "media/DShowPlayer.h"
#include "platform/VideoWindow.h"
#include "tools/recgen/RecordingGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace playertest {

class TestWindow : public IVideoWindow {
public:
    TestWindow(int w = 320, int h = 240) : width(w), height(h) {}
    void PresentFrame(std::shared_ptr<const VideoFrame> frame) override
    {
        ++presented;
        last = std::move(frame);
    }
    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void Repaint() override { ++repaints; }
    void SetVideoPosition(const VideoRect& r) override { destination = r; }

    int width, height;
    int presented = 0;
    int repaints = 0;
    VideoRect destination;
    std::shared_ptr<const VideoFrame> last;
};

inline std::string Scratch()
{
    return TestScratchDir();
}

// Writes a recording once per test program run; fails the test when it cannot.
inline std::string Make(const std::string& name, const recgen::RecordingSpec& spec,
                        std::vector<recgen::DataSample>* samples = nullptr)
{
    const std::string path = Scratch() + "/" + name;
    std::string error;
    EXPECT_TRUE(recgen::WriteRecording(path, spec, samples, &error)) << error;
    return path;
}

inline recgen::RecordingSpec Spec(int videos = 1, recgen::AudioCodec audio = recgen::AudioCodec::Aac,
                                  recgen::Container c = recgen::Container::Mp4)
{
    recgen::RecordingSpec s;
    s.durationMs = 3000;
    s.width = 320;
    s.height = 240;
    s.fps = 25;
    s.videoTracks = videos;
    s.audio = audio;
    s.container = c;
    return s;
}

inline int FrameNumber(const std::shared_ptr<const VideoFrame>& f)
{
    if (!f || f->pixels.empty()) return -1;
    return recgen::ReadFrameNumber(f->pixels.data(), f->width, f->height, f->stride);
}

// The frame shown at ms for fps.
inline int FrameAt(int ms, int fps) { return ms * fps / 1000; }

inline void ProcessEvents(int ms = 0)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ms > 0) QThread::msleep(5);
    } while (t.elapsed() < ms);
}

// Runs the event loop until done() holds or boundMs passed: a loaded machine may take
// longer than real time to play a stretch, and a test that only needs playback to have
// moved must not fail for it.
template <typename Done>
inline bool ProcessEventsUntil(Done done, int boundMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= boundMs) return false;
        ProcessEvents(20);
    }
    return true;
}

// A QCoreApplication for the whole test program, so pictures reach the windows. A critical
// message from GStreamer is a misuse of its objects by the player, so it fails the test
// running at the time.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_log_set_handler(
            "GStreamer", GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            [](const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
                ADD_FAILURE() << "GStreamer: " << message;
            },
            nullptr);
        static int argc = 1;
        static char arg0[] = "player_test";
        static char* argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QCoreApplication* app_ = nullptr;
};

}  // namespace playertest
