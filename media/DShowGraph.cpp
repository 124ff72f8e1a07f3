#include "media/DShowGraph.h"

#include "media/FrameRelay.h"
#include "media/FrameScaler.h"
#include "media/HVStreamParseFilter.h"
#include "media/PicturePool.h"
#include "platform/WaveOut.h"

#include <gst/app/gstappsink.h>
#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

// Bounded waits: a state change that does not complete in time is a failure, never a hang.
constexpr int kPrerollTimeoutMs = 15000;
constexpr int kStateTimeoutMs = 8000;
constexpr int kStepTimeoutMs = 5000;

constexpr std::int64_t kNsPerUnit = 100;  // 100-ns units of positions

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Release(GstElement*& e)
{
    if (e) gst_object_unref(e);
    e = nullptr;
}

bool HasLinkedSinkPad(GstElement* e)
{
    bool linked = false;
    GstIterator* it = gst_element_iterate_sink_pads(e);
    GValue v = G_VALUE_INIT;
    while (gst_iterator_next(it, &v) == GST_ITERATOR_OK) {
        if (gst_pad_is_linked(GST_PAD(g_value_get_object(&v)))) linked = true;
        g_value_reset(&v);
    }
    g_value_unset(&v);
    gst_iterator_free(it);
    return linked;
}

std::string FactoryName(GstElement* e)
{
    GstElementFactory* f = gst_element_get_factory(e);
    return f ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f)) : "";
}

// The buffer mapped for as long as a picture made from it is held; the mapping holds its own
// reference to the buffer. The sample itself is let go at once: appsink reuses its one sample
// object and can only put the next caps on it while nobody else holds it.
struct MappedBuffer {
    GstVideoFrame frame;
    ~MappedBuffer() { gst_video_frame_unmap(&frame); }
};

// A picture over the decoder's own planes, with its stream time; takes the sample. No byte
// of the picture is copied: the buffer stays mapped until the last holder lets go.
std::shared_ptr<VideoFrame> FrameFromSample(GstSample* sample)
{
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) {
        gst_sample_unref(sample);
        return nullptr;
    }
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    GstVideoFrame mapped;
    if ((format != GST_VIDEO_FORMAT_I420 && format != GST_VIDEO_FORMAT_NV12) ||
        !gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
        gst_sample_unref(sample);
        return nullptr;
    }
    auto held = std::make_shared<MappedBuffer>();
    held->frame = mapped;
    auto frame = std::make_shared<VideoFrame>();
    frame->width = GST_VIDEO_FRAME_WIDTH(&held->frame);
    frame->height = GST_VIDEO_FRAME_HEIGHT(&held->frame);
    VideoPlanes& p = frame->planes;
    p.layout = format == GST_VIDEO_FORMAT_NV12 ? PlaneLayout::NV12 : PlaneLayout::I420;
    for (guint i = 0; i < GST_VIDEO_FRAME_N_PLANES(&held->frame) && i < 3; ++i) {
        p.data[i] = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&held->frame, i));
        p.stride[i] = GST_VIDEO_FRAME_PLANE_STRIDE(&held->frame, i);
    }
    p.bt709 = info.colorimetry.matrix == GST_VIDEO_COLOR_MATRIX_BT709;
    p.fullRange = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    p.keep = held;
    FrameScaler::ConvertOnFirstRead(*frame);

    const GstSegment* segment = gst_sample_get_segment(sample);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (segment && GST_CLOCK_TIME_IS_VALID(pts)) {
        guint64 st = 0;
        const int sign = gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, pts, &st);
        if (sign > 0) frame->positionMs = static_cast<std::int64_t>(st / GST_MSECOND);
        else if (sign < 0) frame->positionMs = 0;
    }
    gst_sample_unref(sample);
    return frame;
}

// The renderer's answer to the decoder's allocation query: strided and padded planes are
// fine (video meta), so the decoder renders straight into the pool, whose pictures go on
// uncopied (PicturePool.h); the pool has no upper bound, so pictures the windows still hold
// never keep the decoder waiting for a free buffer.
GstPadProbeReturn AnswerAllocation(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (!query || GST_QUERY_TYPE(query) != GST_QUERY_ALLOCATION) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gboolean needPool = FALSE;
    gst_query_parse_allocation(query, &caps, &needPool);
    GstVideoInfo vi;
    if (!caps || !gst_video_info_from_caps(&vi, caps)) return GST_PAD_PROBE_OK;
    gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    // The relay's picture, the window's, and one being decoded into, at the least.
    constexpr guint kHeldPictures = 4;
    GstBufferPool* pool = NewPicturePool();
    gst_query_add_allocation_pool(query, pool, static_cast<guint>(GST_VIDEO_INFO_SIZE(&vi)), kHeldPictures, 0);
    gst_object_unref(pool);
    gst_query_add_allocation_param(query, PictureAllocator(), nullptr);
    return GST_PAD_PROBE_HANDLED;
}

