#pragma once
// One media graph for one recording: a GStreamer pipeline built in code from the fixed
// filters of FilterTable.h, one or two video chains and an optional audio chain, driven
// by run, pause, stop, seek, rate and frame step. Every call is made on the GUI thread;
// each state change is complete when the call returns (bounded wait).
#include "media/FilterTable.h"
#include "platform/ComResult.h"
#include "platform/VideoWindow.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct _GstElement;
struct _GstBus;
struct _GstMessage;
class HVStreamParseFilter;
class FrameRelay;

// -1 no graph object; 0 running; 1 paused; 2 stopped (also after a build and after a
// tear-down); 3 made or reset and not yet built.
using PlayerState = std::int32_t;
constexpr PlayerState kStateNoGraph = -1;
constexpr PlayerState kStateRunning = 0;
constexpr PlayerState kStatePaused = 1;
constexpr PlayerState kStateStopped = 2;
constexpr PlayerState kStateNotBuilt = 3;

class CDShowGraph {
public:
    // Threads of each video decoder. Two streams decode at once, and a few threads each keep
    // up with playback; every further frame thread holds one more picture and decoder state.
    static constexpr int kDecoderThreads = 4;
    // Each stream's queue from the source: no time limit (a frame-threaded decoder's latency
    // would otherwise stall preroll), a depth in buffers and bytes.
    static constexpr unsigned kQueueBuffers = 200;
    static constexpr unsigned kQueueBytes = 32 * 1024 * 1024;
    // How late a picture may come to its renderer and still be shown.
    static constexpr int kMaxLatenessMs = 20;

    CDShowGraph(int mode, IVideoWindow* hwnd1, IVideoWindow* hwnd2);
    ~CDShowGraph();
    CDShowGraph(const CDShowGraph&) = delete;
    CDShowGraph& operator=(const CDShowGraph&) = delete;

    HRESULT Reset(std::uint8_t sourceFlag);
    // 0 built; 1 for a null path or a file the source cannot load; a failure code when a
    // filter cannot be made or the graph does not reach its first picture.
    HRESULT BuildGraph(const QString& path);
    HRESULT TearDown();

    HRESULT Play();
    HRESULT Pause();
    // realign false: the graph is closed next, and cueing its renderers again at one
    // position would only decode pictures nobody sees.
    HRESULT Stop(bool realign = true);
    HRESULT StopWhenReady();

    // 100-ns units. Without a pipeline they answer 0 and leave *out untouched.
    HRESULT GetCurrentPosition(std::int64_t* out);
    HRESULT GetDuration(std::int64_t* out);
    HRESULT SetPositionRaw(std::int64_t pos);

    HRESULT SetVolume(std::int32_t hundredthsDb);
    // 1 when the step was made, 0 otherwise.
    HRESULT FrameStep(int frames);
    HRESULT RepaintVideo(IVideoWindow* target);
    HRESULT UpdateVideoPosition(int scale);
    // Packed DIB of the last picture of renderer index (0 first, 1 second in mode 2): a
    // 40-byte BITMAPINFOHEADER, then 32-bit pixels, bottom row first. 0 and no output
    // for another index or a missing renderer or picture.
    HRESULT GetCurrentImage(int index, std::vector<std::uint8_t>* dib);
    HRESULT ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp);
    HRESULT SetDecoderFlag1112(int index, bool flag);
    HRESULT SetDecoderFlag1113(int index, bool flag);

    // Counting of the source's pins, as the build does.
    int CountVideoPins() const;
    int CountAudioPins() const;

    PlayerState State() const { return m_nState; }
    float Rate() const { return m_fRate; }
    void SetRateValue(float rate) { m_fRate = rate; }
    int VideoStreams() const { return m_nVideoStreams; }
    bool IsReady() const { return m_bReady != 0; }
    bool IsBuilt() const { return m_bBuilt != 0; }
    bool HasPipeline() const { return m_pGraphBuilder != nullptr; }
    void SetSourceFlag(std::uint8_t flag) { m_bSourceFlag = flag; }
    std::uint8_t SourceFlag() const { return m_bSourceFlag; }
    const QString& FileName() const { return m_szFileName; }
    // Rate the pipeline currently plays at (after the clamp of Play).
    double AppliedRate() const { return m_dAppliedRate; }
    // Linear gain of the audio renderer's volume (the player's volume times the
    // process-wide output level), 1 when there is none.
    double LinearVolume() const;

    // Called on the GUI thread as soon as the pipeline reports the end of the recording (or
    // an error that ends it); the tear-down forgets it.
    void SetNotifyWindow(std::function<void()> complete);
    // Whether the pipeline has reported the end since the last seek.
    bool IsComplete() const { return m_bEos; }

    // Whether an element of that name is in the pipeline (top level).
    bool HasElement(const char* name) const;
    // The decoder flags last set (1112, 1113) on decoder 1 or 2.
    bool DecoderFlag(int index, int param) const;

    // Last picture of renderer index (0 or 1), taken synchronously; null when none.
    std::shared_ptr<const VideoFrame> LastFrame(int index) const;

