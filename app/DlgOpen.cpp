// Opening a recording: the graph, the panes, and every data sample into the track tables.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/SkinButton.h"
#include "controls/BitmapButton.h"
#include "media/HVStreamParseFilter.h"
#include "platform/ComResult.h"
#include "platform/DriveMonitor.h"
#include "platform/DriveTable.h"
#include "platform/FileAccess.h"
#include "platform/MessageBox.h"
#include "platform/WaveOut.h"
#include "settings/CardLanguage.h"
#include "settings/SetupTexts.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"
#include "views/MapGlobals.h"
#include "views/MapView.h"
#include "views/RearViewDlg.h"
#include "views/WebBrowser2.h"
#include "views/ZoomDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <cstring>

namespace {
// A source that keeps answering something other than a sample, the end or a failure is
// treated as at its end after this many answers in a row, so the window never hangs.
constexpr int kMaxOddReads = 1000;

// Why a recording from the list cannot be played.
enum class PlayFailure { NoData, Missing, NotRegular, NoAccess, ReadError, Empty, Damaged };

PlayFailure FailureOf(FileCheck check)
{
    switch (check) {
    case FileCheck::Missing: return PlayFailure::Missing;
    case FileCheck::NotRegular: return PlayFailure::NotRegular;
    case FileCheck::NoAccess: return PlayFailure::NoAccess;
    default: return PlayFailure::ReadError;
    }
}

QString FailureReason(int language, PlayFailure failure)
{
    switch (failure) {
    case PlayFailure::Missing:
        return ByLanguageOrEnglish(language, "파일을 찾을 수 없습니다", "the file is not there any more",
                                   "ファイルが見つかりません");
    case PlayFailure::NotRegular:
        return ByLanguageOrEnglish(language, "일반 파일이 아닙니다 (폴더, 장치 또는 파이프)",
                                   "it is not a regular file (a folder, device or pipe)",
                                   "通常のファイルではありません（フォルダ、デバイスまたはパイプ）");
    case PlayFailure::NoAccess:
        return ByLanguageOrEnglish(language, "읽기 권한이 없습니다", "reading it is not permitted",
                                   "読み取りが許可されていません");
    case PlayFailure::Empty:
        return ByLanguageOrEnglish(language, "빈 파일입니다", "the file is empty", "ファイルが空です");
    case PlayFailure::Damaged:
        return ByLanguageOrEnglish(language, "파일이 손상되었거나 녹화 파일이 아닙니다",
                                   "it is damaged or is not a recording",
                                   "ファイルが壊れているか、録画ファイルではありません");
    default:
        return ByLanguageOrEnglish(language, "SD 카드를 읽을 수 없습니다", "the card could not be read",
                                   "SDカードを読み取れません");
    }
}

// The message for a recording that did not open; an unknown language reads English.
QString FailureText(int language, PlayFailure failure, const QString& path)
{
    if (failure == PlayFailure::NoData)
        return ByLanguageOrEnglish(language, "재생할 수 없는 파일입니다.\n파일명 : %1", "Invalid File.\nFile name : %1",
                                   "ファイルを再生できません。: %1")
            .arg(path);
    return ByLanguageOrEnglish(language, "재생할 수 없는 파일입니다 (%1).\n파일명 : %2",
                               "This file cannot be played: %1.\nFile name : %2", "ファイルを再生できません（%1）。: %2")
        .arg(FailureReason(language, failure), path);
}

}  // namespace

bool CSamplePlayerDlg::OpenSelectedFile(QString path)
{
    const QString failure = LoadRecording(path);
    if (failure.isEmpty()) return true;
    // A card pulled out while it played fails every row after this one: the window is reset
    // as the drive monitor resets it for the card's removal, instead of telling each row.
    if (CardGoneUnder(path)) {
        const QString root = m_strCardPath.left(2) + QLatin1Char('\\');
        QMetaObject::invokeMethod(
            this, [this, root] { OnShellDriveChange(root, SHCNE_DRIVEREMOVED); }, Qt::QueuedConnection);
        return false;
    }
    if (m_bSkipping) {
        // A row tried by the skip below: the skip goes on, the message waits for its end.
        m_aSkippedMessages.push_back(failure);
        return false;
    }
    // The next rows are tried first, then the user is told about each file passed over.
    QStringList messages = SkipToPlayableRow();
    messages.push_back(failure);
    if (ListRowCount() == m_nCurrentRow + 1 && m_player.GetState() != kStateRunning) KillPlaybackTimer();
    for (const QString& text : messages) ShowMessageBox(this, text, g_strVersionTitle, MB_OK);
    FocusListWindow();
    return false;
}

