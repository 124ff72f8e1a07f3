// The pane and map commands of the main window, clicked on their buttons: swap view, map small,
// map hide and map size on recordings of two streams and of one, and the map toggle.
#include "CardTestSupport.h"

#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "views/MapGlobals.h"
#include "views/RearViewDlg.h"
#include "views/VideoPane.h"
#include "views/ZoomDlg.h"

using namespace cardtest;

namespace {

constexpr QRect kLarge(16, 37, 640, 360);
constexpr QRect kSmall(684, 37, 320, 240);

// Pane and map states: front pane, rear pane, map mode.
struct Panes {
    int front, rear, mode;
    bool operator==(const Panes& o) const { return front == o.front && rear == o.rear && mode == o.mode; }
};

std::ostream& operator<<(std::ostream& os, const Panes& p)
{
    return os << "front " << p.front << ", rear " << p.rear << ", map mode " << p.mode;
}

class PaneCommands : public MainWindowTest {
protected:
    void Open(int tracks)
    {
        Start();
        const QString path = Recording(Scratch() + QString("/panes/%1/20170811_123456_NI.mp4").arg(tracks), tracks);
        ASSERT_EQ(dlg->m_player.OpenFile(path), 1);
        ASSERT_EQ(dlg->m_player.GetVideoStreamCount(), tracks);
    }
    // The states as the dialog holds them, laid out as it lays them out.
    void Set(Panes p)
    {
        dlg->m_nFrontPane = p.front;
        dlg->m_nRearPane = p.rear;
        dlg->m_nMapMode = p.mode;
        dlg->ArrangeVideoPanes();
    }
    Panes State() const { return {dlg->m_nFrontPane, dlg->m_nRearPane, dlg->m_nMapMode}; }
    int Checked(int id) const { return dlg->Item<CSkinButton>(id)->GetCheck(); }
    QString MapSizeText() const { return dlg->Item<CBitmapButton>(IDC_BTN_MAP_SIZE)->text(); }
    // Each pane where its state puts it: large, small, or its video window hidden.
    void ExpectPanesPlaced() const
    {
        const std::pair<QWidget*, CVideoPane*> panes[] = {{dlg->m_pZoomDlg, dlg->m_pZoomDlg->Pane()},
                                                          {dlg->m_pRearViewDlg, dlg->m_pRearViewDlg->Pane()}};
        const int states[] = {dlg->m_nFrontPane, dlg->m_nRearPane};
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i == 0 ? "front" : "rear");
            EXPECT_EQ(panes[i].second->isVisible(), states[i] != 0);
            if (states[i] == 0) continue;
            EXPECT_EQ(panes[i].first->geometry(), states[i] == 1 ? kLarge : kSmall);
            EXPECT_EQ(panes[i].second->geometry(), QRect(QPoint(0, 0), (states[i] == 1 ? kLarge : kSmall).size()));
        }
    }
};

TEST_F(PaneCommands, MapButtonsAreCheckButtons)
{
    Start();
    for (int id : {IDC_BTN_MAP_SMALL, IDC_BTN_MAP_HIDE}) {
        auto* b = dlg->Item<CSkinButton>(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->GetButtonKind(), CSkinButton::KindCheck) << id;
        b->SetCheck(1);
        EXPECT_EQ(b->GetCheck(), 1) << id;
    }
}

struct SwapCase {
    Panes before, after;
};

TEST_F(PaneCommands, SwapViewByMapMode)
{
    Open(2);
    const SwapCase cases[] = {
        {{1, 0, 0}, {2, 1, 0}}, {{2, 1, 0}, {1, 2, 0}}, {{1, 2, 4}, {2, 1, 4}}, {{2, 1, 4}, {1, 2, 4}},
        {{2, 0, 1}, {0, 2, 1}}, {{0, 2, 1}, {2, 0, 1}}, {{1, 0, 2}, {0, 1, 2}}, {{0, 1, 2}, {1, 0, 2}},
    };
    for (const SwapCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.before));
        Set(c.before);
        Click(IDC_BTN_SWAP_VIEW);
        EXPECT_EQ(State(), c.after);
        ExpectPanesPlaced();
    }
    // Front 1 swaps to front 2, rear 1: the front recording in the small pane, the rear one in
    // the large pane, the map hidden; a second swap puts them back.
    Set({1, 2, 0});
    Click(IDC_BTN_SWAP_VIEW);
    ASSERT_EQ(State(), (Panes{2, 1, 0}));
    ExpectPanesPlaced();
    EXPECT_EQ(Checked(IDC_BTN_MAP_HIDE), 1);
    EXPECT_EQ(Checked(IDC_BTN_MAP_SMALL), 0);
    Click(IDC_BTN_SWAP_VIEW);
    EXPECT_EQ(State(), (Panes{1, 2, 0}));
    ExpectPanesPlaced();
}