GstElement* MakeAudioRenderer(const char* name, GstElement** volumeOut)
{
    GstElement* bin = gst_bin_new(name);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* volume = gst_element_factory_make("volume", "Volume");
    // With no sound device it falls back to a clocked fake sink by itself.
    GstElement* sink = gst_element_factory_make("autoaudiosink", "Audio Output");
    if (!bin || !convert || !resample || !volume || !sink) {
        for (GstElement* e : {bin, convert, resample, volume, sink})
            if (e) gst_object_unref(e);
        return nullptr;
    }
    gst_bin_add_many(GST_BIN(bin), convert, resample, volume, sink, nullptr);
    if (!gst_element_link_many(convert, resample, volume, sink, nullptr)) {
        gst_object_unref(bin);
        return nullptr;
    }
    GstPad* pad = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    *volumeOut = GST_ELEMENT(gst_object_ref(volume));
    return bin;
}

GstElement* MakeVideoRenderer(const char* name)
{
    GstElement* sink = gst_element_factory_make("appsink", name);
    if (!sink) return nullptr;
    // The decoder's own formats: the pictures are converted on the way to the screen, not here.
    GstCaps* caps = gst_caps_from_string("video/x-raw, format=(string){ I420, NV12 }");
    g_object_set(sink, "caps", caps, "sync", TRUE, "qos", TRUE, "max-lateness",
                 gint64(CDShowGraph::kMaxLatenessMs) * GST_MSECOND,
                 "enable-last-sample", FALSE, "emit-signals", FALSE, nullptr);
    gst_caps_unref(caps);
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, &AnswerAllocation, nullptr, nullptr);
    gst_object_unref(pad);
    return sink;
}

}  // namespace

// What a renderer's streaming thread needs to hand its pictures over.
struct CDShowGraph::Chain {
    FrameRelay* relay = nullptr;
    GstElement* converter = nullptr;
    int index = 0;

    static GstFlowReturn Take(GstAppSink* sink, Chain* c, bool preroll)
    {
        GstSample* s = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
        if (!s) return GST_FLOW_OK;
        ++FrameWork().decoded;
        // The converter only works when the decoder's format is not one the windows draw.
        if (c->converter && !gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(c->converter)))
            ++FrameWork().conversions;
        std::shared_ptr<VideoFrame> f = FrameFromSample(s);
        if (f) c->relay->Store(c->index, std::move(f));
        return GST_FLOW_OK;
    }
    static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer data) { return Take(sink, static_cast<Chain*>(data), true); }
    static GstFlowReturn OnSample(GstAppSink* sink, gpointer data) { return Take(sink, static_cast<Chain*>(data), false); }
};

CDShowGraph::CDShowGraph(int mode, IVideoWindow* hwnd1, IVideoWindow* hwnd2)
    : m_nMode(mode), m_hWnd1(hwnd1), m_hWnd2(hwnd2), m_relay(std::make_shared<FrameRelay>())
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    // The wave-out level is set on the GUI thread, as every call on the graph is made.
    m_nWaveOutListener = AddWaveOutListener([this](double) { ApplyOutputLevel(); });
}

CDShowGraph::~CDShowGraph()
{
    RemoveWaveOutListener(m_nWaveOutListener);
    TearDown();
}

HRESULT CDShowGraph::Reset(std::uint8_t sourceFlag)
{
    if (m_pGraphBuilder) TearDown();
    m_bReady = 1;
    m_nState = kStateNotBuilt;
    m_bSourceFlag = sourceFlag;
    return S_OK;
}

HRESULT CDShowGraph::BuildGraph(const QString& path)
{
    if (m_bBuilt) TearDown();
    if (path.isNull()) return 1;
    if (m_pSource || m_pGraphBuilder) TearDown();
    // Nothing of an earlier file carries over.
    m_llDuration = 0;
    m_nVideoStreams = 0;
    m_dAppliedRate = 1.0;
    m_relay->Clear();
    // Kept whole: a longer path must not open a different file.
    m_szFileName = path;

    m_pGraphBuilder = gst_pipeline_new(nullptr);
    if (!m_pGraphBuilder) return E_OUTOFMEMORY;
    gst_object_ref_sink(m_pGraphBuilder);
    GstBus* bus = gst_element_get_bus(m_pGraphBuilder);
    gst_bus_set_sync_handler(
        bus,
        [](GstBus* b, GstMessage* m, gpointer self) { return static_cast<GstBusSyncReply>(OnBusMessage(b, m, self)); },
        this, nullptr);
    gst_object_unref(bus);
    m_relay->SetEndHandler(m_notify);

    if (!FilterRegistered(FilterClass::Source)) return -1;
    m_pSource = new HVStreamParseFilter("HVStreamParseFilter");
    m_pSource->SetSourceFlag(m_bSourceFlag);
    gst_bin_add(GST_BIN(m_pGraphBuilder), m_pSource->Element());

    const HRESULT load = m_pSource->Load(m_szFileName);
    if (FAILED(load)) return 1;

    m_nVideoStreams = CountVideoPins();
    if (m_nVideoStreams == 1) return BuildOneVideoGraph();
    if (m_nVideoStreams == 2) return BuildTwoVideoGraph(m_nMode);
    return load;
}

