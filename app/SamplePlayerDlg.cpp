// The main dialog: members, controls, construction, start-up and painting.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "platform/ColorRef.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "views/ListDlg.h"
#include "views/MapGlobals.h"
#include "views/MapView.h"
#include "views/RearViewDlg.h"
#include "views/WebBrowser2.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QTreeWidget>
#include <algorithm>
#include <clocale>

QString g_strVersionTitle;
QString g_strCurrentFolder;
int g_bSkinKeep = 0;
int g_bCardOpened = 0;
int g_bThumbnailMode = 0;
int g_bThumbnailPaging = 0;
int g_nThumbnailOffset = 0;
int g_nThumbnailPage = 0;
QRect g_rcFullScreen;

namespace {

struct ButtonImages {
    int id, normal, selected, focused;
};

// Bitmap buttons with their images (normal, selected, focused), in the order the start-up
// loads them; the second group follows the skinned buttons.
constexpr ButtonImages kButtonsFirst[] = {
    {1193, 340, 340, 340}, {5005, 448, 448, 448}, {1000, 432, 445, 0},  {1018, 434, 435, 0},
    {1001, 438, 439, 0},   {1194, 8388, 389, 8388}, {1012, 390, 3391, 390}, {1121, 468, 469, 468},
    {3021, 470, 471, 470}, {1041, 394, 395, 394}, {1201, 396, 397, 396}, {1195, 398, 399, 398},
    {1198, 400, 401, 400}, {1196, 402, 403, 402}, {1020, 405, 430, 0},  {1197, 407, 408, 407},
    {1199, 409, 410, 409}, {1007, 412, 413, 412}, {1006, 416, 417, 0},  {1206, 420, 441, 0},
    {1019, 424, 425, 424}, {1009, 331, 337, 331}, {1010, 330, 335, 330}, {1200, 350, 355, 350},
    {1005, 414, 415, 414}, {1008, 418, 419, 418}, {1011, 245, 292, 245}, {1152, 297, 298, 297},
    {1150, 295, 296, 295}, {1151, 299, 300, 299}, {1153, 301, 302, 301}, {1097, 275, 284, 275},
    {1101, 249, 0, 0},
};
constexpr ButtonImages kButtonsSecond[] = {
    {1016, 268, 279, 268}, {1098, 270, 281, 270}, {1017, 271, 285, 271}, {1137, 272, 279, 268},
    {1155, 309, 0, 0},     {1156, 308, 0, 0},     {1158, 307, 0, 0},     {1157, 305, 0, 0},
    {1154, 310, 0, 0},     {1025, 277, 0, 0},
};

struct SkinImages {
    int id, normal, pressed, hover, disabled, focus, shape;
};
constexpr SkinImages kSkinButtons[] = {
    {1100, 262, 262, 262, 262, 262, 262}, {1023, 267, 293, 267, 267, 267, 267},
    {1099, 274, 274, 274, 274, 274, 274}, {1111, 275, 275, 284, 275, 275, 275},
    {1110, 276, 276, 283, 276, 276, 276},
};

// Template captions of the bitmap buttons; never shown, kept as the buttons' texts.
struct Caption {
    int id;
    const char* text;
};
constexpr Caption kCaptions[] = {
    {1000, "-"},      {1001, "Exit"},   {1005, "PRE"},    {1006, "PLAY"},  {1007, "STOP"},
    {1008, "c"},      {1009, "<- SEC"}, {1010, "-> SEC"}, {1011, "FPS"},   {1012, "SDOPEN"},
    {1019, "MapToggle"}, {1020, "GMode"}, {1154, "Button1"}, {1157, ">"},  {1158, "<"},
    {1193, ">"},      {1194, "OPEN"},   {1195, "SETUP"},  {1196, "GRAPH"}, {1197, "DOWN"},
    {1198, "PRINT"},  {1199, "INFO"},   {1200, "LIST"},   {1201, "Format"}, {1206, "X2 "},
    {3021, "Zoom-"},  {5005, "SMART"},
};

constexpr int kBitmapButtonIds[] = {1000, 1001, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1016,
                                    1017, 1018, 1019, 1020, 1025, 1041, 1097, 1098, 1101, 1121, 1137,
                                    1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157, 1158, 1193, 1194,
                                    1195, 1196, 1197, 1198, 1199, 1200, 1201, 1206, 3021, 5005};
constexpr int kStaticIds[] = {1014, 1015, 1026, 1027, 1029, 1209, 1218};

}  // namespace

CSamplePlayerDlg::CSamplePlayerDlg(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(LoadIconResource(IDR_MAINFRAME_ICON));
    // The paint handler covers all it is asked to paint: no ground beneath it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    DoDataExchange();
    InitDashboard();
}

