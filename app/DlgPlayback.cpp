// Playback control: the transport commands, the 200 ms update and the two sliders.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "platform/WaveOut.h"
#include "views/ListDlg.h"
#include "views/PreviewLayer.h"
#include "views/MapGlobals.h"
#include "views/MapView.h"
#include "views/RearViewDlg.h"
#include "views/WebBrowser2.h"
#include "views/ZoomDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTimerEvent>

std::uint32_t CSamplePlayerDlg::VolumeWord(int level)
{
    const auto x = static_cast<std::uint32_t>(level * 655.35);
    return x + x * 65536u;
}

void CSamplePlayerDlg::SetWaveOutVolume(std::uint32_t word) { waveOutSetVolume(0, word); }

void CSamplePlayerDlg::SetPlayButtonPlaying(bool playing)
{
    auto* play = Item<CBitmapButton>(IDC_BTN_PLAY);
    if (playing) play->LoadBitmaps(426, 440, 0, 0);
    else play->LoadBitmaps(416, 417, 0, 0);
    play->SizeToContent();
    play->setText(playing ? "Pause" : "Play");
}

void CSamplePlayerDlg::StartPlaybackTimer()
{
    if (m_nTimerQtId) killTimer(m_nTimerQtId);
    m_nTimerQtId = startTimer(kPlaybackTimerMs, Qt::PreciseTimer);
}

void CSamplePlayerDlg::KillPlaybackTimer()
{
    if (m_nTimerQtId) killTimer(m_nTimerQtId);
    m_nTimerQtId = 0;
}

void CSamplePlayerDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimerQtId) OnTimer(kPlaybackTimerId);
    else QDialog::timerEvent(event);
}

void CSamplePlayerDlg::FocusListWindow()
{
    if (m_pListDlg && m_pListDlg->isVisible()) m_pListDlg->setFocus();
}

void CSamplePlayerDlg::ResetPaneZoom()
{
    m_pZoomDlg->Pane()->SetZoomLevel(1);
    m_pRearViewDlg->Pane()->SetZoomLevel(1);
}

void CSamplePlayerDlg::OnBnClickedExit()
{
    m_player.Stop();
    m_player.StopAndClose();
    KillPlaybackTimer();
    close();
}

void CSamplePlayerDlg::OnBnClickedMinimize() { showMinimized(); }

