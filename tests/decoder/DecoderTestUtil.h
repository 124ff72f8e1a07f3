// Test helpers: streams made with the ffmpeg command line, our decoder driven
// through its DEC_ interface, and FFmpeg's decoder as the reference.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "TestScratch.h"
#include "decoder/Decoder.h"

namespace dectest {

// MSB-first bit writer for hand-made headers and blocks.
class BitWriter {
public:
    void Put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            acc_ = (acc_ << 1) | ((value >> i) & 1);
            if (++n_ == 8) {
                bytes_.push_back(uint8_t(acc_));
                acc_ = 0;
                n_ = 0;
            }
        }
    }
    void Bytes(std::initializer_list<uint8_t> b)
    {
        for (uint8_t v : b)
            Put(v, 8);
    }
    // Pads with a 0 and ones to the byte boundary, as MPEG-4 stuffing.
    std::vector<uint8_t> Finish()
    {
        if (n_) {
            Put(0, 1);
            while (n_)
                Put(1, 1);
        }
        return bytes_;
    }

private:
    std::vector<uint8_t> bytes_;
    uint32_t acc_ = 0;
    int n_ = 0;
};

struct Picture {
    int codingType = -1;
    int percent = 0;
    uint32_t duration = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y; // width x height
    std::vector<uint8_t> u; // (width + 1) / 2 x (height + 1) / 2, as v
    std::vector<uint8_t> v;
    std::vector<uint8_t> errorMap;
};

// Copies a w x h plane out of a strided buffer.
inline std::vector<uint8_t> CopyPlane(const uint8_t* src, size_t stride, int w, int h)
{
    std::vector<uint8_t> out(size_t(w) * size_t(h));
    for (int r = 0; r < h; ++r)
        std::copy(src + size_t(r) * stride, src + size_t(r) * stride + size_t(w), out.begin() + long(r) * w);
    return out;
}

// Fills the y, u and v planes of any picture record from 4:2:0 planes.
template <class Pic>
void CopyPictureYuv(Pic* p, const uint8_t* y, const uint8_t* u, const uint8_t* v, size_t yStride,
                    size_t cStride)
{
    p->y = CopyPlane(y, yStride, p->width, p->height);
    p->u = CopyPlane(u, cStride, (p->width + 1) / 2, (p->height + 1) / 2);
    p->v = CopyPlane(v, cStride, (p->width + 1) / 2, (p->height + 1) / 2);
}

inline std::string ScratchDir()
{
    return TestScratchDir();
}

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Encodes `frames` pictures of the testsrc2 pattern; `args` are the encoder
// options and the output format. Returns the file's bytes (empty on failure).
inline std::vector<uint8_t> MakeStream(const std::string& name, const std::string& size, int frames,
                                       const std::string& args)
{
    const std::string path = ScratchDir() + "/" + name;
    const std::string cmd = "ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=" + size +
                            ":rate=25 -frames:v " + std::to_string(frames) + " " + args + " '" + path +
                            "'";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return ReadFile(path);
}

// Splits an elementary stream into one chunk per picture: MPEG-4 at VOP start
// codes (headers before a VOP travel with it), H.263 at picture start codes.
inline std::vector<std::vector<uint8_t>> SplitPictures(const std::vector<uint8_t>& s, bool h263)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0)
            continue;
        if (h263 ? (s[i + 2] & 0xFC) == 0x80 : (s[i + 2] == 1 && s[i + 3] == 0xB6))
            starts.push_back(i);
    }
    std::vector<std::vector<uint8_t>> chunks;
    size_t from = 0;
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t to = k + 1 < starts.size() ? starts[k + 1] : s.size();
        chunks.emplace_back(s.begin() + long(from), s.begin() + long(to));
        from = to;
    }
    return chunks;
}

