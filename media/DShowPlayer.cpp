#include "media/DShowPlayer.h"

#include "platform/Registry.h"

#include <algorithm>
#include <climits>
#include <cmath>

CDShowPlayer::CDShowPlayer()
{
    // Other programs of the camera maker look for this mark; a failed write is harmless.
    Registry::SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavoris", "usingDShow", 1);
}

CDShowPlayer::~CDShowPlayer()
{
    Close();
}

void CDShowPlayer::Init(int mode, IVideoWindow* hwnd1, IVideoWindow* hwnd2)
{
    m_nMode = mode;
    m_hWnd1 = hwnd1;
    m_hWnd2 = hwnd2;
    if (!m_pGraph) {
        m_pGraph = std::make_unique<CDShowGraph>(m_nMode, m_hWnd1, m_hWnd2);
        m_pGraph->Reset(1);
    }
}

int CDShowPlayer::OpenFile(const QString& path)
{
    if (!m_hWnd1 || path.isNull()) return 0;
    // The old graph goes at once: stopping and seeking it to the start first would only
    // decode pictures nobody sees, and the new graph starts at the start by itself.
    Close();
    m_pGraph = std::make_unique<CDShowGraph>(m_nMode, m_hWnd1, m_hWnd2);
    m_pGraph->Reset(m_bSourceFlag);
    m_pGraph->SetNotifyWindow(m_notify);
    const HRESULT hr = m_pGraph->BuildGraph(path);
    // A build that broke off (a filter missing, no first picture) is a failed open too:
    // such a graph could never play.
    if (hr == 1 || FAILED(hr)) {
        Close();
        return 0;
    }
    return 1;
}

void CDShowPlayer::SetNotifyWindow(std::function<void()> complete)
{
    m_notify = std::move(complete);
    if (m_pGraph) m_pGraph->SetNotifyWindow(m_notify);
}

void CDShowPlayer::Close()
{
    if (!m_pGraph) return;
    m_pGraph->TearDown();
    m_pGraph.reset();
}

int CDShowPlayer::StopAndClose()
{
    if (m_pGraph) m_pGraph->Stop(false);
    Close();
    return 1;
}

int CDShowPlayer::CheckFilters()
{
    if (!m_pGraph || !FilterRegistered(FilterClass::Source)) return -1;
    if (!FilterRegistered(FilterClass::VideoDecoder)) return -2;
    if (!FilterRegistered(FilterClass::AacDecoder)) return -3;
    if (!FilterRegistered(FilterClass::Brightness)) return -4;
    return 1;
}

PlayerState CDShowPlayer::GetState() const
{
    return m_pGraph ? m_pGraph->State() : kStateNoGraph;
}

int CDShowPlayer::GetVideoStreamCount() const
{
    return m_pGraph ? m_pGraph->VideoStreams() : 0;
}

std::int64_t CDShowPlayer::GetPositionMs()
{
    if (!m_pGraph) return 0;
    std::int64_t pos = 0;
    m_pGraph->GetCurrentPosition(&pos);
    return pos / 10000;
}

std::int64_t CDShowPlayer::GetDurationMs()
{
    if (!m_pGraph) return 0;
    std::int64_t dur = 0;
    m_pGraph->GetDuration(&dur);
    // Callers keep milliseconds in 32 bits; only a damaged header claims more than 24 days.
    return std::min<std::int64_t>(dur / 10000, INT32_MAX);
}

int CDShowPlayer::Play()
{
    if (!m_pGraph) return 1;
    return SUCCEEDED(m_pGraph->Play()) ? 1 : 0;
}

int CDShowPlayer::Pause()
{
    if (!m_pGraph) return 1;
    return SUCCEEDED(m_pGraph->Pause()) ? 1 : 0;
}

int CDShowPlayer::Stop()
{
    if (!m_pGraph) return 1;
    return SUCCEEDED(m_pGraph->Stop()) ? 1 : 0;
}

int CDShowPlayer::SeekMs(std::int32_t ms)
{
    if (!m_pGraph || !m_pGraph->HasPipeline()) return 1;
    return SUCCEEDED(m_pGraph->SetPositionRaw(static_cast<std::int64_t>(ms) * 10000)) ? 1 : 0;
}

int CDShowPlayer::SeekBackward(double seconds)
{
    if (!m_pGraph) return 0;
    const PlayerState s = m_pGraph->State();
    if (s != kStateRunning && s != kStatePaused) return 0;
    std::int64_t pos = 0;
    if (FAILED(m_pGraph->GetCurrentPosition(&pos))) return 0;
    std::int64_t target = pos - static_cast<std::int64_t>(seconds * 10000000.0);
    if (target < 0) target = 0;
    return SUCCEEDED(m_pGraph->SetPositionRaw(target)) ? 1 : 0;
}

