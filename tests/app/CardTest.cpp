// The card road of the main window: finding the card's recordings by kind folder, the
// recording table, SD open with its card and version checks, the folder buttons, the card
// pulled out while playing, and the SETUP button.
#include "CardTestSupport.h"

#include "app/CardGlobals.h"
#include "platform/DriveMonitor.h"
#include "settings/SelectDriveDlg.h"
#include "settings/SetupCommand.h"
#include "settings/SetupRecord.h"
#include "views/RecordingTable.h"

#include <QFile>
#include <QAbstractButton>
#include <QAbstractSlider>
#include <algorithm>

using namespace cardtest;

namespace {

class Card : public MainWindowTest {
protected:
    // A card folder seen as drive E:, with its Event folder so that it is found.
    QString MakeCard(const QString& name)
    {
        const QString card = FreshDir(name);
        QDir().mkpath(card + "/Event");
        UseDrives("E=" + card);
        return card;
    }
    static void Touch(const QString& path) { WriteFile(path, QByteArray("x")); }
    static QByteArray Factory(int size, const char* model = "ZQX")
    {
        QByteArray b(size, '\0');
        for (int i = 0; i < 3 && i < size; ++i) b[i] = model[i];
        return b;
    }
};

TEST_F(Card, SearchListsExactlyTheRecognisedFilesOfTheKindFolders)
{
    const QString card = MakeCard("tree");
    const QString listed[][4] = {
        {"Event/20170811_123456_NI.mp4", "2017-08-11", "12:34:56", "Event"},
        {"Event/sub/20170811_130102_NI.MP4", "2017-08-11", "13:01:02", "Event"},  // nested: the top folder counts
        {"Normal/20170812_100000_NI.Mp4", "2017-08-12", "10:00:00", "Normal"},
        {"Normal/deep/a/b/20170818_010203_NI.mp4", "2017-08-18", "01:02:03", "Normal"},
        {"Parking/20170813_110000_NI.avi", "2017-08-13", "11:00:00", "Parking"},
        {"EVENT/20170814_120000_NI.mp4", "2017-08-14", "12:00:00", "EVENT"},
        {"PARKING/20170814_120001_NI.AVI", "2017-08-14", "12:00:01", "PARKING"},
    };
    const char* skipped[] = {
        "event/20170815_120000_NI.mp4",     // kind names are case-sensitive
        "Movie/20170816_120000_NI.mp4",     // not a kind folder
        "20170817_120000_NI.mp4",           // at the top of the card: no kind
        "Normal/readme.txt",
        "Normal/20170817_120000_NI.mp4.bak",
        "Normal/20170817_120000_NI.mov",
    };
    std::vector<Row> expected;
    for (const auto& f : listed) {
        Touch(card + "/" + f[0]);
        expected.push_back({f[1], f[2], f[3], card + "/" + f[0]});
    }
    for (const char* f : skipped) Touch(card + "/" + f);
    // A link back up the tree ends the search there instead of running on for ever.
    ASSERT_EQ(QFile::link(card + "/Normal", card + "/Normal/deep/loop"), true);
    // One that leads off the card is not followed: what lies there is not on the card.
    const QString elsewhere = FreshDir("tree_elsewhere");
    Touch(elsewhere + "/20170819_120000_NI.mp4");
    ASSERT_EQ(QFile::link(elsewhere, card + "/Event/elsewhere"), true);
    ASSERT_EQ(QFile::link("/", card + "/Parking/system"), true);

    Start();
    g_nRecordingCount = 0;
    EXPECT_TRUE(dlg->OpenSdCardFolder("E:"));
    EXPECT_EQ(dlg->m_strCardPath, "E:");
    EXPECT_EQ(g_strCurrentFolder, "E:");
    EXPECT_EQ(g_bCardOpened, 1);

    std::vector<Row> rows = Rows(Master());
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(g_nRecordingCount, int(expected.size()));
    std::vector<QString> tablePaths;
    for (int i = 0; i < g_nRecordingCount; ++i) tablePaths.push_back(g_aRecordings[i].m_strPath);
    std::sort(tablePaths.begin(), tablePaths.end());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(tablePaths[i], expected[i].path);
}

TEST_F(Card, TableEntryOfACameraName)
{
    const QString card = MakeCard("one");
    Touch(card + "/Event/20170811_123456_NI.mp4");
    Start();
    g_aRecordings[0] = RecordingRecord();
    dlg->OpenSdCardFolder("E:");
    ASSERT_EQ(Master()->topLevelItemCount(), 1);
    EXPECT_EQ(Rows(Master())[0], (Row{"2017-08-11", "12:34:56", "Event", card + "/Event/20170811_123456_NI.mp4"}));
    EXPECT_EQ(g_nRecordingCount, 1);
    EXPECT_EQ(g_aRecordings[0].m_strDateTime, "2017-08-11 12:34:56");
    EXPECT_EQ(g_aRecordings[0].m_strPath, card + "/Event/20170811_123456_NI.mp4");
    EXPECT_TRUE(g_aRecordings[0].m_strSpare.isEmpty());
    // The visible list holds the row too (Event rows pass the list window's start filters).
    EXPECT_EQ(Visible()->topLevelItemCount(), 1);
}

TEST_F(Card, EmptyCardListsNothingAndKeepsTheCount)
{
    MakeCard("empty");
    Start();
    g_nRecordingCount = 7;
    dlg->m_nLanguage = 1;
    Click(IDC_BTN_SDOPEN);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
    EXPECT_EQ(Visible()->topLevelItemCount(), 0);
    EXPECT_EQ(g_nRecordingCount, 7);
    EXPECT_LT(dlg->m_player.GetState(), 0);  // the stop and play that follow open nothing
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:00");
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:00:00");
}

TEST_F(Card, MoreRecordingsThanTheTableHolds)
{
    const QString card = MakeCard("many");
    QDir().mkpath(card + "/Normal");
    const int n = kMaxRecordings + 5;
    for (int i = 0; i < n; ++i) {
        QFile f(QString("%1/Normal/20170811_%2_NI.mp4").arg(card).arg(i, 6, 10, QChar('0')));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    Start();
    dlg->OpenSdCardFolder("E:");
    // Every recording is listed; the table keeps its first entries and is never written past.
    EXPECT_EQ(Master()->topLevelItemCount(), n);
    EXPECT_EQ(g_nRecordingCount, kMaxRecordings);
    EXPECT_FALSE(g_aRecordings[kMaxRecordings - 1].m_strPath.isEmpty());
}

TEST_F(Card, SdOpenWithoutACardSaysSoInTheLanguage)
{
    struct Case {
        int language;
        const char* text;
        const char* title;
    } cases[] = {
        {2, "카르벤 SD 카드가 없습니다.", "카르벤"},
        {1, "There is no device SD card.", "VELMORA-21K"},
        {0, "SDカードを認識できません。", "ベルモラ-21K"},
        {4, "There is no device SD card.", "VELMORA-21K"},  // any other language reads English
    };
    Start();
    for (const Case& c : cases) {
        boxes.clear();
        dlg->m_nLanguage = c.language;
        dlg->m_nRearPane = kPaneSmall;
        Click(IDC_BTN_SDOPEN);
        ASSERT_EQ(boxes.size(), 1u) << c.language;
        EXPECT_EQ(boxes[0].text, QString::fromUtf8(c.text));
        EXPECT_EQ(boxes[0].title, QString::fromUtf8(c.title));
        EXPECT_EQ(boxes[0].style, MB_OK);
        EXPECT_EQ(dlg->m_nFrontPane, kPaneLarge);
        EXPECT_EQ(dlg->m_nRearPane, kPaneHidden);
        EXPECT_TRUE(dlg->m_strCardPath.isEmpty());
        EXPECT_EQ(dlg->m_bListPanelShown, 0);
    }
}

TEST_F(Card, SdOpenWithAShortFactoryFileShowsTheVersionMessage)
{
    const QString card = MakeCard("old_firmware");
    Touch(card + "/Event/20170811_123456_NI.mp4");
    WriteFile(card + "/SETUP/data_factory.cfg", Factory(77));
    Start();
    dlg->m_nLanguage = 1;
    Click(IDC_BTN_SDOPEN);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, VersionMismatchText());  // Japanese whatever the language
    EXPECT_TRUE(boxes[0].text.startsWith(QString::fromUtf8("本体とビュアーのバージョンが合っていません。\n ")));
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
    EXPECT_EQ(dlg->m_strCardPath, "E:");

    // 78 bytes pass the gate.
    WriteFile(card + "/SETUP/data_factory.cfg", Factory(78, "ABC"));
    boxes.clear();
    dlg->OpenSdCardFolder("E:");  // the listing alone: nothing to play in an empty file
    EXPECT_EQ(Master()->topLevelItemCount(), 1);
}

TEST_F(Card, SdOpenOnAGoodCardListsAndPlaysRowZero)
{
    const QString card = MakeCard("good");
    Recording(card + "/Event/20170811_123456_NI.mp4");
    Recording(card + "/Normal/20170810_090000_NI.mp4");
    // The camera's files say English.
    WriteFile(card + "/SETUP/data_factory.cfg", Factory(78));
    SetupRecord setup = DefaultSetupRecord();
    setup.SetWord(SetupWord::kLanguage, 1);
    setup.checksum = SetupRecordChecksum(setup);
    const SetupBytes bytes = SetupRecordToBytes(setup);
    WriteFile(card + "/data_setup.cfg", QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));

