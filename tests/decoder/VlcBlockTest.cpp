// Code tables through the readers' lookup layout (every code of every table),
// the escape modes, and block decoding edge cases on hand-made bits.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "decoder/BlockCoding.h"
#include "decoder/DecoderInternal.h"
#include "decoder/DecoderTestUtil.h"
#include "decoder/VlcTables.h"

using namespace dec;
using dectest::BitWriter;

namespace {

// The written bits followed by a tail of ones and zeros, read back.
struct Bits {
    std::vector<uint8_t> bytes;
    BitReader r;
    explicit Bits(BitWriter& w)
    {
        w.Put(0x5A5, 12);
        bytes = w.Finish();
        bytes.resize(bytes.size() + 8, 0);
        BitstreamInit(&r, bytes.data(), uint32_t(bytes.size()));
    }
    long Used() const { return long(8 * bytes.size()) - BitstreamBitsLeft(&r); }
};

template <size_t N>
void CheckCoefTable(const CoefCode (&table)[N], bool rvlc, int intra)
{
    for (const CoefCode& c : table) {
        for (int sign = 0; sign < 2; ++sign) {
            BitWriter w;
            w.Put(c.code, c.length);
            w.Put(uint32_t(sign), 1);
            Bits b(w);
            int run = -1, level = 0, last = -1;
            const int rc = rvlc ? (intra ? ReadRvlcIntraCoef(&b.r, &run, &level, &last)
                                         : ReadRvlcInterCoef(&b.r, &run, &level, &last))
                                : ReadMpeg4Coef(&b.r, intra, &run, &level, &last);
            ASSERT_EQ(rc, 0) << std::hex << c.code << " / " << std::dec << int(c.length);
            EXPECT_EQ(run, c.run);
            EXPECT_EQ(last, c.last);
            EXPECT_EQ(level, sign ? -int(c.level) : int(c.level));
            EXPECT_EQ(b.Used(), c.length + 1);
        }
    }
}

TEST(Vlc, EveryTcoefCodeDecodes)
{
    CheckCoefTable(kIntraTcoefCodes, false, 1);
    CheckCoefTable(kInterTcoefCodes, false, 0);
}

TEST(Vlc, EveryRvlcCodeDecodes)
{
    CheckCoefTable(kIntraRvlcCodes, true, 1);
    CheckCoefTable(kInterRvlcCodes, true, 0);
}

TEST(Vlc, RvlcEscape)
{
    for (uint32_t signBits : {0u, 1u, 0x1Fu}) {
        BitWriter w;
        w.Put(0, 4);   // escape codeword
        w.Put(1, 1);   // skipped bit
        w.Put(1, 1);   // last
        w.Put(40, 6);  // run
        w.Put(1, 1);   // marker
        w.Put(700, 11); // level
        w.Put(1, 1);   // marker
        w.Put(signBits, 5);
        Bits b(w);
        int run, level, last;
        ASSERT_EQ(ReadRvlcInterCoef(&b.r, &run, &level, &last), 0);
        EXPECT_EQ(last, 1);
        EXPECT_EQ(run, 40);
        EXPECT_EQ(level, signBits ? -700 : 700);
        EXPECT_EQ(b.Used(), 30);
    }
}

TEST(Vlc, H263CoefficientsUseTheInterTable)
{
    for (const CoefCode& c : kInterTcoefCodes) {
        BitWriter w;
        w.Put(c.code, c.length);
        w.Put(1, 1);
        Bits b(w);
        int run, level, last;
        ASSERT_EQ(ReadH263Coef(&b.r, &run, &level, &last), 0);
        EXPECT_EQ(run, c.run);
        EXPECT_EQ(level, -int(c.level));
        EXPECT_EQ(last, c.last);
    }
}

int ReadEscape(int intra, uint32_t mode, int modeBits, const CoefCode* inner, int sign, int* run, int* level,
               int* last, uint32_t fixed = 0, int fixedBits = 0)
{
    BitWriter w;
    w.Put(kTcoefEscapeCode, kTcoefEscapeLength);
    w.Put(mode, modeBits);
    if (inner) {
        w.Put(inner->code, inner->length);
        w.Put(uint32_t(sign), 1);
    } else {
        w.Put(fixed, fixedBits);
    }
    Bits b(w);
    return ReadMpeg4Coef(&b.r, intra, run, level, last);
}

TEST(Vlc, Mpeg4EscapeModes)
{
    int run, level, last;
    // Mode 1: run 0 level 1 (the first intra code) plus LMAX(0, last 0) = 27.
    ASSERT_EQ(ReadEscape(1, 0, 1, &kIntraTcoefCodes[0], 1, &run, &level, &last), 0);
    EXPECT_EQ(level, -28);
    EXPECT_EQ(run, 0);
    // The inter table's LMAX(0, last 0) is 12.
    ASSERT_EQ(ReadEscape(0, 0, 1, &kInterTcoefCodes[0], 0, &run, &level, &last), 0);
    EXPECT_EQ(level, 13);
    // Mode 2: run 0 level 1 plus RMAX(1, last 0) + 1 = 15 (intra), 27 (inter).
    ASSERT_EQ(ReadEscape(1, 2, 2, &kIntraTcoefCodes[0], 0, &run, &level, &last), 0);
    EXPECT_EQ(run, 15);
    EXPECT_EQ(level, 1);
    ASSERT_EQ(ReadEscape(0, 2, 2, &kInterTcoefCodes[0], 0, &run, &level, &last), 0);
    EXPECT_EQ(run, 27);
    // Mode 3: last 1, run 5, marker, level -100 in 12 bits, marker.
    const uint32_t fixed = (1u << 20) | (5u << 14) | (1u << 13) | ((uint32_t(-100) & 0xFFF) << 1) | 1u;
    ASSERT_EQ(ReadEscape(1, 3, 2, nullptr, 0, &run, &level, &last, fixed, 21), 0);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(run, 5);
    EXPECT_EQ(level, -100);
}

TEST(Vlc, H263EscapeRefusesLevelsZeroAndMinus128)
{
    for (int lv : {0, -128, 100, -5}) {
        BitWriter w;
        w.Put(kTcoefEscapeCode, kTcoefEscapeLength);
        w.Put(0, 1);
        w.Put(3, 6);
        w.Put(uint32_t(lv) & 0xFF, 8);
        Bits b(w);
        int run, level, last;
        const int rc = ReadH263Coef(&b.r, &run, &level, &last);
        if (lv == 0 || lv == -128) {
            EXPECT_EQ(rc, -1) << lv;
        } else {
            ASSERT_EQ(rc, 0);
            EXPECT_EQ(level, lv);
            EXPECT_EQ(run, 3);
        }
    }
}

template <size_t N>
void CheckValueTable(const ValueCode (&table)[N], int (*read)(BitReader*), int (*expect)(int))
{
    for (const ValueCode& c : table) {
        BitWriter w;
        w.Put(c.code, c.length);
        Bits b(w);
        EXPECT_EQ(read(&b.r), expect(c.value)) << std::hex << c.code << "/" << std::dec << int(c.length);
        EXPECT_EQ(b.Used(), c.length);
    }
}

TEST(Vlc, MacroblockHeaderCodes)
{
    CheckValueTable(kMcbpcIntraCodes, ReadMcbpcIntra, [](int v) { return v; });
    CheckValueTable(kMcbpcInterCodes, ReadMcbpcInter, [](int v) { return v; });
    CheckValueTable(kCbpyCodes, ReadCbpy, [](int v) { return 15 - v; });
    CheckValueTable(kBMbTypeCodes, ReadBMbType, [](int v) { return v; });
    // Nine zero bits are no MCBPC of either table.
    BitWriter w;
    w.Put(0, 9);
    Bits b(w);
    EXPECT_EQ(ReadMcbpcIntra(&b.r), -1);
    EXPECT_EQ(ReadMcbpcInter(&b.r), -1);
}

TEST(Vlc, IntraDcSizesAndDifferentials)
{
    for (int chroma = 0; chroma < 2; ++chroma) {
        const ValueCode* table = chroma ? kDcSizeChromCodes : kDcSizeLumCodes;
        for (int k = 0; k < 13; ++k) {
            const int size = table[k].value;
            for (int negative = 0; negative < 2; ++negative) {
                BitWriter w;
                w.Put(table[k].code, table[k].length);
                // Smallest magnitude of the size: 1 followed by zeros, or its complement.
                if (size > 0)
                    w.Put(negative ? (1u << (size - 1)) - 1 : 1u << (size - 1), size);
                if (size > 8)
                    w.Put(1, 1);
                Bits b(w);
                int expect = size == 0 ? 0 : (negative ? -(1 << (size - 1)) : 1 << (size - 1));
                if (!chroma && size == 10)
                    expect = 32768; // prefix 000000001 refused for luminance
                EXPECT_EQ(ReadIntraDc(&b.r, chroma), expect) << chroma << " size " << size;
            }
        }
    }
}

TEST(Vlc, ResyncMarkerCheck)
{
    // After 3 bits, 0 and four ones fill the byte, then 16 zeros and a 1.
    BitWriter w;
    w.Put(5, 3);
    w.Put(0x0F, 5);
    w.Put(0, 16);
    w.Put(1, 1);
    Bits b(w);
    BitstreamSkipBits(&b.r, 3);
    EXPECT_EQ(CheckResyncMarker(&b.r), 1);
    BitstreamSkipBits(&b.r, 1);
    EXPECT_EQ(CheckResyncMarker(&b.r), 0);
}

TEST(Dequant, BothMethods)
{
    EXPECT_EQ(DequantH263(1, 1), 3);
    EXPECT_EQ(DequantH263(-1, 1), -3);
    EXPECT_EQ(DequantH263(1, 2), 5);
    EXPECT_EQ(DequantH263(0, 7), 0);
    EXPECT_EQ(DequantMpegIntra(-3, 4, 16), -24);
    EXPECT_EQ(DequantMpegInter(1, 2, 16), 6);

    int16_t block[64] = {};
    block[0] = 6;
    uint32_t pattern = 0;
    MismatchControl(block, &pattern);
    EXPECT_EQ(block[63], 1);
    EXPECT_EQ(pattern, 63u);
    block[63] = 4;
    block[0] = 2;
    pattern = 0;
    MismatchControl(block, &pattern);
    EXPECT_EQ(block[63], 5);
}

// A decoder instance laid out for 176 x 144 with blocks decoded by hand.
class BlockTest : public ::testing::Test {
protected:
    BlockTest() : dec_(176, 144, {}, 1, true)
    {
        d_ = static_cast<DecoderInstance*>(dec_.handle());
        d_->vol->video_object_layer_width = 176;
        d_->vol->video_object_layer_height = 144;
        std::memcpy(d_->vol->nonintra_quant_mat, kDefaultNonIntraMatrix, 64);
        std::memcpy(d_->vol->intra_quant_mat, kDefaultIntraMatrix, 64);
        EXPECT_EQ(SetupVolBuffers(d_), 0);
        StartPacket(d_);
    }
    void Feed(BitWriter& w)
    {
        bits_ = std::make_unique<Bits>(w);
        d_->reader = bits_->r;
    }
    int16_t* Block(int b) { return d_->blockBuffer + 64 * b; }