// One decoder instance with its own memory, sized for the maxima.
class OurDecoder {
public:
    OurDecoder(uint32_t maxW, uint32_t maxH, const std::vector<uint8_t>& config, int shortHdrMode,
               bool lowDelay, int buffers = 4)
    {
        cfg_ = {};
        config_ = config;
        cfg_.pConfigData = config_.empty() ? nullptr : config_.data();
        cfg_.uConfigLength = uint32_t(config_.size());
        cfg_.iIsShortHdrMode = shortHdrMode;
        cfg_.bLowDelay = lowDelay ? 1 : 0;
        const size_t luma = size_t(maxW) * maxH;
        bufs_.resize(size_t(buffers));
        planes_.resize(size_t(buffers) * 3);
        for (int i = 0; i < buffers; ++i) {
            planes_[3 * i].assign(luma + 16, 0);
            planes_[3 * i + 1].assign(luma / 4 + 16, 0);
            planes_[3 * i + 2].assign(luma / 4 + 16, 0);
            bufs_[size_t(i)] = {planes_[3 * i].data(), planes_[3 * i + 1].data(), planes_[3 * i + 2].data(), 0};
        }
        param_ = {};
        param_.pStreamConfig = &cfg_;
        param_.pFrameBuffers = bufs_.data();
        param_.uFrmBufferNum = uint32_t(buffers);
        param_.uMaxDecodableWidth = maxW;
        param_.uMaxDecodableHeight = maxH;
        DEC_QueryMemSize(&param_, tabs_);
        for (int i = 0; i < 4; ++i) {
            mem_[i].assign(tabs_[i].uSize, 0);
            tabs_[i].pBase = mem_[i].data();
        }
        info_.piIsShortHdr = &isShort_;
        handle_ = DEC_Init(tabs_, &param_, &info_);
    }

    void* handle() const { return handle_; }
    int isShortHeader() const { return isShort_; }
    const DEC_VIDEO_INFO& info() const { return info_; }

    // Decodes one chunk; appends a picture when one is output. Returns the bytes consumed.
    uint32_t Decode(const uint8_t* data, uint32_t length, std::vector<Picture>* out, bool endOfFrame = true,
                    bool reset = false)
    {
        DEC_INPUT in = {};
        in.pData = data;
        in.uLength = length;
        in.bEndOfFrame = endOfFrame ? 1 : 0;
        in.bReset = reset ? 1 : 0;
        DEC_FRAME_RESULT res = {-1, 0};
        DEC_OUTPUT o = {};
        o.pResult = &res;
        const uint32_t used = DEC_Decode(handle_, &in, &o);
        if (o.pY && out) {
            Picture p;
            p.codingType = res.iCodingType;
            p.percent = o.uPercentDecoded;
            p.duration = res.uDuration;
            p.width = int(o.uWidth);
            p.height = int(o.uHeight);
            CopyPictureYuv(&p, o.pY, o.pU, o.pV, o.uStride, o.uStride / 2);
            const int mbs = ((p.width + 15) / 16) * ((p.height + 15) / 16);
            p.errorMap.assign(o.pErrorMap, o.pErrorMap + mbs);
            out->push_back(std::move(p));
        }
        return used;
    }

    // Feeds every chunk, re-feeding what a call left unconsumed, then flushes.
    std::vector<Picture> DecodeAll(const std::vector<std::vector<uint8_t>>& chunks, bool flush)
    {
        std::vector<Picture> pics;
        for (const auto& c : chunks) {
            uint32_t off = 0;
            int guard = 0;
            while (off < c.size() && guard++ < 64) {
                const size_t before = pics.size();
                const uint32_t used = Decode(c.data() + off, uint32_t(c.size() - off), &pics);
                // A picture finished by the next start code consumes nothing: feed the rest again.
                if (used == 0 && pics.size() == before)
                    break;
                off += used;
            }
        }
        if (flush)
            Decode(nullptr, 0, &pics);
        return pics;
    }

private:
    DEC_STREAM_CONFIG cfg_;
    DEC_PARAM param_;
    DEC_MEMTAB tabs_[4];
    DEC_VIDEO_INFO info_ = {};
    int isShort_ = -1;
    std::vector<uint8_t> config_;
    std::vector<DEC_FRAME_BUF> bufs_;
    std::vector<std::vector<uint8_t>> planes_;
    std::vector<uint8_t> mem_[4];
    void* handle_ = nullptr;
};

// Bytes before the first VOP start code: the configuration headers.
inline std::vector<uint8_t> ConfigHeaders(const std::vector<uint8_t>& s)
{
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB6)
            return std::vector<uint8_t>(s.begin(), s.begin() + long(i));
    return s;
}

// PSNR of two planes of the same size; 99 for identical ones, 0 when the
// sizes differ.
inline double PlanePsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0.0;
    double sse = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sse += d * d;
    }
    if (sse == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(a.size()) / sse);
}

struct YuvPsnr {
    double y = 0, u = 0, v = 0;
    double Worst() const { return std::min({y, u, v}); }
};

// Luma and both chroma planes of two pictures (any records with y, u, v).
template <class A, class B>
YuvPsnr ComparePictures(const A& a, const B& b)
{
    return {PlanePsnr(a.y, b.y), PlanePsnr(a.u, b.u), PlanePsnr(a.v, b.v)};
}

}  // namespace dectest
