// The painted seek band and the window drag, the list panel beside the window, and the
// recordings the user picks with OPEN.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "media/RecordingNames.h"
#include "platform/FileDialogs.h"
#include "platform/MouseKeys.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"
#include "views/VideoPane.h"

#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QWindow>

namespace {

constexpr int kBandWidth = 537;
constexpr int kListPanelWidth = 256;
constexpr int kListPanelHeight = 720;

// Buttons and keys held during a mouse event, as the window messages carry them.
unsigned MouseFlags(const QMouseEvent* e) { return CVideoPane::KeyFlags(e->buttons(), e->modifiers()); }

bool InDragStrip(QPoint p) { return p.x() >= 0 && p.x() <= 1023 && p.y() >= 0 && p.y() <= 32; }

}  // namespace

QRect CSamplePlayerDlg::SeekBand() const
{
    if (m_nScreenMode == kScreenFull) {
        const int h = height();
        return QRect(QPoint(25, h - 70), QPoint(562, h - 50));
    }
    return QRect(QPoint(105, 415), QPoint(642, 445));
}

void CSamplePlayerDlg::OnLButtonDown(unsigned, QPoint point)
{
    const QRect band = SeekBand();
    const std::int64_t duration = m_player.GetDurationMs();
    if (point.y() >= band.top() && point.y() <= band.bottom()) {
        if (point.x() < band.left() || point.x() > band.right()) return;
        const int offset = point.x() - band.left();
        const float perPixel = m_player.GetState() == kStateNotBuilt ? 100.0f / kBandWidth
                                                                       : static_cast<float>(duration) / kBandWidth;
        Item<CBitSlider>(IDC_SLIDER_POSITION)->setValue(static_cast<int>(offset * perPixel));
        m_player.SeekMs(static_cast<std::int32_t>(duration * offset / kBandWidth));
        return;
    }
    if (InDragStrip(point) && m_nScreenMode != kScreenFull) {
        StartWindowDrag(mapToGlobal(point));
        FocusListWindow();
    }
}

void CSamplePlayerDlg::OnMouseMove(unsigned flags, QPoint point)
{
    if (flags != MK_LBUTTON) return;  // a key or another button held: no seek, no drag
    const QRect band = SeekBand();
    if (point.y() >= band.top() && point.y() <= band.bottom()) {
        if (point.x() >= band.left() && point.x() <= band.right()) OnLButtonDown(flags, point);
        FocusListWindow();
    } else if (InDragStrip(point) && m_nScreenMode != kScreenFull) {
        StartWindowDrag(mapToGlobal(point));
        FocusListWindow();
    }
}

void CSamplePlayerDlg::OnLButtonUp(unsigned, QPoint) { FocusListWindow(); }

void CSamplePlayerDlg::OnNcMouseMove() {}

// The window follows the mouse as if its caption were dragged: the window system's own move
// where it offers one, else the window is moved by the following mouse moves.
void CSamplePlayerDlg::StartWindowDrag(QPoint globalPos)
{
    if (m_bWindowDragging) return;
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_bWindowDragging = true;
    m_ptDragOffset = globalPos - frameGeometry().topLeft();
}

void CSamplePlayerDlg::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) OnLButtonDown(MouseFlags(event), event->position().toPoint());
}

void CSamplePlayerDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bWindowDragging) {
        if (event->buttons() & Qt::LeftButton) {
            move(event->globalPosition().toPoint() - m_ptDragOffset);
            return;
        }
        m_bWindowDragging = false;
    }
    OnMouseMove(MouseFlags(event), event->position().toPoint());
    QDialog::mouseMoveEvent(event);
}

void CSamplePlayerDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_bWindowDragging = false;
        OnLButtonUp(MouseFlags(event), event->position().toPoint());
    }
    QDialog::mouseReleaseEvent(event);
}

void CSamplePlayerDlg::ToggleFileListPanel()
{
    if (!m_pListDlg) return;
    const QRect r = frameGeometry();
    const int right = r.x() + r.width();
    m_pListDlg->setGeometry(right, r.top(), kListPanelWidth, kListPanelHeight);
    m_pListDlg->update();

    auto* toggle = Item<CBitmapButton>(IDC_BTN_LIST_TOGGLE);
    if (m_bListPanelShown == 1) {
        toggle->LoadBitmaps(340, 340, 340, 0);
        m_pListDlg->hide();
        m_bListPanelShown = 0;
        g_bListCloseRequest = 0;
    } else {
        toggle->LoadBitmaps(342, 342, 342, 0);
        m_pListDlg->show();
        m_pListDlg->update();
        m_bListPanelShown = 1;
    }
    toggle->update();
}

void CSamplePlayerDlg::OnBnClickedOpen()
{
    LoadLanguageFromCard(-1);
    SetupToolTips();
    m_nFrontPane = kPaneLarge;
    m_nRearPane = kPaneSmall;
    if (m_player.GetState() == kStateRunning) OnBnClickedPlay();  // pauses

    FileDialogRequest request;
    request.kind = FileDialogKind::OpenMany;
    request.owner = this;
    request.startPath = QStringLiteral("*.avi");
    request.filter = QStringLiteral("mp4 files(*.mp4, *.avi) (*.mp4 *.avi)");
    const QStringList paths = RunFileDialog(request);
    if (!paths.isEmpty()) {
        FillListFromFiles(paths);
        SelectFirstRow();
        if (m_bListPanelShown == 0) ToggleFileListPanel();
        OnBnClickedStop();
        OnBnClickedPlay();  // opens and starts row 0
    }
    FocusListWindow();
}

bool CSamplePlayerDlg::FillListFromFiles(const QStringList& paths)
{
    ClearRecordingLists();
    if (!m_pListDlg) return false;
    QTreeWidget* view = m_pListDlg->GetVisibleList();
    QTreeWidget* master = m_pListDlg->GetMasterList();
    int k = 0;
    for (const QString& path : paths) {
        if (!path.contains(QLatin1String(".avi"))) continue;
        // Opened for writing too: a file the user cannot change (read-only, or on a
        // write-protected card) is passed over. The read-only mark is honoured even where the
        // open alone would ignore it (the administrator).
        QFile file(path);
        if (!(QFileInfo(path).permissions() & QFileDevice::WriteOwner)) continue;
        if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) continue;
        if (file.size() / 1024 <= 10) continue;

        RecordingRecord record;
        record.m_strPath = path;
        QString dateTime;
        SplitRecordingName(path, &dateTime, &record.m_strField2, &record.m_strField3, &record.m_strField4,
                           &record.m_strLast);
        record.m_strDateTime = StampDateTime(dateTime);
        StoreRecording(k, record);  // past the table's end the row is listed, the table kept
        ++k;

        const QString date = StampDate(dateTime);
        const QString time = StampTime(dateTime);
        CListDlg::AppendRow(view, date, time, QStringLiteral("File"), path);
        CListDlg::AppendRow(master, date, time, QStringLiteral("File"), path);
    }
    m_pListDlg->RefreshList();
    return false;
}