    dectest::OurDecoder dec_;
    DecoderInstance* d_;
    std::unique_ptr<Bits> bits_;
};

TEST_F(BlockTest, IntraBlockWithoutCoefficientsStillGetsItsDc)
{
    BitWriter w;
    for (int b = 0; b < 4; ++b)
        w.Put(3, 3); // luma dct_dc_size 0
    w.Put(3, 2);
    w.Put(3, 2); // chroma dct_dc_size 0
    Feed(w);
    d_->useDcVlc = 1;
    d_->acPredFlag = 0;
    *d_->mbTypeCursor = MB_INTRA;
    ASSERT_EQ(DecodeIntraBlockH263Quant(d_, 1, 0), 0);
    // No neighbour: predictor 1024 / 8 = 128, DC 128 x 8.
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(Block(b)[0], 1024) << b;
        EXPECT_EQ(d_->blockPattern[b], 0u) << b;
        for (int i = 1; i < 64; ++i)
            ASSERT_EQ(Block(b)[i], 0);
    }
    EXPECT_EQ(d_->lumaDcStore[0], 1024);
}

TEST_F(BlockTest, RunEndingAtPosition63IsTheLastAccepted)
{
    // Escape mode 3: last 1, run 63, level 1 from position 0.
    const uint32_t fixed = (1u << 20) | (63u << 14) | (1u << 13) | (1u << 1) | 1u;
    BitWriter ok;
    ok.Put(kTcoefEscapeCode, kTcoefEscapeLength);
    ok.Put(3, 2);
    ok.Put(fixed, 21);
    Feed(ok);
    ASSERT_EQ(DecodeInterBlockH263Quant(d_, 2, 32), 0);
    EXPECT_EQ(Block(0)[63], 5);
    EXPECT_EQ(d_->blockPattern[0], 63u);

    // One coefficient first, then run 63: position 64.
    BitWriter bad;
    bad.Put(kInterTcoefCodes[0].code, kInterTcoefCodes[0].length);
    bad.Put(0, 1);
    bad.Put(kTcoefEscapeCode, kTcoefEscapeLength);
    bad.Put(3, 2);
    bad.Put(fixed, 21);
    Feed(bad);
    EXPECT_EQ(DecodeInterBlockH263Quant(d_, 2, 32), -1);
}

