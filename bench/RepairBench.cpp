// Times the MPEG-4 repair of a generated recording and FFmpeg's decoding of the same stream.
//   repair_bench [--seconds N] [--gop N] [--dir FOLDER]
// Prints both times and their ratio (repair / decode).
#include "repair/Mp4vRepair.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

bool MakeRecording(const QString& path, int seconds, int gop)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("ffmpeg"),
            {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30",
             "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=16000", "-t", QString::number(seconds),
             "-pix_fmt", "yuv420p", "-c:v", "mpeg4", "-enc_time_base", "1:1000", "-fps_mode", "passthrough",
             "-q:v", "5", "-g", QString::number(gop), "-bf", "0", "-c:a", "pcm_s16le", path});
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Decodes every picture of the first video stream on one thread; returns the count or -1.
int DecodeWithFfmpeg(const QString& path)
{
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return -1;
    int count = -1;
    const int index = avformat_find_stream_info(fmt, nullptr) >= 0
                          ? av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    const AVCodec* codec = index >= 0 ? avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id) : nullptr;
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (ctx && avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar) >= 0) {
        ctx->thread_count = 1;
        if (avcodec_open2(ctx, codec, nullptr) == 0) {
            count = 0;
            AVPacket* pkt = av_packet_alloc();
            AVFrame* frame = av_frame_alloc();
            while (av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == index && avcodec_send_packet(ctx, pkt) == 0)
                    while (avcodec_receive_frame(ctx, frame) == 0) ++count;
                av_packet_unref(pkt);
            }
            avcodec_send_packet(ctx, nullptr);
            while (avcodec_receive_frame(ctx, frame) == 0) ++count;
            av_frame_free(&frame);
            av_packet_free(&pkt);
        }
    }
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return count;
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 60, gop = 30;
    QString dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray opt = argv[i];
        if (opt == "--seconds") seconds = std::atoi(argv[i + 1]);
        else if (opt == "--gop") gop = std::atoi(argv[i + 1]);
        else if (opt == "--dir") dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir temp;
    if (dir.isEmpty()) dir = temp.path();
    QDir().mkpath(dir);
    // The work files go below this folder, not into the user's data folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir + QStringLiteral("/data")));
    QCoreApplication app(argc, argv);
    QDir::setCurrent(dir);

    const QString input = dir + QStringLiteral("/recording.avi");
    std::printf("making a %d-second 640x480 MPEG-4 recording, key picture every %d ...\n", seconds, gop);
    if (!MakeRecording(input, seconds, gop)) {
        std::fprintf(stderr, "ffmpeg could not make the recording\n");
        return 1;
    }

    auto start = std::chrono::steady_clock::now();
    const int pictures = DecodeWithFfmpeg(input);
    const double decode = Seconds(std::chrono::steady_clock::now() - start);
    if (pictures <= 0) {
        std::fprintf(stderr, "FFmpeg could not decode the recording\n");
        return 1;
    }

    start = std::chrono::steady_clock::now();
    const int result = RepairMp4v(input, QStringLiteral("repaired.3gp"), 30,
                                  [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    const double repair = Seconds(std::chrono::steady_clock::now() - start);
    if (result != 0) return 1;

    const int repaired = DecodeWithFfmpeg(dir + QStringLiteral("/repaired.3gp"));
    std::printf("FFmpeg decode: %8.3f s  (%d pictures, one thread)\n", decode, pictures);
    std::printf("repair:        %8.3f s  (%d pictures in the output)\n", repair, repaired);
    std::printf("ratio repair / decode: %.2f\n", repair / decode);
    return 0;
}
