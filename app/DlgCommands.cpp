// The main window's smaller commands: snapshot, mute, the card pulled out, taking a card
// folder into use, the time labels, the windows made on first use, the folder and thumbnail
// buttons, the decoder options, the hidden list's handlers and the SETUP command.
#include "app/CardGlobals.h"
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"

#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "platform/DriveMonitor.h"
#include "platform/FileDialogs.h"
#include "platform/WaveOut.h"
#include "platform/MessageBox.h"
#include "repair/Recovery.h"
#include "settings/Download.h"
#include "settings/Format.h"
#include "settings/SelectDriveDlg.h"
#include "settings/SetupCommand.h"
#include "settings/SetupDlg.h"
#include "views/MapGlobals.h"
#include "views/ListDlg.h"
#include "views/VideoPane.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTreeWidget>

namespace {

// The picture as an image of its own, outliving the frame.
QImage FrameImage(const VideoFrame& f) { return CVideoPane::FrameImage(f).copy(); }

// "E:" of a drive path ("E:", "E:\", "E:\Event"); empty for anything else.
QString DriveOf(const QString& path)
{
    if (path.size() < 2 || path.at(1) != QLatin1Char(':') || !path.at(0).isLetter()) return QString();
    return path.left(2).toUpper();
}

}  // namespace

void CSamplePlayerDlg::ConnectCardCommands()
{
    const std::pair<int, void (CSamplePlayerDlg::*)()> commands[] = {
        {IDC_BTN_SDOPEN, &CSamplePlayerDlg::OnBnClickedSdOpen},
        {IDC_BTN_LIST_TOGGLE, &CSamplePlayerDlg::ToggleFileListPanel},
        {IDC_BTN_OPEN, &CSamplePlayerDlg::OnBnClickedOpen},
        {IDC_BTN_SNAPSHOT, &CSamplePlayerDlg::OnBnClickedSnapshot},
        {IDC_BTN_MUTE, &CSamplePlayerDlg::OnBnClickedMute},
        {IDC_BTN_GSENSOR, &CSamplePlayerDlg::OnBnClickedGSensor},
        {IDC_BTN_SETUP_PANEL, &CSamplePlayerDlg::OnBnClickedSetupPanel},
        {IDC_BTN_RECOVERY, &CSamplePlayerDlg::OnBnClickedRecovery},
        {IDC_BTN_SETUP, &CSamplePlayerDlg::OnBnClickedSetup},
        {IDC_BTN_FORMAT, &CSamplePlayerDlg::OnBnClickedFormat},
        {IDC_BTN_DOWN, &CSamplePlayerDlg::OnBnClickedDownload},
        {IDC_BTN_FOLDER_EVENT, &CSamplePlayerDlg::OnBnClickedFolderEvent},
        {IDC_BTN_FOLDER_NORMAL, &CSamplePlayerDlg::OnBnClickedFolderNormal},
        {IDC_BTN_FOLDER_MOTION, &CSamplePlayerDlg::OnBnClickedFolderMotion},
        {IDC_BTN_FOLDER_MANUAL, &CSamplePlayerDlg::OnBnClickedFolderManual},
        {IDC_BTN_THUMB_NEXT, &CSamplePlayerDlg::OnBnClickedThumbNext},
        {IDC_BTN_THUMB_PREV, &CSamplePlayerDlg::OnBnClickedThumbPrev},
        {IDC_BTN_1110, &CSamplePlayerDlg::OnBnClicked1110},
        {IDC_BTN_1111, &CSamplePlayerDlg::OnBnClicked1111},
    };
    for (const auto& [id, handler] : commands) {
        auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id));
        if (button) connect(button, &QAbstractButton::clicked, this, handler);
    }
    if (auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(IDC_LIST_FILES)))
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this, list](QTreeWidgetItem* item) { OnNMDblclkFileList(list->indexOfTopLevelItem(item)); });
    createSetupDlg = [this] { return new CSetupDlg(nullptr, [this] { return m_nLanguage; }); };
    m_pDriveMonitor = new DriveMonitor(this, [this](const QString& path, int event) { OnShellDriveChange(path, event); });
}