TEST_F(BlockTest, MatrixQuantisationAppliesMismatchControl)
{
    // One coefficient, level 1 at position 0: (2 + 1) x 16 x 2 / 16 = 6, even sum.
    BitWriter w;
    w.Put(kInterTcoefCodes[0].code | 0, kInterTcoefCodes[0].length); // run 0, level 1, last 0
    w.Put(0, 1);
    // last = 1 code with run 0 level 1.
    const CoefCode* lastCode = nullptr;
    for (const CoefCode& c : kInterTcoefCodes)
        if (c.last && c.run == 0 && c.level == 1)
            lastCode = &c;
    ASSERT_NE(lastCode, nullptr);
    w.Put(lastCode->code, lastCode->length);
    w.Put(0, 1);
    Feed(w);
    ASSERT_EQ(DecodeInterBlockMpegQuant(d_, 2, 32), 0);
    EXPECT_EQ(Block(0)[0], 6);
    EXPECT_EQ(Block(0)[1], int((3 * kDefaultNonIntraMatrix[1] * 2) >> 4));
    const int sum = Block(0)[0] + Block(0)[1] + Block(0)[63];
    EXPECT_EQ(sum & 1, 1);
    EXPECT_EQ(d_->blockPattern[0], 63u);
}

// Six coded blocks of random table codes and escapes (MPEG-4 mode 3 or the
// H.263 escape), each ending with an escaped last coefficient.
std::vector<uint8_t> RandomBlocks(std::mt19937& gen, bool h263)
{
    BitWriter w;
    auto escape = [&](int last, int run, int level) {
        w.Put(kTcoefEscapeCode, kTcoefEscapeLength);
        if (h263) {
            w.Put(uint32_t(last), 1), w.Put(uint32_t(run), 6), w.Put(uint32_t(level) & 0xFF, 8);
        } else {
            w.Put(3, 2), w.Put(uint32_t(last), 1), w.Put(uint32_t(run), 6), w.Put(1, 1);
            w.Put(uint32_t(level) & 0xFFF, 12), w.Put(1, 1);
        }
    };
    for (int b = 0; b < 6; ++b) {
        int pos = 0; // next scan position
        while (pos < 63 && gen() % 12 != 0) {
            if (gen() % 5 == 0) {
                const int run = int(gen() % 8) % (63 - pos);
                escape(0, run, (int(gen() % 200) - 100) | 1);
                pos += run + 1;
                continue;
            }
            const CoefCode& c = kInterTcoefCodes[gen() % 102];
            // MPEG-4 escape modes 1 and 2: a table code, the level or the run offset.
            const int mode = h263 ? 0 : int(gen() % 4);
            const int run = mode == 2 ? c.run + kInterLimits.rmax[0][c.level] + 1 : c.run;
            if (c.last || pos + run + 1 > 63)
                continue;
            if (mode == 1)
                w.Put(kTcoefEscapeCode, kTcoefEscapeLength), w.Put(0, 1);
            else if (mode == 2)
                w.Put(kTcoefEscapeCode, kTcoefEscapeLength), w.Put(2, 2);
            w.Put(c.code, c.length);
            w.Put(gen() % 2, 1);
            pos += run + 1;
        }
        escape(1, 0, 5);
    }
    return w.Finish();
}

