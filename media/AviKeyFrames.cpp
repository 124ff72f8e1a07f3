#include "media/AviKeyFrames.h"

#include "platform/FileAccess.h"

#include <QFile>

#include <cmath>
#include <cstring>

namespace {

std::uint32_t Le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | u[1] << 8 | u[2] << 16 | static_cast<std::uint32_t>(u[3]) << 24;
}

// A picture that decodes on its own: an H.264 IDR slice or parameter set, an MPEG-4 VOL or
// intra VOP, whichever start code comes first.
bool StartsKeyFrame(const QByteArray& head, StreamCodec codec)
{
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    for (qsizetype i = 0; i + 4 < head.size(); ++i) {
        if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
        const unsigned char code = d[i + 3];
        if (codec == StreamCodec::H264) {
            const int type = code & 0x1F;
            if (type == 5 || type == 7) return true;
            if (type == 1) return false;
        } else if (codec == StreamCodec::Mpeg4) {
            if (code == 0xB0 || (code >= 0x20 && code <= 0x2F)) return true;
            if (code == 0xB6) return (d[i + 4] >> 6) == 0;
        }
    }
    return false;
}

struct Chunk {
    char id[4];
    std::uint32_t size;
};

bool ReadChunk(QFile& f, qint64 at, Chunk* c)
{
    char head[8];
    if (!f.seek(at) || f.read(head, 8) != 8) return false;
    std::memcpy(c->id, head, 4);
    c->size = Le32(head + 4);
    return true;
}

qint64 Next(qint64 at, const Chunk& c) { return at + 8 + c.size + (c.size & 1); }

}  // namespace

std::vector<std::vector<std::int64_t>> FindAviKeyFrames(const QString& path, const std::vector<AviVideoTrack>& tracks)
{
    if (tracks.empty()) return {};
    QFile f;
    const int fd = OpenRegularFile(path);
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return {};
    Chunk riff;
    if (!ReadChunk(f, 0, &riff) || std::memcmp(riff.id, "RIFF", 4)) return {};
    const qint64 end = f.size();
    qint64 movi = -1, moviEnd = -1;
    for (qint64 at = 12; at + 12 <= end;) {
        Chunk c;
        char list[4];
        if (!ReadChunk(f, at, &c)) break;
        if (!std::memcmp(c.id, "idx1", 4)) return {};
        if (!std::memcmp(c.id, "LIST", 4) && f.read(list, 4) == 4) {
            if (!std::memcmp(list, "movi", 4)) {
                movi = at + 12;
                moviEnd = std::min(Next(at, c), end);
            } else if (!std::memcmp(list, "hdrl", 4) && f.seek(at) && f.read(std::min<qint64>(c.size + 8, 1 << 20)).contains("indx")) {
                return {};  // an OpenDML index, which avidemux reads
            }
        }
        at = Next(at, c);
    }
    if (movi < 0) return {};

    std::vector<std::vector<std::int64_t>> keys(tracks.size());
    std::vector<std::int64_t> frames(tracks.size(), 0);
    for (qint64 at = movi; at + 8 <= moviEnd;) {
        Chunk c;
        if (!ReadChunk(f, at, &c)) break;
        if (!std::memcmp(c.id, "LIST", 4)) {  // "rec " lists hold chunks of their own
            at += 12;
            continue;
        }
        const int number = (c.id[0] - '0') * 10 + (c.id[1] - '0');
        for (std::size_t t = 0; t < tracks.size(); ++t) {
            if (tracks[t].streamNumber != number || c.id[2] != 'd') continue;
            if (c.size > 0 && StartsKeyFrame(f.read(std::min<std::uint32_t>(c.size, 256)), tracks[t].codec))
                keys[t].push_back(std::llround(static_cast<double>(frames[t]) * tracks[t].frameSeconds * 1e7));
            ++frames[t];
        }
        at = Next(at, c);
    }
    return keys;
}