    Start();
    dlg->m_nLanguage = 0;
    Click(IDC_BTN_SDOPEN);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dlg->m_strCardPath, "E:");
    EXPECT_EQ(g_strCardDrive, "E:\\");
    EXPECT_EQ(dlg->m_nLanguage, 1);
    EXPECT_EQ(Master()->topLevelItemCount(), 2);
    // The list window is docked at the right edge and shown.
    EXPECT_EQ(dlg->m_bListPanelShown, 1);
    EXPECT_TRUE(dlg->m_pListDlg->isVisible());
    const QRect w = dlg->frameGeometry();
    EXPECT_EQ(dlg->m_pListDlg->geometry(), QRect(w.x() + w.width(), w.y(), 256, 720));
    // Row 0 of the visible list (the newest first) plays.
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->m_nCurrentRow, 0);
    EXPECT_EQ(CListDlg::GetItemText(Visible(), 0, 3), card + "/Event/20170811_123456_NI.mp4");
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:00:02");
}

TEST_F(Card, FolderButtonsListOneFolderOfTheCard)
{
    const QString card = MakeCard("folders");
    Touch(card + "/Event/20170811_123456_NI.mp4");
    Touch(card + "/Normal/20170812_100000_NI.mp4");
    Start();
    g_strCardDrive.clear();
    // No card opened yet and no drive to pick: the picker cancels itself and nothing is listed.
    const auto previous = CSelectDriveDlg::SetDriveSource([] { return std::vector<LogicalDrive>(); });
    dlg->OnBnClickedFolderNormal();
    CSelectDriveDlg::SetDriveSource(previous);
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
    EXPECT_TRUE(g_strCardDrive.isEmpty());

    g_strCardDrive = "E:\\";
    dlg->OnBnClickedFolderNormal();
    EXPECT_EQ(dlg->m_strCardPath, "E:\\Normal");
    ASSERT_EQ(Master()->topLevelItemCount(), 1);
    EXPECT_EQ(Rows(Master())[0].kind, "Normal");
    dlg->OnBnClickedFolderEvent();
    ASSERT_EQ(Master()->topLevelItemCount(), 1);
    EXPECT_EQ(Rows(Master())[0].kind, "Event");
    dlg->OnBnClickedFolderMotion();
    EXPECT_EQ(dlg->m_strCardPath, "E:\\Motion");
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
}