int CDShowGraph::CountVideoPins() const
{
    if (!m_pSource) return 0;
    int n = 0;
    for (const auto& pin : m_pSource->Pins())
        if (pin.name.find("Video") != std::string::npos) ++n;
    return n;
}

int CDShowGraph::CountAudioPins() const
{
    if (!m_pSource) return 0;
    int n = 0;
    for (const auto& pin : m_pSource->Pins()) {
        if (pin.name.find("Audio") == std::string::npos) continue;
        n += 1;
        if (pin.codec == StreamCodec::Pcm) n += 1000;
    }
    return n;
}

HRESULT CDShowGraph::AddFilterByClsid(FilterClass cls, const char* name, GstElement** out, StreamCodec codec)
{
    if (!m_pGraphBuilder || !out) return E_POINTER;
    GstElement* e = nullptr;
    switch (cls) {
    case FilterClass::AacDecoder:  // one factory each: the one the table names
    case FilterClass::ColorConverter: e = gst_element_factory_make(FindFilterEntry(cls).factories[0], name); break;
    case FilterClass::AudioRenderer: e = MakeAudioRenderer(name, &m_pVolume); break;
    case FilterClass::VideoDecoder: {
        const char* factory = VideoDecoderFactory(codec);
        if (!factory) return VFW_E_NOT_FOUND;  // no decoder for this stream's codec
        e = gst_element_factory_make(factory, name);
        break;
    }
    case FilterClass::VideoRenderer: e = MakeVideoRenderer(name); break;
    default: return E_INVALIDARG;
    }
    if (!e) return FilterRegistered(cls) ? -1 : VFW_E_NOT_FOUND;
    gst_object_ref_sink(e);
    if (!gst_bin_add(GST_BIN(m_pGraphBuilder), e)) {
        gst_object_unref(e);
        return E_FAIL;
    }
    if (cls == FilterClass::VideoDecoder) {
        // Never hand on pictures with broken references after a seek or a damaged frame.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), "output-corrupt"))
            g_object_set(e, "output-corrupt", FALSE, nullptr);
        // Straight into the renderer's pool: the pictures then reach the windows uncopied.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), "direct-rendering"))
            g_object_set(e, "direct-rendering", TRUE, nullptr);
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), "max-threads"))
            g_object_set(e, "max-threads", kDecoderThreads, nullptr);
    }
    *out = e;
    return S_OK;
}

bool CDShowGraph::Accepts(GstElement* to, int pinIndex) const
{
    const auto& pin = m_pSource->Pins()[static_cast<std::size_t>(pinIndex)];
    if (to == m_pAudioDecoder) return !pin.video && pin.codec == StreamCodec::Aac;
    if (to == m_pAudioRenderer) return !pin.video && pin.codec == StreamCodec::Pcm;
    if (to == m_pVideoDecoder1 || to == m_pVideoDecoder2) {
        const char* factory = VideoDecoderFactory(pin.codec);
        return pin.video && factory && FactoryName(to) == factory;
    }
    return false;
}