CSamplePlayerDlg::~CSamplePlayerDlg()
{
    qApp->removeEventFilter(this);
    KillPlaybackTimer();
    m_player.StopAndClose();
    // Owned windows, each deleted once, in this order.
    delete m_pGSensorDlg;
    m_pGSensorDlg = nullptr;
    delete m_pZoomDlg;
    m_pZoomDlg = nullptr;
    delete m_pRecoveryDlg;
    m_pRecoveryDlg = nullptr;
    delete m_pSetupDlg;
    m_pSetupDlg = nullptr;
    delete m_pRearViewDlg;
    m_pRearViewDlg = nullptr;
    delete m_pListDlg;
    m_pListDlg = nullptr;
}

QWidget* CSamplePlayerDlg::GetDlgItem(int id) const { return m_controls.value(id, nullptr); }

// Creates every control of the template and binds it to its id.
void CSamplePlayerDlg::DoDataExchange()
{
    for (int id : kBitmapButtonIds) {
        auto* b = new CBitmapButton(this);
        b->setFocusPolicy(Qt::NoFocus);
        m_controls[id] = b;
    }
    for (const Caption& c : kCaptions) Item<CBitmapButton>(c.id)->setText(c.text);
    for (const SkinImages& s : kSkinButtons) {
        // Mute and the two map buttons keep a check state; the others are push buttons.
        const bool check = s.id == 1023 || s.id == IDC_BTN_MAP_SMALL || s.id == IDC_BTN_MAP_HIDE;
        auto* b = new CSkinButton(this, check ? BS_AUTOCHECKBOX : BS_PUSHBUTTON);
        b->setFocusPolicy(Qt::NoFocus);
        m_controls[s.id] = b;
    }
    for (int id : {1002, 1003, 1004, 1112}) {
        auto* s = new CBitSlider(Qt::Horizontal, this);
        s->setFocusPolicy(Qt::NoFocus);
        m_controls[id] = s;
    }
    for (int id : kStaticIds) {
        auto* l = new QLabel(this);
        m_controls[id] = l;
    }
    Item<QLabel>(1014)->setText("00:00:00");
    Item<QLabel>(1015)->setText("00:00:00");
    Item<QLabel>(1027)->setText("Filename");
    for (int id : {1014, 1015}) {
        QFont font("Arial");
        font.setPixelSize(11);
        Item<QLabel>(id)->setFont(font);
        Item<QLabel>(id)->setAlignment(Qt::AlignCenter);
    }
    // The labels draw white text; the position label on the skin's dark panel colour.
    Item<QLabel>(1014)->setStyleSheet(QString("color: white; background-color: %1;").arg(ToQColor(0x25211C).name()));
    Item<QLabel>(1015)->setStyleSheet("color: white; background: transparent;");
    Item<QLabel>(1026)->setPixmap(LoadPixmapResource(129));

    auto* list = new QTreeWidget(this);
    list->setColumnCount(4);
    list->setHeaderHidden(true);
    m_controls[1013] = list;

    auto* map1 = new CMapView(this);
    map1->Create(QRect(5000, 5000, 345, 270), IDC_MAP_VIEW);
    map1->trackData = [this] { return &m_textData; };
    m_controls[IDC_MAP_VIEW] = map1;
    auto* map2 = new CMapView(this);
    map2->Create(QRect(5000, 5000, 345, 270), IDC_MAP_VIEW2);
    map2->trackData = [this] { return &m_textData; };
    m_controls[IDC_MAP_VIEW2] = map2;
    auto* browser = new CWebBrowser2(this);
    browser->setGeometry(5000, 5000, 345, 270);
    m_controls[IDC_BROWSER] = browser;

    ConnectCommands();
}