int CDShowPlayer::SeekForward(double seconds)
{
    if (!m_pGraph) return 0;
    const PlayerState s = m_pGraph->State();
    if (s != kStateRunning && s != kStatePaused) return 0;
    std::int64_t pos = 0, dur = 0;
    if (FAILED(m_pGraph->GetCurrentPosition(&pos)) || FAILED(m_pGraph->GetDuration(&dur))) return 0;
    std::int64_t target = pos + static_cast<std::int64_t>(seconds * 10000000.0);
    if (target > dur) target = dur;
    return SUCCEEDED(m_pGraph->SetPositionRaw(target)) ? 1 : 0;
}

int CDShowPlayer::RefreshFrame()
{
    if (!m_pGraph || m_pGraph->State() == kStateRunning) return 1;
    if (!m_pGraph->IsBuilt()) return 1;
    std::int64_t pos = 0;
    if (FAILED(m_pGraph->GetCurrentPosition(&pos))) return 0;
    return SUCCEEDED(m_pGraph->SetPositionRaw(pos)) ? 1 : 0;
}

int CDShowPlayer::SetRate(float rate)
{
    if (!m_pGraph) return 0;
    const PlayerState was = m_pGraph->State();
    m_pGraph->Pause();
    m_pGraph->SetRateValue(rate);
    if (was == kStateRunning) m_pGraph->Play();
    return 1;
}

std::int32_t CDShowPlayer::VolumeToHundredthsDb(std::int32_t volume)
{
    if (volume < 0) volume = 0;
    if (volume > 100) volume = 100;
    const float v = static_cast<float>(volume) / 100.0f;
    return static_cast<std::int32_t>(std::trunc(1000.0 * std::log10(1e-10 + v * (1.0 - 1e-10))));
}

int CDShowPlayer::SetVolume(std::int32_t volume)
{
    if (!m_pGraph) return 1;
    return SUCCEEDED(m_pGraph->SetVolume(VolumeToHundredthsDb(volume))) ? 1 : 0;
}

int CDShowPlayer::FrameStep(std::int32_t frames)
{
    if (!m_pGraph) return 1;
    return m_pGraph->FrameStep(frames);
}

int CDShowPlayer::RepaintVideo(IVideoWindow* target)
{
    if (!m_hWnd1 || !target) return 0;
    if (m_pGraph) m_pGraph->RepaintVideo(target);
    return 1;
}

int CDShowPlayer::UpdateVideoPosition(int scale)
{
    if (m_pGraph) m_pGraph->UpdateVideoPosition(scale);
    return 0;
}

int CDShowPlayer::GetCurrentImage(int index, VideoFrame* bitmap)
{
    if (!m_pGraph) return 1;
    if (!bitmap) return 0;
    std::vector<std::uint8_t> dib;
    if (FAILED(m_pGraph->GetCurrentImage(index, &dib)) || dib.size() < 40) return 0;
    auto get32 = [&dib](std::size_t at) {
        return static_cast<std::int32_t>(dib[at] | dib[at + 1] << 8 | dib[at + 2] << 16 |
                                         static_cast<std::uint32_t>(dib[at + 3]) << 24);
    };
    const int width = get32(4);
    const int height = get32(8);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (width <= 0 || height <= 0 || dib.size() < 40 + rowBytes * static_cast<std::size_t>(height)) return 0;
    // The DIB holds the bottom row first; the bitmap wants the top row first.
    bitmap->width = width;
    bitmap->height = height;
    bitmap->stride = static_cast<int>(rowBytes);
    bitmap->pixels.resize(rowBytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(dib.data() + 40 + rowBytes * static_cast<std::size_t>(height - 1 - y), rowBytes,
                    bitmap->pixels.data() + rowBytes * static_cast<std::size_t>(y));
    auto last = m_pGraph->LastFrame(index);
    bitmap->positionMs = last ? last->positionMs : -1;
    return 1;
}

int CDShowPlayer::ReadDataSample(std::uint8_t* buffer, std::int32_t* size, std::uint32_t* stamp)
{
    if (!m_pGraph) return 1;
    return m_pGraph->ReadDataSample(buffer, size, stamp);
}

void CDShowPlayer::SetSourceFlag(std::uint8_t flag)
{
    m_bSourceFlag = flag;
    if (m_pGraph) m_pGraph->SetSourceFlag(flag);
}

int CDShowPlayer::SetDecoderFlag1112(int index, bool flag)
{
    if (!m_pGraph) return 1;
    return m_pGraph->SetDecoderFlag1112(index, flag);
}

int CDShowPlayer::SetDecoderFlag1113(int index, bool flag)
{
    if (!m_pGraph) return 1;
    return m_pGraph->SetDecoderFlag1113(index, flag);
}

std::shared_ptr<const VideoFrame> CDShowPlayer::LastFrame(int index) const
{
    return m_pGraph ? m_pGraph->LastFrame(index) : nullptr;
}
