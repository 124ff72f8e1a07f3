#include "views/ListDlg.h"

#include "controls/BitmapButton.h"
#include "platform/ColorRef.h"
#include "platform/Resources.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <numeric>
#include <vector>

unsigned char g_bListShowNormal = 1;
unsigned char g_bListShowEvent = 1;
unsigned char g_bListShowParking = 1;
unsigned char g_bListPlayRequest = 0;
unsigned char g_bListCloseRequest = 0;

namespace {

// Bitmaps of the window.
constexpr int kBmpBackground = 464;
constexpr int kBmpClose = 265;
constexpr int kBmpNormalLit = 460, kBmpNormalUnlit = 465;
constexpr int kBmpEventLit = 461, kBmpEventUnlit = 466;
constexpr int kBmpMotionLit = 462, kBmpMotionUnlit = 467;
constexpr int kBmpAllLit = 473, kBmpAllUnlit = 474;
constexpr int kBmpManual = 362;
constexpr int kBmpSortDescending = 476, kBmpSortAscending = 477;

constexpr COLORREF kListBack = 0x333333;
constexpr COLORREF kListText = 0xFFFFFF;

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Where a "YYYYMMDD_HHMMSS" stamp starts in a file name: the first run of eight digits, one
// character that is not a digit, and six digits; -1 when the name has none.
int FindStamp(const QString& name)
{
    const auto digits = [&](int from, int count) {
        for (int i = from; i < from + count; ++i)
            if (!IsAsciiDigit(name[i])) return false;
        return true;
    };
    for (int at = 0; at + 15 <= name.size(); ++at)
        if (digits(at, 8) && !IsAsciiDigit(name[at + 8]) && digits(at + 9, 6)) return at;
    return -1;
}

} // namespace

CListDlg::CListDlg(QWidget* parent) : QDialog(parent)
{
    g_bListPlayRequest = 0;
    g_bListCloseRequest = 0;
    // A pop-up with no caption and no frame.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setModal(false);
    setFont(QFont(QStringLiteral("Liberation Sans"), 9));

    m_listView = MakeList(IDC_LIST_VIEW);
    m_listMaster = MakeList(IDC_LIST_MASTER);
    m_listWork = MakeList(IDC_LIST_WORK);
    m_btnClose = MakeButton(IDC_BTN_CLOSE, kBmpClose, 0);
    m_btnNormal = MakeButton(IDC_BTN_NORMAL, kBmpNormalLit, kBmpNormalUnlit);
    m_btnMotion = MakeButton(IDC_BTN_MOTION, kBmpMotionLit, kBmpMotionUnlit);
    m_btnEvent = MakeButton(IDC_BTN_EVENT, kBmpEventLit, kBmpEventUnlit);
    m_btnManual = MakeButton(IDC_BTN_MANUAL, kBmpManual, 0);
    m_btnAll = MakeButton(IDC_BTN_ALL, kBmpAllLit, kBmpAllUnlit);
    m_btnSortOrder = MakeButton(IDC_BTN_SORT, kBmpSortDescending, 0);

    connect(m_btnClose, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedClose);
    connect(m_btnNormal, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedNormal);
    connect(m_btnEvent, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedEvent);
    connect(m_btnAll, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedAll);
    connect(m_btnMotion, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedMotion);
    connect(m_btnManual, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedManual);
    connect(m_btnSortOrder, &QAbstractButton::clicked, this, &CListDlg::OnBnClickedSortOrder);
    connect(m_listView, &QTreeWidget::itemClicked, this, [this] { OnNMClickList(); });
    connect(m_listView, &QTreeWidget::itemDoubleClicked, this, [this] { OnNMDblclkList(); });

    OnInitDialog();
}

CListDlg::~CListDlg() = default;

QTreeWidget* CListDlg::MakeList(int id)
{
    // A report view: single selection, no column header, a border; four columns (date, time,
    // kind, and the path at width 0 so it is never seen).
    auto* list = new QTreeWidget(this);
    list->setColumnCount(4);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setFrameShape(QFrame::Box);
    list->header()->setStretchLastSection(false);
    list->header()->setMinimumSectionSize(0);
    list->setColumnWidth(COL_DATE, 80);
    list->setColumnWidth(COL_TIME, 80);
    list->setColumnWidth(COL_KIND, 70);
    list->setColumnWidth(COL_PATH, 0);
    m_items.insert(id, list);
    return list;
}

CBitmapButton* CListDlg::MakeButton(int id, int normal, int pressed)
{
    auto* b = new CBitmapButton(this);
    b->LoadBitmaps(normal, pressed);
    b->SizeToContent();
    b->setFocusPolicy(Qt::NoFocus);
    m_items.insert(id, b);
    return b;
}