private:
    struct Chain;
    HRESULT AddFilterByClsid(FilterClass cls, const char* name, _GstElement** out,
                             StreamCodec codec = StreamCodec::Unknown);
    HRESULT ConnectFilters(_GstElement* from, _GstElement* to);
    HRESULT BuildOneVideoGraph();
    HRESULT BuildTwoVideoGraph(int mode);
    HRESULT BuildAudio(const char* decoderName);
    HRESULT SetUpRenderer(_GstElement* renderer, int index, IVideoWindow* window);
    bool Accepts(_GstElement* to, int pin) const;
    void ConnectAudio();
    void ConnectVideoChain(_GstElement* decoder, _GstElement* converter, _GstElement* renderer);
    HRESULT Finish();
    HRESULT ChangeState(int gstState, int timeoutMs);
    HRESULT WaitAsyncDone(int timeoutMs);
    HRESULT Seek(std::int64_t pos100ns, double rate);
    void AlignRenderers();
    // slot 0 is flag 1112, slot 1 flag 1113.
    HRESULT SetDecoderFlag(int index, int slot, bool flag);
    void ApplyOutputLevel();
    // Forgets the messages queued by earlier operations.
    void DrainBus();
    static int OnBusMessage(_GstBus* bus, _GstMessage* msg, void* self);

    _GstElement* m_pRenderer1 = nullptr;
    _GstElement* m_pRenderer2 = nullptr;
    _GstElement* m_pGraphBuilder = nullptr;  // the pipeline
    HVStreamParseFilter* m_pSource = nullptr;
    _GstElement* m_pVideoDecoder1 = nullptr;
    _GstElement* m_pVideoDecoder2 = nullptr;
    _GstElement* m_pAudioDecoder = nullptr;
    _GstElement* m_pAudioRenderer = nullptr;
    _GstElement* m_pColorConverter1 = nullptr;
    _GstElement* m_pColorConverter2 = nullptr;
    int m_nMode = 1;
    IVideoWindow* m_hWnd1 = nullptr;
    IVideoWindow* m_hWnd2 = nullptr;
    std::int32_t m_bReady = 0;
    std::int32_t m_bBuilt = 0;
    float m_fRate = 1.0f;
    std::int64_t m_llDuration = 0;
    PlayerState m_nState = kStateNotBuilt;
    std::int32_t m_nVideoStreams = 0;
    QString m_szFileName;
    std::uint8_t m_bSourceFlag = 1;

    double m_dAppliedRate = 1.0;
    std::atomic<bool> m_bEos{false};    // the pipeline reached the end since the last seek
    std::atomic<bool> m_bError{false};  // an error since the last operation began
    std::function<void()> m_notify;
    bool m_bResync = false;       // frames were stepped: realign audio before running
    _GstElement* m_pVolume = nullptr;
    double m_dGain = 1.0;    // the player's volume, linear
    double m_dLevel = -1.0;  // output level last applied
    int m_nWaveOutListener = 0;
    std::vector<_GstElement*> m_queues;   // the queue of each chain, with its own reference
    bool m_aDecoderFlags[2][2] = {{false, false}, {false, false}};
    std::shared_ptr<FrameRelay> m_relay;
    std::unique_ptr<Chain> m_chains[2];
};
