#pragma once
// The camera's two files on its card: the 200-byte settings record (data_setup.cfg) and the
// factory record (data_factory.cfg). Both are plain values read and written field by field in
// little-endian order, never by casting a byte buffer.
#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kSetupRecordSize = 200;
inline constexpr std::size_t kFactoryRecordSize = 78;   // what the SETUP and SD-open gates need
inline constexpr std::size_t kFactoryModelReadSize = 66; // what the language reader reads
inline constexpr int kFirstSetupWord = 2;
inline constexpr int kSetupWordCount = 100;               // words 2..99 live in bytes 4..199

// Words the viewer reads or writes.
namespace SetupWord {
inline constexpr int kOffset = 5;           // tenths of a centimetre, signed
inline constexpr int kVehicleType = 6;
inline constexpr int kCameraHeight = 7;     // centimetres
inline constexpr int kVehicleWidth = 8;     // centimetres
inline constexpr int kMountPosition = 10;
inline constexpr int kLdwOn = 18;
inline constexpr int kVoiceLdw = 20;
inline constexpr int kLdwSpeed = 25;
inline constexpr int kLdwSpeedLess5 = 26;
inline constexpr int kLdwLeft = 27;
inline constexpr int kLdwRight = 28;
inline constexpr int kFrontStartOn = 29;
inline constexpr int kVoiceFrontStart = 31;
inline constexpr int kFcwOn = 36;
inline constexpr int kVoiceFcw = 38;
inline constexpr int kHeadwayOn = 39;
inline constexpr int kFcwSpeed = 45;
inline constexpr int kFcwSpeedLess5 = 46;
inline constexpr int kWarnSensitivity = 48;
inline constexpr int kContinuousRec = 54;
inline constexpr int kVoiceRec = 55;
inline constexpr int kImpactX = 56;         // hundredths of a G
inline constexpr int kImpactY = 57;
inline constexpr int kImpactZ = 58;
inline constexpr int kImpactSensitivity = 60;
inline constexpr int kParkingSensitivity = 61;
inline constexpr int kResolution = 62;
inline constexpr int kScreenView = 63;
inline constexpr int kLcd = 64;
inline constexpr int kShowSpeed = 65;
inline constexpr int kSpeedUnit = 66;
inline constexpr int kShowSmart = 67;
inline constexpr int kShowHorizon = 68;
inline constexpr int kLanguage = 69;
inline constexpr int kLanguageCopy = 70;
inline constexpr int kSpeakerVolume = 72;
inline constexpr int kMicVolume = 73;
inline constexpr int kLowVoltage = 76;
inline constexpr int kVoiceEventSaved = 78;
inline constexpr int kTimeZone = 79;
inline constexpr int kWord95 = 95;
}  // namespace SetupWord

using SetupBytes = std::array<std::uint8_t, kSetupRecordSize>;

struct SetupRecord {
    std::array<char, 3> modelCode{};   // "ZQX"
    std::uint8_t checksum = 0;         // byte 3
    // Indexed by word number; words 0 and 1 are the four bytes above and stay 0 here.
    std::array<std::uint16_t, kSetupWordCount> words{};

    std::uint16_t Word(int n) const { return words[static_cast<std::size_t>(n)]; }
    void SetWord(int n, std::uint16_t v) { words[static_cast<std::size_t>(n)] = v; }
    std::int16_t SignedWord(int n) const { return static_cast<std::int16_t>(Word(n)); }
    void SetSignedWord(int n, int v) { SetWord(n, static_cast<std::uint16_t>(v)); }

    bool HasModelCode() const;
    bool operator==(const SetupRecord& o) const;
    bool operator!=(const SetupRecord& o) const { return !(*this == o); }
};

struct DeviceFactoryRecord {
    std::array<char, 3> modelCode{};
    std::array<std::uint8_t, 43> reserved1{};
    std::array<std::uint8_t, 10> version{};   // digits at 1, 3, 5; suffix byte at 6
    std::array<std::uint8_t, 6> reserved2{};
    std::array<std::uint8_t, 10> version2{};  // not interpreted
    std::array<std::uint8_t, 6> reserved3{};

    bool HasModelCode() const;
};

// Little-endian helpers.
std::uint16_t ReadLE16(const std::uint8_t* p);
void WriteLE16(std::uint8_t* p, std::uint16_t v);

SetupBytes SetupRecordToBytes(const SetupRecord& r);
SetupRecord SetupRecordFromBytes(const std::uint8_t* bytes);   // exactly 200 bytes
DeviceFactoryRecord FactoryRecordFromBytes(const std::uint8_t* bytes, std::size_t length); // missing bytes read as 0

// XOR of the bytes, complemented: over bytes 4..199 of a record it is that record's byte 3.
std::uint8_t CalcSetupChecksum(const unsigned char* data, unsigned length);
std::uint8_t SetupRecordChecksum(const SetupRecord& r);
bool IsSetupRecordIntact(const SetupRecord& r);

// The built-in record that a damaged settings file is restored from.
const SetupRecord& DefaultSetupRecord();

// Firmware version of the factory record: 100 x d1 + 10 x d2 + d3 from the bytes at offsets
// 47, 49, 51 (no test that they are digits) and the suffix byte at 52.
int FirmwareVersionNumber(const DeviceFactoryRecord& f);
int FirmwareVersionSuffix(const DeviceFactoryRecord& f);
// Firmware that writes checksummed settings: newer than 2.0.2, or 2.0.2 with a suffix.
bool FirmwareWritesChecksum(const DeviceFactoryRecord& f);
