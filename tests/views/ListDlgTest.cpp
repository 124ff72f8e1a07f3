// The recording list window: kind filters, date order both ways, the request flags, and the
// window's own look.
#include "controls/BitmapButton.h"
#include "controls/GuiTest.h"
#include "platform/Resources.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"

#include <QTest>
#include <QTreeWidget>

#include <algorithm>

namespace {

struct Row {
    const char* kind;
    const char* name;  // file name, normally "YYYYMMDD_HHMMSS" then the camera's fields
};

class ListDlg : public GuiTest {
protected:
    void Fill(std::initializer_list<Row> rows)
    {
        for (const Row& r : rows) Add(QString::fromLatin1(r.kind), QString::fromLatin1(r.name));
    }
    // A master-list row as the card search writes it for a file name in a kind folder.
    void Add(const QString& kind, const QString& name)
    {
        const QString path = QStringLiteral("/media/card/%1/%2").arg(kind, name);
        CListDlg::AppendRow(dlg.GetMasterList(), StampDate(name), StampTime(name), kind, path);
    }
    QStringList VisibleNames() const
    {
        QStringList names;
        for (int i = 0; i < CListDlg::GetItemCount(dlg.GetVisibleList()); ++i)
            names << CListDlg::GetItemText(dlg.GetVisibleList(), i, CListDlg::COL_PATH).section('/', -1);
        return names;
    }
    void Click(int id)
    {
        auto* b = qobject_cast<QAbstractButton*>(dlg.GetDlgItem(id));
        ASSERT_NE(b, nullptr) << id;
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    }
    CListDlg dlg;
};

TEST_F(ListDlg, StartsWithEveryKindShownNewestFirst)
{
    EXPECT_EQ(dlg.size(), QSize(256, 720));
    EXPECT_EQ(g_bListShowNormal, 1);
    EXPECT_EQ(g_bListShowEvent, 1);
    EXPECT_EQ(g_bListShowParking, 1);
    EXPECT_EQ(g_bListPlayRequest, 0);
    EXPECT_EQ(g_bListCloseRequest, 0);
    EXPECT_TRUE(dlg.IsDescending());
    EXPECT_EQ(dlg.GetDlgItem(CListDlg::IDC_LIST_VIEW)->geometry(), QRect(0, 48, 256, 635));
    EXPECT_EQ(dlg.GetDlgItem(CListDlg::IDC_LIST_MASTER)->pos(), QPoint(5000, 5000));
    EXPECT_EQ(dlg.GetDlgItem(CListDlg::IDC_LIST_WORK)->pos(), QPoint(10000, 10000));
    EXPECT_EQ(dlg.GetDlgItem(CListDlg::IDC_BTN_CLOSE)->geometry(), QRect(230, 0, 25, 25));
    EXPECT_TRUE(dlg.GetDlgItem(CListDlg::IDC_BTN_MOTION)->isHidden());
    EXPECT_TRUE(dlg.GetDlgItem(CListDlg::IDC_BTN_MANUAL)->isHidden());
    EXPECT_EQ(dlg.RefreshList(), 0);  // an empty master list
}

TEST_F(ListDlg, FiltersByKindAndAlwaysShowsFileRows)
{
    Fill({{"Normal", "20240101_100000_NF.mp4"},
          {"Event", "20240101_110000_EF.mp4"},
          {"Parking", "20240101_120000_PF.mp4"},
          {"File", "20240101_130000_NF.mp4"},
          {"NORMAL", "20240101_140000_NF.mp4"},
          {"normal", "20240101_150000_NF.mp4"},  // lower case never passes
          {"EVENT", "20240101_160000_EF.mp4"}});
    const QStringList all = {"20240101_160000_EF.mp4", "20240101_140000_NF.mp4", "20240101_130000_NF.mp4",
                             "20240101_120000_PF.mp4", "20240101_110000_EF.mp4", "20240101_100000_NF.mp4"};
    EXPECT_EQ(dlg.RefreshList(), 6);
    EXPECT_EQ(VisibleNames(), all);
    Click(CListDlg::IDC_BTN_NORMAL);
    EXPECT_EQ(g_bListShowEvent, 0);
    EXPECT_EQ(g_bListShowParking, 0);
    EXPECT_EQ(VisibleNames(), QStringList({"20240101_140000_NF.mp4", "20240101_130000_NF.mp4", "20240101_100000_NF.mp4"}));
    Click(CListDlg::IDC_BTN_EVENT);
    EXPECT_EQ(g_bListShowParking, 0);
    EXPECT_EQ(VisibleNames(), QStringList({"20240101_160000_EF.mp4", "20240101_130000_NF.mp4", "20240101_110000_EF.mp4"}));
    // "All" lists the recordings made while parked as well.
    Click(CListDlg::IDC_BTN_ALL);
    EXPECT_EQ(g_bListShowParking, 1);
    EXPECT_EQ(VisibleNames(), all);
    EXPECT_EQ(CListDlg::GetItemCount(dlg.GetMasterList()), 7);
    // The visible rows carry all four columns.
    EXPECT_EQ(CListDlg::GetItemText(dlg.GetVisibleList(), 0, CListDlg::COL_DATE), QStringLiteral("2024-01-01"));
    EXPECT_EQ(CListDlg::GetItemText(dlg.GetVisibleList(), 0, CListDlg::COL_TIME), QStringLiteral("16:00:00"));
    EXPECT_EQ(CListDlg::GetItemText(dlg.GetVisibleList(), 0, CListDlg::COL_KIND), QStringLiteral("EVENT"));
}

TEST_F(ListDlg, FilterButtonsShowWhichFilterIsLit)
{
    auto image = [&](int id) { return qobject_cast<CBitmapButton*>(dlg.GetDlgItem(id))->GetNormalImage(); };
    Click(CListDlg::IDC_BTN_EVENT);
    EXPECT_EQ(image(CListDlg::IDC_BTN_EVENT), LoadBitmapResource(461));
    EXPECT_EQ(image(CListDlg::IDC_BTN_NORMAL), LoadBitmapResource(465));
    EXPECT_EQ(image(CListDlg::IDC_BTN_ALL), LoadBitmapResource(474));
    Click(CListDlg::IDC_BTN_ALL);
    EXPECT_EQ(image(CListDlg::IDC_BTN_ALL), LoadBitmapResource(473));
    EXPECT_EQ(image(CListDlg::IDC_BTN_NORMAL), LoadBitmapResource(460));
}

TEST_F(ListDlg, SortToggleReversesAndKeepsTheCurrentRecordingSelected)
{
    Fill({{"Normal", "20230505_080000_NF.mp4"},
          {"Normal", "20240101_000001_NF.mp4"},
          {"Event", "20231231_235959_EF.mp4"},
          {"Normal", "20231231_235959_NR.mp4"}});  // the same moment as the row before
    int current = -1;
    dlg.SetSelectedIndexPtr(&current);
    dlg.RefreshList();
    EXPECT_EQ(VisibleNames(), QStringList({"20240101_000001_NF.mp4", "20231231_235959_EF.mp4", "20231231_235959_NR.mp4",
                                           "20230505_080000_NF.mp4"}));
    current = 0;
    Click(CListDlg::IDC_BTN_SORT);
    EXPECT_FALSE(dlg.IsDescending());
    EXPECT_EQ(qobject_cast<CBitmapButton*>(dlg.GetDlgItem(CListDlg::IDC_BTN_SORT))->GetNormalImage(),
              LoadBitmapResource(477));
    // Equal keys keep the search's order in both directions.
    EXPECT_EQ(VisibleNames(), QStringList({"20230505_080000_NF.mp4", "20231231_235959_EF.mp4", "20231231_235959_NR.mp4",
                                           "20240101_000001_NF.mp4"}));
    EXPECT_EQ(current, 3);
    EXPECT_EQ(dlg.GetSelectionMark(), 3);
    EXPECT_TRUE(dlg.GetVisibleList()->topLevelItem(3)->isSelected());
    Click(CListDlg::IDC_BTN_SORT);
    EXPECT_TRUE(dlg.IsDescending());
    EXPECT_EQ(current, 0);
    EXPECT_EQ(dlg.GetSelectionMark(), 0);
}

TEST_F(ListDlg, SortToggleWithNoCurrentRowSelectsNothing)
{
    Fill({{"Normal", "20230505_080000_NF.mp4"}, {"Normal", "20240101_000001_NF.mp4"}});
    int current = -1;
    dlg.SetSelectedIndexPtr(&current);
    dlg.RefreshList();
    Click(CListDlg::IDC_BTN_SORT);
    EXPECT_EQ(current, -1);
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
    EXPECT_TRUE(dlg.GetVisibleList()->selectedItems().isEmpty());
}

TEST_F(ListDlg, ClickOnARowRaisesThePlayRequestAndCloseTheCloseRequest)
{
    Fill({{"Normal", "20240101_100000_NF.mp4"}, {"Event", "20240101_110000_EF.mp4"}});
    dlg.RefreshList();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTreeWidget* list = dlg.GetVisibleList();
    const QRect row1 = list->visualItemRect(list->topLevelItem(1));
    ASSERT_FALSE(row1.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row1.center());
    EXPECT_EQ(g_bListPlayRequest, 1);
    EXPECT_EQ(dlg.GetSelectionMark(), 1);
    EXPECT_EQ(CListDlg::GetItemText(list, dlg.GetSelectionMark(), CListDlg::COL_PATH),
              QStringLiteral("/media/card/Normal/20240101_100000_NF.mp4"));
    g_bListPlayRequest = 0;
    // A click below the last row is not on a row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 600));
    EXPECT_EQ(g_bListPlayRequest, 0);
    // A double click on a row: its first click already asks, the second press asks again.
    const QPointF row0 = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row0.toPoint());
    EXPECT_EQ(g_bListPlayRequest, 1);
    g_bListPlayRequest = 0;
    QMouseEvent dbl(QEvent::MouseButtonDblClick, row0, list->viewport()->mapToGlobal(row0), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &dbl);
    EXPECT_EQ(g_bListPlayRequest, 1);
    EXPECT_EQ(dlg.GetSelectionMark(), 0);
    EXPECT_EQ(g_bListCloseRequest, 0);
    Click(CListDlg::IDC_BTN_CLOSE);
    EXPECT_EQ(g_bListCloseRequest, 1);
    EXPECT_TRUE(dlg.isVisible());  // the close button only asks
}