HRESULT CDShowGraph::ConnectFilters(GstElement* from, GstElement* to)
{
    if (!m_pGraphBuilder || !from || !to) return E_POINTER;
    if (!m_pSource || from != m_pSource->Element())
        return gst_element_link(from, to) ? S_OK : E_FAIL;

    // From the source: the first free pin the downstream filter takes, through a queue so
    // that each stream runs on its own thread.
    int calls = 0;
    const auto& pins = m_pSource->Pins();
    for (std::size_t i = 0; i < pins.size() && calls < 3; ++i) {
        if (gst_pad_is_linked(pins[i].pad) || !Accepts(to, static_cast<int>(i))) continue;
        ++calls;
        GstElement* queue = gst_element_factory_make("queue", (pins[i].name + " Queue").c_str());
        if (!queue) return E_OUTOFMEMORY;
        g_object_set(queue, "max-size-time", guint64(0), "max-size-buffers", guint(kQueueBuffers), "max-size-bytes",
                     guint(kQueueBytes), nullptr);
        gst_bin_add(GST_BIN(m_pGraphBuilder), queue);
        GstElement* last = queue;
        GstElement* fix = nullptr;
        // AVI does not say how H.264 and AAC are framed: one picture a chunk as a byte
        // stream, and raw AAC frames (the decoder set-up comes in the stream format chunk).
        const char* framing = nullptr;
        if (m_pSource->IsAvi() && pins[i].codec == StreamCodec::H264)
            framing = "video/x-h264,stream-format=byte-stream,alignment=au";
        else if (m_pSource->IsAvi() && pins[i].codec == StreamCodec::Aac)
            framing = "audio/mpeg,stream-format=raw";
        if (framing) {
            fix = gst_element_factory_make("capssetter", (pins[i].name + " Format").c_str());
            if (fix) {
                GstCaps* caps = gst_caps_from_string(framing);
                g_object_set(fix, "caps", caps, nullptr);
                gst_caps_unref(caps);
                gst_bin_add(GST_BIN(m_pGraphBuilder), fix);
                if (gst_element_link(queue, fix)) last = fix;
            }
        }
        GstPad* qsink = gst_element_get_static_pad(queue, "sink");
        const bool ok = gst_pad_link(pins[i].pad, qsink) == GST_PAD_LINK_OK && gst_element_link(last, to);
        gst_object_unref(qsink);
        if (ok) {
            m_queues.push_back(GST_ELEMENT(gst_object_ref(queue)));
            return S_OK;
        }
        gst_bin_remove(GST_BIN(m_pGraphBuilder), queue);
        if (fix) gst_bin_remove(GST_BIN(m_pGraphBuilder), fix);
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CDShowGraph::SetUpRenderer(GstElement* renderer, int index, IVideoWindow* window)
{
    if (!renderer) return E_POINTER;
    m_chains[index] = std::make_unique<Chain>();
    m_chains[index]->relay = m_relay.get();
    m_chains[index]->index = index;
    m_chains[index]->converter = index == 0 ? m_pColorConverter1 : m_pColorConverter2;
    GstAppSinkCallbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.new_preroll = &Chain::OnPreroll;
    callbacks.new_sample = &Chain::OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(renderer), &callbacks, m_chains[index].get(), nullptr);
    m_relay->SetWindow(index, window);
    if (window) window->SetVideoPosition(VideoRect{0, 0, window->ClientWidth(), window->ClientHeight()});
    return S_OK;
}

HRESULT CDShowGraph::BuildAudio(const char* decoderName)
{
    const int a = CountAudioPins();
    if (a <= 0) return S_OK;
    if (a < 1000) {
        const HRESULT hr = AddFilterByClsid(FilterClass::AacDecoder, decoderName, &m_pAudioDecoder);
        if (FAILED(hr)) return hr;
    }
    // Without an audio renderer the recording plays silent.
    AddFilterByClsid(FilterClass::AudioRenderer, "DirectSound Audio Renderer", &m_pAudioRenderer);
    return S_OK;
}

void CDShowGraph::ConnectAudio()
{
    if (!m_pAudioRenderer) return;
    if (m_pAudioDecoder) {
        if (SUCCEEDED(ConnectFilters(m_pSource->Element(), m_pAudioDecoder)))
            ConnectFilters(m_pAudioDecoder, m_pAudioRenderer);
    } else {
        ConnectFilters(m_pSource->Element(), m_pAudioRenderer);
    }
}

// Links source, decoder, converter and renderer; each link is tried only when the one before it held.
void CDShowGraph::ConnectVideoChain(GstElement* decoder, GstElement* converter, GstElement* renderer)
{
    if (SUCCEEDED(ConnectFilters(m_pSource->Element(), decoder)) && SUCCEEDED(ConnectFilters(decoder, converter)))
        ConnectFilters(converter, renderer);
}

HRESULT CDShowGraph::BuildOneVideoGraph()
{
    HRESULT hr = BuildAudio("COREAAC AUDIO");
    if (FAILED(hr)) return hr;
    StreamCodec front = StreamCodec::Unknown;
    for (const auto& pin : m_pSource->Pins())
        if (pin.video) {
            front = pin.codec;
            break;
        }
    if (FAILED(hr = AddFilterByClsid(FilterClass::VideoDecoder, "FFDShow Decoder1", &m_pVideoDecoder1, front))) return hr;
    if (FAILED(hr = AddFilterByClsid(FilterClass::ColorConverter, "Color Space Convertor 1", &m_pColorConverter1)))
        return hr;
    if (FAILED(hr = AddFilterByClsid(FilterClass::VideoRenderer, "Mixing Renderer9", &m_pRenderer1))) return hr;
    SetUpRenderer(m_pRenderer1, 0, m_hWnd1);

    ConnectAudio();
    ConnectVideoChain(m_pVideoDecoder1, m_pColorConverter1, m_pRenderer1);
    return Finish();
}

HRESULT CDShowGraph::BuildTwoVideoGraph(int mode)
{
    HRESULT hr = BuildAudio("CoreAAC Decoder");
    if (FAILED(hr)) return hr;
    StreamCodec codecs[2] = {StreamCodec::Unknown, StreamCodec::Unknown};
    int n = 0;
    for (const auto& pin : m_pSource->Pins())
        if (pin.video && n < 2) codecs[n++] = pin.codec;
    if (FAILED(hr = AddFilterByClsid(FilterClass::VideoDecoder, "FFDShow Decoder1", &m_pVideoDecoder1, codecs[0])))
        return hr;
    if (FAILED(hr = AddFilterByClsid(FilterClass::VideoDecoder, "FFDShow Decoder2", &m_pVideoDecoder2, codecs[1])))
        return hr;
    if (FAILED(hr = AddFilterByClsid(FilterClass::ColorConverter, "Color Space Convertor 1", &m_pColorConverter1)))
        return hr;
    if (FAILED(hr = AddFilterByClsid(FilterClass::ColorConverter, "Color Space Convertor 2", &m_pColorConverter2)))
        return hr;
    const bool two = mode == 2;
    if (FAILED(hr = AddFilterByClsid(FilterClass::VideoRenderer, two ? "Mixing Renderer9-1" : "Mixing Renderer9",
                                     &m_pRenderer1)))
        return hr;
    SetUpRenderer(m_pRenderer1, 0, m_hWnd1);
    if (two) {
        if (FAILED(hr = AddFilterByClsid(FilterClass::VideoRenderer, "Mixing Renderer9-2", &m_pRenderer2))) return hr;
        SetUpRenderer(m_pRenderer2, 1, m_hWnd2);
    }

    ConnectAudio();
    ConnectVideoChain(m_pVideoDecoder1, m_pColorConverter1, m_pRenderer1);
    if (two) ConnectVideoChain(m_pVideoDecoder2, m_pColorConverter2, m_pRenderer2);
    return Finish();
}

HRESULT CDShowGraph::Finish()
{
    // Filters left unconnected stay out of the running graph: an unfed renderer would
    // otherwise hold every state change.
    for (GstElement* e : {m_pAudioDecoder, m_pAudioRenderer, m_pVideoDecoder1, m_pVideoDecoder2, m_pColorConverter1,
                          m_pColorConverter2, m_pRenderer1, m_pRenderer2})
        if (e && !HasLinkedSinkPad(e)) gst_element_set_locked_state(e, TRUE);
    const HRESULT hr = StopWhenReady();
    if (FAILED(hr)) return hr;
    std::int64_t d = 0;
    GetDuration(&d);
    return S_OK;
}

// Runs on the thread that posts: the end and errors are known at once, with no one polling,
// and the GUI thread is woken for them. Only what the waits look for is queued.
int CDShowGraph::OnBusMessage(_GstBus*, _GstMessage* msg, void* data)
{
    auto* self = static_cast<CDShowGraph*>(data);
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_ERROR:
        self->m_bError = true;
        [[fallthrough]];  // a stream that breaks off ends the recording there
    case GST_MESSAGE_EOS:
        self->m_bEos = true;
        self->m_relay->StoreEnd();
        return GST_BUS_PASS;
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_STEP_DONE: return GST_BUS_PASS;
    default: return GST_BUS_DROP;
    }
}

