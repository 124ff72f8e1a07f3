#include "settings/NewSetupDlg.h"

#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"
#include "settings/AssistPages.h"
#include "settings/CardFiles.h"
#include "settings/InstallPages.h"
#include "settings/RecordingPages.h"
#include "settings/SetupFont.h"
#include "settings/SetupTexts.h"
#include "settings/SystemPages.h"
#include "settings/TimeZonePage.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace {

// Tab captions by language: index 0 Japanese, 1 English, 2 Korean.
const char* const kCaptions[3][5] = {
    {"運転支援", "ドライブレコーダー", "各種設定", "インストール", "時刻設定"},
    {"SmartCar", "BlackBox", "Setup", "Install", "GMT"},
    {"스마트카", "블랙박스", "환경설정", "차종설정", "GMT"},
};

// Pages shown by tabs 0..4 in each language (page indices of the fixed order).
constexpr int kPageOfTab[3][5] = {
    {10, 11, 12, 9, 4},
    {6, 7, 8, 5, 4},
    {1, 2, 3, 0, 4},
};

constexpr int kTabBarHeight = 21;

bool ValidLanguage(int language) { return language >= 0 && language <= 2; }

}  // namespace

// ---- tab control

CSetupTabCtrl::CSetupTabCtrl(QWidget* parent) : QWidget(parent), m_bar(new QTabBar(this))
{
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(false);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        if (m_bQuiet) return;
        const int previous = m_nCur;
        emit SelChanging(previous);
        m_nCur = index;
        emit SelChange(index);
    });
}

void CSetupTabCtrl::DeleteAllItems()
{
    m_bQuiet = true;
    while (m_bar->count() > 0) m_bar->removeTab(m_bar->count() - 1);
    m_bQuiet = false;
    m_nCur = -1;
}

void CSetupTabCtrl::InsertItem(int index, const QString& text)
{
    m_bQuiet = true;
    m_bar->insertTab(index, text);
    m_bQuiet = false;
    m_nCur = m_bar->currentIndex();
}

int CSetupTabCtrl::GetItemCount() const { return m_bar->count(); }
QString CSetupTabCtrl::GetItemText(int index) const { return m_bar->tabText(index); }
int CSetupTabCtrl::GetCurSel() const { return m_nCur; }

void CSetupTabCtrl::SetCurSel(int index)
{
    if (index < 0 || index >= m_bar->count()) return;
    m_bQuiet = true;
    m_bar->setCurrentIndex(index);
    m_bQuiet = false;
    m_nCur = index;
}

void CSetupTabCtrl::resizeEvent(QResizeEvent*)
{
    m_bar->setGeometry(2, 0, width() - 4, kTabBarHeight);
}

void CSetupTabCtrl::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    opt.rect = QRect(0, kTabBarHeight - 1, width(), height() - kTabBarHeight + 1);
    opt.shape = QTabBar::RoundedNorth;
    opt.tabBarSize = m_bar->sizeHint();
    p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
}

// ---- editor

CNewSetupDlg::CNewSetupDlg(const QString& drive, int language, QWidget* parent)
    : QDialog(parent), m_cDrive(drive.isEmpty() ? '\0' : drive.at(0).toLatin1()), m_nLanguage(language)
{
    setWindowTitle(QStringLiteral("Setup"));
    const QFont font = SetupDialogFont(language);
    setFont(font);
    setFixedSize(DialogUnitsToPixels(QRect(0, 0, 311, 265), font).size());
    m_tab = new CSetupTabCtrl(this);
    m_tab->setObjectName(QString::number(IDC_TAB));
    m_tab->setGeometry(DialogUnitsToPixels(QRect(7, 7, 297, 251), font));
    connect(m_tab, &CSetupTabCtrl::SelChanging, this, &CNewSetupDlg::OnSelChanging);
    connect(m_tab, &CSetupTabCtrl::SelChange, this, &CNewSetupDlg::OnSelChange);
}

CNewSetupDlg::~CNewSetupDlg()
{
    if (m_bInitDone && !m_bDestroyed) OnDestroy();
}

int CNewSetupDlg::DoModal()
{
    if (!m_bInitDone) OnInitDialog();
    return exec();
}

void CNewSetupDlg::showEvent(QShowEvent* e)
{
    if (!m_bInitDone) OnInitDialog();
    QDialog::showEvent(e);
}