TEST_F(ListDlg, EnterAndEscapeDoNotCloseIt)
{
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Return);
    QTest::keyClick(dlg.GetVisibleList(), Qt::Key_Escape);
    QTest::keyClick(dlg.GetVisibleList(), Qt::Key_Enter);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(ListDlg, ConstructionClearsTheRequests)
{
    g_bListPlayRequest = 1;
    g_bListCloseRequest = 1;
    CListDlg other;
    EXPECT_EQ(g_bListPlayRequest, 0);
    EXPECT_EQ(g_bListCloseRequest, 0);
}

TEST_F(ListDlg, PressAnywhereDragsTheWindow)
{
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const QPoint start = dlg.pos();
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(130, 30), dlg.mapToGlobal(QPointF(130, 30)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &move);
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(130, 30));
    EXPECT_EQ(dlg.pos(), start + QPoint(30, 10));
}

TEST_F(ListDlg, RecordingTableRefusesEntriesPastItsEnd)
{
    RecordingRecord r;
    r.m_strPath = QStringLiteral("/card/Normal/20240101_100000_NF.mp4");
    ASSERT_TRUE(StoreRecording(0, r));
    EXPECT_EQ(g_nRecordingCount, 1);
    ASSERT_TRUE(StoreRecording(kMaxRecordings - 1, r));
    EXPECT_EQ(g_nRecordingCount, kMaxRecordings);
    EXPECT_FALSE(StoreRecording(kMaxRecordings, r));
    EXPECT_FALSE(StoreRecording(-1, r));
    EXPECT_EQ(g_nRecordingCount, kMaxRecordings);
    EXPECT_EQ(RecordingAt(kMaxRecordings), nullptr);
    EXPECT_EQ(RecordingAt(0)->m_strPath, r.m_strPath);
}

