// One thumbnail grab of a 1920x1080 H.264 recording at 15 s, and a whole ten-tile page (ten
// opens and grabs, one per file), beside `ffmpeg -ss 15 -i FILE -map 0:v:0 -frames:v 1`
// decoding the same frame of the front video only, to the null muxer, so ffmpeg pays neither
// the other tracks nor an image encoding. Medians of several runs.
// Usage: thumbnail_bench [recording]   (made in the current folder when not given, reused)
#include "media/FrameGrabber.h"
#include "tools/recgen/RecordingGenerator.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    using namespace std::chrono;
    return duration_cast<duration<double, std::milli>>(steady_clock::now().time_since_epoch()).count();
}

double Median(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t0 = NowMs();
        work();
        times.push_back(NowMs() - t0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The ffmpeg command line run as a child process, as a user would run it.
void RunFfmpeg(const std::string& file)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("ffmpeg", "ffmpeg", "-v", "error", "-nostdin", "-ss", "15", "-i", file.c_str(), "-map", "0:v:0",
               "-frames:v", "1", "-f", "null", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "ffmpeg failed\n");
}

bool GrabTile(const std::string& file)
{
    FrameGrabber grabber;
    GrabbedPicture picture;
    return grabber.Open(file) && grabber.GrabFrame(0, 15.0, 126, 174, &picture);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string file = argc > 1 ? argv[1] : "thumbnail_bench_1080p.mp4";
    if (argc <= 1 && access(file.c_str(), R_OK) != 0) {
        recgen::RecordingSpec spec;
        spec.width = 1920;
        spec.height = 1080;
        spec.fps = 30;
        spec.durationMs = 20000;
        std::string error;
        std::fprintf(stderr, "writing %s ...\n", file.c_str());
        if (!recgen::WriteRecording(file, spec, nullptr, &error)) {
            std::fprintf(stderr, "cannot write the recording: %s\n", error.c_str());
            return 1;
        }
    }
    if (!GrabTile(file)) {
        std::fprintf(stderr, "no frame at 15 s in %s\n", file.c_str());
        return 1;
    }
    constexpr int kRuns = 9;
    RunFfmpeg(file);  // warm the file cache for both
    const double ours = Median(kRuns, [&] { GrabTile(file); });
    const double ffmpeg = Median(kRuns, [&] { RunFfmpeg(file); });
    const double page = Median(kRuns, [&] {
        for (int i = 0; i < 10; ++i) GrabTile(file);
    });
    std::printf("one grab at 15 s:   ours %.1f ms, ffmpeg -ss 15 %.1f ms, ratio %.2f\n", ours, ffmpeg, ours / ffmpeg);
    std::printf("ten-tile page:      ours %.1f ms, ffmpeg x 10 %.1f ms, ratio %.2f\n", page, ffmpeg * 10,
                page / (ffmpeg * 10));
    return 0;
}
