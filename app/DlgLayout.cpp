// The main dialog's layout: the skin, the two screen modes and the panes and map by their states.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "platform/MessageBox.h"
#include "platform/NetworkState.h"
#include "platform/Resources.h"
#include "settings/SetupTexts.h"
#include "views/ListDlg.h"
#include "views/MapGlobals.h"
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QWheelEvent>

namespace {
constexpr QRect kLargePane(16, 37, 640, 360);
constexpr QRect kSmallPane(684, 37, 320, 240);
}  // namespace

void CSamplePlayerDlg::Place(int id, int x, int y, int w, int h, Vis vis)
{
    QWidget* c = GetDlgItem(id);
    if (!c) return;
    c->setGeometry(x, y, w, h);
    if (vis == Vis::Show) c->show();
    else if (vis == Vis::Hide) c->hide();
}

void CSamplePlayerDlg::SetVisible(int id, bool visible)
{
    if (QWidget* c = GetDlgItem(id)) c->setVisible(visible);
}

void CSamplePlayerDlg::FitWindowToSkin()
{
    if (!g_bSkinKeep || m_bmpSkin.isNull()) m_bmpSkin = LoadBitmapResource(IDB_SKIN);
    const QSize size = m_bmpSkin.isNull() ? QSize(1020, 720) : m_bmpSkin.size();
    // Centred on the screen (the dialog has no owner).
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, size.width(), size.height());
    setGeometry(avail.left() + (avail.width() - size.width()) / 2, avail.top() + (avail.height() - size.height()) / 2,
                size.width(), size.height());
    update();
}

