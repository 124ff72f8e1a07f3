// make_demo_card: writes a whole demo SD card tree: the kind folders Event, Normal and
// Parking with a dozen recordings each (front and rear camera, drive data), and SETUP.
//   make_demo_card DIR [--seconds N]
#include "settings/SetupRecord.h"
#include "tools/recgen/RecordingGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool WriteFile(const std::filesystem::path& path, const char* bytes, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// The camera's own files: its settings (the default record, in English) and its factory
// record (model code and firmware 2.0.3).
bool WriteCameraFiles(const std::filesystem::path& root)
{
    SetupRecord setup = DefaultSetupRecord();
    setup.SetWord(SetupWord::kLanguage, 1);
    setup.SetWord(SetupWord::kLanguageCopy, 1);
    setup.checksum = SetupRecordChecksum(setup);
    const SetupBytes bytes = SetupRecordToBytes(setup);
    std::string factory(kFactoryRecordSize, '\0');
    factory.replace(0, 3, "ZQX");
    factory.replace(46, 6, "V2.0.3");
    return WriteFile(root / "data_setup.cfg", reinterpret_cast<const char*>(bytes.data()), bytes.size()) &&
           WriteFile(root / "SETUP" / "data_factory.cfg", factory.data(), factory.size());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_demo_card DIR [--seconds N]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    int seconds = 15;
    if (argc >= 4 && std::string(argv[2]) == "--seconds") seconds = std::atoi(argv[3]);
    if (seconds <= 0) seconds = 15;

    std::error_code ec;
    std::filesystem::create_directories(root / "SETUP", ec);
    if (ec || !WriteCameraFiles(root)) {
        std::fprintf(stderr, "make_demo_card: cannot write the camera's files in %s\n", root.c_str());
        return 1;
    }
    const char* kinds[] = {"Event", "Normal", "Parking"};
    int made = 0;
    for (int k = 0; k < 3; ++k) {
        std::filesystem::create_directories(root / kinds[k], ec);
        if (ec) {
            std::fprintf(stderr, "make_demo_card: cannot create %s: %s\n", (root / kinds[k]).c_str(), ec.message().c_str());
            return 1;
        }
        for (int i = 0; i < 12; ++i) {
            recgen::RecordingSpec spec;
            spec.durationMs = seconds * 1000;
            spec.width = 640;
            spec.height = 360;
            spec.videoTracks = 2;
            spec.rearWidth = 320;
            spec.rearHeight = 240;
            spec.fps = 15;
            spec.gRecordsPerSecond = 10;
            // Recordings follow each other through one afternoon's drive in Tokyo.
            std::tm t{};
            t.tm_year = 2017 - 1900;
            t.tm_mon = 7;
            t.tm_mday = 11 + k;
            t.tm_hour = 3;
            t.tm_min = 0;
            t.tm_sec = i * seconds;
            const std::time_t utc = timegm(&t);
            std::tm u{};
            gmtime_r(&utc, &u);
            spec.year = u.tm_year + 1900;
            spec.month = u.tm_mon + 1;
            spec.day = u.tm_mday;
            spec.hour = u.tm_hour;
            spec.minute = u.tm_min;
            spec.second = u.tm_sec;
            spec.startLatDeg = 35.684066 + 0.002 * i;
            spec.startLonDeg = 139.774494 + 0.003 * k;
            const std::time_t local = utc + 9 * 3600;  // the camera names files in local time
            std::tm l{};
            gmtime_r(&local, &l);
            const std::string name = recgen::RecordingFileName(kinds[k], l.tm_year + 1900, l.tm_mon + 1, l.tm_mday,
                                                               l.tm_hour, l.tm_min, l.tm_sec);
            std::string error;
            if (!recgen::WriteRecording((root / kinds[k] / name).string(), spec, nullptr, &error)) {
                std::fprintf(stderr, "make_demo_card: %s: %s\n", name.c_str(), error.c_str());
                return 1;
            }
            ++made;
        }
    }
    std::printf("demo card with %d recordings in %s\n", made, root.c_str());
    return 0;
}
