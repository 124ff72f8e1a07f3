// Helpers of the inter-picture decoder tests: streams made with the ffmpeg
// command line at test time, split into pictures, decoded by our decoder and
// by libavcodec for comparison.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "tests/decoder/DecoderTestUtil.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace intertest {

using dectest::ReadFile;
using dectest::ScratchDir;

// A panned test picture with its own moving parts.
inline std::string PannedSource(int w, int h, int frames) {
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "-f lavfi -i testsrc2=size=%dx%d:rate=25 -vf "
                "\"crop=%d:%d:'mod(n*3,%d)':'mod(n*2,%d)',format=yuv420p\" -frames:v %d",
                w + 128, h + 96, w, h, 128, 96, frames);
  return buf;
}

// Encodes with the given ffmpeg arguments into a raw elementary stream.
inline std::vector<uint8_t> Encode(const std::string& name, const std::string& source,
                                   const std::string& codecArgs, const std::string& format) {
  const std::string out = ScratchDir() + "/" + name + "." + format;
  const std::string cmd = "ffmpeg -y -hide_banner -loglevel error " + source + " " + codecArgs +
                          " -f " + format + " '" + out + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  return ReadFile(out);
}

struct Split {
  std::vector<uint8_t> config;              // headers before the first picture
  std::vector<std::vector<uint8_t>> chunks;  // one picture each
};

// MPEG-4: every VOP start code (00 00 01 B6) begins a chunk.
inline Split SplitMpeg4(const std::vector<uint8_t>& s) {
  Split out;
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 < s.size(); ++i)
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB6) starts.push_back(i);
  if (starts.empty()) return out;
  out.config.assign(s.begin(), s.begin() + static_cast<long>(starts[0]));
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
    out.chunks.emplace_back(s.begin() + static_cast<long>(starts[k]), s.begin() + static_cast<long>(end));
  }
  return out;
}

// H.263: the byte-aligned picture start code 0000 0000 0000 0000 1000 00.
inline Split SplitH263(const std::vector<uint8_t>& s) {
  Split out;
  std::vector<size_t> starts;
  for (size_t i = 0; i + 2 < s.size(); ++i)
    if (s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80) starts.push_back(i);
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
    out.chunks.emplace_back(s.begin() + static_cast<long>(starts[k]), s.begin() + static_cast<long>(end));
  }
  return out;
}

// Noise bursts of 1-8 bytes and cut stretches of 20-200 bytes at random
// places of random chunks; bytes 0-7 of a chunk (start code and the start
// of the VOP header) stay.
inline Split Damage(const Split& clean, uint32_t seed, int bursts, int cuts) {
  constexpr size_t kHeaderBytes = 8;
  Split s = clean;
  std::mt19937 rng(seed);
  for (int i = 0; i < bursts + cuts; ++i) {
    auto& chunk = s.chunks[rng() % s.chunks.size()];
    if (chunk.size() < kHeaderBytes + 16) continue;
    const size_t at = kHeaderBytes + rng() % (chunk.size() - kHeaderBytes - 8);
    if (i < bursts) {
      const size_t n = 1 + rng() % 8;
      for (size_t k = at; k < at + n && k < chunk.size(); ++k) chunk[k] = static_cast<uint8_t>(rng() | 1);
    } else {
      const size_t n = std::min<size_t>(20 + rng() % 181, chunk.size() - at);
      chunk.erase(chunk.begin() + static_cast<long>(at), chunk.begin() + static_cast<long>(at + n));
    }
  }
  return s;
}

struct Packet {
  size_t offset;  // byte of the resync marker (or of the VOP start code)
  int firstMb;
};

// Video packets of a VOP chunk of a resync-marker stream of 257 to 512 MBs:
// the byte-aligned marker (16 + f_code - 1 zero bits and a 1) and the 9-bit
// MB number.
inline std::vector<Packet> FindPackets(const std::vector<uint8_t>& chunk, int mbCount) {
  std::vector<Packet> out{{0, 0}};
  for (size_t i = 4; i + 4 < chunk.size(); ++i) {
    if (chunk[i] != 0 || chunk[i + 1] != 0 || chunk[i + 2] == 0 || chunk[i + 2] == 1) continue;
    int z = 0;
    while (!(chunk[i + 2] & (0x80 >> z))) ++z;
    const uint32_t bits = (uint32_t(chunk[i + 2]) << 16) | (uint32_t(chunk[i + 3]) << 8) | chunk[i + 4];
    const int mb = static_cast<int>((bits >> (24 - (z + 1) - 9)) & 0x1FF);
    if (mb > out.back().firstMb && mb < mbCount) out.push_back({i, mb});
  }
  return out;
}

struct Picture {
  int codingType = -1;  // ours: 0 I, 1 P, 2 B, 3 S; FFmpeg's mapped the same way
  int percent = 0;
  int width = 0, height = 0;
  std::vector<uint8_t> y;         // width x height
  std::vector<uint8_t> u, v;      // (width + 1) / 2 x (height + 1) / 2
  std::vector<uint8_t> errorMap;  // per MB
};

