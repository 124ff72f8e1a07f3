#include "RepairTestSupport.h"

#include "TestScratch.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <cstdlib>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace repairtest {

QString Scratch(const QString& name)
{
    QString dir = QString::fromStdString(TestScratchDir());
    if (!name.isEmpty()) dir += QLatin1Char('/') + name;
    QDir().mkpath(dir);
    return dir;
}

bool RunFfmpeg(const QStringList& args, QString* error)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + args);
    if (!p.waitForStarted(-1)) {
        if (error) *error = QStringLiteral("ffmpeg did not start");
        return false;
    }
    p.waitForFinished(-1);
    if (error) *error = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool MakeMpeg4Recording(const QString& path, int seconds, int gop, int width, int height, bool audio)
{
    QStringList args{"-f", "lavfi", "-i",
                     QStringLiteral("testsrc2=size=%1x%2:rate=30").arg(width).arg(height)};
    if (audio) args += {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=16000"};
    args += {"-t", QString::number(seconds), "-pix_fmt", "yuv420p", "-c:v", "mpeg4", "-enc_time_base", "1:1000",
             "-fps_mode", "passthrough", "-q:v", "5", "-g", QString::number(gop), "-bf", "0"};
    if (audio) args += {"-c:a", path.endsWith(QStringLiteral(".avi")) ? "pcm_s16le" : "aac"};
    if (path.endsWith(QStringLiteral(".m4v"))) args += {"-f", "m4v"};  // the bare stream, not the iPod file
    args += path;
    return RunFfmpeg(args);
}

std::vector<Picture> DecodeWithFfmpeg(const QString& path, std::string* error)
{
    std::vector<Picture> pictures;
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return std::vector<Picture>{};
    };
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return fail("cannot open");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> fmtGuard(fmt, [](AVFormatContext* f) { avformat_close_input(&f); });
    if (avformat_find_stream_info(fmt, nullptr) < 0) return fail("no stream info");
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return fail("no video stream");
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
    if (!codec) return fail("no decoder");
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctxGuard(ctx, [](AVCodecContext* c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar);
    ctx->thread_count = 1;
    if (avcodec_open2(ctx, codec, nullptr) < 0) return fail("cannot open decoder");

    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto take = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            Picture p;
            p.width = frame->width;
            p.height = frame->height;
            const int cw = (p.width + 1) / 2, ch = (p.height + 1) / 2;
            for (int row = 0; row < p.height; ++row)
                p.y.insert(p.y.end(), frame->data[0] + row * frame->linesize[0], frame->data[0] + row * frame->linesize[0] + p.width);
            for (int row = 0; row < ch; ++row) {
                p.u.insert(p.u.end(), frame->data[1] + row * frame->linesize[1], frame->data[1] + row * frame->linesize[1] + cw);
                p.v.insert(p.v.end(), frame->data[2] + row * frame->linesize[2], frame->data[2] + row * frame->linesize[2] + cw);
            }
            pictures.push_back(std::move(p));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(ctx, pkt) == 0) take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    return pictures;
}

double Psnr(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.y.size() != b.y.size()) return 0;
    double sum = 0;
    std::size_t count = 0;
    using Plane = std::vector<std::uint8_t> Picture::*;
    for (Plane plane : {&Picture::y, &Picture::u, &Picture::v}) {
        const auto& pa = a.*plane;
        const auto& pb = b.*plane;
        for (std::size_t i = 0; i < pa.size(); ++i) {
            const double d = double(pa[i]) - double(pb[i]);
            sum += d * d;
        }
        count += pa.size();
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * double(count) / sum);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

std::vector<qsizetype> VopOffsets(const QByteArray& data)
{
    std::vector<qsizetype> offsets;
    const QByteArray code("\x00\x00\x01\xB6", 4);
    for (qsizetype at = data.indexOf(code); at >= 0; at = data.indexOf(code, at + 1)) offsets.push_back(at);
    return offsets;
}

}  // namespace repairtest
