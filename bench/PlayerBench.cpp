// Measures the player on a generated 60-second recording (front 1920x1080, rear
// 1280x720, H.264, AAC, 10 G records a second) beside the stock tools on the same file:
//   open + read every data sample   vs  ffmpeg copying the data track to null
//   accurate seek (paused)          vs  ffmpeg -ss (open, seek, decode one frame)
//   20 s of play at rate 1 into the real panes (CPU, peak memory), on the path without a GL
//   context (offscreen) and, where a display exists, on the GL path (VIEWER_SOFTWARE_GL=1:
//   also on a software rasteriser) and on that display with GL turned off
//                                   vs  gst-launch-1.0 running the same decode into fakesinks
//                                       (as it sets the decoders up, and with the player's
//                                       queues, decoder settings and late-picture dropping),
//                                       and ffmpeg decoding both videos to BGRx; each the CPU
//                                       of its start-up and of 20 s of the recording's time
// Usage: player_bench [recording]   (made in /tmp when not given, reused when present)
// BENCH_RUNS=n plays each n times, the runs of all of them interleaved, and takes the median
// of each figure: on a shared machine one run can be off by a fifth.
#include "media/DShowPlayer.h"
#include "tests/views/PanePlacement.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

class NullWindow : public IVideoWindow {
public:
    void PresentFrame(std::shared_ptr<const VideoFrame>) override {}
    int ClientWidth() const override { return 640; }
    int ClientHeight() const override { return 360; }
    void Repaint() override {}
};

double NowMs()
{
    using namespace std::chrono;
    return duration_cast<duration<double, std::milli>>(steady_clock::now().time_since_epoch()).count();
}

struct Usage {
    double cpuSeconds = 0;
    double peakMb = 0;
    double wallMs = 0;
};