void CSamplePlayerDlg::OnBnClickedSnapshot()
{
    if (m_strCardPath.isEmpty()) return;
    const PlayerState state = m_player.GetState();
    if (state != kStateRunning && state != kStatePaused) return;
    VideoFrame front;
    if (!m_player.GetCurrentImage(0, &front)) return;
    const QImage frontImage = FrameImage(front);
    if (frontImage.isNull()) return;

    m_player.Pause();
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.owner = this;
    request.startPath = QStringLiteral("SamplePlayer.jpg");
    request.filter = QStringLiteral("jpeg file (*.jpg)");
    const QStringList chosen = RunFileDialog(request);
    if (!chosen.isEmpty() && !chosen.first().isEmpty()) {
        // The chosen name loses its extension (the dot and what follows) before the suffixes.
        QString base = chosen.first();
        const QFileInfo info(base);
        if (!info.suffix().isEmpty()) base.chop(info.suffix().size() + 1);
        frontImage.save(base + QStringLiteral("_front.jpg"), "JPEG");
        if (m_player.GetVideoStreamCount() > 1) {
            VideoFrame rear;
            if (m_player.GetCurrentImage(1, &rear)) {
                const QImage rearImage = FrameImage(rear);
                if (!rearImage.isNull()) rearImage.save(base + QStringLiteral("_rear.jpg"), "JPEG");
            }
        }
    }
    if (state == kStateRunning) m_player.Play();
}

void CSamplePlayerDlg::OnBnClickedMute()
{
    auto* mute = Item<CSkinButton>(IDC_BTN_MUTE);
    if (mute->GetCheck()) {
        SetWaveOutVolume(0);
        mute->SetCheck(1);
    } else {
        SetWaveOutVolume(VolumeWord(Item<CBitSlider>(IDC_SLIDER_VOLUME)->value()));
        mute->SetCheck(0);
    }
}

int CSamplePlayerDlg::OnShellDriveChange(const QString& path, int event)
{
    if (event != SHCNE_DRIVEREMOVED) return 0;  // media removed, drive added: nothing to do
    // The card path is the drive ("E:") or a folder on it ("E:\Event"); the event names the
    // drive's root ("E:\").
    const QString removed = DriveOf(path);
    if (removed.isEmpty() || removed != DriveOf(m_strCardPath)) return 0;

    m_player.Close();
    KillPlaybackTimer();
    ClearRecordingLists();
    m_strCardPath.clear();
    g_strCardDrive.clear();
    m_viewFront->hide();
    m_viewRear->hide();
    SetPlayButtonPlaying(false);
    Item<QLabel>(IDC_LABEL_POSITION)->setText(QStringLiteral("00:00:00"));
    Item<QLabel>(IDC_LABEL_DURATION)->setText(QStringLiteral("00:00:00"));
    auto* position = Item<CBitSlider>(IDC_SLIDER_POSITION);
    position->setValue(0);
    position->update();
    auto* volume = Item<CBitSlider>(IDC_SLIDER_VOLUME);
    volume->setValue(50);
    volume->update();
    SetWaveOutVolume(0x7FFF7FFF);
    auto* s1003 = Item<CBitSlider>(IDC_SLIDER_1003);
    s1003->setValue(5);
    s1003->update();
    update();
    return 0;
}

bool CSamplePlayerDlg::OpenSdCardFolder(QString path)
{
    m_strCardPath = path;
    RefreshFileList(1);  // clears the lists first
    g_bCardOpened = 1;
    return true;
}

void CSamplePlayerDlg::UpdateTimeLabels(std::int64_t positionMs, std::int64_t durationMs)
{
    for (auto [id, ms] : {std::pair<int, std::int64_t>{IDC_LABEL_POSITION, positionMs}, {IDC_LABEL_DURATION, durationMs}}) {
        auto* label = Item<QLabel>(id);
        const QString t = TimeText(ms);
        if (label->text() != t) label->setText(t);  // no flicker at every update
    }
}