void CSamplePlayerDlg::OnBnClickedPlay()
{
    g_bThumbnailPaging = 0;
    m_pPreview->Clear();  // still frames give way to the video
    const PlayerState state = m_player.GetState();
    Item<CBitSlider>(IDC_SLIDER_VOLUME)->setValue(m_nVolume);
    m_player.SetVolume(m_nVolume);

    if (state == kStatePaused) {
        if (g_bListPlayRequest == 1) {
            OnBnClickedStop();
            OnBnClickedPlay();
            return;
        }
        SetPlayButtonPlaying(true);
        m_player.Play();
        m_player.SetRate(static_cast<float>(m_nPlayRate));
        FocusListWindow();
        StartPlaybackTimer();
    } else if (state == kStateRunning && g_bListPlayRequest == 0) {
        SetPlayButtonPlaying(false);
        m_player.Pause();
        FocusListWindow();
    } else {
        // Start from the list.
        m_viewFront->hide();
        m_viewRear->hide();
        if (ListRowCount() > 0) {
            const int row = ListFirstSelected();
            if (row < 0) return;
            if (row != m_nCurrentRow || m_bReopen == 1) {
                m_nCurrentRow = row;
                const QString path = ListRowText(row, 3);
                m_bReopen = 0;
                if (!OpenSelectedFile(path)) return;
            }
            SetPlayButtonPlaying(true);
            m_player.Play();
            m_player.SetRate(static_cast<float>(m_nPlayRate));
            StartPlaybackTimer();
            const auto duration = static_cast<std::int32_t>(m_player.GetDurationMs());
            Item<CBitSlider>(IDC_SLIDER_POSITION)->setRange(0, duration);
            Item<QLabel>(IDC_LABEL_DURATION)->setText(TimeText(duration));
            if (m_textData.m_aGSensorData.empty() && m_pGSensorDlg) m_pGSensorDlg->hide();
            ArrangeVideoPanes();
            GetDlgItem(IDC_BTN_PLAY)->update();
        }
        g_bThumbnailMode = 0;
        g_bListPlayRequest = 0;
        FocusListWindow();
    }
    if (m_nScreenMode == kScreenNormal) {
        // Nudge the visible map so that its page lays itself out again.
        QWidget* map = GetDlgItem(m_bMapProvider == 0 ? IDC_BROWSER : IDC_MAP_VIEW);
        map->setGeometry(5000, 5000, 345, 270);
        map->setGeometry(680, 354, 326, 353);
    }
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedStop()
{
    g_bThumbnailPaging = 0;
    g_nThumbnailOffset = 0;
    m_player.Stop();
    m_player.SeekMs(0);
    if (m_pGSensorDlg) m_pGSensorDlg->hide();
    m_viewFront->hide();
    m_viewRear->hide();
    auto* position = Item<CBitSlider>(IDC_SLIDER_POSITION);
    position->setValue(0);
    position->update();
    UpdateTimeLabels(0, 0);
    m_bReopen = 1;
    SetPlayButtonPlaying(false);
    m_player.StopAndClose();
    ClearPanes();  // a closed recording leaves no picture behind
    for (int id : {IDC_BTN_MAP_HIDE, IDC_BTN_MAP_SMALL}) {
        Item<CSkinButton>(id)->SetCheck(0);
        GetDlgItem(id)->update();
    }
    for (int id : {1152, 1150, 1151, 1153}) GetDlgItem(id)->update();
    m_nMapMode = 4;

    // The map goes back to its home point.
    Item<CMapView>(IDC_MAP_VIEW)->CallJScript(CMapView::DrawCurrentText(kMapHomeLongitude, kMapHomeLatitude));
    if (!CallFunctionWithParams(Item<CWebBrowser2>(IDC_BROWSER), DegreesToE6(kMapHomeLongitude),
                                DegreesToE6(kMapHomeLatitude)))
        return;
    g_nThumbnailPage = 0;
    g_bThumbnailMode = 0;
    GetDlgItem(IDC_BTN_STOP)->update();
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedPrev()
{
    ResetPaneZoom();
    if (m_nCurrentRow < 1 || ListRowCount() <= m_nCurrentRow - 1) return;
    --m_nCurrentRow;
    const QString path = ListRowText(m_nCurrentRow, 3);
    if (path.isEmpty()) return;
    ListSelectOnly(m_nCurrentRow);
    if (OpenSelectedFile(path)) OnBnClickedPlay();
    FocusListWindow();
}

void CSamplePlayerDlg::PlayNextFile()
{
    ResetPaneZoom();
    m_viewFront->hide();
    m_viewRear->hide();
    if (ListRowCount() <= m_nCurrentRow + 1) {
        OnBnClickedStop();
        FocusListWindow();
        return;
    }
    m_nCurrentRow = ListSelectionMark() + 1;
    const QString path = ListRowText(m_nCurrentRow, 3);
    if (!path.isEmpty()) {
        ListSelectOnly(m_nCurrentRow);
        if (OpenSelectedFile(path)) {
            m_viewFront->hide();
            m_viewRear->hide();
            OnBnClickedPlay();
        }
    }
    ResetPaneZoom();
    ArrangeVideoPanes();
    Item<CBitSlider>(IDC_SLIDER_VOLUME)->setValue(m_nVolume);
    m_player.SetVolume(m_nVolume);
    SetWaveOutVolume(VolumeWord(m_nVolume));
    if (Item<CSkinButton>(IDC_BTN_MUTE)->GetCheck()) SetWaveOutVolume(0);
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedStepBack()
{
    const PlayerState s = m_player.GetState();
    if (s != kStateRunning && s != kStatePaused) return;
    m_player.SeekBackward(1.0);
    UpdatePlayPosition();
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedStepForward()
{
    const PlayerState s = m_player.GetState();
    if (s != kStateRunning && s != kStatePaused) return;
    m_player.SeekForward(1.0);
    UpdatePlayPosition();
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedFrameStep()
{
    if (m_player.GetState() == kStateRunning) m_player.Pause();
    Item<CBitmapButton>(IDC_BTN_PLAY)->setText("Play");
    m_player.FrameStep(1);
}

void CSamplePlayerDlg::OnTimer(int nIDEvent)
{
    if (m_bSkipping) return;  // the skip over unplayable rows chooses the row; nothing to update
    if (nIDEvent == kPlaybackTimerId && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) UpdatePlayPosition();
    if (g_bListPlayRequest == 1) {
        OnBnClickedPlay();
        g_bListPlayRequest = 0;
    }
    if (g_bListCloseRequest == 1) {
        ToggleFileListPanel();
        g_bListCloseRequest = 0;
    }
    if (m_player.GetState() == kStateRunning) RunDashboardPainters();
}

void CSamplePlayerDlg::UpdatePlayPosition()
{
    const PlayerState state = m_player.GetState();
    const std::int64_t position = m_player.GetPositionMs();
    const std::int64_t duration = m_player.GetDurationMs();
    g_nPlayPositionMs = static_cast<std::int32_t>(position);
    g_nDurationMs = static_cast<std::int32_t>(duration);
    auto* slider = Item<CBitSlider>(IDC_SLIDER_POSITION);
    auto showAt = [&](std::int64_t p, std::int64_t d) {
        slider->setValue(static_cast<int>(p));
        UpdateTimeLabels(p, d);
    };

    if (state == kStateRunning) {
        // Playing, the position just read is the one to show (each reading asks the pipeline).
        const std::int64_t p = position;
        const std::int64_t d = duration;
        showAt(p, d);
        if (p >= d || p < 0) {
            PlayNextFile();
            return;
        }
        if (m_bMapProvider == 0) {
            for (const CGPSData& fix : m_textData.m_aGPSData) {
                if (fix.m_nStamp < static_cast<std::uint32_t>(p)) continue;
                if (fix.m_bValid) {
                    const std::int32_t x = DegreesToE6(fix.GetLongitude());
                    const std::int32_t y = DegreesToE6(fix.GetLatitude());
                    if (x != 0 && y != 0 && !CallFunctionWithParams(Item<CWebBrowser2>(IDC_BROWSER), x, y)) return;
                }
                break;
            }
        } else {
            Item<CMapView>(IDC_MAP_VIEW)->ShowCurrentPosition(static_cast<std::uint32_t>(p));
        }
        UpdateGSensorCursor(p);
        DrawSmartPanel();
        return;
    }
    if (state == kStatePaused || state == kStateStopped) {
        m_player.Pause();
        const std::int64_t p = m_player.GetPositionMs();
        const std::int64_t d = m_player.GetDurationMs();
        if (p >= d || p == 0) {
            slider->SetThumbOffset(1);
            showAt(p, d);
            PlayNextFile();
            return;
        }
        showAt(p, d);
        m_player.UpdateVideoPosition(1);
        RunDashboardPainters();
        Item<CMapView>(IDC_MAP_VIEW)->ShowCurrentPosition(static_cast<std::uint32_t>(p));
        Item<CMapView>(IDC_MAP_VIEW2)->ShowCurrentPosition(static_cast<std::uint32_t>(p));
        UpdateGSensorCursor(p);
    }
}

// The end is handled when the bus reports it, not at the next 200 ms look at the position.
// A drag of a slider is left to finish: the update then finds the end by itself.
void CSamplePlayerDlg::OnPlaybackComplete()
{
    if (m_bSkipping || (QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
    if (m_player.GetState() == kStateRunning) UpdatePlayPosition();
}

void CSamplePlayerDlg::OnHScroll(int nSBCode, int, QWidget* pScrollBar)
{
    auto* position = Item<CBitSlider>(IDC_SLIDER_POSITION);
    auto* volume = Item<CBitSlider>(IDC_SLIDER_VOLUME);
    if (pScrollBar == position) {
        if (nSBCode == TB_PAGEUP || nSBCode == TB_PAGEDOWN) {
            const int p = position->value();
            position->setValue(p);
            m_player.SeekMs(p);
            UpdatePlayPosition();
        } else if (nSBCode == TB_THUMBPOSITION || nSBCode == TB_THUMBTRACK) {
            const int p = position->value();
            position->setPageStep(g_nPlayPositionMs - p);
            m_player.SeekMs(p);
            UpdatePlayPosition();
        }
    } else if (pScrollBar == volume && nSBCode >= TB_PAGEUP && nSBCode <= TB_THUMBTRACK) {
        const int v = volume->value();
        auto* mute = Item<CSkinButton>(IDC_BTN_MUTE);
        if (v <= 0) {
            mute->SetCheck(1);
        } else {
            mute->SetCheck(0);
            m_nVolume = v;
        }
        SetWaveOutVolume(VolumeWord(v));
    }
    FocusListWindow();
}