bool CListDlg::OnInitDialog()
{
    m_bmpBackground = LoadBitmapResource(kBmpBackground);
    const QSize size = m_bmpBackground.isNull() ? QSize(256, 720) : m_bmpBackground.size();
    setFixedSize(size);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));

    // Visible list colours; the selection stays shown when the list has no focus.
    QPalette pal = m_listView->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(g, QPalette::Base, ToQColor(kListBack));
        pal.setColor(g, QPalette::Window, ToQColor(kListBack));
        pal.setColor(g, QPalette::Text, ToQColor(kListText));
        pal.setColor(g, QPalette::Highlight, QColor(0x33, 0x66, 0x99));
        pal.setColor(g, QPalette::HighlightedText, ToQColor(kListText));
    }
    m_listView->setPalette(pal);

    m_listView->setGeometry(0, 48, 256, 635);
    m_btnSortOrder->setGeometry(0, 36, 256, 12);
    m_listMaster->setGeometry(5000, 5000, 272, 647);
    m_listWork->setGeometry(10000, 10000, 272, 647);
    m_btnClose->setGeometry(230, 0, 25, 25);
    m_btnNormal->setGeometry(5, 695, 60, 15);
    m_btnEvent->setGeometry(68, 695, 60, 15);
    m_btnMotion->hide();
    m_btnAll->setGeometry(134, 695, 60, 15);
    m_btnManual->setGeometry(197, 695, 60, 15);
    m_btnManual->hide();

    // The window starts as after a click on "All" (every filter image lit).
    g_bListShowNormal = 1;
    g_bListShowEvent = 1;
    g_bListShowParking = 1;
    m_bDescending = 1;
    return true;
}

QWidget* CListDlg::GetDlgItem(int id) const { return m_items.value(id, nullptr); }

int CListDlg::AppendRow(QTreeWidget* list, const QString& date, const QString& time, const QString& kind,
                        const QString& path)
{
    auto* item = new QTreeWidgetItem({date, time, kind, path});
    item->setTextAlignment(COL_DATE, Qt::AlignLeft | Qt::AlignVCenter);
    item->setTextAlignment(COL_TIME, Qt::AlignCenter);
    item->setTextAlignment(COL_KIND, Qt::AlignCenter);
    item->setTextAlignment(COL_PATH, Qt::AlignCenter);
    list->addTopLevelItem(item);
    return list->topLevelItemCount() - 1;
}

int CListDlg::GetItemCount(const QTreeWidget* list) { return list ? list->topLevelItemCount() : 0; }

QString CListDlg::GetItemText(const QTreeWidget* list, int row, int column)
{
    if (!list || row < 0 || row >= list->topLevelItemCount())
        return QString();
    return list->topLevelItem(row)->text(column);
}

void CListDlg::DeleteAllItems(QTreeWidget* list)
{
    if (list)
        list->clear();
}

int CListDlg::GetSelectionMark() const
{
    const QTreeWidgetItem* item = m_listView->currentItem();
    return item ? m_listView->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

void CListDlg::SetSelectionMark(int row)
{
    QTreeWidgetItem* item = (row >= 0 && row < m_listView->topLevelItemCount()) ? m_listView->topLevelItem(row)
                                                                                : nullptr;
    if (!item) {
        m_listView->clearSelection();
        m_listView->setCurrentItem(nullptr);
        return;
    }
    m_listView->setCurrentItem(item);
    item->setSelected(true);
    m_listView->scrollToItem(item);
}

qint64 CListDlg::SortKeyFromPath(const QString& path)
{
    // The stamp is looked for in the file name itself, not at a fixed distance from the end:
    // the camera's event names ("..._E.mp4") are one character shorter than its normal ones.
    const QString name = path.mid(qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
    const int at = FindStamp(name);
    if (at < 0) return 0;
    return name.mid(at, 8).toLongLong() * 1000000 + name.mid(at + 9, 6).toLongLong();
}

int CListDlg::RefreshList()
{
    DeleteAllItems(m_listView);
    DeleteAllItems(m_listWork);

    const int masterCount = GetItemCount(m_listMaster);
    for (int i = 0; i < masterCount; ++i) {
        const QString kind = GetItemText(m_listMaster, i, COL_KIND);
        const bool pass = kind == QLatin1String("File") ||
                          ((kind == QLatin1String("Normal") || kind == QLatin1String("NORMAL")) && g_bListShowNormal == 1) ||
                          ((kind == QLatin1String("Event") || kind == QLatin1String("EVENT")) && g_bListShowEvent == 1) ||
                          ((kind == QLatin1String("Parking") || kind == QLatin1String("PARKING")) && g_bListShowParking == 1);
        if (pass)
            AppendRow(m_listWork, GetItemText(m_listMaster, i, COL_DATE), GetItemText(m_listMaster, i, COL_TIME), kind,
                      GetItemText(m_listMaster, i, COL_PATH));
    }

    const int count = GetItemCount(m_listWork);
    std::vector<qint64> keys(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        keys[static_cast<size_t>(i)] = SortKeyFromPath(GetItemText(m_listWork, i, COL_PATH));
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    // A stable sort: rows with equal keys keep their master-list order in both directions.
    if (m_bDescending)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)] > keys[size_t(b)]; });
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });

    for (int i = 0; i < count; ++i) {
        const int w = order[static_cast<size_t>(i)];
        AppendRow(m_listView, GetItemText(m_listWork, w, COL_DATE), GetItemText(m_listWork, w, COL_TIME),
                  GetItemText(m_listWork, w, COL_KIND), GetItemText(m_listWork, w, COL_PATH));
    }
    return count;
}