void CSamplePlayerDlg::OnBnClickedGSensor()
{
    if (!m_pGSensorDlg && createGSensorDlg) m_pGSensorDlg = createGSensorDlg();
    if (!m_pGSensorDlg) return;
    m_pGSensorDlg->show();
    m_pGSensorDlg->update();
}

void CSamplePlayerDlg::OnBnClickedSetupPanel()
{
    if (g_bCardOpened != 1) return;
    if (!m_pSetupDlg && createSetupDlg) m_pSetupDlg = createSetupDlg();
    if (!m_pSetupDlg) return;
    g_szSetupDrive = g_strCardDrive.left(3);  // setup.cfg goes to the opened card's root
    m_pSetupDlg->show();
    if (const QScreen* s = m_pSetupDlg->screen()) {
        QRect r = m_pSetupDlg->frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        m_pSetupDlg->move(r.topLeft());
    }
    m_pSetupDlg->update();
}

void CSamplePlayerDlg::OnBnClickedRecovery()
{
    if (!m_pRecoveryDlg) {
        m_pRecoveryDlg = new CRecovery(nullptr);
        m_pRecoveryDlg->move(380, 250);
        m_pRecoveryDlg->resize(400, 170);  // a dialog of fixed size keeps its own
    }
    m_pRecoveryDlg->show();
    m_pRecoveryDlg->update();
}

void CSamplePlayerDlg::OnBnClickedSetup()
{
    SetupCommandHooks hooks;
    hooks.setupToolTips = [this] { SetupToolTips(); };
    hooks.playerState = [this] { return static_cast<int>(m_player.GetState()); };
    hooks.togglePlayPause = [this] { OnBnClickedPlay(); };
    hooks.finish = [this] {
        m_bMapProvider = 1;
        QWidget* map = GetDlgItem(IDC_MAP_VIEW);
        QWidget* browser = GetDlgItem(IDC_BROWSER);
        ::PlaceMapWindows(m_bMapProvider, map, browser);
        map->update();
        browser->update();
        FocusListWindow();
    };
    RunSetupCommand(this, &m_nLanguage, &m_strCardPath, hooks);
}

namespace {
// The folder words of the folder buttons, appended to the card's drive.
constexpr const char* kFolderEvent = "Event";
constexpr const char* kFolderNormal = "Normal";
constexpr const char* kFolderMotion = "Motion";
constexpr const char* kFolderManual = "Manual";

// Lists one folder of the card; before any card is known the user picks the drive.
void ListCardFolder(CSamplePlayerDlg* dlg, const char* word)
{
    if (g_strCardDrive.isEmpty()) {
        CSelectDriveDlg picker(dlg);
        if (picker.DoModal() != IDOK) return;
        g_strCardDrive = picker.m_strDrive;  // "E:\ SD CARD": its first three characters are the root
    }
    dlg->m_strCardPath = g_strCardDrive.left(3) + QLatin1String(word);
    dlg->RefreshFileList(1);
}
}  // namespace

void CSamplePlayerDlg::OnBnClickedFolderEvent() { ListCardFolder(this, kFolderEvent); }
void CSamplePlayerDlg::OnBnClickedFolderNormal() { ListCardFolder(this, kFolderNormal); }
void CSamplePlayerDlg::OnBnClickedFolderMotion() { ListCardFolder(this, kFolderMotion); }
void CSamplePlayerDlg::OnBnClickedFolderManual() { ListCardFolder(this, kFolderManual); }

void CSamplePlayerDlg::OnBnClickedFormat()
{
    FormatCommandHooks hooks;
    hooks.setPanes = [this] {
        m_nFrontPane = kPaneLarge;
        m_nRearPane = kPaneHidden;
    };
    hooks.playerRunning = [this] { return m_player.GetState() == kStateRunning; };
    hooks.togglePlayPause = [this] { OnBnClickedPlay(); };
    hooks.diskSizeClass = [this](const QString& drive, double figures[3]) { return GetDiskSizeClass(drive, figures); };
    hooks.focusList = [this] { FocusListWindow(); };
    RunFormatCommand(this, m_nLanguage, hooks);
}

