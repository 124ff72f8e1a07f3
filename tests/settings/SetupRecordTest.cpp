// The settings and factory records as bytes: layout, checksum, default record, firmware gate.
#include "settings/SetupRecord.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(SetupRecord, ChecksumOfZeroWordsIsFF)
{
    SetupBytes zeros{};
    EXPECT_EQ(CalcSetupChecksum(zeros.data() + 4, 196), 0xFF);
    const SetupRecord r = SetupRecordFromBytes(zeros.data());
    EXPECT_EQ(SetupRecordChecksum(r), 0xFF);
    EXPECT_FALSE(IsSetupRecordIntact(r));
}

TEST(SetupRecord, ChecksumIgnoresTheFirstFourBytes)
{
    SetupBytes b{};
    b[0] = 'Z';
    b[3] = 0x55;
    b[4] = 0x0F;
    b[199] = 0xF0;
    const SetupRecord r = SetupRecordFromBytes(b.data());
    EXPECT_EQ(SetupRecordChecksum(r), static_cast<std::uint8_t>(~(0x0F ^ 0xF0)));
}

TEST(SetupRecord, DefaultRecordByteForByte)
{
    // Words 0..99; the first two places are bytes 0-3 ("ZQX" and the checksum 0x00).
    const std::uint16_t words[100] = {
        0, 0, 200, 1, 1, 0, 0, 130, 180, 150, 1, 0, 160, 180, 0, 2548, 0, 1, 1, 1,
        1, 0, 0, 200, 0, 60, 55, 6, 5, 1, 1, 1, 0, 0, 15000, 0, 1, 1, 1, 1,
        0, 0, 100, 100, 100, 30, 25, 700, 1, 0, 20, 0, 0, 50, 1, 1, 70, 70, 70, 110,
        1, 1, 0, 0, 1, 1, 0, 1, 1, 0, 0, 1, 13, 12, 0, 0, 5, 1, 1, 9,
        5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60, 60, 55, 30, 32400, 0, 0, 0, 0};
    SetupBytes expected{};
    expected[0] = 'Z';
    expected[1] = 'Q';
    expected[2] = 'X';
    expected[3] = 0x00;
    for (int n = 2; n < 100; ++n) {
        expected[2 * n] = static_cast<std::uint8_t>(words[n] & 0xFF);
        expected[2 * n + 1] = static_cast<std::uint8_t>(words[n] >> 8);
    }
    const SetupBytes actual = SetupRecordToBytes(DefaultSetupRecord());
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(CalcSetupChecksum(actual.data() + 4, 196), 0x00);
    EXPECT_TRUE(IsSetupRecordIntact(DefaultSetupRecord()));
    // Little-endian on the card: 2548 at word 15 is F4 09, 32400 at word 95 is 90 7E.
    EXPECT_EQ(actual[30], 0xF4);
    EXPECT_EQ(actual[31], 0x09);
    EXPECT_EQ(actual[190], 0x90);
    EXPECT_EQ(actual[191], 0x7E);
}

TEST(SetupRecord, BytesRoundTripUnchanged)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 50; ++i) {
        SetupBytes b{};
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(SetupRecordToBytes(SetupRecordFromBytes(b.data())), b);
    }
}

TEST(SetupRecord, WordsAreLittleEndianAtTwiceTheirNumber)
{
    SetupBytes b{};
    b[138] = 0x03;   // word 69
    b[139] = 0x00;
    b[10] = 0xF6;    // word 5 = -10
    b[11] = 0xFF;
    const SetupRecord r = SetupRecordFromBytes(b.data());
    EXPECT_EQ(r.Word(SetupWord::kLanguage), 3);
    EXPECT_EQ(r.SignedWord(SetupWord::kOffset), -10);
}

struct VersionCase {
    const char* text;   // the ten bytes at offset 46, as far as given
    int suffix;
    int number;
    bool checksummed;
};

class FirmwareGate : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FirmwareGate, VersionNumberAndGate)
{
    const VersionCase c = GetParam();
    std::uint8_t bytes[78] = {'Z', 'Q', 'X'};
    for (int i = 0; c.text[i]; ++i) bytes[46 + i] = static_cast<std::uint8_t>(c.text[i]);
    bytes[52] = static_cast<std::uint8_t>(c.suffix);
    const DeviceFactoryRecord f = FactoryRecordFromBytes(bytes, sizeof bytes);
    EXPECT_TRUE(f.HasModelCode());
    EXPECT_EQ(FirmwareVersionNumber(f), c.number);
    EXPECT_EQ(FirmwareVersionSuffix(f), c.suffix);
    EXPECT_EQ(FirmwareWritesChecksum(f), c.checksummed);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareGate, ::testing::Values(
    VersionCase{"V2.0.3", 0, 203, true},
    VersionCase{"V2.0.2", 0, 202, false},
    VersionCase{"V2.0.2", 'a', 202, true},
    VersionCase{"V2.0.2", 0xFF, 202, true},   // the suffix is taken as 0..255
    VersionCase{"V1.9.9", 'b', 199, false},
    VersionCase{"V3.0.0", 0, 300, true}));

TEST(FactoryRecord, FieldsAtTheirOffsetsAndShortInputZeroFilled)
{
    std::uint8_t bytes[78];
    for (int i = 0; i < 78; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    const DeviceFactoryRecord f = FactoryRecordFromBytes(bytes, 78);
    EXPECT_EQ(f.reserved1[0], 3);
    EXPECT_EQ(f.version[0], 46);
    EXPECT_EQ(f.reserved2[0], 56);
    EXPECT_EQ(f.version2[0], 62);
    EXPECT_EQ(f.reserved3[5], 77);
    const DeviceFactoryRecord s = FactoryRecordFromBytes(bytes, 50);
    EXPECT_EQ(s.version[3], 49);
    EXPECT_EQ(s.version[4], 0);
    EXPECT_FALSE(FactoryRecordFromBytes(bytes, 2).HasModelCode());
}

}  // namespace
