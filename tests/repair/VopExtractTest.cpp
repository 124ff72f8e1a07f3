// Cutting VOPs out of any bytes by their start code.
#include "RepairTestSupport.h"
#include "repair/VopExtract.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kCode = {0x00, 0x00, 0x01, 0xB6};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File MemoryFile(const Bytes& data)
{
    File f(std::tmpfile());
    if (f && !data.empty()) std::fwrite(data.data(), 1, data.size(), f.get());
    std::rewind(f.get());
    return f;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<Bytes> ReadAll(const Bytes& data, std::size_t limit)
{
    File f = MemoryFile(data);
    std::vector<Bytes> vops;
    std::vector<std::uint8_t> buffer(limit + 4);
    for (;;) {
        const std::size_t n = ReadNextVop(buffer.data(), f.get(), limit);
        if (n == 0) break;
        vops.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return vops;
}

TEST(ReadNextVop, CutsFromStartCodeToStartCode)
{
    struct Case {
        const char* name;
        Bytes data;
        std::vector<Bytes> vops;
    };
    const Bytes a = Cat({kCode, {0x10, 0x20, 0x30}});
    const Bytes b = Cat({kCode, {0x40, 0x00, 0x00, 0x01, 0xB3, 0x55}});  // other start codes belong to it
    const Case cases[] = {
        {"no start code", {1, 2, 3, 0, 0, 1, 0xB5, 9}, {}},
        {"empty file", {}, {}},
        {"a few bytes", {0x00, 0x00, 0x01}, {}},
        {"zeros", Bytes(4096, 0), {}},
        {"leading bytes skipped, last runs to the end", Cat({{9, 9, 0, 0, 1}, a, b}), {a, b}},
        {"back to back start codes", Cat({kCode, kCode, a}), {kCode, kCode, a}},
        {"start code at the very end", Cat({a, kCode}), {a, kCode}},
        {"start code split by container bytes is none", Cat({a, {0x00, 0x00, 'd', 'c', 0x01, 0xB6}}),
         {Cat({a, {0x00, 0x00, 'd', 'c', 0x01, 0xB6}})}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAll(c.data, 1000), c.vops) << c.name;
}

TEST(ReadNextVop, KeepsTheStartOfAVopThatDoesNotFitAndGoesOn)
{
    const Bytes small = Cat({kCode, Bytes(4, 0x11)});     // 8 bytes
    Bytes big = Cat({kCode, Bytes(20, 0x22)});            // 24 bytes
    big[10] = 0x00;
    big[11] = 0x00;
    big[12] = 0x01;                                       // other start codes inside
    const auto vops = ReadAll(Cat({small, big, small, big}), 16);
    ASSERT_EQ(vops.size(), 4u);
    EXPECT_EQ(vops[0], small);
    EXPECT_EQ(vops[1], Bytes(big.begin(), big.begin() + 16));
    EXPECT_EQ(vops[2], small);
    EXPECT_EQ(vops[3], Bytes(big.begin(), big.begin() + 16));  // the last, cut at the end of the file
    // The next start code may straddle the limit.
    const Bytes fifteen = Cat({kCode, Bytes(11, 0x33)});
    EXPECT_EQ(ReadAll(Cat({fifteen, small}), 16), (std::vector<Bytes>{fifteen, small}));
}

TEST(ExtractVops, CopiesEveryVopAndCountsTheBytes)
{
    const Bytes a = Cat({kCode, Bytes(1000, 0x5A)});
    const Bytes b = Cat({kCode, Bytes(3, 0x00)});
    File in = MemoryFile(Cat({Bytes(77, 0xFF), a, b, a}));
    File out(std::tmpfile());
    bool writeFailed = true;
    EXPECT_EQ(ExtractVops(in.get(), out.get(), &writeFailed), a.size() * 2 + b.size());
    EXPECT_FALSE(writeFailed);
    std::rewind(out.get());
    Bytes got(a.size() * 2 + b.size() + 10);
    EXPECT_EQ(std::fread(got.data(), 1, got.size(), out.get()), a.size() * 2 + b.size());
    got.resize(a.size() * 2 + b.size());
    EXPECT_EQ(got, Cat({a, b, a}));
}

TEST(ExtractVops, AnswersZeroForAFileWithoutVops)
{
    File in = MemoryFile(Bytes(100000, 0));
    File out(std::tmpfile());
    EXPECT_EQ(ExtractVops(in.get(), out.get()), 0u);
}

TEST(ExtractVops, ReportsAWriteThatFails)
{
    File in = MemoryFile(Cat({kCode, Bytes(100, 1)}));
    File out(std::fopen("/dev/full", "wb"));
    ASSERT_TRUE(out);
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    bool writeFailed = false;
    EXPECT_EQ(ExtractVops(in.get(), out.get(), &writeFailed), 0u);
    EXPECT_TRUE(writeFailed);
}

TEST(ExtractVops, KeepsTheLastPictureOfARecordingWhoseIndexIsLargerThanTheBuffer)
{
    // The index and audio after the last picture run past the extraction buffer.
    const Bytes last = Cat({kCode, Bytes(500, 0x44)});
    Bytes tail(kExtractBufferSize + 1000, 0x55);
    File in = MemoryFile(Cat({Cat({kCode, Bytes(100, 0x66)}), last, tail}));
    File out(std::tmpfile());
    EXPECT_EQ(ExtractVops(in.get(), out.get()), 104 + kExtractBufferSize);
}

TEST(ExtractVops, FindsTheVopsOfARealRecordingInItsContainer)
{
    const QString path = repairtest::Scratch() + QStringLiteral("/rec.avi");
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(path, 1, 10, 320, 240));
    const QByteArray data = repairtest::ReadFile(path);
    const auto offsets = repairtest::VopOffsets(data);
    ASSERT_EQ(offsets.size(), 30u);
    std::vector<std::uint8_t> bytes(data.begin(), data.end());
    const auto vops = ReadAll(bytes, kExtractBufferSize);
    ASSERT_EQ(vops.size(), offsets.size());
    for (std::size_t i = 0; i + 1 < offsets.size(); ++i) EXPECT_EQ(vops[i].size(), std::size_t(offsets[i + 1] - offsets[i]));
    EXPECT_EQ(vops.back().size(), std::size_t(data.size() - offsets.back()));
}

}  // namespace
