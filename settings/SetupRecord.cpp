#include "settings/SetupRecord.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kModel[3] = {'Z', 'Q', 'X'};

template <std::size_t N>
void ReadBytes(std::array<std::uint8_t, N>& dst, const std::uint8_t* src)
{
    std::copy(src, src + N, dst.begin());
}

SetupRecord MakeDefault()
{
    // Words 0..99 ten to a row; the first two places are bytes 0-3.
    static constexpr std::uint16_t kWords[kSetupWordCount] = {
        0, 0, 200, 1, 1, 0, 0, 130, 180, 150,
        1, 0, 160, 180, 0, 2548, 0, 1, 1, 1,
        1, 0, 0, 200, 0, 60, 55, 6, 5, 1,
        1, 1, 0, 0, 15000, 0, 1, 1, 1, 1,
        0, 0, 100, 100, 100, 30, 25, 700, 1, 0,
        20, 0, 0, 50, 1, 1, 70, 70, 70, 110,
        1, 1, 0, 0, 1, 1, 0, 1, 1, 0,
        0, 1, 13, 12, 0, 0, 5, 1, 1, 9,
        5, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 60, 60, 55, 30, 32400, 0, 0, 0, 0,
    };
    SetupRecord r;
    std::copy(kModel, kModel + 3, r.modelCode.begin());
    r.checksum = 0x00;
    std::copy(kWords, kWords + kSetupWordCount, r.words.begin());
    return r;
}

}  // namespace

std::uint16_t ReadLE16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool SetupRecord::HasModelCode() const { return std::equal(modelCode.begin(), modelCode.end(), kModel); }

bool SetupRecord::operator==(const SetupRecord& o) const
{
    return SetupRecordToBytes(*this) == SetupRecordToBytes(o);
}

bool DeviceFactoryRecord::HasModelCode() const { return std::equal(modelCode.begin(), modelCode.end(), kModel); }

SetupBytes SetupRecordToBytes(const SetupRecord& r)
{
    SetupBytes b{};
    for (int i = 0; i < 3; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r.modelCode[static_cast<std::size_t>(i)]);
    b[3] = r.checksum;
    for (int n = kFirstSetupWord; n < kSetupWordCount; ++n) WriteLE16(&b[static_cast<std::size_t>(2 * n)], r.Word(n));
    return b;
}

SetupRecord SetupRecordFromBytes(const std::uint8_t* bytes)
{
    SetupRecord r;
    for (int i = 0; i < 3; ++i) r.modelCode[static_cast<std::size_t>(i)] = static_cast<char>(bytes[i]);
    r.checksum = bytes[3];
    for (int n = kFirstSetupWord; n < kSetupWordCount; ++n) r.SetWord(n, ReadLE16(bytes + 2 * n));
    return r;
}

DeviceFactoryRecord FactoryRecordFromBytes(const std::uint8_t* bytes, std::size_t length)
{
    std::array<std::uint8_t, kFactoryRecordSize> buf{};
    std::copy(bytes, bytes + std::min(length, kFactoryRecordSize), buf.begin());
    DeviceFactoryRecord f;
    for (int i = 0; i < 3; ++i) f.modelCode[static_cast<std::size_t>(i)] = static_cast<char>(buf[static_cast<std::size_t>(i)]);
    ReadBytes(f.reserved1, &buf[3]);
    ReadBytes(f.version, &buf[46]);
    ReadBytes(f.reserved2, &buf[56]);
    ReadBytes(f.version2, &buf[62]);
    ReadBytes(f.reserved3, &buf[72]);
    return f;
}

std::uint8_t CalcSetupChecksum(const unsigned char* data, unsigned length)
{
    std::uint8_t x = 0;
    for (unsigned i = 0; i < length; ++i) x ^= data[i];
    return static_cast<std::uint8_t>(~x);
}

std::uint8_t SetupRecordChecksum(const SetupRecord& r)
{
    const SetupBytes b = SetupRecordToBytes(r);
    return CalcSetupChecksum(b.data() + 4, kSetupRecordSize - 4);
}

bool IsSetupRecordIntact(const SetupRecord& r) { return r.checksum == SetupRecordChecksum(r); }

const SetupRecord& DefaultSetupRecord()
{
    static const SetupRecord record = MakeDefault();
    return record;
}

int FirmwareVersionNumber(const DeviceFactoryRecord& f)
{
    // Offsets 47, 49, 51 of the file are 1, 3, 5 of the version text at 46.
    const int d1 = f.version[1] - '0';
    const int d2 = f.version[3] - '0';
    const int d3 = f.version[5] - '0';
    return 100 * d1 + 10 * d2 + d3;
}

int FirmwareVersionSuffix(const DeviceFactoryRecord& f) { return f.version[6]; }

bool FirmwareWritesChecksum(const DeviceFactoryRecord& f)
{
    const int v = FirmwareVersionNumber(f);
    return v > 202 || (v == 202 && FirmwareVersionSuffix(f) != 0);
}