void CDShowGraph::DrainBus()
{
    if (!m_pGraphBuilder) return;
    GstBus* bus = gst_element_get_bus(m_pGraphBuilder);
    while (GstMessage* msg = gst_bus_pop(bus)) gst_message_unref(msg);
    gst_object_unref(bus);
    m_bError = false;
}

HRESULT CDShowGraph::WaitAsyncDone(int timeoutMs)
{
    const std::int64_t deadline = NowMs() + timeoutMs;
    GstBus* bus = gst_element_get_bus(m_pGraphBuilder);
    HRESULT hr = VFW_E_TIMEOUT;
    for (;;) {
        const GstStateChangeReturn r = gst_element_get_state(m_pGraphBuilder, nullptr, nullptr, 0);
        if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL) {
            hr = S_OK;
            break;
        }
        const std::int64_t left = deadline - NowMs();
        if (r == GST_STATE_CHANGE_FAILURE || m_bError) {
            hr = E_FAIL;
            break;
        }
        if (left <= 0) break;
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(left) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
        if (!msg) break;
        const bool done = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ASYNC_DONE;
        gst_message_unref(msg);
        if (!done) {
            hr = E_FAIL;
            break;
        }
        // The pipeline has its pictures; its state is committed right after it says so.
        const std::int64_t rest = std::max<std::int64_t>(deadline - NowMs(), 0);
        const GstStateChangeReturn after =
            gst_element_get_state(m_pGraphBuilder, nullptr, nullptr, static_cast<GstClockTime>(rest) * GST_MSECOND);
        if (after == GST_STATE_CHANGE_SUCCESS || after == GST_STATE_CHANGE_NO_PREROLL) {
            hr = S_OK;
            break;
        }
        if (after == GST_STATE_CHANGE_FAILURE) {
            hr = E_FAIL;
            break;
        }
    }
    gst_object_unref(bus);
    return hr;
}