// Our decoder on caller memory, one chunk per call, then a flush.
class OurDecoder {
 public:
  OurDecoder(const std::vector<uint8_t>& config, int shortHeader, int maxW = 640, int maxH = 480,
             int deblock = 0, int lowDelay = 0)
      : config_(config) {
    cfg_.pConfigData = config_.empty() ? nullptr : config_.data();
    cfg_.uConfigLength = static_cast<uint32_t>(config_.size());
    cfg_.iIsShortHdrMode = shortHeader;
    cfg_.bDeblocking = deblock;
    cfg_.bLowDelay = lowDelay;
    // Each plane on its own, no larger than the decoder may use (plus room
    // to raise its address to a multiple of 16), so a sanitizer sees overruns.
    const size_t luma = static_cast<size_t>(maxW) * maxH;
    for (int i = 0; i < kBuffers; ++i) {
      for (int p = 0; p < 3; ++p) planes_[i][p].assign((p == 0 ? luma : luma / 4) + 15, 0);
      bufs_[i].pY = planes_[i][0].data();
      bufs_[i].pU = planes_[i][1].data();
      bufs_[i].pV = planes_[i][2].data();
    }
    param_.pStreamConfig = &cfg_;
    param_.pFrameBuffers = bufs_;
    param_.uFrmBufferNum = kBuffers;
    param_.uMaxDecodableWidth = static_cast<uint32_t>(maxW);
    param_.uMaxDecodableHeight = static_cast<uint32_t>(maxH);
    param_.pfnMessage = nullptr;
    DEC_MEMTAB tabs[4];
    DEC_QueryMemSize(&param_, tabs);
    for (int i = 0; i < 4; ++i) {
      mem_[i].assign(tabs[i].uSize, 0xA5);
      tabs[i].pBase = mem_[i].data();
    }
    int32_t sh = 0;
    DEC_VIDEO_INFO info{&sh, 0, 0};
    inst_ = DEC_Init(tabs, &param_, &info);
  }

  bool ok() const { return inst_ != nullptr; }

  // Decodes one chunk; appends the picture it returns, if any. Returns the
  // bytes the decoder consumed.
  uint32_t Decode(const uint8_t* data, size_t len, std::vector<Picture>* out, int endOfFrame = 1,
              int reset = 0) {
    int zero = 0;
    DEC_INPUT in{&zero, data, static_cast<uint32_t>(len), endOfFrame, -1, reset};
    DEC_FRAME_RESULT res{-1, 0};
    DEC_OUTPUT o{};
    o.pResult = &res;
    const uint32_t used = DEC_Decode(inst_, &in, &o);
    if (!o.pY || res.iCodingType < 0) return used;
    Picture p;
    p.codingType = res.iCodingType;
    p.percent = o.uPercentDecoded;
    p.width = static_cast<int>(o.uWidth);
    p.height = static_cast<int>(o.uHeight);
    dectest::CopyPictureYuv(&p, o.pY, o.pU, o.pV, o.uStride, o.uStride / 2);
    const int mbs = ((p.width + 15) / 16) * ((p.height + 15) / 16);
    if (o.pErrorMap) p.errorMap.assign(o.pErrorMap, o.pErrorMap + mbs);
    out->push_back(std::move(p));
    return used;
  }

  // Feeds every chunk, again from where a call stopped until all of it is
  // consumed or a call consumes nothing and outputs nothing, then flushes.
  std::vector<Picture> DecodeAll(const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<Picture> out;
    for (const auto& c : chunks) {
      size_t off = 0;
      for (int guard = 0; off < c.size() && guard < 64; ++guard) {
        const size_t before = out.size();
        const uint32_t used = Decode(c.data() + off, c.size() - off, &out);
        if (used == 0 && out.size() == before) break;
        off += used;
      }
    }
    Decode(nullptr, 0, &out);  // the held-back anchor
    return out;
  }

 private:
  static constexpr int kBuffers = 4;
  std::vector<uint8_t> config_;
  DEC_STREAM_CONFIG cfg_{};
  DEC_FRAME_BUF bufs_[kBuffers]{};
  std::vector<uint8_t> planes_[kBuffers][3];
  std::vector<uint8_t> mem_[4];
  DEC_PARAM param_{};
  void* inst_ = nullptr;
};

// FFmpeg's decoder, one thread, fed the same chunks (the configuration ahead
// of the first).
inline std::vector<Picture> DecodeWithFfmpeg(const Split& split, AVCodecID id) {
  std::vector<Picture> out;
  const AVCodec* codec = avcodec_find_decoder(id);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->thread_count = 1;
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return out;
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&]() {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      Picture p;
      p.width = frame->width;
      p.height = frame->height;
      p.codingType = frame->pict_type == AV_PICTURE_TYPE_I   ? 0
                     : frame->pict_type == AV_PICTURE_TYPE_P ? 1
                     : frame->pict_type == AV_PICTURE_TYPE_B ? 2
                     : frame->pict_type == AV_PICTURE_TYPE_S ? 3
                                                             : -1;
      dectest::CopyPictureYuv(&p, frame->data[0], frame->data[1], frame->data[2],
                              static_cast<size_t>(frame->linesize[0]), static_cast<size_t>(frame->linesize[1]));
      out.push_back(std::move(p));
      av_frame_unref(frame);
    }
  };
  for (size_t i = 0; i < split.chunks.size(); ++i) {
    std::vector<uint8_t> data;
    if (i == 0) data = split.config;
    data.insert(data.end(), split.chunks[i].begin(), split.chunks[i].end());
    av_new_packet(pkt, static_cast<int>(data.size()));
    std::memcpy(pkt->data, data.data(), data.size());
    avcodec_send_packet(ctx, pkt);
    av_packet_unref(pkt);
    drain();
  }
  avcodec_send_packet(ctx, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  return out;
}

inline double LumaPsnr(const Picture& a, const Picture& b) { return dectest::PlanePsnr(a.y, b.y); }

using dectest::ComparePictures;
using dectest::YuvPsnr;

}  // namespace intertest