int CSamplePlayerDlg::GetDiskSizeClass(const QString& drive, double figures[3])
{
    DriveTable::DiskFreeSpace space;
    const int sizeClass = ::GetDiskSizeClass(drive, figures, &space, &m_nDiskSizeValue);
    if (space.bytesPerSector != 0) {  // figures read: keep them
        m_nSectorsPerCluster = space.sectorsPerCluster;
        m_nBytesPerSector = space.bytesPerSector;
        m_nFreeClusters = space.freeClusters;
        m_nTotalClusters = space.totalClusters;
    }
    return sizeClass;
}

void CSamplePlayerDlg::OnBnClickedDownload()
{
    DownloadHooks hooks;
    hooks.listedCount = [this] { return m_pListDlg ? CListDlg::GetItemCount(m_pListDlg->GetMasterList()) : 0; };
    hooks.playerRunning = [this] { return m_player.GetState() == kStateRunning; };
    hooks.stopPlayer = [this] { OnBnClickedStop(); };
    hooks.selectedPath = [this] { return ListRowText(ListSelectionMark(), 3); };
    hooks.reopenLater = [this] { m_bReopen = 1; };
    hooks.focusList = [this] { FocusListWindow(); };
    RunDownloadCommand(this, m_nLanguage, hooks);
}

void CSamplePlayerDlg::OnBnClickedThumbNext()
{
    if (g_bThumbnailPaging != 1 || g_strCurrentFolder.isEmpty()) return;
    ++g_nThumbnailPage;
    g_nThumbnailOffset += 10;
    if (showFolderThumbnails) showFolderThumbnails();
}

void CSamplePlayerDlg::OnBnClickedThumbPrev()
{
    if (g_bThumbnailPaging != 1 || g_strCurrentFolder.isEmpty() || g_nThumbnailOffset == 0) return;
    --g_nThumbnailPage;
    g_nThumbnailOffset -= 10;
    if (showFolderThumbnails) showFolderThumbnails();
}

// Both options are switched on whatever the button shows: the buttons are push buttons that
// never hold a check, and the decoder has always been given 1 here.
void CSamplePlayerDlg::OnBnClicked1110()
{
    (void)Item<CSkinButton>(IDC_BTN_1110)->GetCheck();
    m_player.SetDecoderFlag1112(2, true);
}

void CSamplePlayerDlg::OnBnClicked1111()
{
    (void)Item<CSkinButton>(IDC_BTN_1111)->GetCheck();
    m_player.SetDecoderFlag1113(2, true);
}

void CSamplePlayerDlg::OnListRefresh1060() { RefreshFileList(2); }
void CSamplePlayerDlg::OnListRefresh1021() { RefreshFileList(3); }
void CSamplePlayerDlg::OnListRefresh1022() { RefreshFileList(4); }

int CSamplePlayerDlg::OnNMDblclkFileList(int row)
{
    g_bThumbnailPaging = 0;
    const QString path = ListRowText(row, 3);
    if (path.isEmpty()) return 0;
    m_viewFront->hide();
    m_viewRear->hide();
    m_nCurrentRow = row;
    if (!OpenSelectedFile(path)) {
        m_nCurrentRow = -1;
        return 0;
    }
    m_viewFront->hide();
    m_viewRear->hide();
    OnBnClickedPlay();
    auto* play = Item<CBitmapButton>(IDC_BTN_PLAY);
    play->LoadBitmaps(426, 440, 0, 0);
    play->SizeToContent();
    if (m_pListDlg) {
        QTreeWidget* list = m_pListDlg->GetVisibleList();
        list->clearSelection();
        m_pListDlg->SetSelectionMark(row);
        list->setFocus();
        list->update();
    }
    return 0;
}

void CSamplePlayerDlg::OnNMCustomdrawFileList(int row, unsigned* textColor, unsigned* backColor) const
{
    // Rows whose ninth column marks a reset or a finished recording are drawn black on black.
    const QString mark = ListRowText(row, 9);
    if (mark.contains(QLatin1String("RST")) || mark.contains(QLatin1String("FIN"))) {
        if (textColor) *textColor = 0;
        if (backColor) *backColor = 0;
    } else if (textColor) {
        *textColor = 0xFFFFFF;
    }
}
