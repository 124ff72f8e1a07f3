// The main window's small commands: the buttons' tool tips in each language, the about boxes,
// GRAPH with and without recordings, X2 only while playing, LIST docking the list window, and
// PRINT putting the window's picture on a PDF page.
#include "CardTestSupport.h"

#include "controls/BitmapButton.h"
#include "controls/GuiTest.h"
#include "controls/ToolTipCtrl.h"
#include "platform/Resources.h"
#include "views/GraphDlg.h"
#include "views/InfoDialog.h"
#include "views/PrintTestSupport.h"

#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace cardtest;

namespace {

class SmallCommands : public MainWindowTest {
protected:
    void TearDown() override
    {
        SetPrintSeam({});
        MainWindowTest::TearDown();
    }
    void SetLanguage(int language)
    {
        dlg->m_nLanguage = language;
        dlg->SetupToolTips();
    }
    // The text the tool tip shows when the mouse rests on the control.
    QString HoverText(int id)
    {
        QWidget* w = dlg->GetDlgItem(id);
        QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &e);
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->inherits("QTipLabel") && top->isVisible()) return qobject_cast<QLabel*>(top)->text();
        return QString();
    }
};

TEST_F(SmallCommands, ToolTipsInEachLanguageAddedOnce)
{
    Start();  // no card: Japanese
    CToolTipCtrl* tips = dlg->m_pToolTip;
    EXPECT_EQ(tips->GetToolCount(), 18);
    struct Case {
        int language;
        QString open, speed, map;
    } cases[] = {
        {1, "Open an existing file", "Play speed", "Google Map <-> Naver Map"},
        {2, "파일열기", "재생 속도", "구글지도 <-> 네이버지도"},
        {0, "ファイルを開く", "速度再生", "グーグルマップ"},
    };
    for (const Case& c : cases) {
        SetLanguage(c.language);
        SetLanguage(c.language);  // the second call adds nothing
        EXPECT_EQ(tips->GetToolCount(), 18);
        EXPECT_EQ(dlg->GetDlgItem(IDC_BTN_OPEN)->toolTip(), c.open);
        EXPECT_EQ(dlg->GetDlgItem(IDC_BTN_PLAY_SPEED)->toolTip(), c.speed);
        EXPECT_EQ(HoverText(IDC_BTN_MAP_TOGGLE), c.map);
    }
}

TEST_F(SmallCommands, AboutBoxFollowsTheLanguage)
{
    Start();
    struct Case {
        int language;
        const char* box;
        QString caption;
    } cases[] = {
        {2, "CInfoDialog", QString::fromUtf8("소프트웨어 정보")},
        {1, "CInfoEngDlg", "About Software"},
        {0, "CInfoEngDlg", "About Software"},
        {5, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        dlg->m_nLanguage = c.language;
        QString shown, caption, version, release, texts;
        QSize logo;
        QTimer::singleShot(50, [&] {
            QDialog* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box) return;
            shown = box->metaObject()->className();
            caption = box->windowTitle();
            const bool korean = shown == "CInfoDialog";
            auto item = [&](int ko, int en) {
                return korean ? static_cast<CInfoDialog*>(box)->GetDlgItem(ko) : static_cast<CInfoEngDlg*>(box)->GetDlgItem(en);
            };
            auto* v = qobject_cast<QLineEdit*>(item(CInfoDialog::IDC_VERSION, CInfoEngDlg::IDC_VERSION));
            auto* r = qobject_cast<QLineEdit*>(item(CInfoDialog::IDC_RELEASE, CInfoEngDlg::IDC_RELEASE));
            EXPECT_FALSE(v->isVisible());
            EXPECT_TRUE(v->isReadOnly());
            version = v->text();
            release = r->text();
            logo = item(CInfoDialog::IDC_LOGO, CInfoEngDlg::IDC_LOGO)->size();
            for (QLabel* l : box->findChildren<QLabel*>())
                if (l->isVisible()) texts += l->text() + "|";
            SaveArtefact(box, korean ? "about_korean" : "about_english");
            QTest::mouseClick(qobject_cast<QPushButton*>(item(1, 1)), Qt::LeftButton);  // OK
        });
        dlg->OnBnClickedInfo();
        QTest::qWait(100);
        EXPECT_EQ(shown, c.box);
        EXPECT_EQ(caption, c.caption);
        if (shown.isEmpty()) continue;
        EXPECT_EQ(version, "1.0.60");
        EXPECT_EQ(release, "2016/06/01");
        EXPECT_EQ(logo, LoadBitmapResource(478).size());
        if (shown == "CInfoEngDlg")
            EXPECT_EQ(texts, QString("VELMORA-21K Viewer v 1.0.8|") + CInfoEngDlg::kWebAddress + "|");
        else
            EXPECT_EQ(texts, "Velmora 21 Viewer|");
    }
}