HRESULT CDShowGraph::ChangeState(int gstState, int timeoutMs)
{
    if (!m_pGraphBuilder) return E_NOINTERFACE;
    DrainBus();
    const GstStateChangeReturn r = gst_element_set_state(m_pGraphBuilder, static_cast<GstState>(gstState));
    if (r == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    if (r == GST_STATE_CHANGE_ASYNC) return WaitAsyncDone(timeoutMs);
    return S_OK;
}

HRESULT CDShowGraph::Seek(std::int64_t pos100ns, double rate)
{
    if (!m_pGraphBuilder || !m_bBuilt) return E_FAIL;
    DrainBus();
    const std::int64_t reachable = m_pSource ? m_pSource->ReachableSeekTarget(pos100ns) : pos100ns;
    const gint64 ns = std::max<std::int64_t>(reachable, 0) * kNsPerUnit;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    // Cleared first: a short way to the end may be over before the seek call returns.
    m_bEos = false;
    if (!gst_element_seek(m_pGraphBuilder, rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, ns, GST_SEEK_TYPE_NONE,
                          GST_CLOCK_TIME_NONE))
        return E_FAIL;
    m_dAppliedRate = rate;
    m_bResync = false;
    return WaitAsyncDone(kStateTimeoutMs);
}

HRESULT CDShowGraph::Play()
{
    if (!m_bReady) return -1;
    if (m_nState != kStatePaused && m_nState != kStateStopped) return VFW_E_WRONG_STATE;
    if (!m_pGraphBuilder || !m_bBuilt) return VFW_E_WRONG_STATE;
    std::int64_t pos = 0, dur = 0;
    GetCurrentPosition(&pos);
    GetDuration(&dur);
    const bool atEnd = dur > 0 && pos == dur;
    double rate = 1.0;
    if (m_fRate != 1.0f) {
        m_fRate = std::clamp(m_fRate, 0.5f, 2.0f);
        if (std::isnan(m_fRate)) m_fRate = 1.0f;
        rate = m_fRate;
    }
    if (atEnd || rate != m_dAppliedRate || m_bResync) {
        const HRESULT hr = Seek(atEnd ? 0 : pos, rate);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = ChangeState(GST_STATE_PLAYING, kStateTimeoutMs);
    if (FAILED(hr)) return hr;
    m_nState = kStateRunning;
    return S_OK;
}

HRESULT CDShowGraph::Pause()
{
    if (!m_bReady) return -1;
    if (!m_pGraphBuilder) return E_NOINTERFACE;
    // A graph that never got its filters has nothing to pause.
    if (!m_bBuilt) return VFW_E_WRONG_STATE;
    const bool wasRunning = m_nState == kStateRunning;
    const HRESULT hr = ChangeState(GST_STATE_PAUSED, kStateTimeoutMs);
    if (FAILED(hr)) return hr;
    m_nState = kStatePaused;
    if (wasRunning) AlignRenderers();
    return S_OK;
}

// Stopping the clock catches each renderer wherever its own thread was: one may have
// shown the next picture while the other has not. Cue both again at the position.
void CDShowGraph::AlignRenderers()
{
    if (!m_pRenderer2 || !HasLinkedSinkPad(m_pRenderer2)) return;
    const auto a = m_relay->Last(0), b = m_relay->Last(1);
    if (!a || !b || a->positionMs == b->positionMs) return;
    std::int64_t pos = 0;
    GetCurrentPosition(&pos);
    // Where a seek can only land on an earlier key frame (an AVI that lost its index), cueing
    // again would take both pictures back by up to a second: they stay as they are.
    if (m_pSource && m_pSource->ReachableSeekTarget(pos) < pos) return;
    if (!m_bEos) Seek(pos, m_dAppliedRate);
}

HRESULT CDShowGraph::Stop(bool realign)
{
    if (!m_bReady) return -1;
    if (m_nState != kStateRunning && m_nState != kStatePaused) return VFW_E_WRONG_STATE;
    // Stopped keeps the position and the last picture, as paused does.
    const bool wasRunning = m_nState == kStateRunning;
    const HRESULT hr = ChangeState(GST_STATE_PAUSED, kStateTimeoutMs);
    if (FAILED(hr)) return hr;
    m_nState = kStateStopped;
    if (wasRunning && realign) AlignRenderers();
    return S_OK;
}

HRESULT CDShowGraph::StopWhenReady()
{
    if (!m_pGraphBuilder) return E_NOINTERFACE;
    const HRESULT hr = ChangeState(GST_STATE_PAUSED, kPrerollTimeoutMs);
    if (FAILED(hr)) return hr;
    m_nState = kStateStopped;
    m_bBuilt = 1;
    return S_OK;
}

HRESULT CDShowGraph::GetCurrentPosition(std::int64_t* out)
{
    if (!m_pGraphBuilder) return S_OK;
    if (!out) return E_POINTER;
    std::int64_t dur = 0;
    GetDuration(&dur);
    if (m_bEos && dur > 0) {
        *out = dur;
        return S_OK;
    }
    gint64 ns = 0;
    if (m_bBuilt && gst_element_query_position(m_pGraphBuilder, GST_FORMAT_TIME, &ns) && ns >= 0) {
        std::int64_t v = ns / kNsPerUnit;
        if (dur > 0 && v > dur) v = dur;
        *out = v;
    }
    return S_OK;
}

HRESULT CDShowGraph::GetDuration(std::int64_t* out)
{
    if (!m_pGraphBuilder) return S_OK;
    if (!out) return E_POINTER;
    if (m_llDuration == 0) {
        gint64 ns = 0;
        if (m_bBuilt && gst_element_query_duration(m_pGraphBuilder, GST_FORMAT_TIME, &ns) && ns > 0)
            m_llDuration = ns / kNsPerUnit;
        else if (m_pSource)
            m_llDuration = m_pSource->ProbedDuration();
    }
    *out = m_llDuration;
    return S_OK;
}

HRESULT CDShowGraph::SetPositionRaw(std::int64_t pos)
{
    if (!m_pGraphBuilder) return S_OK;
    std::int64_t dur = 0;
    GetDuration(&dur);
    if (pos < 0) pos = 0;
    if (dur > 0 && pos > dur) pos = dur;
    // A seek forward that can only land behind the picture on show (an AVI that lost its
    // index lands on key frames) stays where playback was.
    std::int64_t now = 0;
    GetCurrentPosition(&now);
    if (m_pSource && pos > now && m_pSource->ReachableSeekTarget(pos) < now) return S_OK;
    return Seek(pos, m_dAppliedRate);
}

HRESULT CDShowGraph::SetVolume(std::int32_t hundredthsDb)
{
    if (!m_pGraphBuilder) return S_OK;
    const double db = std::clamp(hundredthsDb, -10000, 0) / 100.0;
    m_dGain = std::pow(10.0, db / 20.0);
    m_dLevel = -1.0;
    ApplyOutputLevel();
    return S_OK;
}

// The process-wide output level (wave-out volume) comes after the player's own volume.
void CDShowGraph::ApplyOutputLevel()
{
    const double level = WaveOutLevel();
    if (!m_pVolume || level == m_dLevel) return;
    m_dLevel = level;
    g_object_set(m_pVolume, "volume", m_dGain * level, nullptr);
}

double CDShowGraph::LinearVolume() const
{
    if (!m_pVolume) return 1.0;
    gdouble v = 1.0;
    g_object_get(m_pVolume, "volume", &v, nullptr);
    return v;
}

HRESULT CDShowGraph::FrameStep(int frames)
{
    if (!m_pGraphBuilder || !m_bBuilt || !m_pRenderer1 || frames <= 0) return 0;
    if (m_nState == kStateRunning && FAILED(Pause())) return 0;
    DrainBus();
    if (m_bEos) return 0;
    // Both videos step together, so front and rear stay on the same frame.
    std::vector<GstElement*> sinks;
    for (GstElement* r : {m_pRenderer1, m_pRenderer2})
        if (r && HasLinkedSinkPad(r)) sinks.push_back(r);
    for (GstElement* s : sinks)
        gst_element_send_event(s, gst_event_new_step(GST_FORMAT_BUFFERS, static_cast<guint64>(frames), 1.0, TRUE, FALSE));
    m_bResync = true;

    std::size_t done = 0;
    const std::int64_t deadline = NowMs() + kStepTimeoutMs;
    GstBus* bus = gst_element_get_bus(m_pGraphBuilder);
    while (done < sinks.size()) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) break;
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(left) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_STEP_DONE | GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!msg) break;
        const bool stepped = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STEP_DONE;
        gst_message_unref(msg);
        if (!stepped) break;  // the end or an error: no more pictures to step to
        ++done;
    }
    gst_object_unref(bus);
    if (done < sinks.size()) return 0;
    WaitAsyncDone(kStateTimeoutMs);
    return 1;
}