int CSamplePlayerDlg::ArrangeControls(int mode)
{
    const int W = width(), H = height();
    if (mode == kScreenNormal) {
        m_viewFront->setGeometry(kLargePane);
        m_viewFront->show();
        m_viewRear->setGeometry(kSmallPane);
        m_viewRear->hide();
        m_pZoomDlg->setGeometry(kLargePane);
        m_pZoomDlg->Pane()->setGeometry(0, 0, 640, 360);
        m_pZoomDlg->show();
        m_pRearViewDlg->setGeometry(kSmallPane);
        m_pRearViewDlg->Pane()->setGeometry(0, 0, 320, 240);
        m_pRearViewDlg->show();
        m_pRearViewDlg->Pane()->show();
        m_pZoomDlg->Pane()->update();
        m_pRearViewDlg->Pane()->update();

        struct Row { int id, x, y, w, h; Vis vis; };
        const Row rows[] = {
            {1002, 105, 420, 537, 20, Vis::Show}, {1014, 32, 420, 50, 12, Vis::Show},
            {1015, 595, 420, 64, 12, Vis::Hide},  {1004, 50, 462, 92, 20, Vis::Keep},
            {1023, 16, 460, 23, 23, Vis::Keep},   {5005, 17, 495, 180, 165, Vis::Show},
            {1218, 17, 495, 180, 165, Vis::Show}, {1000, W - 85, 1, 26, 24, Vis::Show},
            {1018, W - 57, 1, 26, 24, Vis::Show}, {1001, W - 29, 1, 26, 24, Vis::Show},
            {1194, 15, 674, 40, 39, Vis::Show},   {1012, 60, 674, 40, 39, Vis::Show},
            {1121, 135, 674, 40, 39, Vis::Show},  {3021, 180, 674, 40, 39, Vis::Show},
            {1041, 225, 674, 40, 39, Vis::Show},  {1201, 270, 674, 40, 39, Vis::Show},
            {1195, 315, 674, 40, 39, Vis::Show},  {1198, 360, 674, 40, 39, Vis::Show},
            {1196, 435, 674, 40, 39, Vis::Show},  {1020, 480, 674, 40, 39, Vis::Show},
            {1197, 555, 674, 40, 39, Vis::Show},  {1199, 600, 674, 40, 39, Vis::Show},
            {1007, 680, 297, 40, 39, Vis::Show},  {1005, 725, 297, 40, 39, Vis::Show},
            {1006, 770, 297, 40, 39, Vis::Show},  {1008, 815, 297, 40, 39, Vis::Show},
            {1206, 860, 297, 40, 39, Vis::Show},  {1019, 950, 297, 40, 39, Vis::Hide},
            {1193, 1009, 281, 12, 145, Vis::Show}, {1200, 5000, 674, 0, 0, Vis::Keep},
            {1009, 5000, 297, 0, 0, Vis::Keep},   {1010, 5000, 297, 0, 0, Vis::Keep},
            {1154, 490, 570, 60, 12, Vis::Hide},  {1016, 20, 537, 25, 25, Vis::Hide},
            {1017, 140, 537, 25, 25, Vis::Hide},  {1137, 180, 537, 25, 25, Vis::Hide},
            {1098, 259, 537, 25, 25, Vis::Hide},  {1155, 840, 537, 25, 25, Vis::Hide},
            {1156, 880, 537, 25, 25, Vis::Hide},  {1110, 920, 537, 25, 25, Vis::Hide},
            {1111, 960, 537, 25, 25, Vis::Hide},  {1209, 9, 37, 631, 346, Vis::Hide},
            {1158, 8, 250, 10, 60, Vis::Hide},    {1157, 657, 250, 10, 60, Vis::Hide},
            {1013, 671, 394, 319, 130, Vis::Hide}, {1097, 654, 345, 124, 23, Vis::Hide},
            {1101, 0, 500, 124, 22, Vis::Hide},   {1100, 742, 237, 124, 22, Vis::Hide},
            {1099, 0, 600, 124, 22, Vis::Hide},   {1152, 670, 65, 82, 23, Vis::Hide},
            {1150, 751, 65, 82, 23, Vis::Hide},   {1151, 831, 65, 82, 23, Vis::Hide},
            {1153, 911, 65, 82, 23, Vis::Hide},   {1011, 715, 525, 51, 51, Vis::Hide},
            {1112, 428, 495, 92, 20, Vis::Hide},  {1029, 188, 500, 15, 16, Vis::Keep},
            {1025, 0, 0, 15, 15, Vis::Hide},
        };
        for (const Row& r : rows) Place(r.id, r.x, r.y, r.w, r.h, r.vis);
        for (int id : {1003, 1026, 1027}) SetVisible(id, false);

        showNormal();
        ::PlaceMapWindows(m_bMapProvider, GetDlgItem(IDC_MAP_VIEW), GetDlgItem(IDC_BROWSER));
        auto* full = Item<CBitmapButton>(1018);
        full->LoadBitmaps(434, 435, 0, 0);
        full->SizeToContent();
        update();
        return 0;
    }
    if (mode == kScreenFull) {
        if (W >= 1280 && H >= 829) {
            m_pZoomDlg->show();
            m_pZoomDlg->Pane()->show();
            m_pRearViewDlg->Pane()->show();
        } else {
            m_viewFront->setGeometry(0, 29, W, H - 109);
            m_viewRear->setGeometry(0, 29, W, H - 109);
        }
        for (int id : {IDC_BROWSER, IDC_MAP_VIEW, IDC_MAP_VIEW2}) GetDlgItem(id)->setGeometry(kMapParking);
        SetVisible(1218, false);
        SetVisible(1154, false);
        auto* full = Item<CBitmapButton>(1018);
        full->LoadBitmaps(438, 438, 0, 0);
        full->SizeToContent();
        Place(1018, W - 45, 1, 26, 24, Vis::Show);
        SetVisible(1000, false);
        SetVisible(1001, false);

        Place(1097, W - 212, 3, 120, 25, Vis::Keep);
        const int row[] = {1007, 1005, 1006, 1008, 1206, 1121, 3021};
        for (int i = 0; i < 7; ++i) Place(row[i], 25 + 45 * i, H - 50, 40, 39, Vis::Keep);
        Place(1002, 25, H - 70, 537, 15, Vis::Keep);
        Place(1004, W - 107, H - 66, 92, 20, Vis::Keep);
        Place(1023, W - 141, H - 68, 30, 19, Vis::Keep);
        Place(1112, W - 250, H - 66, 92, 20, Vis::Keep);
        Place(1029, W - 285, H - 76, 20, 19, Vis::Keep);
        Place(1003, W - 469, H - 81, 179, 20, Vis::Keep);
        Place(1110, W - 419, H - 36, 25, 25, Vis::Keep);
        Place(1111, W - 454, H - 36, 25, 25, Vis::Keep);

        Place(1026, 15, H - 66, 11, 11, Vis::Show);
        Place(1014, 55, H - 25, 60, 12, Vis::Hide);
        Place(1015, W - 352, H - 25, 60, 12, Vis::Hide);
        for (int id : {1027, 1013, 1025, 1016, 1017, 1098, 1100, 1099, 1101, 1152, 1150, 1151, 1153, 1156, 1155,
                       1158, 1157, 1012, 1195, 1196, 1197, 1198, 1199, 1209, 1194, 5005, 1041, 1201, 1020, 1193})
            SetVisible(id, false);
        update();
        return 0;
    }
    update();
    return 0;
}

