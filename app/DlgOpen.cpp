// Opening a recording: the graph, the panes, and every data sample into the track tables.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/SkinButton.h"
#include "controls/BitmapButton.h"
#include "platform/ComResult.h"
#include "platform/MessageBox.h"
#include "platform/WaveOut.h"
#include "settings/CardLanguage.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"
#include "views/MapGlobals.h"
#include "views/MapView.h"
#include "views/RearViewDlg.h"
#include "views/WebBrowser2.h"
#include "views/ZoomDlg.h"

#include <QLabel>
#include <cstring>

namespace {
// A source that keeps answering something other than a sample, the end or a failure is
// treated as at its end after this many answers in a row, so the window never hangs.
constexpr int kMaxOddReads = 1000;
}  // namespace

bool CSamplePlayerDlg::OpenSelectedFile(QString path)
{
    m_player.SetSourceFlag(0);
    m_bReopen = 0;
    if (!m_player.OpenFile(path)) return false;
    // The earlier recording's pictures go; the new one's first pictures arrive from the player.
    ClearPanes();

    g_nPlayPositionMs = static_cast<std::int32_t>(m_player.GetPositionMs());
    g_nDurationMs = static_cast<std::int32_t>(m_player.GetDurationMs());
    const std::int32_t duration = g_nDurationMs;
    Item<CBitSlider>(IDC_SLIDER_POSITION)->setRange(0, duration);
    Item<QLabel>(IDC_LABEL_DURATION)->setText(TimeText(duration));

    Item<CBitSlider>(IDC_SLIDER_VOLUME)->setValue(m_nVolume);
    m_player.SetVolume(m_nVolume);
    SetWaveOutVolume(Item<CSkinButton>(IDC_BTN_MUTE)->GetCheck() ? 0u : 0x7FFF7FFFu);
    Item<CBitSlider>(IDC_SLIDER_1003)->setValue(5);
    Item<CBitSlider>(IDC_SLIDER_1112)->setValue(0);

    const int streams = m_player.GetVideoStreamCount();
    if (streams > 1 && m_nRearPane == kPaneHidden) m_nRearPane = kPaneSmall;
    m_nMapMode = 4;
    Item<CSkinButton>(IDC_BTN_MAP_HIDE)->SetCheck(0);
    Item<CSkinButton>(IDC_BTN_MAP_SMALL)->SetCheck(0);
    ArrangeVideoPanes();

    m_textData.m_aGSensorData.clear();
    m_textData.m_aGPSData.clear();
    g_nGRecordCount = 0;

    int samples = 0;
    int oddReads = 0;
    unsigned char buffer[kDataSampleBufferSize];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        std::uint32_t stamp = 0;
        std::int32_t size = static_cast<std::int32_t>(sizeof buffer);
        const int r = m_player.ReadDataSample(buffer, &size, &stamp);
        if (r == 0) {
            ++samples;
            oddReads = 0;
            const std::size_t length = size > 0 && size <= static_cast<std::int32_t>(sizeof buffer) ? size : sizeof buffer;
            m_textData.ParseLine(buffer, length, stamp);
            continue;
        }
        if (r == 38 || r == E_FAIL || ++oddReads >= kMaxOddReads) {
            if (samples > 0) break;
            // No data at all: the next row is tried first, then the user is told.
            if (ListRowCount() > m_nCurrentRow + 1) PlayNextFile();
            const QString text = m_nLanguage == 2 ? QString::fromUtf8("재생할 수 없는 파일입니다.\n파일명 : %1").arg(path)
                               : m_nLanguage == 1 ? QString("Invalid File.\nFile name : %1").arg(path)
                               : m_nLanguage == 0 ? QString::fromUtf8("ファイルを再生できません。: %1").arg(path)
                                                  : QString();
            if (ListRowCount() == m_nCurrentRow + 1) KillPlaybackTimer();
            ShowMessageBox(this, text, g_strVersionTitle, MB_OK);
            FocusListWindow();
            return false;
        }
    }

    m_textData.InterpolateGTrack();
    if (m_pGSensorDlg) m_pGSensorDlg->update();

    auto* mapSmall = Item<CSkinButton>(IDC_BTN_MAP_SMALL);
    auto* mapSize = GetDlgItem(IDC_BTN_MAP_SIZE);
    if (m_textData.m_aGPSData.empty()) {
        mapSmall->setEnabled(false);
        mapSize->setEnabled(false);
    } else {
        mapSmall->setEnabled(true);
        mapSmall->SetCheck(0);
        mapSize->setEnabled(true);
    }
    update();

    if (streams == 1) {
        m_nFrontPane = kPaneLarge;
        m_nRearPane = kPaneHidden;
    }
    const int row = ListSelectionMark();
    FocusListWindow();
    g_nCurrentRecord = row;
    ResetPaneZoom();
    ArrangeVideoPanes();
    OnBnClickedZoomIn();
    OnBnClickedZoomOut();
    g_strPlayingFileText = ListRowText(row, 0);
    return true;
}

QString CSamplePlayerDlg::TimeText(std::int64_t ms)
{
    const std::int64_t s = ms / 1000;
    return QString::asprintf("%02d:%02d:%02d", int(s / 3600), int(s % 3600 / 60), int(s % 3600 % 60));
}

void CSamplePlayerDlg::ClearPanes()
{
    m_pZoomDlg->Pane()->PresentFrame(nullptr);
    m_pRearViewDlg->Pane()->PresentFrame(nullptr);
}

bool CSamplePlayerDlg::CheckFiltersRegistered()
{
    const int r = m_player.CheckFilters();
    if (r >= 0) return true;
    const bool korean = m_nLanguage == 2;
    const QString caption = korean ? QString::fromUtf8("카르벤") : QString("VELMORA-21K");
    if (r == -1)
        ShowMessageBox(this, korean ? QString::fromUtf8("Source Filter가 등록되지 않았습니다.") : QString("Source Filter is not registered."),
                       caption, MB_OK);
    else if (r == -2)
        ShowMessageBox(this, korean ? QString::fromUtf8("Video Filter(ffdshow)가 등록되지 않았습니다.")
                                    : QString("Video Filter(ffdshow) is not registered."),
                       caption, MB_OK);
    return false;
}

void CSamplePlayerDlg::LoadLanguageFromCard(int request) { ::LoadLanguageFromCard(request, &m_nLanguage, &m_strCardPath); }

void CSamplePlayerDlg::LoadSpeedUnitFromCard(int request) { ::LoadSpeedUnitFromCard(request); }

void CSamplePlayerDlg::InitMapBrowsers()
{
    ::InitMapBrowsers(Item<CMapView>(IDC_MAP_VIEW), Item<CWebBrowser2>(IDC_BROWSER));
}
