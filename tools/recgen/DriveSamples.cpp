// The drive behind a generated recording: a car moving and turning at city speeds, with one
// RMC sentence a second and G records at the chosen rate, in time order.
#include "tools/recgen/RecordingGenerator.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace recgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string NmeaAngle(double degrees, int degreeDigits)
{
    const double a = std::fabs(degrees);
    const int whole = static_cast<int>(a);
    const double minutes = (a - whole) * 60.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d%07.4f", degreeDigits, whole, minutes);
    return buf;
}

std::string WithChecksum(const std::string& body)
{
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "*%02X\r\n", sum);
    return "$" + body + buf;
}

void Put16(std::string& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace

std::string EncodeGRecord(const GRecordValues& v)
{
    std::string out(41, '\0');
    out[0] = 'M';
    for (int i = 0; i < 3; ++i) Put16(out, 1 + 2 * i, static_cast<std::uint16_t>(v.axis[i]));
    for (int i = 0; i < 3; ++i) Put16(out, 7 + 2 * i, static_cast<std::uint16_t>(v.set2[i]));
    for (int i = 0; i < 6; ++i) out[13 + i] = static_cast<char>(v.bytes[i]);
    for (int i = 0; i < 11; ++i) Put16(out, 19 + 2 * i, v.words[i]);
    return out;
}

std::vector<DataSample> MakeDriveSamples(const RecordingSpec& spec)
{
    std::vector<DataSample> out;
    std::tm start{};
    start.tm_year = spec.year - 1900;
    start.tm_mon = spec.month - 1;
    start.tm_mday = spec.day;
    start.tm_hour = spec.hour;
    start.tm_min = spec.minute;
    start.tm_sec = spec.second;
    const std::time_t t0 = timegm(&start);

    const double sign = spec.southWest ? -1.0 : 1.0;
    double lat = sign * std::fabs(spec.startLatDeg), lon = sign * std::fabs(spec.startLonDeg);
    auto speedAt = [](double s) { return 40.0 + 20.0 * std::sin(s / 10.0); };  // km/h
    auto courseAt = [](double s) { return std::fmod(45.0 + 3.0 * s, 360.0); };

    const int gRate = spec.gRecordsPerSecond;
    long gCount = gRate > 0 ? static_cast<long>(spec.durationMs) * gRate / 1000 : 0;
    const long seconds = spec.gpsSentences ? (spec.durationMs + 999) / 1000 : 0;
    long g = 0, s = 0;
    while (g < gCount || s < seconds) {
        const std::int64_t gStamp = g < gCount ? g * 1000 / gRate : INT64_MAX;
        // Sentences come 5 ms into each second so that no two samples share a stamp: AVI keeps
        // no time stamps of its own, only the order and spacing of its chunks.
        const std::int64_t sStamp = s < seconds ? s * 1000 + 5 : INT64_MAX;
        if (sStamp <= gStamp) {
            const std::time_t t = t0 + s;
            std::tm u{};
            gmtime_r(&t, &u);
            const double kmh = speedAt(double(s));
            const double course = courseAt(double(s));
            const bool isVoid = spec.voidEvery > 0 && s % spec.voidEvery == spec.voidEvery - 1;
            const bool empty = spec.emptyFieldsEvery > 0 && s % spec.emptyFieldsEvery == spec.emptyFieldsEvery - 1;
            char speed[16] = "", crs[16] = "";
            if (!empty) {
                std::snprintf(speed, sizeof speed, "%.1f", kmh / 1.852);
                std::snprintf(crs, sizeof crs, "%.1f", course);
            }
            char body[160];
            std::snprintf(body, sizeof body, "%sRMC,%02d%02d%02d.00,%c,%s,%c,%s,%c,%s,%s,%02d%02d%02d,,,A",
                          spec.talker.c_str(), u.tm_hour, u.tm_min, u.tm_sec, isVoid ? 'V' : 'A',
                          NmeaAngle(lat, 2).c_str(), lat < 0 ? 'S' : 'N', NmeaAngle(lon, 3).c_str(),
                          lon < 0 ? 'W' : 'E', speed, crs, u.tm_mday, u.tm_mon + 1, u.tm_year % 100);
            out.push_back({sStamp, WithChecksum(body)});
            // Move on by one second of driving.
            const double metres = kmh / 3.6;
            lat += metres * std::cos(course * kPi / 180.0) / 110560.0;
            lon += metres * std::sin(course * kPi / 180.0) / 84800.0;
            ++s;
        } else {
            const double tt = double(gStamp) / 1000.0;
            GRecordValues v;
            v.axis[0] = static_cast<std::int16_t>(2048 + std::lround(1024 * 0.3 * std::sin(tt * 2.0)));
            v.axis[1] = static_cast<std::int16_t>(2048 + std::lround(1024 * 0.2 * std::cos(tt * 1.3)));
            v.axis[2] = static_cast<std::int16_t>(2048 + std::lround(1024 * (1.0 + 0.1 * std::sin(tt * 5.0))));
            v.set2[0] = static_cast<std::int16_t>(std::lround(1024 * 0.5 * std::sin(tt)));
            v.set2[1] = static_cast<std::int16_t>(std::lround(1024 * 0.4 * std::cos(tt)));
            v.set2[2] = static_cast<std::int16_t>(std::lround(1024 * 0.1 * tt));
            const std::time_t t = t0 + gStamp / 1000 + 9 * 3600;  // the record clock runs in UTC + 9
            std::tm u{};
            gmtime_r(&t, &u);
            v.bytes[0] = 1;
            v.bytes[3] = static_cast<std::int8_t>(u.tm_hour);
            v.bytes[4] = static_cast<std::int8_t>(u.tm_min);
            v.bytes[5] = static_cast<std::int8_t>(u.tm_sec);
            v.words[0] = static_cast<std::uint16_t>(speedAt(tt));
            v.words[4] = static_cast<std::uint16_t>((g / 20) % 3);
            v.words[5] = static_cast<std::uint16_t>((g / 25) % 3);
            v.words[6] = static_cast<std::uint16_t>((g / 40) % 2);
            v.words[7] = static_cast<std::uint16_t>((g / 45) % 2);
            v.words[9] = static_cast<std::uint16_t>((g / 30) % 3);
            v.words[10] = static_cast<std::uint16_t>(15000 + (g * 37) % 20000);
            out.push_back({gStamp, EncodeGRecord(v)});
            ++g;
        }
    }
    return out;
}

std::string RecordingFileName(const std::string& kind, int year, int month, int day, int hour, int minute,
                              int second, Container container)
{
    // The camera marks the kind in the last field before the extension.
    std::string suffix = "NI";
    if (kind == "Event" || kind == "EVENT") suffix = "E";
    else if (kind == "Parking" || kind == "PARKING") suffix = "X";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d_%s%s", year, month, day, hour, minute, second,
                  suffix.c_str(), container == Container::Avi ? ".avi" : ".mp4");
    return buf;
}

}  // namespace recgen