void CSamplePlayerDlg::ArrangeVideoPanes()
{
    m_viewFront->hide();
    m_viewRear->hide();
    auto* mapHide = Item<CSkinButton>(1100);
    auto* mapSmall = Item<CSkinButton>(1099);
    CVideoPane* front = m_pZoomDlg->Pane();
    CVideoPane* rear = m_pRearViewDlg->Pane();

    if (m_nScreenMode == kScreenNormal) {
        switch (m_nFrontPane) {
        case kPaneHidden:
            m_viewFront->hide();
            m_viewRear->hide();
            front->hide();
            mapHide->SetCheck(0);
            break;
        case kPaneLarge:
            m_pZoomDlg->setGeometry(kLargePane);
            front->setGeometry(0, 0, 640, 360);
            front->show();
            break;
        case kPaneSmall:
            m_pZoomDlg->setGeometry(kSmallPane);
            front->setGeometry(0, 0, 320, 240);
            m_pZoomDlg->show();
            front->show();
            mapHide->SetCheck(1);
            break;
        default: break;
        }
        if (m_player.GetVideoStreamCount() > 1) {
            switch (m_nRearPane) {
            case kPaneHidden:
                rear->hide();
                mapHide->SetCheck(0);
                break;
            case kPaneLarge:
                m_pRearViewDlg->setGeometry(kLargePane);
                rear->setGeometry(0, 0, 640, 360);
                rear->show();
                break;
            case kPaneSmall:
                m_pRearViewDlg->setGeometry(kSmallPane);
                rear->setGeometry(0, 0, 320, 240);
                rear->show();
                mapHide->SetCheck(1);
                break;
            default: break;
            }
        }
        auto* mapSize = Item<CBitmapButton>(1101);
        switch (m_nMapMode) {
        case 0:
            mapSize->setText(QString::fromUtf8("지도 크게보기"));
            mapSmall->SetCheck(0);
            break;
        case 1:
            if (m_nFrontPane == kPaneSmall) {
                mapHide->SetCheck(1);
                mapSmall->SetCheck(0);
            } else if (m_nRearPane == kPaneSmall) {
                mapHide->SetCheck(0);
                mapSmall->SetCheck(1);
            }
            mapHide->update();
            mapSmall->update();
            mapSize->setText(QString::fromUtf8("지도 작게보기"));
            break;
        case 2:
        case 4:
            mapSmall->SetCheck(1);
            mapSize->setText(QString::fromUtf8("지도 크게보기"));
            break;
        default: break;
        }
        return;
    }
    if (m_nScreenMode == kScreenFull) {
        auto fill = [this](QWidget* frame, CVideoPane* pane) {
            g_rcFullScreen = rect();
            const QRect inset = g_rcFullScreen.adjusted(18, 50, -18, -79);
            frame->setGeometry(inset);
            pane->setGeometry(0, 0, inset.width(), inset.height());
            frame->show();
            pane->show();
        };
        if (m_nFrontPane == kPaneLarge) {
            fill(m_pZoomDlg, front);
            m_pRearViewDlg->hide();
        } else {
            m_pZoomDlg->hide();
        }
        if (m_nRearPane == kPaneLarge) fill(m_pRearViewDlg, rear);
    }
}