// The coefficient loop reads without bounds checks only far from the chunk's
// end: the same codes ending the chunk decode the same, damaged or not.
TEST_F(BlockTest, CodesAtTheChunkEndDecodeAsFarFromIt)
{
    std::mt19937 gen(11);
    for (int n = 0; n < 800; ++n) {
        const bool h263 = n % 2 == 1;
        std::vector<uint8_t> codes = RandomBlocks(gen, h263);
        const bool damaged = n % 4 >= 2;
        if (damaged)
            for (int k = 0; k < 3; ++k)
                codes[gen() % codes.size()] ^= uint8_t(1u << (gen() % 8));
        std::vector<uint8_t> padded = codes;
        padded.resize(codes.size() + 1024, 0);
        int16_t blocks[2][6 * 64];
        uint32_t patterns[2][6];
        long left[2];
        int rc[2];
        for (int k = 0; k < 2; ++k) {
            const std::vector<uint8_t>& data = k == 0 ? padded : codes;
            BitstreamInit(&d_->reader, data.data(), uint32_t(data.size()));
            std::memset(Block(0), 0x55, sizeof blocks[k]);
            std::memset(d_->blockPattern, 0, sizeof patterns[k]);
            rc[k] = h263 ? DecodeInterBlockShortHdr(d_, 3, 63) : DecodeInterBlockH263Quant(d_, 3, 63);
            std::memcpy(blocks[k], Block(0), sizeof blocks[k]);
            std::memcpy(patterns[k], d_->blockPattern, sizeof patterns[k]);
            left[k] = BitstreamBitsLeft(&d_->reader) - 8 * long(data.size() - codes.size());
        }
        ASSERT_EQ(rc[0], rc[1]) << n;
        if (!damaged) {
            ASSERT_EQ(rc[0], 0) << n;
        }
        ASSERT_EQ(0, std::memcmp(blocks[0], blocks[1], sizeof blocks[0])) << n;
        ASSERT_EQ(0, std::memcmp(patterns[0], patterns[1], sizeof patterns[0])) << n;
        ASSERT_EQ(left[0], left[1]) << n;
        if (!damaged) {
            ASSERT_LT(left[1], 8) << n; // only the stuffing left
        }
    }
}