void CSamplePlayerDlg::ConnectCommands()
{
    const std::pair<int, void (CSamplePlayerDlg::*)()> commands[] = {
        {1001, &CSamplePlayerDlg::OnBnClickedExit},       {1000, &CSamplePlayerDlg::OnBnClickedMinimize},
        {1005, &CSamplePlayerDlg::OnBnClickedPrev},       {1006, &CSamplePlayerDlg::OnBnClickedPlay},
        {1007, &CSamplePlayerDlg::OnBnClickedStop},       {1008, &CSamplePlayerDlg::PlayNextFile},
        {1009, &CSamplePlayerDlg::OnBnClickedStepBack},   {1010, &CSamplePlayerDlg::OnBnClickedStepForward},
        {1011, &CSamplePlayerDlg::OnBnClickedFrameStep},  {1018, &CSamplePlayerDlg::OnBnClickedFullScreen},
        {1025, &CSamplePlayerDlg::OnBnClickedScreenMode}, {1154, &CSamplePlayerDlg::OnBnClickedSkinToggle},
        {1097, &CSamplePlayerDlg::OnBnClickedSwapView},   {1099, &CSamplePlayerDlg::OnBnClickedMapSmall},
        {1100, &CSamplePlayerDlg::OnBnClickedMapHide},    {1101, &CSamplePlayerDlg::OnBnClickedMapSize},
        {1019, &CSamplePlayerDlg::OnBnClickedMapToggle},
    };
    for (const auto& [id, handler] : commands) {
        auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id));
        if (button) connect(button, &QAbstractButton::clicked, this, handler);
    }
    for (int id : {1002, 1004}) {
        auto* slider = Item<CBitSlider>(id);
        connect(slider, &CBitSlider::Scroll, this, [this, slider](int code, int pos) { OnHScroll(code, pos, slider); });
    }
    ConnectCardCommands();
    ConnectSmallCommands();
}

bool CSamplePlayerDlg::OnInitDialog()
{
    // ffdshow's values, as the decoders were always configured.
    const QString ffdshow = "HKEY_CURRENT_USER\\Software\\GNU\\ffdshow";
    Registry::SetDword(ffdshow, "multipleInstances", 0);
    Registry::SetDword(ffdshow, "isWhitelist", 0);
    Registry::SetDword(ffdshow, "h264", 1);

    setWindowTitle(g_strVersionTitle);
    g_strVersionTitle = "VELMORA21 v.1.0.8";

    m_pListDlg = new CListDlg(nullptr);

    g_nLayoutMode = 0;  // the normal layout; nothing selects the compact one
    setWindowIcon(LoadIconResource(IDR_MAINFRAME_ICON));
    // Enter and Escape never close anything: every key event of the application passes here.
    qApp->installEventFilter(this);

    CreateChildViews();
    LoadLanguageFromCard(-1);
    LoadSpeedUnitFromCard(2);
    SetupToolTips();

    m_bMapProvider = m_nLanguage == 2 ? 0 : 1;
    if (m_nLanguage == 1) setWindowTitle("VELMORA-21K");
    else if (m_nLanguage == 2) setWindowTitle(QString::fromUtf8("카르벤"));
    else if (m_nLanguage == 0) setWindowTitle(QString::fromUtf8("ベルモラ-21K"));

    ArrangeControls(m_nScreenMode);
    CheckFiltersRegistered();
    FitWindowToSkin();
    InitMapBrowsers();
    m_pListDlg->SetSelectedIndexPtr(&m_nCurrentRow);

    LoadButtonImages();
    InitPositionSlider();
    InitSlider1112();
    InitVolumeSlider();

    update();
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");  // numbers in scripts and files keep their dots
    return true;
}

void CSamplePlayerDlg::LoadButtonImages()
{
    auto load = [this](const ButtonImages& b) {
        auto* button = Item<CBitmapButton>(b.id);
        button->LoadBitmaps(b.normal, b.selected, b.focused, 0);
        button->SizeToContent();
    };
    for (const ButtonImages& b : kButtonsFirst) load(b);
    for (const SkinImages& s : kSkinButtons)
        Item<CSkinButton>(s.id)->SetButtonBitmaps(s.normal, s.pressed, s.hover, s.disabled, s.focus, s.shape, 2);
    for (const ButtonImages& b : kButtonsSecond) load(b);
}

// Every slider's thumb comes from bitmap 233 in frames of 5 x 20; the channel from its pair.
void CSamplePlayerDlg::InitSlider(int id, int afterId, int beforeId)
{
    auto* s = Item<CBitSlider>(id);
    s->CreateThumbWnd(233, 5, 20);
    s->SetBitmaps(afterId, beforeId);
}

void CSamplePlayerDlg::InitPositionSlider() { InitSlider(1002, 236, 236); }
void CSamplePlayerDlg::InitSlider1112() { InitSlider(1112, 250, 251); }
void CSamplePlayerDlg::InitVolumeSlider() { InitSlider(1004, 252, 253); }