TEST_F(SmallCommands, GraphWarnsWithAnEmptyListAndRunsTheWindowOtherwise)
{
    Start();
    // Closes the graph window once it runs, counting the runs.
    int runs = 0;
    auto closeGraphWindow = [&] {
        QTimer::singleShot(50, [&] {
            if (auto* graph = qobject_cast<CGraphDlg*>(QApplication::activeModalWidget())) {
                ++runs;
                graph->reject();
            }
        });
    };
    struct Case {
        int language;
        QString text, title;
    } cases[] = {
        {2, QString::fromUtf8("선택된 파일이 없습니다."), QString::fromUtf8("카르벤")},
        {1, "File is not selected.", "VELMORA-21K"},
        {0, QString::fromUtf8("ファイルが選択されていません。"), QString::fromUtf8("ベルモラ-21K")},
    };
    for (const Case& c : cases) {
        boxes.clear();
        dlg->m_nLanguage = c.language;
        closeGraphWindow();
        Click(IDC_BTN_GRAPH);
        QTest::qWait(100);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].style, MB_ICONWARNING);
    }
    EXPECT_EQ(runs, 0);

    boxes.clear();
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", Scratch() + "/x.mp4");
    closeGraphWindow();
    Click(IDC_BTN_GRAPH);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SmallCommands, DoubleSpeedOnlyWhilePlaying)
{
    Start();
    auto* x2 = dlg->Item<CBitmapButton>(IDC_BTN_PLAY_SPEED);
    const QImage normal = LoadBitmapResource(420), lit = LoadBitmapResource(421);
    Click(IDC_BTN_PLAY_SPEED);  // nothing open
    EXPECT_EQ(dlg->m_nPlayRate, 1);

    const QString path = Recording(Scratch() + "/x2/20170811_123456_NI.mp4", 1, recgen::Container::Mp4, 6000);
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", path);
    dlg->m_pListDlg->SetSelectionMark(0);
    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    Click(IDC_BTN_PLAY_SPEED);
    EXPECT_EQ(dlg->m_nPlayRate, 2);
    EXPECT_EQ(dlg->m_player.Graph()->Rate(), 2.0f);
    EXPECT_EQ(x2->GetNormalImage(), lit);

    dlg->OnBnClickedPlay();  // pause
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    Click(IDC_BTN_PLAY_SPEED);
    EXPECT_EQ(dlg->m_nPlayRate, 2);  // paused: unchanged

    dlg->OnBnClickedPlay();
    Click(IDC_BTN_PLAY_SPEED);
    EXPECT_EQ(dlg->m_nPlayRate, 1);
    EXPECT_EQ(dlg->m_player.Graph()->Rate(), 1.0f);
    EXPECT_EQ(x2->GetNormalImage(), normal);
}

TEST_F(SmallCommands, ListCommandDocksAndUndocksTheListWindow)
{
    Start();
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", Scratch() + "/a.mp4");
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:35:56", "Event", Scratch() + "/b.mp4");
    dlg->m_pListDlg->SetSelectionMark(1);
    auto* list = dlg->Item<QAbstractButton>(IDC_BTN_LIST);  // parked off-screen: clicked by program
    const bool before = dlg->m_bListPanelShown;
    list->click();
    EXPECT_NE(dlg->m_bListPanelShown, before);
    EXPECT_EQ(dlg->m_pListDlg->isVisible(), dlg->m_bListPanelShown == 1);
    if (dlg->m_bListPanelShown) {
        EXPECT_EQ(dlg->m_pListDlg->x(), dlg->frameGeometry().right() + 1);
    }
    EXPECT_EQ(dlg->m_pListDlg->GetSelectionMark(), 1);
    list->click();
    EXPECT_EQ(dlg->m_bListPanelShown, before);
    EXPECT_EQ(dlg->m_pListDlg->isVisible(), before == 1);
    EXPECT_EQ(dlg->m_pListDlg->GetSelectionMark(), 1);
}

TEST_F(SmallCommands, PrintPutsTheWindowOnThePage)
{
    Start();
    const QString pdf = printtest::Scratch() + "/window.pdf";
    QFile::remove(pdf);
    PrintSeam seam;
    seam.foregroundWindow = [this] { return dlg.get(); };
    bool dialogAsked = false;
    seam.choosePrinter = [&](QWidget*, bool showDialog, int, bool*) {
        dialogAsked = showDialog;
        return printtest::PdfPrinter(pdf, QPageLayout::Landscape);
    };
    SetPrintSeam(seam);
    const QImage window = dlg->grab().toImage();
    Click(IDC_BTN_PRINT);
    EXPECT_TRUE(dialogAsked);
    const printtest::Page page = printtest::ReadBack(pdf);
    EXPECT_EQ(page.pages, 1);
    EXPECT_EQ(page.title, dlg->windowTitle());
    EXPECT_LE(page.printed.left(), 1);
    EXPECT_LE(page.printed.top(), 1);
    EXPECT_NEAR(double(page.printed.width()) / page.printed.height(), double(window.width()) / window.height(), 0.02);
    EXPECT_LT(printtest::Difference(page, window), 20.0);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace

int main(int argc, char** argv)
{
    printtest::UseLargeScreen();  // the whole main window on the screen
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
