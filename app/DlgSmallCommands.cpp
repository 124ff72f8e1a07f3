// The main window's small commands outside playback: the tool tips of the buttons in the
// user's language, the about box (INFO), printing the window (PRINT), the graph window
// (GRAPH), double speed (X2) and the list window (LIST); and the buttons and hidden-list
// notifications of the still-frame previews.
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"

#include "controls/BitmapButton.h"
#include "controls/ToolTipCtrl.h"
#include "platform/MessageBox.h"
#include "settings/SetupTexts.h"
#include "views/InfoDialog.h"
#include "views/ListDlg.h"
#include "views/PreviewLayer.h"
#include "views/PrintScreen.h"

#include <QMouseEvent>
#include <QTreeWidget>

namespace {

struct ToolTipText {
    int id;
    const char *english, *korean, *japanese;
};
constexpr ToolTipText kToolTips[] = {
    {1194, "Open an existing file", "파일열기", "ファイルを開く"},
    {1012, "Open an existing file on SD Card", "SD 카드 열기", "SDカード内のファイルを開く"},
    {1121, "Zoom In", "확대", "ズームイン"},
    {3021, "Zoom Out", "축소", "ズームアウト"},
    {1041, "Front View <-> Rear View", "화면전환", "前方⇔後方"},
    {1201, "SD Card Format", "SD 카드 포맷", "SDカードフォーマット"},
    {1195, "Device setup", "설정", "デバイス設定"},
    {1198, "Print page", "출력", "ページ印刷"},
    {1196, "Show graphs in detail", "그래프 자세히 보기", "グラフ表示"},
    {1020, "Change graph mode", "그래프 모드 전환", "グラフモード変更"},
    {1197, "Download data", "재생중인 파일 저장", "データダウンロード"},
    {1199, "About Software", "소프트웨어 정보", "ソフトウェアについて"},
    {1007, "Stop", "정지", "停止"},
    {1005, "Show previous file", "이전 파일", "前のファイルを表示"},
    {1006, "Play / Pause", "재생 / 일시정지", "再生/一時停止"},
    {1008, "Show next file", "다음 파일", "次のファイルを表示"},
    {1206, "Play speed", "재생 속도", "速度再生"},
    {1019, "Google Map <-> Naver Map", "구글지도 <-> 네이버지도", "グーグルマップ"},
};

// The hidden list's right double-click, which the list has no signal for.
class RightDoubleClickFilter : public QObject {
public:
    RightDoubleClickFilter(QTreeWidget* list, std::function<void(int)> handler)
        : QObject(list), m_list(list), m_handler(std::move(handler))
    {
        list->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick) {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::RightButton) {
                QTreeWidgetItem* item = m_list->itemAt(e->position().toPoint());
                m_handler(item ? m_list->indexOfTopLevelItem(item) : -1);
                return true;
            }
        }
        return false;
    }

private:
    QTreeWidget* m_list;
    std::function<void(int)> m_handler;
};

}  // namespace

void CSamplePlayerDlg::ConnectSmallCommands()
{
    m_pToolTip = new CToolTipCtrl(this);
    m_pPreview = new CPreviewLayer(this);
    showFolderThumbnails = [this] { ShowFolderThumbnails(); };
    ConnectButtons({
        {IDC_BTN_FOLDER_THUMBS, &CSamplePlayerDlg::ShowFolderThumbnails},
        {IDC_BTN_FRAME_STRIP, &CSamplePlayerDlg::ShowFileFrameStrip},
        {IDC_BTN_GRAPH, &CSamplePlayerDlg::OnBnClickedGraph},
        {IDC_BTN_PRINT, &CSamplePlayerDlg::OnBnClickedPrint},
        {IDC_BTN_INFO, &CSamplePlayerDlg::OnBnClickedInfo},
        {IDC_BTN_PLAY_SPEED, &CSamplePlayerDlg::OnBnClickedPlaySpeed},
        {IDC_BTN_LIST, &CSamplePlayerDlg::OnBnClickedList},
    });
    if (auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(IDC_LIST_FILES))) {
        connect(list, &QTreeWidget::itemClicked, this,
                [this, list](QTreeWidgetItem* item) { OnNMClickFileList(list->indexOfTopLevelItem(item)); });
        new RightDoubleClickFilter(list, [this](int row) { OnNMRDblclkFileList(row); });
    }
}

void CSamplePlayerDlg::ConnectButtons(std::initializer_list<std::pair<int, void (CSamplePlayerDlg::*)()>> commands)
{
    for (const auto& [id, handler] : commands)
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id)))
            connect(button, &QAbstractButton::clicked, this, handler);
}

void CSamplePlayerDlg::SetupToolTips()
{
    if (m_nLanguage == m_nToolTipLanguage) return;
    m_nToolTipLanguage = m_nLanguage;
    if (m_nLanguage < 0 || m_nLanguage > 2) return;
    for (const ToolTipText& t : kToolTips)
        m_pToolTip->AddTool(GetDlgItem(t.id), ByLanguage(m_nLanguage, t.korean, t.english, t.japanese));
}

void CSamplePlayerDlg::ReselectListAndFocus()
{
    if (m_pListDlg) m_pListDlg->SetSelectionMark(m_pListDlg->GetSelectionMark());
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedInfo()
{
    if (m_nLanguage == 2) {
        CInfoDialog box(this);
        box.exec();
    } else if (m_nLanguage == 1 || m_nLanguage == 0) {
        CInfoEngDlg box(this);
        box.exec();
    }
    ReselectListAndFocus();
}

void CSamplePlayerDlg::OnBnClickedPrint()
{
    CPrintScreen print(QString(), windowTitle());
    print.PrintWindowImage(1, 0, true);
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedGraph()
{
    QTreeWidget* list = m_pListDlg ? m_pListDlg->GetVisibleList() : nullptr;
    if (ListRowCount() > 0) {
        if (m_graphDlg.DoModal() == QDialog::Rejected && list) list->setFocus();  // closed with cancel
    } else {
        const QString text = ByLanguageOrEnglish(m_nLanguage, "선택된 파일이 없습니다.", "File is not selected.",
                                                 "ファイルが選択されていません。");
        ShowMessageBox(this, text, TitleOrEnglish(m_nLanguage), MB_ICONWARNING);
    }
    if (list) list->setFocus();
}

void CSamplePlayerDlg::OnBnClickedPlaySpeed()
{
    if (m_player.GetState() == kStateRunning) {
        auto* button = Item<CBitmapButton>(IDC_BTN_PLAY_SPEED);
        if (m_nPlayRate == 1) {
            button->LoadBitmaps(421, 442, 0, 0);
            m_player.SetRate(2.0f);
            m_nPlayRate = 2;
        } else if (m_nPlayRate == 2) {
            button->LoadBitmaps(420, 420, 0, 0);
            m_player.SetRate(1.0f);
            m_nPlayRate = 1;
        }
        button->update();
    }
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedList()
{
    ToggleFileListPanel();
    ReselectListAndFocus();
}