// Maximised; a frameless window takes the screen's available area at once.
void CSamplePlayerDlg::FillScreen()
{
    showMaximized();
    if (const QScreen* s = screen()) setGeometry(s->availableGeometry());
}

// After a screen-mode switch: labels at zero unless a recording plays, then the new layout.
void CSamplePlayerDlg::LayOutForScreenMode()
{
    const PlayerState state = m_player.GetState();
    if (state == kStateStopped || state == kStateNotBuilt || state < 0) {
        UpdateTimeLabels(0, 0);
    }
    ArrangeControls(m_nScreenMode);
    ArrangeVideoPanes();
}

void CSamplePlayerDlg::OnBnClickedFullScreen()
{
    if (ListRowCount() == 0) {
        ShowMessageBox(this,
                       ByLanguageOrEnglish(m_nLanguage, "선택된 파일이 없습니다.", "File is not selected.",
                                           "ファイルが選択されていません。"),
                       g_strVersionTitle, MB_ICONWARNING);
        return;
    }
    if (m_nScreenMode == kScreenNormal) {
        m_rcWindow = geometry();
        g_nLayoutMode = 1;
        repaint();
        FillScreen();
        m_nScreenMode = kScreenFull;
        m_bmpSkin = QImage();  // the background is black in full screen
        SetVisible(1137, false);
        auto* toggle = Item<CBitmapButton>(1193);
        toggle->LoadBitmaps(340, 340, 340, 0);
        if (m_pListDlg) m_pListDlg->hide();
        m_bListPanelShown = 0;
        g_bListCloseRequest = 0;
    } else {
        showNormal();
        FitWindowToSkin();
        m_nScreenMode = kScreenNormal;
        g_nLayoutMode = 0;
        ToggleFileListPanel();
    }
    LayOutForScreenMode();

    // Zoom back to level 1: one notch up and two down at the pane's centre.
    CVideoPane* pane = m_nFrontPane != kPaneLarge ? m_pRearViewDlg->Pane() : m_pZoomDlg->Pane();
    const QPoint at = pane->mapToGlobal(QPoint(320, 180));
    pane->OnMouseWheel(MK_LBUTTON, 120, at);
    pane->OnMouseWheel(MK_LBUTTON, -120, at);
    pane->OnMouseWheel(MK_LBUTTON, -120, at);
}

void CSamplePlayerDlg::OnBnClickedScreenMode()
{
    if (m_nScreenMode == kScreenNormal) {
        m_rcWindow = geometry();
        repaint();
        FillScreen();
        m_nScreenMode = kScreenFull;
        g_nLayoutMode = 1;
    } else {
        FitWindowToSkin();
        g_nLayoutMode = 0;
        showNormal();
        m_nScreenMode = kScreenNormal;
    }
    LayOutForScreenMode();
    update();
}

void CSamplePlayerDlg::OnBnClickedSkinToggle()
{
    g_bSkinKeep = g_bSkinKeep ? 0 : 1;
    FitWindowToSkin();
}

