#pragma once
// The main player window: a skinned, borderless dialog holding the player, the two video panes,
// the sliders, the bitmap buttons of every command, the map views and the time labels, and
// owning the recording list window beside it.
//
// The class is split by concern over several files: construction and start-up
// (SamplePlayerDlg.cpp), layout and screen modes (DlgLayout.cpp), playback and the 200 ms
// update (DlgPlayback.cpp), opening a recording (DlgOpen.cpp).
#include "media/DShowPlayer.h"
#include "media/TrackData.h"
#include "views/DashboardPainters.h"
#include "views/GraphDlg.h"

#include <QDialog>
#include <QImage>
#include <QMap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>

class CBitmapButton;
class CSkinButton;
class CBitSlider;
class CZoomDlg;
class CRearViewDlg;
class CListDlg;
class QLabel;
class CToolTipCtrl;
class CPreviewLayer;
class FrameGrabber;

// Screen, pane and map states.
inline constexpr int kScreenNormal = 1;
inline constexpr int kScreenFull = 2;
inline constexpr int kPaneHidden = 0;
inline constexpr int kPaneLarge = 1;
inline constexpr int kPaneSmall = 2;

extern int g_nLayoutMode;         // 0 normal, 1 full screen, 2 compact
extern QString g_strVersionTitle; // title of the main dialog's own message boxes
extern QString g_strCurrentFolder;
extern QString g_strPlayingFileText;
extern int g_bSkinKeep;
extern int g_bCardOpened;
extern int g_bThumbnailMode;
extern int g_bThumbnailPaging;
extern int g_nThumbnailOffset;
extern int g_nThumbnailPage;
extern QRect g_rcFullScreen;
extern QString g_strClickedFile;  // the recording last clicked in the hidden list, for the frame strip
extern int g_bFrameStripPending;  // 1 after that click, 0 once the strip is drawn

class CSamplePlayerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSamplePlayerDlg(QWidget* parent = nullptr);
    ~CSamplePlayerDlg() override;

    // Control by template id; null for an id the dialog does not have.
    QWidget* GetDlgItem(int id) const;
    template <typename T> T* Item(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    bool OnInitDialog();

    // Layout and screen modes.
    void FitWindowToSkin();
    int ArrangeControls(int mode);
    void ArrangeVideoPanes();
    void OnBnClickedFullScreen();
    void OnBnClickedScreenMode();
    void OnBnClickedSkinToggle();
    void OnBnClickedSwapView();
    void OnBnClickedMapSmall();
    void OnBnClickedMapHide();
    void OnBnClickedMapSize();
    void OnBnClicked1134();
    void OnBnClickedMapToggle();

    // Playback.
    void OnBnClickedExit();
    void OnBnClickedMinimize();
    void OnBnClickedPrev();
    void OnBnClickedPlay();
    void OnBnClickedStop();
    void PlayNextFile();
    void OnBnClickedStepBack();
    void OnBnClickedStepForward();
    void OnBnClickedFrameStep();
    void OnTimer(int nIDEvent);
    void UpdatePlayPosition();
    // The player's bus reports the end of the recording (called on the GUI thread).
    void OnPlaybackComplete();
    void OnHScroll(int nSBCode, int nPos, QWidget* pScrollBar);
    void UpdateTimeLabels(std::int64_t positionMs, std::int64_t durationMs);

    // Opening. A recording that cannot be played is reported and the next rows are tried.
    bool OpenSelectedFile(QString path);
    bool CheckFiltersRegistered();

    // The volume word given to the wave-out device for a level 0 .. 100.
    static std::uint32_t VolumeWord(int level);
    // "HH:MM:SS" of the whole seconds of a time in milliseconds.
    static QString TimeText(std::int64_t ms);
    // Timer 100 runs.
    bool PlaybackTimerRunning() const { return m_nTimerQtId != 0; }
    void KillPlaybackTimer();

    // Language and speed unit from the card, tool tips, the map browsers.
    void LoadLanguageFromCard(int request);
    void LoadSpeedUnitFromCard(int request);
    void SetupToolTips();
    void InitMapBrowsers();

    // The drive-data displays (DlgDashboard.cpp): the painters' persistent layer, the
    // driver-assistance panel, the graph-mode, change-screen and zoom buttons.
    void DrawSmartPanel();
    void OnBnClickedGraphMode();
    void OnBnClickedChangeScreen();
    void OnBnClickedZoomIn();
    void OnBnClickedZoomOut();
    // What the painters have drawn so far, over the skin in the normal layout.
    const QImage& DashboardLayer() const { return m_dashLayer; }
    int m_nGraphMode = 0;  // the strip's mode as the graph-mode button last set it

    // State, as the rest of the program reads it.
    CDShowPlayer m_player;
    CTextData m_textData;
    int m_nScreenMode = kScreenNormal;
    int m_nFrontPane = 0;
    int m_nRearPane = 0;
    int m_nMapMode = 0;
    std::int32_t m_nCurrentRow = -1;
    int m_nPlayRate = 1;
    unsigned char m_bListPanelShown = 0;
    QString m_strCardPath;
    QRect m_rcWindow;
    QWidget* m_pGSensorDlg = nullptr;
    CGraphDlg m_graphDlg;  // run modally by the GRAPH command
    CZoomDlg* m_pZoomDlg = nullptr;
    CRearViewDlg* m_pRearViewDlg = nullptr;
    QWidget* m_pRecoveryDlg = nullptr;
    CListDlg* m_pListDlg = nullptr;
    QWidget* m_pSetupDlg = nullptr;
    QImage m_bmpSkin;
    int m_nVolume = 0;
    unsigned char m_bMapProvider = 1;
    int m_nLanguage = 0;
    int m_bReopen = 0;

    // The two off-screen static windows of the template ("Video window1", "Video window2").
    QWidget* m_viewFront = nullptr;
    QWidget* m_viewRear = nullptr;

    // --- card, files and commands ---
    // The card and its recordings.
    void OnBnClickedSdOpen();
    bool FindRecordings(QString folder);
    bool RefreshFileList(int which);
    bool OpenSdCardFolder(QString path);
    // Seek band, window drag, list panel, chosen files.
    void OnLButtonDown(unsigned flags, QPoint point);
    void OnMouseMove(unsigned flags, QPoint point);
    void OnLButtonUp(unsigned flags, QPoint point);
    void OnNcMouseMove();
    void ToggleFileListPanel();
    // Moves the window so that it and the list docked at its right edge lie on the screen
    // that holds the window; nothing is resized.
    void KeepListPanelOnScreen();
    void OnBnClickedOpen();
    bool FillListFromFiles(const QStringList& paths);
    // The seek band of the current screen mode, inclusive bounds.
    QRect SeekBand() const;
    // Commands.
    void OnBnClickedSnapshot();
    void OnBnClickedMute();
    // path: the drive's root ("E:\"); event: the shell's code. Answers 0.
    int OnShellDriveChange(const QString& path, int event);
    void OnBnClickedGSensor();
    void OnBnClickedSetupPanel();
    void OnBnClickedRecovery();
    void OnBnClickedSetup();
    void OnBnClickedFormat();
    void OnBnClickedDownload();
    // Size class of a drive for the format (0, 2 .. 32); keeps the drive's figures below.
    int GetDiskSizeClass(const QString& drive, double figures[3]);
    unsigned m_nSectorsPerCluster = 0, m_nBytesPerSector = 0, m_nFreeClusters = 0, m_nTotalClusters = 0;
    int m_nDiskSizeValue = 0;
    void OnBnClickedFolderEvent();
    void OnBnClickedFolderNormal();
    void OnBnClickedFolderMotion();
    void OnBnClickedFolderManual();
    void OnBnClickedThumbNext();
    void OnBnClickedThumbPrev();
    void OnBnClicked1110();
    void OnBnClicked1111();
    void OnListRefresh1060();
    void OnListRefresh1021();
    void OnListRefresh1022();
    int OnNMDblclkFileList(int row);
    // Row colours of the hidden list: text and background of one row.
    void OnNMCustomdrawFileList(int row, unsigned* textColor, unsigned* backColor) const;

    // Windows of later work, each made on first use; empty until set.
    std::function<QWidget*()> createGSensorDlg, createSetupDlg;
    std::function<void()> showFolderThumbnails;
    class DriveMonitor* m_pDriveMonitor = nullptr;
    bool m_bWindowDragging = false;  // the window follows the mouse
    // --- end card ---

    // --- still-frame previews and the small commands ---
    int OnNMRDblclkFileList(int row);
    int OnNMClickFileList(int row);
    void ShowFolderThumbnails();
    void ShowFileFrameStrip();
    void OnBnClickedPrint();
    void OnBnClickedInfo();
    void OnBnClickedGraph();
    void OnBnClickedPlaySpeed();
    void OnBnClickedList();
    CToolTipCtrl* m_pToolTip = nullptr;
    CPreviewLayer* m_pPreview = nullptr;  // the still frames, above the video region
    int m_nTileX = 23;
    int m_nTileY = 100;
    // --- end previews ---

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DoDataExchange();
    void CreateChildViews();
    void ConnectCommands();
    void InitPositionSlider();
    void InitSlider1112();
    void InitVolumeSlider();
    void LoadButtonImages();
    void SetPlayButtonPlaying(bool playing);
    void StartPlaybackTimer();
    void SetWaveOutVolume(std::uint32_t word);
    void FocusListWindow();
    void InitSlider(int id, int afterId, int beforeId);
    void FillScreen();
    void RunDashboardPainters();
    void InitDashboard();
    void PaintDashboard();
    // Asks for the repaint of what the layer holds that was not shown yet.
    void ShowDashboardChanges();
    // A paint region that holds only the dashboard and what lies beneath the children.
    bool IsDashboardRegion(const QRegion& region) const;
    void UpdateGSensorCursor(std::int64_t positionMs);
    void ZoomLargePane(short delta);
    void LayOutForScreenMode();
    void ResetPaneZoom();
    void ClearPanes();
    // Opening: the message for a recording that cannot be played, empty when it opened with
    // its data; the rest of the open once the player holds it; the skip over the rows after
    // the current one until one plays, answering the skipped rows' messages.
    QString LoadRecording(const QString& path);
    bool LoadOpenedRecording();
    QStringList SkipToPlayableRow();
    // True when the open card's drive is gone (pulled out) and path lay on it.
    bool CardGoneUnder(const QString& path) const;
    bool m_bSkipping = false;
    QStringList m_aSkippedMessages;

    // The list window's visible list, as the playback commands use it.
    int ListRowCount() const;
    int ListSelectionMark() const;
    int ListFirstSelected() const;
    QString ListRowText(int row, int column) const;
    void ListSelectOnly(int row);

    enum class Vis { Show, Hide, Keep };
    void Place(int id, int x, int y, int w, int h, Vis vis);
    void SetVisible(int id, bool visible);

    QMap<int, QWidget*> m_controls;
    int m_nTimerQtId = 0;
    QImage m_dashLayer;          // the painters draw here at any time; the paint event shows it
    DashboardShown m_dashShown;  // what the painters drew on the layer, and what is to be shown of it
    int m_nSmartPicture = 448;   // the assistance panel's last picture
    std::array<int, 3> m_smartPanelShown{};  // picture, speed and unit the panel shows (none yet)

    // --- card, files and commands ---
    void ConnectCardCommands();
    void StartWindowDrag(QPoint globalPos);
    void ClearRecordingLists();
    void SelectFirstRow();
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QPoint m_ptDragOffset;  // press point relative to the window's top left
    // --- end card ---

    // --- still-frame previews and the small commands ---
    void ConnectSmallCommands();
    void ConnectButtons(std::initializer_list<std::pair<int, void (CSamplePlayerDlg::*)()>> commands);
    bool DrawFramePicture(FrameGrabber& grabber, int stream, double seconds, QRect target, QSize copy = QSize());
    void DrawThumbnailBackground();
    void ReselectListAndFocus();
    int m_nToolTipLanguage = -1;  // the language the tool tips were last added for
    // --- end previews ---
};
