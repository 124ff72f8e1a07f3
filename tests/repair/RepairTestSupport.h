#pragma once
// Fixtures of the repair tests: recordings made with the ffmpeg command at test time,
// FFmpeg's decoding of a file as the reference, and the byte surgery that damages a file.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

namespace repairtest {

// The test's scratch folder (created), with an optional name below it.
QString Scratch(const QString& name = QString());

// Runs the ffmpeg command quietly; false (and its error output in *error) when it fails.
bool RunFfmpeg(const QStringList& args, QString* error = nullptr);

// A 640x480 (or other) MPEG-4 part 2 recording with audio (PCM in AVI, AAC otherwise) as
// the camera writes it:
// 1000 time ticks a second, key frame every gop pictures (1: intra only). A ".m4v" path
// gets the bare elementary stream.
bool MakeMpeg4Recording(const QString& path, int seconds, int gop, int width = 640, int height = 480,
                        bool audio = true);

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> y, u, v;  // packed planes
};

// Every picture FFmpeg decodes from the file's first video stream; empty when it cannot
// open it. *error gets the reason.
std::vector<Picture> DecodeWithFfmpeg(const QString& path, std::string* error = nullptr);

// PSNR over the three planes; 99 for identical pictures, 0 when the sizes differ.
double Psnr(const Picture& a, const Picture& b);

QByteArray ReadFile(const QString& path);
bool WriteFile(const QString& path, const QByteArray& data);

// Offsets of every 00 00 01 B6 in data.
std::vector<qsizetype> VopOffsets(const QByteArray& data);

}  // namespace repairtest