HRESULT CDShowGraph::RepaintVideo(IVideoWindow* target)
{
    if (!m_pRenderer1) return 0;
    if (!target) return E_POINTER;
    if (auto f = m_relay->Last(0)) target->PresentFrame(f);
    target->Repaint();
    return S_OK;
}

HRESULT CDShowGraph::UpdateVideoPosition(int scale)
{
    auto fit = [scale](IVideoWindow* w) {
        w->SetVideoPosition(VideoRect{0, 0, w->ClientWidth() * scale, w->ClientHeight() * scale});
        w->Repaint();
    };
    if (m_pRenderer1 && m_hWnd1 && (m_nMode == 1 || m_nMode == 2)) fit(m_hWnd1);
    if (m_nMode == 2 && m_pRenderer2 && m_hWnd2) fit(m_hWnd2);
    return S_OK;
}

HRESULT CDShowGraph::GetCurrentImage(int index, std::vector<std::uint8_t>* dib)
{
    if (!dib) return E_POINTER;
    if (index == 0 ? !m_pRenderer1 : (index != 1 || m_nMode != 2 || !m_pRenderer2)) return E_FAIL;
    std::shared_ptr<const VideoFrame> f = m_relay->Last(index);
    if (!f || f->width <= 0 || f->height <= 0) return E_FAIL;

    const std::size_t rowBytes = static_cast<std::size_t>(f->width) * 4;
    dib->assign(40 + rowBytes * static_cast<std::size_t>(f->height), 0);
    auto put32 = [dib](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) (*dib)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);                                         // biSize
    put32(4, static_cast<std::uint32_t>(f->width));       // biWidth
    put32(8, static_cast<std::uint32_t>(f->height));      // biHeight > 0: bottom row first
    (*dib)[12] = 1;                                       // biPlanes
    (*dib)[14] = 32;                                      // biBitCount
    put32(20, static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(f->height)));  // biSizeImage
    for (int y = 0; y < f->height; ++y)
        std::memcpy(dib->data() + 40 + rowBytes * static_cast<std::size_t>(f->height - 1 - y),
                    f->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(f->stride), rowBytes);
    return S_OK;
}