void CListDlg::SetFilterImages(int clicked)
{
    struct Pair { int normal, pressed; };
    Pair normal{}, motion{}, event{}, all{};
    switch (clicked) {
    case IDC_BTN_NORMAL:
        normal = {kBmpNormalLit, kBmpNormalUnlit};
        motion = {kBmpMotionUnlit, kBmpMotionLit};
        event = {kBmpEventUnlit, kBmpEventLit};
        all = {kBmpAllUnlit, kBmpAllLit};
        break;
    case IDC_BTN_EVENT:
        normal = {kBmpNormalUnlit, kBmpNormalLit};
        motion = {kBmpMotionUnlit, kBmpMotionLit};
        event = {kBmpEventLit, kBmpEventUnlit};
        all = {kBmpAllUnlit, kBmpAllLit};
        break;
    default:  // All
        normal = {kBmpNormalLit, kBmpNormalUnlit};
        motion = {kBmpMotionLit, kBmpMotionUnlit};
        event = {kBmpEventLit, kBmpEventUnlit};
        all = {kBmpAllLit, kBmpAllUnlit};
        break;
    }
    m_btnNormal->LoadBitmaps(normal.normal, normal.pressed);
    m_btnMotion->LoadBitmaps(motion.normal, motion.pressed);
    m_btnEvent->LoadBitmaps(event.normal, event.pressed);
    m_btnAll->LoadBitmaps(all.normal, all.pressed);
}

void CListDlg::OnBnClickedClose() { g_bListCloseRequest = 1; }

void CListDlg::OnBnClickedNormal()
{
    g_bListShowNormal = 1;
    g_bListShowEvent = 0;
    g_bListShowParking = 0;
    SetFilterImages(IDC_BTN_NORMAL);
    RefreshList();
}

void CListDlg::OnBnClickedEvent()
{
    g_bListShowNormal = 0;
    g_bListShowEvent = 1;
    g_bListShowParking = 0;
    SetFilterImages(IDC_BTN_EVENT);
    RefreshList();
}

void CListDlg::OnBnClickedAll()
{
    // "All" means every kind the search lists, so the recordings made while parked too.
    g_bListShowNormal = 1;
    g_bListShowEvent = 1;
    g_bListShowParking = 1;
    SetFilterImages(IDC_BTN_ALL);
    RefreshList();
}

void CListDlg::OnBnClickedMotion() { RefreshList(); }

void CListDlg::OnBnClickedManual() {}

void CListDlg::OnBnClickedSortOrder()
{
    if (m_bDescending) {
        m_bDescending = 0;
        m_btnSortOrder->LoadBitmaps(kBmpSortAscending);
    } else {
        m_bDescending = 1;
        m_btnSortOrder->LoadBitmaps(kBmpSortDescending);
    }
    const int count = RefreshList();
    if (m_pnCurrentRow) {
        // The same recording stays current: its row is mirrored. No current row stays none.
        const int old = *m_pnCurrentRow;
        *m_pnCurrentRow = (old >= 0 && old < count) ? (count - 1) - old : -1;
        SetSelectionMark(*m_pnCurrentRow);
    }
    m_listView->setFocus();
}

void CListDlg::OnNMClickList()
{
    const int mark = GetSelectionMark();
    m_listView->viewport()->update();
    update();
    SetSelectionMark(mark);
    g_bListPlayRequest = 1;
}

void CListDlg::OnNMDblclkList() { g_bListPlayRequest = 1; }

void CListDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_bmpBackground.isNull())
        p.drawImage(QPoint(0, 0), m_bmpBackground, QRect(QPoint(0, 0), size()));
}

void CListDlg::mousePressEvent(QMouseEvent* e)
{
    // A press anywhere on the window drags it, as on a caption.
    if (e->button() == Qt::LeftButton) {
        if (windowHandle() && windowHandle()->startSystemMove()) {
            e->accept();
            return;
        }
        m_bDragging = true;
        m_ptDrag = e->globalPosition().toPoint() - frameGeometry().topLeft();
        e->accept();
        return;
    }
    QDialog::mousePressEvent(e);
}

void CListDlg::mouseMoveEvent(QMouseEvent* e)
{
    if (m_bDragging && (e->buttons() & Qt::LeftButton)) {
        move(e->globalPosition().toPoint() - m_ptDrag);
        e->accept();
        return;
    }
    QDialog::mouseMoveEvent(e);
}

void CListDlg::mouseReleaseEvent(QMouseEvent* e)
{
    m_bDragging = false;
    QDialog::mouseReleaseEvent(e);
}

void CListDlg::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        e->accept();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}
