#pragma once
// Writes dashcam recordings as the camera does: one or two video tracks (front, then rear),
// optional audio, and a data track of NMEA RMC sentences and 41-byte G records.
// Every video frame carries its frame number as a band of cells that ReadFrameNumber reads back.
#include <cstdint>
#include <string>
#include <vector>

namespace recgen {

enum class VideoCodec { H264, Mpeg4 };
enum class AudioCodec { None, Aac, Pcm };
enum class Container { Mp4, Avi };

struct RecordingSpec {
    int durationMs = 3000;
    int width = 320;
    int height = 240;
    int fps = 10;
    int videoTracks = 1;       // 0, 1 or 2
    int rearWidth = 0;         // 0: same as the front
    int rearHeight = 0;
    int gop = 0;               // key frame interval in frames; 0: one a second
    VideoCodec codec = VideoCodec::H264;
    AudioCodec audio = AudioCodec::Aac;
    Container container = Container::Mp4;

    bool dataTrack = true;
    int gRecordsPerSecond = 10;   // 0: no G records
    bool gpsSentences = true;     // one RMC sentence a second
    std::string talker = "GP";    // "GP", "GN", ...
    int voidEvery = 0;            // every n-th fix is void ('V'); 0: none
    int emptyFieldsEvery = 0;     // every n-th fix has empty speed and course fields
    bool southWest = false;       // drive in the southern and western hemispheres

    // Start of the drive, UTC.
    int year = 2017, month = 8, day = 11, hour = 3, minute = 34, second = 56;
    double startLatDeg = 35.684066;
    double startLonDeg = 139.774494;
};

// One sample of the data track as written: its time stamp in milliseconds and its bytes.
struct DataSample {
    std::int64_t stampMs = 0;
    std::string bytes;
};

// The values behind one G record, as the generator chose them.
struct GRecordValues {
    std::int16_t axis[3] = {2048, 2048, 2048};   // G set 1, raw (1 g = 1024 above 2048)
    std::int16_t set2[3] = {0, 0, 0};            // second set, raw (value * 1024)
    std::int8_t bytes[6] = {1, 0, 0, 0, 0, 0};   // valid, two spare, hour, minute, second
    std::uint16_t words[11] = {};                // speed and assistance words
};

std::string EncodeGRecord(const GRecordValues& v);  // 41 bytes, first 'M'

// The data samples of a drive in time order (what WriteRecording puts in the data track).
std::vector<DataSample> MakeDriveSamples(const RecordingSpec& spec);

// Writes the recording; the data samples written are returned in *samples when given.
bool WriteRecording(const std::string& path, const RecordingSpec& spec,
                    std::vector<DataSample>* samples = nullptr, std::string* error = nullptr);

// Frame number drawn into a picture of the given size: cells in a band at the top.
// Reads it back from a 32-bit BGRx picture; -1 when no number is there.
int ReadFrameNumber(const std::uint8_t* bgrx, int width, int height, int strideBytes);
// Luma-plane form, used by the encoder side and by tests that decode to YUV.
void DrawFrameNumber(std::uint8_t* luma, int width, int height, int stride, int number);
int ReadFrameNumberLuma(const std::uint8_t* luma, int width, int height, int stride);

// The camera's file name for a recording of this kind started at the given local time:
// "20170811_123456_NI.mp4" and the like.
std::string RecordingFileName(const std::string& kind, int year, int month, int day, int hour, int minute,
                              int second, Container container = Container::Mp4);

}  // namespace recgen