QStringList CSamplePlayerDlg::SkipToPlayableRow()
{
    // One row after the other, never by recursion: a card may hold thousands of such files.
    // The window keeps painting and its timers run between rows; input waits for the end.
    // Next goes on from the list's mark: it is put on the row that failed, so that no file is
    // tried, and told, twice.
    m_bSkipping = true;
    if (ListRowCount() > m_nCurrentRow + 1 && ListSelectionMark() != m_nCurrentRow) ListSelectOnly(m_nCurrentRow);
    while (ListRowCount() > m_nCurrentRow + 1) {
        const qsizetype before = m_aSkippedMessages.size();
        const int row = m_nCurrentRow;
        PlayNextFile();
        // The row played, had no path, or the list changed under the skip.
        if (m_aSkippedMessages.size() == before || m_nCurrentRow <= row) break;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    m_bSkipping = false;
    QStringList messages;
    // Latest first, as each file would have been reported once the next had started.
    for (qsizetype i = m_aSkippedMessages.size(); i-- > 0;) messages.push_back(m_aSkippedMessages.at(i));
    m_aSkippedMessages.clear();
    return messages;
}

QString CSamplePlayerDlg::LoadRecording(const QString& path)
{
    m_player.SetSourceFlag(0);
    m_bReopen = 0;
    // A file that cannot be read or holds no data track is told from its header alone, so a
    // folder of thousands of them is passed over quickly; the earlier recording closes as an
    // open of a broken file would close it.
    qint64 size = 0;
    const FileCheck check = CheckRegularFile(path, &size);
    PlayFailure failure = PlayFailure::Damaged;
    if (check != FileCheck::Ok) failure = FailureOf(check);
    else if (size == 0) failure = PlayFailure::Empty;
    else {
        const auto probe = HVStreamParseFilter::ProbeDataTrack(path);
        if (probe == HVStreamParseFilter::kNoDataTrack) failure = PlayFailure::NoData;
        else if (probe == HVStreamParseFilter::kHasDataTrack && m_player.OpenFile(path) &&
                 m_player.GetState() != kStateNotBuilt)  // no video track: nothing would ever play
            return LoadOpenedRecording() ? QString() : FailureText(m_nLanguage, PlayFailure::NoData, path);
    }
    m_player.StopAndClose();
    return FailureText(m_nLanguage, failure, path);
}

bool CSamplePlayerDlg::CardGoneUnder(const QString& path) const
{
    if (m_strCardPath.size() < 2 || m_strCardPath.at(1) != QLatin1Char(':')) return false;
    const std::optional<DriveInfo> drive = DriveTable::Find(m_strCardPath.at(0));
    if (drive && QFileInfo(drive->root).isDir()) return false;
    // Unmounted, or its folder gone: so is the folder that held the recording.
    return !QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

bool CSamplePlayerDlg::LoadOpenedRecording()
{
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
            return false;  // no data at all
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
    const int h = int(s / 3600), m = int(s % 3600 / 60), sec = int(s % 3600 % 60);
    // Built five times a second: the usual case by hand, what printf would widen by printf.
    if (h >= 0 && h <= 99 && m >= 0 && sec >= 0) {
        const QChar text[8] = {QChar(u'0' + h / 10), QChar(u'0' + h % 10), QChar(u':'), QChar(u'0' + m / 10),
                               QChar(u'0' + m % 10),  QChar(u':'),          QChar(u'0' + sec / 10), QChar(u'0' + sec % 10)};
        return QString(text, 8);
    }
    return QString::asprintf("%02d:%02d:%02d", h, m, sec);
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
