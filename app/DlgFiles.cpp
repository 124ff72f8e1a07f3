// The painted seek band and the window drag, the list panel beside the window, and the
// recordings the user picks with OPEN.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "media/RecordingNames.h"
#include "platform/FileAccess.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/MouseKeys.h"
#include "settings/SetupTexts.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"
#include "views/VideoPane.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int kBandWidth = 537;
constexpr int kListPanelWidth = 256;
constexpr int kListPanelHeight = 720;

// Buttons and keys held during a mouse event, as the window messages carry them.
unsigned MouseFlags(const QMouseEvent* e) { return CVideoPane::KeyFlags(e->buttons(), e->modifiers()); }

bool InDragStrip(QPoint p) { return p.x() >= 0 && p.x() <= 1023 && p.y() >= 0 && p.y() <= 32; }

// Chosen files that are not listed, by reason.
struct PassedOver {
    int notRecording = 0;
    int unreadable = 0;
    int small = 0;
    int Total() const { return notRecording + unreadable + small; }
};

QString PassedOverText(int language, const PassedOver& p)
{
    QString text = ByLanguageOrEnglish(language, "선택한 파일 중 %1개를 목록에 넣지 않았습니다.",
                                       "%1 of the chosen files were passed over.",
                                       "選択したファイルのうち%1個は一覧に入れませんでした。")
                       .arg(p.Total());
    const auto line = [&](int count, const char* korean, const char* english, const char* japanese) {
        if (count > 0) text += QLatin1Char('\n') + ByLanguageOrEnglish(language, korean, english, japanese).arg(count);
    };
    line(p.notRecording, ".mp4 또는 .avi 파일이 아님: %1개", "Not an .mp4 or .avi file: %1",
         ".mp4または.aviファイルではない：%1個");
    line(p.unreadable, "읽을 수 없음: %1개", "Cannot be read: %1", "読み取れない：%1個");
    line(p.small, "10KB 이하: %1개", "10 KB or smaller: %1", "10KB以下：%1個");
    return text;
}

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
        // float rounds the longest duration up past the int range
        Item<CBitSlider>(IDC_SLIDER_POSITION)->setValue(static_cast<int>(std::min<double>(offset * perPixel, INT32_MAX)));
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

void CSamplePlayerDlg::KeepListPanelOnScreen()
{
    const QRect frame = frameGeometry();
    // The screen that holds the window is the one that shows the most of it.
    const QScreen* s = screen();
    qint64 shown = 0;
    for (const QScreen* candidate : QGuiApplication::screens()) {
        const QRect common = candidate->geometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > shown) {
            shown = area;
            s = candidate;
        }
    }
    if (!s) return;
    const QRect avail = s->availableGeometry();
    const QRect pair(frame.topLeft(), QSize(frame.width() + kListPanelWidth, std::max(frame.height(), kListPanelHeight)));
    // Back from the right and bottom edges first; on a screen too small for the pair the
    // main window's top left corner stays on it.
    QPoint to = pair.topLeft();
    to.rx() = std::max(avail.left(), std::min(to.x(), avail.right() + 1 - pair.width()));
    to.ry() = std::max(avail.top(), std::min(to.y(), avail.bottom() + 1 - pair.height()));
    if (to != pair.topLeft()) move(pos() + (to - pair.topLeft()));
}

void CSamplePlayerDlg::ToggleFileListPanel()
{
    if (!m_pListDlg) return;
    if (m_bListPanelShown == 0 && m_nScreenMode == kScreenNormal) KeepListPanelOnScreen();
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
    // The camera writes its names in either case; the dialog's patterns are case-sensitive.
    request.filter = QStringLiteral("mp4 files(*.mp4, *.avi) (*.mp4 *.avi *.MP4 *.AVI)");
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
    PassedOver passed;
    for (const QString& path : paths) {
        if (!HasRecordingExtension(path)) {
            ++passed.notRecording;
            continue;
        }
        // Tested for reading only: a card with its lock switch on still plays.
        qint64 size = 0;
        if (CheckRegularFile(path, &size) != FileCheck::Ok) {
            ++passed.unreadable;
            continue;
        }
        if (size / 1024 <= 10) {
            ++passed.small;
            continue;
        }

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
    if (passed.Total() > 0) ShowMessageBox(this, PassedOverText(m_nLanguage, passed), g_strVersionTitle, MB_OK);
    return false;
}