struct KeyCase {
    const char* path;
    qint64 key;
};

TEST_F(ListDlg, SortKeyFromThePathsDateAndTime)
{
    const KeyCase cases[] = {
        {"/card/Normal/20170811_123456_NI.mp4", 20170811123456LL},
        {"20170811_123456_NI.mp4", 20170811123456LL},
        {"/card/Event/20170811_120030_E.mp4", 20170811120030LL},     // the camera's event names are shorter
        {"/card/Parking/20170811_120030_X.avi", 20170811120030LL},
        {"/card/Normal/20170811_120030_I.MP4", 20170811120030LL},
        {"/card/Event/sub/20170811_120030.Mp4", 20170811120030LL},   // no field after the stamp
        {"E:/Event/x/20240229_000000_EF.avi", 20240229000000LL},
        {"E:\\Event\\20240229_000001_E.mp4", 20240229000001LL},
        {"/media/20991231_235959/Event/20170811_120030_E.mp4", 20170811120030LL},  // the name's stamp counts
        {"/card/Event/CAM^20170811_120030^a^b^c^E.mp4", 20170811120030LL},
        {"/card/Event/front-20170811-120030-cam.mp4", 20170811120030LL},
        {"/card/Event/1_20170811_120030_E.mp4", 20170811120030LL},
        {"short.mp4", 0},  // no stamp: key 0
        {"", 0},
        {"/card/Normal/abcdefgh_123456_NI.mp4", 0},
        {"/card/Normal/2017081x_12345x_NI.mp4", 0},
        {"/card/Normal/20170811123456_NI.mp4", 0},  // no mark between date and time
        {"/card/Normal/20170811_12345_NI.mp4", 0},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(CListDlg::SortKeyFromPath(QString::fromLatin1(c.path)), c.key) << c.path;
}

TEST_F(ListDlg, SortsEveryNameShapeTheSearchAccepts)
{
    // In search order, not in time order: both lengths of the camera's last field, none, the
    // marked fields of the split, and every case of the two extensions.
    Fill({{"Event", "20170811_120030_E.mp4"},
          {"Normal", "20170811_120000_NI.mp4"},
          {"Event", "20170811_120215_E.MP4"},
          {"Parking", "20170811_120100_X.avi"},
          {"Normal", "20170811_115959_I.Mp4"},
          {"EVENT", "20170811_120216.AVI"},
          {"File", "CAM^20170811_120001^a^b^c^NI.mp4"},
          {"NORMAL", "20170810_235959_NI.mp4"}});
    const QStringList newestFirst = {"20170811_120216.AVI",   "20170811_120215_E.MP4", "20170811_120100_X.avi",
                                     "20170811_120030_E.mp4", "CAM^20170811_120001^a^b^c^NI.mp4",
                                     "20170811_120000_NI.mp4", "20170811_115959_I.Mp4", "20170810_235959_NI.mp4"};
    EXPECT_EQ(dlg.RefreshList(), 8);
    EXPECT_EQ(VisibleNames(), newestFirst);
    Click(CListDlg::IDC_BTN_SORT);
    QStringList oldestFirst = newestFirst;
    std::reverse(oldestFirst.begin(), oldestFirst.end());
    EXPECT_EQ(VisibleNames(), oldestFirst);
}

TEST_F(ListDlg, EventListSortedNewestFirstForReview)
{
    // Event recordings named the way the camera and the demo card name them, in the order a
    // search may find them, among normal ones.
    const int found[][3] = {{12, 0, 30}, {12, 0, 0}, {12, 2, 15}, {12, 1, 0}, {11, 59, 45}, {12, 3, 5}};
    for (const auto& t : found) {
        Add("Event", QString::fromStdString(recgen::RecordingFileName("Event", 2017, 8, 11, t[0], t[1], t[2])));
        Add("Normal", QString::fromStdString(recgen::RecordingFileName("Normal", 2017, 8, 11, t[0], t[1], t[2] + 1)));
    }
    Click(CListDlg::IDC_BTN_EVENT);
    QStringList times;
    for (int i = 0; i < CListDlg::GetItemCount(dlg.GetVisibleList()); ++i) {
        EXPECT_EQ(CListDlg::GetItemText(dlg.GetVisibleList(), i, CListDlg::COL_KIND), QStringLiteral("Event"));
        times << CListDlg::GetItemText(dlg.GetVisibleList(), i, CListDlg::COL_TIME);
    }
    EXPECT_EQ(times, QStringList({"12:03:05", "12:02:15", "12:01:00", "12:00:30", "12:00:00", "11:59:45"}));

    dlg.show();
    const QString path = SaveArtefact(&dlg, QStringLiteral("listdlg_event_sorted"));
    const QImage shot(path);
    ASSERT_FALSE(shot.isNull()) << path.toStdString();
    // Six rows drawn as text on the list's grey, and the grey below them.
    const QRect last = dlg.GetVisibleList()->visualItemRect(dlg.GetVisibleList()->topLevelItem(5));
    const QPoint inRow = dlg.GetVisibleList()->viewport()->mapTo(&dlg, last.topLeft());
    int light = 0;
    for (int x = 0; x < 230; ++x)
        for (int y = inRow.y(); y < inRow.y() + last.height(); ++y) light += qGray(shot.pixel(x, y)) > 160;
    EXPECT_GT(light, 20);
    EXPECT_EQ(Rgb(shot, 128, inRow.y() + 3 * last.height()), 0x333333u);
}

TEST_F(ListDlg, DrawsItsSkinAndListForReview)
{
    Fill({{"Normal", "20240101_100000_NF.mp4"},
          {"Event", "20240101_110000_EF.mp4"},
          {"Normal", "20240102_093015_NF.mp4"},
          {"File", "20231224_180000_NF.mp4"}});
    dlg.RefreshList();
    dlg.SetSelectionMark(1);
    dlg.show();
    const QImage shot = Render(&dlg);
    SaveArtefact(&dlg, QStringLiteral("listdlg"));
    // The skin's title bar and the list's grey ground.
    const QImage skin = LoadBitmapResource(464);
    EXPECT_EQ(Rgb(shot, 100, 5), Rgb(skin, 100, 5));
    EXPECT_EQ(Rgb(shot, 128, 600), 0x333333u);
    EXPECT_EQ(Rgb(shot, 240, 3), Rgb(LoadBitmapResource(265), 10, 3));
}

} // namespace