TEST_F(Card, RemovingTheOpenCardStopsAndResetsEverything)
{
    const QString card = MakeCard("pulled");
    const QString other = FreshDir("other_drive");
    // Long enough that a loaded machine still sees it playing at its first second.
    Recording(card + "/Event/20170811_123456_NI.mp4", 1, recgen::Container::Mp4, 5000);
    UseDrives("E=" + card + ";G=" + other);
    Start();
    Click(IDC_BTN_SDOPEN);
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    QTRY_COMPARE_WITH_TIMEOUT(Label(IDC_LABEL_POSITION), QString("00:00:01"), 6000);

    // Another drive goes: nothing changes.
    UseDrives("E=" + card);
    EXPECT_EQ(dlg->m_pDriveMonitor->Poll(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->m_strCardPath, "E:");
    EXPECT_EQ(Master()->topLevelItemCount(), 1);

    // The card goes: the event arrives through the window's queue, not from inside the poll.
    UseDrives("");
    EXPECT_EQ(dlg->m_pDriveMonitor->Poll(), 1);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    QCoreApplication::processEvents();
    EXPECT_LT(dlg->m_player.GetState(), 0);
    EXPECT_FALSE(dlg->PlaybackTimerRunning());
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
    EXPECT_EQ(Visible()->topLevelItemCount(), 0);
    EXPECT_TRUE(dlg->m_strCardPath.isEmpty());
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:00");
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:00:00");
    EXPECT_EQ(dlg->Item<QAbstractSlider>(IDC_SLIDER_POSITION)->value(), 0);
    EXPECT_EQ(dlg->Item<QAbstractSlider>(IDC_SLIDER_VOLUME)->value(), 50);
    EXPECT_EQ(dlg->Item<QAbstractSlider>(IDC_SLIDER_1003)->value(), 5);
    EXPECT_EQ(dlg->Item<QAbstractButton>(IDC_BTN_PLAY)->text(), "Play");
    // The window stays usable: the timer no longer runs, nothing restarts.
    QTest::qWait(300);
    EXPECT_LT(dlg->m_player.GetState(), 0);
}

TEST_F(Card, RemovalOfAFolderOfTheCardOrOfNothingOpen)
{
    const QString card = MakeCard("folder_pulled");
    Touch(card + "/Normal/20170812_100000_NI.mp4");
    Start();
    // Nothing open: a removed drive changes nothing.
    dlg->OnShellDriveChange("E:\\", SHCNE_DRIVEREMOVED);
    EXPECT_TRUE(dlg->m_strCardPath.isEmpty());
    // A folder of the card is open (folder button): its drive going away resets the lists.
    g_strCardDrive = "E:\\";
    dlg->OnBnClickedFolderNormal();
    ASSERT_EQ(Master()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg->OnShellDriveChange("E:\\", SHCNE_MEDIAREMOVED), 0);
    EXPECT_EQ(Master()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg->OnShellDriveChange("E:\\", SHCNE_DRIVEREMOVED), 0);
    EXPECT_EQ(Master()->topLevelItemCount(), 0);
    EXPECT_TRUE(g_strCardDrive.isEmpty());
}

TEST_F(Card, SetupButtonWithoutACard)
{
    Start();
    dlg->m_bMapProvider = 0;
    dlg->GetDlgItem(IDC_MAP_VIEW)->move(5000, 5000);
    dlg->m_nLanguage = 1;
    Click(IDC_BTN_SETUP);
    // The language read at the start makes it Japanese without a card.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QString::fromUtf8("SDカードを認識できません。"));
    EXPECT_EQ(dlg->m_nLanguage, 0);
    EXPECT_EQ(dlg->m_bMapProvider, 1);
    EXPECT_EQ(dlg->GetDlgItem(IDC_MAP_VIEW)->geometry(), QRect(680, 354, 326, 353));
    EXPECT_EQ(dlg->GetDlgItem(IDC_BROWSER)->geometry(), QRect(5000, 5000, 345, 270));
}

TEST_F(Card, SetupButtonWithAShortFactoryFileAndThenTheNewLanguage)
{
    const QString card = MakeCard("setup_card");
    WriteFile(card + "/SETUP/data_factory.cfg", Factory(40));
    SetupRecord setup = DefaultSetupRecord();
    setup.SetWord(SetupWord::kLanguage, 2);
    setup.checksum = SetupRecordChecksum(setup);
    const SetupBytes bytes = SetupRecordToBytes(setup);
    WriteFile(card + "/data_setup.cfg", QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    Start();
    Click(IDC_BTN_SETUP);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, VersionMismatchText());
    EXPECT_EQ(dlg->m_strCardPath, "E:");
    // The model code is there: the language comes from the card's settings.
    EXPECT_EQ(dlg->m_nLanguage, 2);

    // Without the model code the language stays as it was.
    WriteFile(card + "/SETUP/data_factory.cfg", Factory(40, "ABC"));
    dlg->m_nLanguage = 1;
    boxes.clear();
    Click(IDC_BTN_SETUP);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(dlg->m_nLanguage, 1);
}

}  // namespace

CARD_TEST_MAIN
