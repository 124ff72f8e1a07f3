#pragma once
// The playback object the windows own: keeps the video windows and the source flag,
// owns at most one graph while a recording is open, and turns the windows' calls into
// calls on that graph. Answers 1 for success and 0 for failure unless said otherwise;
// without a graph most operations do nothing and answer 1. GUI thread only.
#include "media/DShowGraph.h"
#include "platform/VideoWindow.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class CDShowPlayer {
public:
    CDShowPlayer();
    ~CDShowPlayer();
    CDShowPlayer(const CDShowPlayer&) = delete;
    CDShowPlayer& operator=(const CDShowPlayer&) = delete;

    // mode 1: one video window; 2: front and rear.
    void Init(int mode, IVideoWindow* hwnd1, IVideoWindow* hwnd2);
    // 1 opened (state 2, or 3 when the file has no video track), 0 failed; a null path
    // or a missing window 1 answers 0 and leaves the open graph untouched.
    int OpenFile(const QString& path);
    void Close();
    int StopAndClose();
    // 1 all filters present; -1 source, -2 video decoder, -3 AAC decoder, -4 brightness.
    int CheckFilters();

    PlayerState GetState() const;
    int GetVideoStreamCount() const;
    std::int64_t GetPositionMs();
    std::int64_t GetDurationMs();

    int Play();
    int Pause();
    int Stop();
    int SeekMs(std::int32_t ms);
    int SeekBackward(double seconds);
    int SeekForward(double seconds);
    int RefreshFrame();
    int SetRate(float rate);
    // 0 .. 100.
    int SetVolume(std::int32_t volume);
    int FrameStep(std::int32_t frames);
    // Redraws renderer 1's last picture in target (normally window 1).
    int RepaintVideo(IVideoWindow* target);
    int UpdateVideoPosition(int scale);
    // The last picture of renderer index (0 front, 1 rear), top row first, into *bitmap.
    int GetCurrentImage(int index, VideoFrame* bitmap);
    // 0 a sample, 38 the end, E_FAIL no data track; 1 when no graph.
    int ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp);
    void SetSourceFlag(std::uint8_t flag);
    // Called on the GUI thread when the playing recording reaches its end (the bus says so);
    // kept for every recording opened after.
    void SetNotifyWindow(std::function<void()> complete);
    int SetDecoderFlag1112(int index, bool flag);
    int SetDecoderFlag1113(int index, bool flag);

    // Volume in hundredths of a decibel for 0 .. 100.
    static std::int32_t VolumeToHundredthsDb(std::int32_t volume);

    // Last picture of renderer index, synchronously (tests, snapshot); null when none.
    std::shared_ptr<const VideoFrame> LastFrame(int index) const;
    CDShowGraph* Graph() const { return m_pGraph.get(); }
    int Mode() const { return m_nMode; }
    std::uint8_t SourceFlag() const { return m_bSourceFlag; }

private:
    int m_nMode = 1;
    IVideoWindow* m_hWnd1 = nullptr;
    IVideoWindow* m_hWnd2 = nullptr;
    std::unique_ptr<CDShowGraph> m_pGraph;
    std::uint8_t m_bSourceFlag = 1;
    std::function<void()> m_notify;
};