// Runs argv as a child, interrupts it after stopAfterMs (0: let it end), returns its usage.
// env: NAME=value to set in the child, or NAME alone to remove it. playingLine: the time to the
// interrupt runs from the line of the child's output that starts so (the child playing), as
// the player's own 20 s run from its start of play; the start-up before it counts in the
// usage all the same.
Usage RunChild(std::vector<std::string> args, int stopAfterMs, const std::vector<std::string>& env = {},
               const char* playingLine = nullptr)
{
    Usage u;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    if (playingLine && pipe(out) != 0) playingLine = nullptr;
    const double t0 = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        if (playingLine) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
        } else if (std::getenv("BENCH_QUIET_CHILD")) {
            std::freopen("/dev/null", "w", stdout);
        }
        for (const std::string& e : env) {
            const auto eq = e.find('=');
            if (eq == std::string::npos) unsetenv(e.c_str());
            else setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    FILE* lines = nullptr;
    std::thread drain;
    if (playingLine) {
        close(out[1]);
        lines = fdopen(out[0], "r");
        char line[512];
        while (lines && std::fgets(line, sizeof line, lines))
            if (std::string(line).rfind(playingLine, 0) == 0) break;
        // Read on, so that the child never waits on a full pipe.
        if (lines)
            drain = std::thread([lines] {
                char rest[512];
                while (std::fgets(rest, sizeof rest, lines)) {}
            });
    }
    if (stopAfterMs > 0) {
        usleep(static_cast<useconds_t>(stopAfterMs) * 1000);
        kill(pid, SIGINT);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (drain.joinable()) drain.join();
    if (lines) std::fclose(lines);
    u.wallMs = NowMs() - t0;
    u.cpuSeconds = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
    u.peakMb = ru.ru_maxrss / 1024.0;
    return u;
}

// The median of each figure over the runs.
Usage Median(std::vector<Usage> runs)
{
    auto mid = [&runs](double Usage::*field) {
        std::vector<double> v;
        for (const Usage& u : runs) v.push_back(u.*field);
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    return Usage{mid(&Usage::cpuSeconds), mid(&Usage::peakMb), mid(&Usage::wallMs)};
}

double RunTimed(const std::string& cmd)
{
    const double t0 = NowMs();
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return NowMs() - t0;
}

// Child mode: play the file for the given milliseconds at rate 1 into the two panes placed
// as the main window places them, with the 200 ms update asking for the position.
int PlayChild(int argc, char** argv, const char* path, int ms)
{
    QApplication app(argc, argv);
    QWidget main;
    main.resize(1020, 720);
    auto* zoom = new CZoomDlg(&main);
    auto* rear = new CRearViewDlg(&main);
    PlaceFramesAsTheMainDialog(zoom, rear);
    main.show();
    CDShowPlayer player;
    player.Init(2, zoom->GetVideoView(), rear->GetVideoView());
    if (!player.OpenFile(QString::fromLocal8Bit(path)) || !player.Play()) return 1;
    QTimer update;
    QObject::connect(&update, &QTimer::timeout, [&player] { player.GetPositionMs(); });
    update.start(200);
    QTimer::singleShot(ms, &app, &QCoreApplication::quit);
    app.exec();
    const VideoFrameWork& work = FrameWork();
    std::fprintf(stderr, "  %s path: %lld pictures decoded, %lld converted on the CPU, %lld copied, %lld uploaded\n",
                 zoom->GetVideoView()->DrawsOnGpu() ? "GL" : "fallback", static_cast<long long>(work.decoded.load()),
                 static_cast<long long>(work.conversions.load()), static_cast<long long>(work.copies.load()),
                 static_cast<long long>(work.uploads.load()));
    player.StopAndClose();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--play") return PlayChild(argc, argv, argv[2], std::atoi(argv[3]));

    std::string path = argc > 1 ? argv[1] : "/tmp/player_bench_60s.mp4";
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        recgen::RecordingSpec s;
        s.durationMs = 60000;
        s.width = 1920;
        s.height = 1080;
        s.videoTracks = 2;
        s.rearWidth = 1280;
        s.rearHeight = 720;
        s.fps = 30;
        s.codec = recgen::VideoCodec::H264;
        s.audio = recgen::AudioCodec::Aac;
        s.gRecordsPerSecond = 10;
        std::printf("writing %s ...\n", path.c_str());
        std::fflush(stdout);
        std::string error;
        if (!recgen::WriteRecording(path, s, nullptr, &error)) {
            std::fprintf(stderr, "cannot write the recording: %s\n", error.c_str());
            return 1;
        }
    }
    const std::string self = "/proc/self/exe";
    char exe[4096] = {};
    if (readlink(self.c_str(), exe, sizeof exe - 1) <= 0) return 1;

    // 1. Play 20 s at rate 1, each in its own process so that its CPU time and peak
    //    memory are its own.
    const int playMs = 20000;
    const std::vector<std::string> play = {exe, "--play", path, std::to_string(playMs)};
    const bool display = std::getenv("DISPLAY") != nullptr;
    // The same decode, two videos and the sound, into fakesinks on the clock: with the
    // decoders as gst-launch sets them up, and with the player's queues, decoder settings and
    // dropping of late pictures.
    const std::string loc = "location=" + path;
    auto bare = [&](bool asThePlayer) {
        std::vector<std::string> queue = {"queue"}, decoder = {"avdec_h264"}, sink = {"fakesink", "sync=true"};
        if (asThePlayer) {
            using G = CDShowGraph;
            queue.insert(queue.end(), {"max-size-time=0", "max-size-buffers=" + std::to_string(G::kQueueBuffers),
                                       "max-size-bytes=" + std::to_string(G::kQueueBytes)});
            decoder.insert(decoder.end(), {"max-threads=" + std::to_string(G::kDecoderThreads), "output-corrupt=false"});
            sink.insert(sink.end(), {"qos=true", "max-lateness=" + std::to_string(G::kMaxLatenessMs * 1000000LL)});
        }
        std::vector<std::string> args = {"gst-launch-1.0", "filesrc", loc, "!", "qtdemux", "name=d"};
        for (const char* pad : {"d.video_0", "d.video_1"}) {
            args.push_back(pad);
            for (const auto* element : {&queue, &decoder, &sink}) {
                args.push_back("!");
                args.insert(args.end(), element->begin(), element->end());
            }
        }
        args.push_back("d.audio_0");
        args.push_back("!");
        args.insert(args.end(), queue.begin(), queue.end());
        args.insert(args.end(), {"!", "avdec_aac", "!", "audioconvert", "!", "audioresample", "!", "volume", "!",
                                 "autoaudiosink"});
        return RunChild(args, playMs, {}, "Setting pipeline to PLAYING");
    };
    const char* runsText = std::getenv("BENCH_RUNS");
    const int runs = std::max(1, runsText ? std::atoi(runsText) : 1);
    std::vector<Usage> oursRuns, oursGlRuns, oursNoGlRuns, graphRuns, graphSameRuns, sameRuns;
    for (int run = 0; run < runs; ++run) {
        oursRuns.push_back(RunChild(play, 0, {"QT_QPA_PLATFORM=offscreen", "DISPLAY"}));
        if (display) {
            // The GL path even where the display's only GL is a software rasteriser, which the
            // panes otherwise leave for the path without a context.
            oursGlRuns.push_back(RunChild(play, 0, {"QT_QPA_PLATFORM=xcb", "VIEWER_SOFTWARE_GL=1"}));
            // A display whose server offers no GL: the panes take the path without a context.
            oursNoGlRuns.push_back(RunChild(play, 0, {"QT_QPA_PLATFORM=xcb", "QT_XCB_GL_INTEGRATION=none"}));
        }
        graphRuns.push_back(bare(false));
        graphSameRuns.push_back(bare(true));
        sameRuns.push_back(RunChild({"ffmpeg", "-nostdin", "-v", "error", "-t", "20", "-i", path, "-map", "0:v:0",
                                     "-map", "0:v:1", "-map", "0:a", "-pix_fmt", "bgr0", "-f", "null", "-"},
                                    0));
    }
    const Usage ours = Median(oursRuns), oursGl = Median(oursGlRuns), oursNoGl = Median(oursNoGlRuns);
    const Usage graph = Median(graphRuns), graphSame = Median(graphSameRuns), same = Median(sameRuns);

    // 2. Open and read every data sample (in this process, after the children).
    int argc0 = 1;
    QCoreApplication app(argc0, argv);
    NullWindow w1, w2;
    double openMs = 0;
    int samples = 0;
    {
        CDShowPlayer player;
        player.Init(2, &w1, &w2);
        const double t0 = NowMs();
        if (!player.OpenFile(QString::fromStdString(path))) {
            std::fprintf(stderr, "the player cannot open %s\n", path.c_str());
            return 1;
        }
        const double openOnlyMs = NowMs() - t0;
        const double d0 = NowMs();
        for (;;) {
            std::uint8_t buf[1024] = {};
            std::int32_t size = 1024;
            std::uint32_t stamp = 0;
            if (player.ReadDataSample(buf, &size, &stamp) != 0) break;
            ++samples;
        }
        openMs = openOnlyMs + (NowMs() - d0);
        // The first open also loads GStreamer's plugins; the next is what a user waits for
        // between recordings.
        const double w0 = NowMs();
        player.OpenFile(QString::fromStdString(path));
        const double warmOpenMs = NowMs() - w0;

        // 3. Accurate seeks while paused, to times between key frames.
        const int seekTo[] = {31500, 7333, 45250, 12010, 58800, 2500, 39990, 20470};
        player.Pause();
        double total = 0;
        for (int ms : seekTo) {
            const double s0 = NowMs();
            player.SeekMs(ms);
            total += NowMs() - s0;
        }
        const double seekMs = total / (sizeof seekTo / sizeof seekTo[0]);
        double refSeek = 0;
        for (int ms : seekTo) {
            char cmd[1024];
            std::snprintf(cmd, sizeof cmd, "ffmpeg -nostdin -v error -ss %.3f -i '%s' -map 0:v:0 -map 0:v:1 -frames:v 1 -f null -",
                          ms / 1000.0, path.c_str());
            refSeek += RunTimed(cmd);
        }
        refSeek /= sizeof seekTo / sizeof seekTo[0];

        const double refOpen =
            RunTimed("ffmpeg -nostdin -v error -i '" + path + "' -map 0:d -c copy -f data -y /dev/null");

        std::printf("recording: %s (60 s, 1920x1080 + 1280x720 H.264, AAC, %d data samples)\n", path.c_str(), samples);
        std::printf("open + read data samples: player %.1f ms (open and first pictures %.1f ms), ffmpeg data copy "
                    "%.1f ms, ratio %.2f\n",
                    openMs, openOnlyMs, refOpen, openMs / refOpen);
        std::printf("  open again (plugins loaded): %.1f ms\n", warmOpenMs);
        std::printf("accurate seek (paused, both videos): player %.1f ms, ffmpeg open+seek+frame %.1f ms, ratio %.2f\n",
                    seekMs, refSeek, seekMs / refSeek);
    }
    if (runs > 1) std::printf("(medians of %d interleaved runs)\n", runs);
    std::printf("gst-launch-1.0, the same decode into fakesinks: CPU %.2f s, peak %.0f MB\n", graph.cpuSeconds,
                graph.peakMb);
    std::printf("  with the player's settings (queues of %u buffers and no time limit, %d decoder threads, pictures "
                "later than %d ms dropped): CPU %.2f s, peak %.0f MB\n",
                CDShowGraph::kQueueBuffers, CDShowGraph::kDecoderThreads, CDShowGraph::kMaxLatenessMs,
                graphSame.cpuSeconds, graphSame.peakMb);
    std::printf("ffmpeg decoding both videos and the sound of 20 s to BGRx: CPU %.2f s, peak %.0f MB\n",
                same.cpuSeconds, same.peakMb);
    auto printPlay = [&](const char* what, const Usage& u) {
        std::printf("play 20 s at rate 1 into the panes, %s: CPU %.2f s, peak %.0f MB\n", what, u.cpuSeconds, u.peakMb);
        std::printf("  ratios: CPU / gst-launch %.2f, CPU / ffmpeg %.2f, memory / gst-launch %.2f\n",
                    u.cpuSeconds / graph.cpuSeconds, u.cpuSeconds / same.cpuSeconds, u.peakMb / graph.peakMb);
        std::printf("  beside gst-launch with the player's settings: CPU %.2f, memory %.2f\n",
                    u.cpuSeconds / graphSame.cpuSeconds, u.peakMb / graphSame.peakMb);
    };
    printPlay("no GL context (offscreen)", ours);
    if (display) {
        printPlay("GL (this display, a software rasteriser's GL taken too)", oursGl);
        printPlay("no GL context (this display, its GL turned off)", oursNoGl);
    } else std::printf("(no DISPLAY: the GL path is not measured; run under xvfb-run -a for it)\n");
    return 0;
}
