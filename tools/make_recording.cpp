// make_recording: writes one generated dashcam recording.
//   make_recording OUT.mp4|OUT.avi [--seconds N] [--size WxH] [--rear WxH] [--fps N]
//                  [--codec h264|mpeg4] [--audio aac|pcm|none] [--g-rate N] [--no-data]
//                  [--talker GP] [--void-every N] [--empty-every N] [--south-west]
#include "tools/recgen/RecordingGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ParseSize(const char* s, int* w, int* h) { return std::sscanf(s, "%dx%d", w, h) == 2 && *w > 0 && *h > 0; }

int Usage()
{
    std::fprintf(stderr,
                 "usage: make_recording OUT.mp4|OUT.avi [--seconds N] [--size WxH] [--rear WxH] [--fps N]\n"
                 "       [--codec h264|mpeg4] [--audio aac|pcm|none] [--g-rate N] [--no-data] [--talker XX]\n"
                 "       [--void-every N] [--empty-every N] [--south-west]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const std::string out = argv[1];
    recgen::RecordingSpec spec;
    if (out.size() > 4 && out.compare(out.size() - 4, 4, ".avi") == 0) spec.container = recgen::Container::Avi;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto next = [&]() { ++i; return v; };
        if (a == "--seconds" && v) spec.durationMs = static_cast<int>(std::atof(next()) * 1000);
        else if (a == "--size" && v) { if (!ParseSize(next(), &spec.width, &spec.height)) return Usage(); }
        else if (a == "--rear" && v) { if (!ParseSize(next(), &spec.rearWidth, &spec.rearHeight)) return Usage(); spec.videoTracks = 2; }
        else if (a == "--fps" && v) spec.fps = std::atoi(next());
        else if (a == "--codec" && v) spec.codec = std::strcmp(next(), "mpeg4") == 0 ? recgen::VideoCodec::Mpeg4 : recgen::VideoCodec::H264;
        else if (a == "--audio" && v) {
            const std::string k = next();
            spec.audio = k == "pcm" ? recgen::AudioCodec::Pcm : k == "none" ? recgen::AudioCodec::None : recgen::AudioCodec::Aac;
        }
        else if (a == "--g-rate" && v) spec.gRecordsPerSecond = std::atoi(next());
        else if (a == "--no-data") spec.dataTrack = false;
        else if (a == "--talker" && v) spec.talker = next();
        else if (a == "--void-every" && v) spec.voidEvery = std::atoi(next());
        else if (a == "--empty-every" && v) spec.emptyFieldsEvery = std::atoi(next());
        else if (a == "--south-west") spec.southWest = true;
        else return Usage();
    }
    if (spec.fps <= 0 || spec.durationMs <= 0) return Usage();
    std::string error;
    if (!recgen::WriteRecording(out, spec, nullptr, &error)) {
        std::fprintf(stderr, "make_recording: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