struct MapClick {
    const char* name;
    Panes before;
    int button;
    Panes after;
    int small, hide;  // check states of map small and map hide afterwards
};

TEST_F(PaneCommands, MapSmallAndMapHideKeepTheirChecks)
{
    Open(2);
    const MapClick cases[] = {
        {"map small with the map hidden", {1, 2, 0}, IDC_BTN_MAP_SMALL, {1, 0, 2}, 1, 0},
        {"map small once more: only checked again", {1, 0, 2}, IDC_BTN_MAP_SMALL, {1, 0, 2}, 1, 0},
        {"map small with the map large: the rear takes the small pane", {2, 0, 1}, IDC_BTN_MAP_SMALL, {0, 2, 1}, 1, 0},
        {"map hide with the map in the pane", {1, 0, 2}, IDC_BTN_MAP_HIDE, {1, 2, 0}, 0, 1},
        {"map hide with the map large", {0, 2, 1}, IDC_BTN_MAP_HIDE, {2, 0, 1}, 0, 1},
    };
    for (const MapClick& c : cases) {
        SCOPED_TRACE(c.name);
        Set(c.before);
        Click(c.button);
        EXPECT_EQ(State(), c.after);
        EXPECT_EQ(Checked(IDC_BTN_MAP_SMALL), c.small);
        EXPECT_EQ(Checked(IDC_BTN_MAP_HIDE), c.hide);
        ExpectPanesPlaced();
    }
    EXPECT_EQ(dlg->GetDlgItem(IDC_MAP_VIEW)->geometry(), kMapArea);  // put there while offline
}

TEST_F(PaneCommands, MapSizeBetweenLargeAndSmall)
{
    Open(2);
    const SwapCase cases[] = {
        {{1, 2, 0}, {2, 0, 1}}, {{2, 0, 1}, {1, 0, 2}}, {{0, 2, 1}, {0, 1, 2}},
        {{0, 1, 2}, {0, 2, 1}}, {{1, 0, 2}, {2, 0, 1}}, {{0, 0, 4}, {1, 2, 4}},
    };
    for (const SwapCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.before));
        Set(c.before);
        Click(IDC_BTN_MAP_SIZE);
        EXPECT_EQ(State(), c.after);
        EXPECT_EQ(MapSizeText(), QString::fromUtf8(c.after.mode == 1 ? "지도 작게보기" : "지도 크게보기"));
    }
}

TEST_F(PaneCommands, OneStreamChangesNoPane)
{
    Open(1);
    Set({1, 0, 0});
    for (int id : {IDC_BTN_SWAP_VIEW, IDC_BTN_MAP_SIZE, IDC_BTN_MAP_HIDE, IDC_BTN_MAP_SMALL, IDC_BTN_MAP_SMALL}) {
        Click(id);
        EXPECT_EQ(State(), (Panes{1, 0, 0})) << id;
    }
}

TEST_F(PaneCommands, MapToggleSwitchesBetweenMapAndBrowser)
{
    Start();
    QWidget* map = dlg->GetDlgItem(IDC_MAP_VIEW);
    QWidget* browser = dlg->GetDlgItem(IDC_BROWSER);
    const unsigned char start = dlg->m_bMapProvider;
    for (int round = 1; round <= 2; ++round) {
        Click(IDC_BTN_MAP_TOGGLE);
        const bool flipped = round % 2 == 1;
        EXPECT_EQ(dlg->m_bMapProvider, flipped ? 1 - start : start);
        const bool mapShown = dlg->m_bMapProvider == 1;
        EXPECT_EQ(map->geometry(), mapShown ? kMapArea : kMapParking) << round;
        EXPECT_EQ(browser->geometry(), mapShown ? kMapParking : kMapArea) << round;
    }
}

}  // namespace

CARD_TEST_MAIN