TEST_F(BlockTest, ShortHeaderIntraDc)
{
    BitWriter w;
    for (int b = 0; b < 6; ++b)
        w.Put(255, 8);
    Feed(w);
    ASSERT_EQ(DecodeIntraBlockShortHdr(d_, 4, 0), 0);
    for (int b = 0; b < 6; ++b)
        EXPECT_EQ(Block(b)[0], 1024);

    for (uint32_t bad : {0u, 128u}) {
        BitWriter z;
        z.Put(bad, 8);
        Feed(z);
        EXPECT_EQ(DecodeIntraBlockShortHdr(d_, 4, 0), -1) << bad;
    }
}

}  // namespace

namespace {

// A packet that starts in mid-row: neighbours before it are never used.
TEST_F(BlockTest, PacketStartInMidRowHidesEarlierNeighbours)
{
    const int mbw = d_->mbWidth; // 11 at 176 x 144
    SeekMacroblock(d_, 5);
    StartPacket(d_);
    EXPECT_EQ(d_->neighbourFlags, NB_LEFT | NB_TOPLEFT | NB_TOP | NB_TOPRIGHT);
    NextMacroblock(d_);
    EXPECT_EQ(d_->neighbourFlags & NB_LEFT, 0);
    while (d_->mbNum < 5 + mbw - 1)
        NextMacroblock(d_);
    // Below-left of the first MB: its top precedes the packet.
    EXPECT_EQ(d_->mbX, 4);
    EXPECT_NE(d_->neighbourFlags & NB_TOP, 0);
    EXPECT_EQ(d_->neighbourFlags & NB_TOPRIGHT, 0);
    NextMacroblock(d_);
    // Directly below the first MB: top available, top-left not.
    EXPECT_EQ(d_->mbInPacket, mbw);
    EXPECT_EQ(d_->neighbourFlags & NB_TOP, 0);
    EXPECT_NE(d_->neighbourFlags & NB_TOPLEFT, 0);
    EXPECT_EQ(d_->curY, d_->cur->pY + 16 * d_->stride + 16 * 5);
    EXPECT_EQ(d_->lumaDcCursor, d_->lumaDcStore + 2 * d_->blockStride + 10);
}

TEST_F(BlockTest, LastColumnHasNoTopRight)
{
    SeekMacroblock(d_, 0);
    StartPacket(d_);
    while (d_->mbNum < 2 * d_->mbWidth - 1)
        NextMacroblockSimple(d_);
    EXPECT_EQ(d_->mbX, d_->mbWidth - 1);
    EXPECT_EQ(d_->neighbourFlags & (NB_LEFT | NB_TOPLEFT | NB_TOP), 0);
    EXPECT_NE(d_->neighbourFlags & NB_TOPRIGHT, 0);
}

}  // namespace

namespace {

TEST(Arithmetic, DivisionsAndRoundShift)
{
    EXPECT_EQ(DivSigned(7, 2), 3);
    EXPECT_EQ(DivSigned(-7, 2), -3);
    EXPECT_EQ(DivSigned(7, -2), -3);
    EXPECT_EQ(DivSigned(5, 0), -1);
    EXPECT_EQ(DivSigned(-5, 0), 1);
    EXPECT_EQ(DivSigned(INT32_MIN, 1), INT32_MIN);
    for (int b = 1; b < 300; b += 7)
        for (int a = -70000; a <= 70000; a += 997)
            ASSERT_EQ(DivByReciprocal(a, b, 65536 / b + 1), a / b) << a << "/" << b;
    EXPECT_EQ(RoundShift(5, 1), 3);
    EXPECT_EQ(RoundShift(-5, 1), -3);
    EXPECT_EQ(RoundShift(4, 2), 1);
    EXPECT_EQ(RoundShift(INT32_MIN, 4), INT32_MIN / 16);
}

}  // namespace