void CSamplePlayerDlg::CreateChildViews()
{
    m_rcWindow = QRect(geometry().left(), geometry().top(), 1020, 594);
    setGeometry(m_rcWindow);

    // The template's two static video windows stay out of sight; the panes that are seen are
    // those of the two frame windows below.
    m_viewFront = new QWidget(this);
    m_viewFront->setObjectName("Video window1");
    m_viewFront->setGeometry(5000, 5000, 0, 0);
    m_viewFront->show();
    m_viewRear = new QWidget(this);
    m_viewRear->setObjectName("Video window2");
    m_viewRear->setGeometry(675, 265, 0, 0);
    m_viewRear->show();

    m_pZoomDlg = new CZoomDlg(this);
    m_pZoomDlg->setGeometry(16, 37, 640, 360);
    m_pZoomDlg->show();
    m_pZoomDlg->ShowScrollBar(SB_BOTH, false);
    m_pZoomDlg->Pane()->show();
    m_pZoomDlg->Pane()->update();
    m_pRearViewDlg = new CRearViewDlg(this);
    m_pRearViewDlg->setGeometry(684, 37, 320, 240);
    m_pRearViewDlg->show();
    m_pRearViewDlg->ShowScrollBar(SB_BOTH, false);
    m_pRearViewDlg->Pane()->show();

    for (CVideoPane* pane : {m_pZoomDlg->Pane(), m_pRearViewDlg->Pane()}) {
        pane->rowCount = [this] { return ListRowCount(); };
        pane->playerState = [this] { return m_player.GetState(); };
        pane->updateVideoPosition = [this] { m_player.UpdateVideoPosition(1); };
        pane->swapView = [this] { OnBnClickedSwapView(); };
    }
    m_player.Init(2, m_pZoomDlg->Pane(), m_pRearViewDlg->Pane());
    m_player.SetNotifyWindow([this] { OnPlaybackComplete(); });
    m_pRearViewDlg->update();

    m_nScreenMode = kScreenNormal;
    m_nFrontPane = m_nRearPane = m_nMapMode = 0;

    // Map windows are moved off-screen, never hidden: the page in them keeps running.
    ::PlaceMapWindows(m_bMapProvider, GetDlgItem(IDC_MAP_VIEW), GetDlgItem(IDC_BROWSER));
    GetDlgItem(IDC_MAP_VIEW2)->setGeometry(kMapParking);

    Item<CBitSlider>(1002)->setGeometry(105, 420, 537, 20);
    auto* volume = Item<CBitSlider>(1004);
    volume->setGeometry(50, 462, 92, 20);
    volume->setRange(0, 99);
    volume->setValue(50);
    m_player.SetVolume(50);
    m_nVolume = 50;
    auto* s1003 = Item<CBitSlider>(1003);
    s1003->setRange(1, 9);
    s1003->setValue(5);
    s1003->hide();
    GetDlgItem(1029)->hide();
    auto* s1112 = Item<CBitSlider>(1112);
    s1112->setRange(-150, 150);
    s1112->setValue(0);
}

void CSamplePlayerDlg::paintEvent(QPaintEvent* event)
{
    // A repaint of the dashboard's own rectangles (or of what lies beneath the children) only
    // shows the layer the painters drew on; any other paint is the window's whole paint.
    const bool dashboardOnly = IsDashboardRegion(event->region());
    // While playing, the painters bring the dashboard layer up to date before it is shown.
    if (!dashboardOnly && !isMinimized() && m_player.GetState() == kStateRunning) PaintDashboard();
    // The background is the skin, black where the client is larger than it; the dashboard
    // layer over it.
    QPainter p(this);
    const auto hidesSkin = [this](const QRect& r) {
        return std::any_of(m_dashShown.opaque.begin(), m_dashShown.opaque.end(), [&](const QRect& o) { return o.contains(r); });
    };
    for (const QRect& r : event->region()) {
        if (g_nLayoutMode == 0 && hidesSkin(r)) {
            p.drawImage(r.topLeft(), m_dashLayer, r);
            continue;
        }
        if (m_bmpSkin.isNull() || !m_bmpSkin.rect().contains(r)) p.fillRect(r, Qt::black);  // the skin is opaque
        if (!m_bmpSkin.isNull()) p.drawImage(r.topLeft(), m_bmpSkin, r);
        if (g_nLayoutMode == 0) p.drawImage(r.topLeft(), m_dashLayer, r);
    }
    p.end();
    if (dashboardOnly) return;
    if (isMinimized()) {
        SetVisible(1158, g_bThumbnailMode == 1);
        SetVisible(1157, g_bThumbnailMode == 1);
        return;
    }
    if (m_player.GetState() == kStateRunning) m_player.RepaintVideo(m_pZoomDlg ? m_pZoomDlg->Pane() : nullptr);
    m_player.UpdateVideoPosition(1);
}

void CSamplePlayerDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_player.RefreshFrame();  // a paused frame is shown again
}

bool CSamplePlayerDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
        event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* w = qobject_cast<QWidget*>(watched);
        const bool ours = w && (w == this || isAncestorOf(w) || (m_pListDlg && (w == m_pListDlg || m_pListDlg->isAncestorOf(w))));
        if (ours && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CSamplePlayerDlg::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