HRESULT CDShowGraph::ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp)
{
    if (!m_pSource) return E_FAIL;
    return m_pSource->ReadDataSample(buffer, size, stamp);
}

HRESULT CDShowGraph::SetDecoderFlag(int index, int slot, bool flag)
{
    GstElement* d = index == 1 ? m_pVideoDecoder1 : index == 2 ? m_pVideoDecoder2 : nullptr;
    if (!d) return 0;
    m_aDecoderFlags[index - 1][slot] = flag;
    return S_OK;
}

HRESULT CDShowGraph::SetDecoderFlag1112(int index, bool flag) { return SetDecoderFlag(index, 0, flag); }

HRESULT CDShowGraph::SetDecoderFlag1113(int index, bool flag) { return SetDecoderFlag(index, 1, flag); }

bool CDShowGraph::DecoderFlag(int index, int param) const
{
    if (index < 1 || index > 2 || (param != 1112 && param != 1113)) return false;
    return m_aDecoderFlags[index - 1][param == 1112 ? 0 : 1];
}

bool CDShowGraph::HasElement(const char* name) const
{
    if (!m_pGraphBuilder || !name) return false;
    GstElement* e = gst_bin_get_by_name(GST_BIN(m_pGraphBuilder), name);
    if (!e) return false;
    const bool direct = GST_ELEMENT_PARENT(e) == m_pGraphBuilder;
    gst_object_unref(e);
    return direct;
}

void CDShowGraph::SetNotifyWindow(std::function<void()> complete)
{
    m_notify = std::move(complete);
    if (m_pGraphBuilder) m_relay->SetEndHandler(m_notify);
}

std::shared_ptr<const VideoFrame> CDShowGraph::LastFrame(int index) const
{
    return m_relay->Last(index);
}

HRESULT CDShowGraph::TearDown()
{
    if (!m_pGraphBuilder) return S_OK;
    m_relay->Detach();
    gst_element_set_state(m_pGraphBuilder, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(m_pGraphBuilder);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    m_notify = nullptr;
    m_nState = kStateStopped;
    for (GstElement** e : {&m_pAudioRenderer, &m_pRenderer1, &m_pRenderer2, &m_pVideoDecoder1, &m_pVideoDecoder2,
                           &m_pAudioDecoder})
        Release(*e);
    delete m_pSource;
    m_pSource = nullptr;
    Release(m_pColorConverter1);
    Release(m_pColorConverter2);
    Release(m_pVolume);
    for (GstElement*& q : m_queues) Release(q);
    m_queues.clear();
    Release(m_pGraphBuilder);
    m_bBuilt = 0;
    m_bEos = false;
    m_bError = false;
    m_bResync = false;
    m_dLevel = -1.0;
    return S_OK;
}