void CSamplePlayerDlg::OnBnClickedSwapView()
{
    m_pZoomDlg->SetPaneChanged();
    m_pRearViewDlg->SetPaneChanged();
    if (m_player.GetVideoStreamCount() >= 2) {
        switch (m_nMapMode) {
        case 0:
        case 4:
            if (m_nFrontPane == kPaneLarge) { m_nFrontPane = kPaneSmall; m_nRearPane = kPaneLarge; }
            else if (m_nFrontPane == kPaneSmall) { m_nFrontPane = kPaneLarge; m_nRearPane = kPaneSmall; }
            break;
        case 1:
            if (m_nFrontPane == kPaneSmall) { m_nFrontPane = kPaneHidden; m_nRearPane = kPaneSmall; }
            else if (m_nRearPane == kPaneSmall) { m_nFrontPane = kPaneSmall; m_nRearPane = kPaneHidden; }
            break;
        case 2:
            if (m_nFrontPane == kPaneLarge) { m_nFrontPane = kPaneHidden; m_nRearPane = kPaneLarge; }
            else if (m_nRearPane == kPaneLarge) { m_nFrontPane = kPaneLarge; m_nRearPane = kPaneHidden; }
            break;
        default: break;
        }
        ArrangeVideoPanes();
        m_player.UpdateVideoPosition(1);
    }
    ListSelectOnly(ListSelectionMark());
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedMapSmall()
{
    auto* mapHide = Item<CSkinButton>(1100);
    auto* mapSmall = Item<CSkinButton>(1099);
    if (!mapSmall->GetCheck()) {
        mapHide->SetCheck(0);
        mapSmall->SetCheck(1);
        return;
    }
    if (m_player.GetVideoStreamCount() < 2) return;
    mapHide->SetCheck(0);
    mapSmall->SetCheck(1);
    if (m_nMapMode != 1) {
        if (!InternetGetConnectedState()) GetDlgItem(IDC_MAP_VIEW)->setGeometry(kMapArea);
        m_nMapMode = 2;
        if (m_nFrontPane == kPaneSmall) m_nFrontPane = kPaneHidden;
        if (m_nRearPane == kPaneSmall) m_nRearPane = kPaneHidden;
    } else {
        m_nFrontPane = kPaneHidden;
        m_nRearPane = kPaneSmall;
    }
    ArrangeVideoPanes();
}

void CSamplePlayerDlg::OnBnClickedMapHide()
{
    if (m_player.GetVideoStreamCount() < 2) return;
    Item<CSkinButton>(1100)->SetCheck(1);
    Item<CSkinButton>(1099)->SetCheck(0);
    if (m_nMapMode == 1) {
        m_nFrontPane = kPaneSmall;
        m_nRearPane = kPaneHidden;
    } else if (m_nMapMode == 2) {
        if (m_nFrontPane == kPaneLarge) m_nRearPane = kPaneSmall;
        else if (m_nRearPane == kPaneLarge) m_nFrontPane = kPaneSmall;
        m_nMapMode = 0;
    }
    ArrangeVideoPanes();
}

void CSamplePlayerDlg::OnBnClickedMapSize()
{
    if (m_player.GetVideoStreamCount() < 2) return;
    if (m_nMapMode == 1) {
        m_nMapMode = 2;
        if (m_nFrontPane == kPaneSmall) m_nFrontPane = kPaneLarge;
        else if (m_nRearPane == kPaneSmall) m_nRearPane = kPaneLarge;
    } else if (m_nMapMode == 0 || m_nMapMode == 2) {
        m_nMapMode = 1;
        if (m_nFrontPane == kPaneLarge) { m_nFrontPane = kPaneSmall; m_nRearPane = kPaneHidden; }
        else if (m_nRearPane == kPaneLarge) { m_nFrontPane = kPaneHidden; m_nRearPane = kPaneSmall; }
    } else if (m_nMapMode == 4) {
        m_nFrontPane = kPaneLarge;
        m_nRearPane = kPaneSmall;
    }
    ArrangeVideoPanes();
}

void CSamplePlayerDlg::OnBnClicked1134()
{
    Item<CSkinButton>(1100)->SetCheck(0);
    m_nRearPane = kPaneHidden;
    m_nMapMode = 0;
    ArrangeVideoPanes();
}

void CSamplePlayerDlg::OnBnClickedMapToggle()
{
    ::ToggleMapProvider(m_bMapProvider, GetDlgItem(IDC_MAP_VIEW), GetDlgItem(IDC_BROWSER));
}