void CNewSetupDlg::keyPressEvent(QKeyEvent* e)
{
    // Enter and Esc never close the editor: it closes from its caption bar only.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

int CNewSetupDlg::PageForTab(int language, int tab)
{
    if (!ValidLanguage(language) || tab < 0 || tab >= 5) return -1;
    return kPageOfTab[language][tab];
}

CSetupPage* CNewSetupDlg::TabPage(int language, int tab) const
{
    const int page = PageForTab(language, tab);
    return page >= 0 ? Page(page) : nullptr;
}

void CNewSetupDlg::InsertCaptions(int language)
{
    if (!ValidLanguage(language)) return;
    for (int i = 0; i < 5; ++i) m_tab->InsertItem(i, QString::fromUtf8(kCaptions[language][i]));
}

bool CNewSetupDlg::OnInitDialog()
{
    if (m_bInitDone) return true;
    m_bInitDone = true;
    m_tab->DeleteAllItems();
    InsertCaptions(m_nLanguage);

    m_pages = {new CTabOneDlg, new CTabTwoDlg, new CTabThreeDlg, new CTabFourDlg, new CTabFiveDlg,
               new CTabOneEngDlg, new CTabTwoEngDlg, new CTabThreeEngDlg, new CTabFourEngDlg,
               new CTabOneJpnDlg, new CTabTwoJpnDlg, new CTabThreeJpnDlg, new CTabFourJpnDlg};
    for (CSetupPage* page : m_pages) {
        page->Create(m_tab);
        page->setGeometry(3, 22, page->width(), page->height());
        page->hide();
    }
    static_cast<CTabFiveDlg*>(m_pages[4])->SetLanguage(m_nLanguage);

    LoadRecord();

    for (CSetupPage* page : m_pages) page->SetRecord(&m_record);

    m_tab->SetCurSel(0);
    ShowTabPage(m_nLanguage);
    return true;
}

void CNewSetupDlg::LoadRecord()
{
    const QString drive = m_cDrive ? QString(QLatin1Char(m_cDrive)) + QLatin1Char(':') : QString();
    SetupRecord read;
    const CardReadStatus status = ReadSetupFile(drive, &read);
    // Whatever opens is edited from its first 200 bytes, a longer file and another model's too.
    if (status == CardReadStatus::Ok) {
        m_record = read;
        m_loaded = m_record;
        return;
    }
    // Missing or shorter: pages never bind to bytes that were not read. They show the built-in
    // record, and the card's file is replaced only if the user saves.
    m_record = DefaultSetupRecord();
    m_loaded = m_record;
    m_bReplacedFile = true;
    const QString text = status == CardReadStatus::Missing
        ? ByLanguageOrEnglish(m_nLanguage,
              "SD 카드에 설정 파일이 없습니다. 기본 설정을 표시합니다. 저장하면 새 설정 파일이 만들어집니다.",
              "There is no setup file on the SD card. The default settings are shown; saving writes a new setup file.",
              "SDカードに設定ファイルがありません。初期設定を表示します。保存すると新しい設定ファイルを作成します。")
        : ByLanguageOrEnglish(m_nLanguage,
              "SD 카드의 설정 파일이 너무 짧아 읽을 수 없습니다. 기본 설정을 표시합니다. 저장할 때만 카드의 파일이 바뀝니다.",
              "The setup file on the SD card is too short to be read. The default settings are shown; the card's file is replaced only if you save.",
              "SDカードの設定ファイルが短すぎて読み込めません。初期設定を表示します。保存した場合のみカードのファイルを置き換えます。");
    ShowMessageBox(this, text, TitleOrEnglish(m_nLanguage), MB_OK | MB_ICONWARNING);
}

void CNewSetupDlg::ShowTabPage(int language)
{
    const int current = m_tab->GetCurSel();
    m_tab->DeleteAllItems();
    if (!ValidLanguage(language)) return;
    InsertCaptions(language);
    if (current >= 0) m_tab->SetCurSel(current);
    for (int tab = 0; tab < 5; ++tab)
        if (CSetupPage* p = TabPage(language, tab)) p->hide();
    if (CSetupPage* p = TabPage(language, current)) p->show();
}

void CNewSetupDlg::OnSelChanging(int current)
{
    if (CSetupPage* p = TabPage(m_nLanguage, current)) p->hide();
}

void CNewSetupDlg::OnSelChange(int selected)
{
    if (CSetupPage* p = TabPage(m_nLanguage, selected)) p->show();
}

void CNewSetupDlg::done(int result)
{
    if (m_bInitDone && !m_bDestroyed) OnDestroy();
    QDialog::done(result);
}

void CNewSetupDlg::OnDestroy()
{
    m_bDestroyed = true;
    if (m_record != m_loaded || m_bReplacedFile) {
        const int lang = m_record.Word(SetupWord::kLanguage);
        const QString text =
            ByLanguageOrEnglish(lang, "변경사항을 저장할까요?", "Do you want to save the changes?", "変更を保存しますか？");
        if (ShowMessageBox(this, text, TitleOrEnglish(lang), MB_YESNO | MB_ICONQUESTION) == IDYES) {
            if (m_record.Word(SetupWord::kWord95) == 0) m_record.SetWord(SetupWord::kWord95, 32400);
            const QString drive = QString(QLatin1Char(m_cDrive ? m_cDrive : '?')) + QLatin1Char(':');
            const CardWriteStatus st = WriteSetupFile(drive, m_record);
            if (st != CardWriteStatus::Ok)
                ShowMessageBox(this, SetupWriteFailedText(m_nLanguage, st == CardWriteStatus::ReadOnly, st == CardWriteStatus::Full),
                               TitleOrEnglish(m_nLanguage), MB_OK | MB_ICONERROR);
        }
    }
    for (CSetupPage*& page : m_pages) {
        delete page;
        page = nullptr;
    }
}
