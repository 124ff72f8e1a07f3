// The settings editor on card trees: tabs and pages per language, edits on every page family
// written to the card with their scales, the save question, and screenshots of every page.
#include "CardFixture.h"
#include "GuiSupport.h"
#include "platform/DialogUnits.h"
#include "settings/CardFiles.h"
#include "settings/NewSetupDlg.h"
#include "settings/SetupFont.h"
#include "settings/SetupPage.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTabBar>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <thread>

namespace {

std::unique_ptr<CNewSetupDlg> OpenEditor(int language)
{
    auto dlg = std::make_unique<CNewSetupDlg>(QStringLiteral("E:"), language);
    dlg->show();
    QApplication::processEvents();
    return dlg;
}

void SelectTab(CNewSetupDlg& dlg, int tab)
{
    QTabBar* bar = dlg.TabCtrl()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
}

std::vector<CSetupPage*> VisiblePages(const CNewSetupDlg& dlg)
{
    std::vector<CSetupPage*> out;
    for (int i = 0; i < CNewSetupDlg::kPageCount; ++i)
        if (dlg.Page(i) && dlg.Page(i)->isVisible()) out.push_back(dlg.Page(i));
    return out;
}

QWidget* Ctl(const CNewSetupDlg& dlg, int id)
{
    const auto pages = VisiblePages(dlg);
    return pages.size() == 1 ? pages[0]->Control(id) : nullptr;
}

void ReleaseSliderAt(QWidget* w, int position)
{
    auto* s = qobject_cast<QSlider*>(w);
    ASSERT_NE(s, nullptr);
    s->setValue(position);   // where the drag left it
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(s->width() / 2, s->height() / 2));
}

class Editor : public GuiTest {};

// ---- tabs and pages

struct TabsCase {
    int language;
    const char* captions[5];
    const char* pages[5];
};

TEST_F(Editor, FiveTabsAndTheirPagesPerLanguage)
{
    const TabsCase cases[] = {
        {2, {"스마트카", "블랙박스", "환경설정", "차종설정", "GMT"},
         {"CTabTwoDlg", "CTabThreeDlg", "CTabFourDlg", "CTabOneDlg", "CTabFiveDlg"}},
        {1, {"SmartCar", "BlackBox", "Setup", "Install", "GMT"},
         {"CTabTwoEngDlg", "CTabThreeEngDlg", "CTabFourEngDlg", "CTabOneEngDlg", "CTabFiveDlg"}},
        {0, {"運転支援", "ドライブレコーダー", "各種設定", "インストール", "時刻設定"},
         {"CTabTwoJpnDlg", "CTabThreeJpnDlg", "CTabFourJpnDlg", "CTabOneJpnDlg", "CTabFiveDlg"}},
    };
    CardTree card("editor_tabs");
    card.WriteSetup(DistinctRecord());
    for (const TabsCase& c : cases) {
        SCOPED_TRACE(c.language);
        BoxRecorder boxes;
        auto dlg = OpenEditor(c.language);
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Setup"));
        ASSERT_EQ(dlg->TabCtrl()->GetItemCount(), 5);
        for (int t = 0; t < 5; ++t) EXPECT_EQ(dlg->TabCtrl()->GetItemText(t), QString::fromUtf8(c.captions[t]));
        // Tab 0 first, then every tab by a click, and back to the first.
        for (int t : {0, 1, 2, 3, 4, 0}) {
            if (t != 0 || dlg->TabCtrl()->GetCurSel() != 0) SelectTab(*dlg, t);
            EXPECT_EQ(dlg->TabCtrl()->GetCurSel(), t);
            const auto visible = VisiblePages(*dlg);
            ASSERT_EQ(visible.size(), 1u) << "tab " << t;
            EXPECT_STREQ(visible[0]->metaObject()->className(), c.pages[t]);
            EXPECT_EQ(visible[0]->pos(), QPoint(3, 22));
        }
        dlg->close();
        EXPECT_TRUE(boxes.seen.empty());
    }
}

TEST_F(Editor, ThirteenPagesInTheirFixedOrder)
{
    CardTree card("editor_order");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    auto dlg = OpenEditor(1);
    const char* order[] = {"CTabOneDlg", "CTabTwoDlg", "CTabThreeDlg", "CTabFourDlg", "CTabFiveDlg",
                           "CTabOneEngDlg", "CTabTwoEngDlg", "CTabThreeEngDlg", "CTabFourEngDlg",
                           "CTabOneJpnDlg", "CTabTwoJpnDlg", "CTabThreeJpnDlg", "CTabFourJpnDlg"};
    const int templates[] = {6391, 6388, 6389, 6390, 7395, 7391, 7388, 7392, 7393, 7399, 7389, 7397, 9396};
    for (int i = 0; i < 13; ++i) {
        ASSERT_NE(dlg->Page(i), nullptr);
        EXPECT_STREQ(dlg->Page(i)->metaObject()->className(), order[i]);
        EXPECT_EQ(dlg->Page(i)->TemplateId(), templates[i]);
        EXPECT_EQ(dlg->Page(i)->Record(), &dlg->WorkingRecord());
        EXPECT_EQ(dlg->Page(i)->parentWidget(), dlg->TabCtrl());
    }
    dlg->close();
}

TEST_F(Editor, LanguagesBeyondTheThreeShowNoTabsAndNoPage)
{
    for (int language : {3, 4, 5}) {
        CardTree card("editor_lang" + QString::number(language));
        SetupRecord r = DistinctRecord();
        r.SetWord(SetupWord::kLanguage, static_cast<std::uint16_t>(language));
        card.WriteSetup(r);
        BoxRecorder boxes;
        auto dlg = OpenEditor(language);
        EXPECT_EQ(dlg->TabCtrl()->GetItemCount(), 0);
        EXPECT_TRUE(VisiblePages(*dlg).empty());
        EXPECT_EQ(dlg->WorkingRecord().Word(SetupWord::kLanguage), language);
        dlg->close();
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_EQ(card.Setup(), ToQBytes(r));
    }
}

TEST_F(Editor, LaidOutFromItsTemplateInDialogUnits)
{
    CardTree card("editor_layout");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    for (int language : {0, 1, 2}) {
        auto dlg = OpenEditor(language);
        const QFont font = SetupDialogFont(language);
        EXPECT_EQ(dlg->size(), DialogUnitsToPixels(QRect(0, 0, 311, 265), font).size());
        EXPECT_EQ(dlg->TabCtrl()->geometry(), DialogUnitsToPixels(QRect(7, 7, 297, 251), font));
        const QRect inside(QPoint(0, 0), dlg->TabCtrl()->size());
        for (int i = 0; i < CNewSetupDlg::kPageCount; ++i) {
            CSetupPage* page = dlg->Page(i);
            EXPECT_TRUE(inside.contains(page->geometry())) << page->metaObject()->className();
            const QRect pageRect(QPoint(0, 0), page->size());
            for (QWidget* w : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                EXPECT_TRUE(pageRect.contains(w->geometry()))
                    << page->metaObject()->className() << " control " << w->objectName().toStdString();
        }
        dlg->close();
    }
}

// ---- captions of every page

// Buttons and group boxes draw "&&" as one '&' and take a lone '&' as a shortcut mark: the mark
// is not drawn and underlines the character after it.
QString WithoutShortcutMarks(const QString& text, bool* marked = nullptr)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            } else if (marked) {
                *marked = true;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

// The text as the control shows it; labels without a buddy show theirs as it is.
QString CaptionOf(QWidget* w, bool* marked = nullptr)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return WithoutShortcutMarks(b->text(), marked);
    if (auto* g = qobject_cast<QGroupBox*>(w)) return WithoutShortcutMarks(g->title(), marked);
    if (auto* l = qobject_cast<QLabel*>(w)) return l->buddy() ? WithoutShortcutMarks(l->text(), marked) : l->text();
    return QStringLiteral("<no caption>");
}

struct PageTexts {
    int page;                                      // index in the fixed order
    std::vector<std::pair<int, const char*>> captions;
    std::vector<const char*> unnamed;              // texts of controls without an id
    std::vector<int> hidden;                       // controls that the page keeps hidden
};

TEST_F(Editor, EveryPageCarriesItsCaptions)
{
    const PageTexts pages[] = {
        {0, {{1219, "승용차"}, {1220, "경차"}, {1221, "SUV"}, {1222, "RV"}, {1223, "버스"}, {1224, "트럭"},
             {1225, "좌측"}, {1226, "중앙"}, {1227, "우측"}}, {}, {}},
        {5, {{1259, "Sedan"}, {1271, "Compact Car"}, {1272, "SUV"}, {1273, "RV"}, {1274, "Bus"}, {1275, "Truck"},
             {1276, "Left"}, {1277, "Center"}, {1278, "Right"}}, {}, {}},
        {9, {{1390, "乗用車"}, {1391, "コンパクトカー"}, {1392, "SUV"}, {1393, "ミニバン"}, {1394, "バス"},
             {1395, "トラック"}, {1396, "左側"}, {1397, "中央"}, {1398, "右側"}, {1402, "取付状況"}}, {}, {}},
        {1, {{1231, "전방추돌경보"}, {1232, "차선이탈경보"}, {1233, "차량출발안내"}, {1235, "민감"}, {1236, "보통"},
             {1237, "둔감"}}, {}, {}},
        {6, {{1281, "FCW"}, {1282, "LDW"}, {1283, "Beep & Watch"}, {1291, "HMW"}, {1288, "Sensitive"},
             {1289, "Normal"}, {1290, "Insensitive"}}, {}, {}},
        {10, {{1380, "前方衝突警戒"}, {1381, "車線逸脱警戒"}, {1382, "前車発進お知らせ"}, {1390, "車間距離情報"},
              {1385, "高"}, {1386, "中"}, {1387, "低"}, {1402, "アラーム感度"}, {1403, "アラーム感度（左）"},
              {1404, "アラーム感度（右）"}, {1405, "前方衝突警戒"}, {1406, "車線逸脱警戒"}}, {}, {}},
        {2, {{1239, "연속저장"}, {1240, "음성저장"}, {1241, "민감"}, {1242, "보통"}, {1243, "둔감"}, {1244, "민감"},
             {1245, "보통"}, {1246, "둔감"}, {1197, "FULL HD"}, {1198, "HD"}, {1199, "VGA"}}, {"방전방지전압"}, {}},
        {7, {{1291, "Continuous Recording"}, {1292, "Voice Recording"}, {1297, "Sensitive"}, {1298, "Normal"},
             {1299, "Insensitive"}, {1300, "FULL HD"}, {1301, "HD"}, {1302, "VGA"}, {1409, "Impact level for G sensor"}},
         {}, {1244, 1245, 1246, 1339}},
        {11, {{1362, "常時録画自動スタート"}, {1363, "音声記録"}, {1365, "高"}, {1366, "中"}, {1367, "低"},
              {1371, "最高画質 (1080p)"}, {1372, "高画質 (720p)"}, {1373, "標準画質 (480p)"}, {1402, "駐車監視モード設定"},
              {1403, "衝撃検知レベル"}, {1404, "作動停止電圧"}, {1405, "変化レベル"}, {1409, "Gセンサー衝撃検知レベル微調整"},
              {1412, "基本設定"}, {1414, "X (前後)"}, {1415, "Y (左右)"}, {1416, "Z (上下)"}},
         {}, {1244, 1245, 1246, 1339, 1402, 1404}},
        {3, {{1217, "블랙박스저장"}, {1218, "전방추돌경보"}, {1219, "차선이탈경보"}, {1220, "차량출발안내"}, {1248, "전방"},
             {1249, "후방"}, {1250, "PIP"}, {1251, "항상켜짐"}, {1192, "30초후꺼짐"}, {1136, "속도"}, {1137, "스마트기능"},
             {1138, "지평선"}, {1193, "km/h"}, {1194, "mph"}, {1213, "日本語"}, {1214, "English"}, {1215, "한국어"},
             {1216, "중국어"}, {1221, "스페인어"}, {1222, "러시아어"}},
         {"스피커 :", "마이크 :"}, {1216, 1221, 1222}},
        {8, {{1305, "Event Record"}, {1306, "FCW"}, {1307, "LDW"}, {1308, "Beep & Watch"}, {1309, "Front"},
             {1310, "Rear"}, {1311, "PIP"}, {1312, "Always On"}, {1313, "30sec On"}, {1314, "Speed"}, {1315, "Smart Car"},
             {1316, "Horizon"}, {1317, "km/h"}, {1318, "mph"}, {1319, "日本語"}, {1320, "English"}, {1321, "한국어"}},
         {"Speaker :", "Mic :"}, {1321, 1322, 1323, 1324}},
        {12, {{1342, "イベント録画"}, {1343, "前方衝突警戒"}, {1344, "車線逸脱警戒"}, {1345, "前車発進お知らせ"},
              {1346, "前方"}, {1347, "後方"}, {1348, "PIP"}, {1349, "OFF(消灯なし)"}, {1350, "30秒"}, {1351, "速度"},
              {1352, "運転支援"}, {1353, "水平ライン"}, {1354, "km/h"}, {1355, "mph"}, {1356, "日本語"}, {1357, "English"},
              {1402, "スピーカー :"}, {1403, "音声アラーム"}, {1404, "画面設定"}, {1405, "画面選択"}, {1406, "画面表示"},
              {1411, "マイク :"}, {1413, "システム設定"}, {1417, "速度単位"}},
         {}, {1358, 1359, 1360, 1361}},
        {4, {}, {"GMT+"}, {}},
    };
    CardTree card("editor_captions");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    auto dlg = OpenEditor(1);
    for (const PageTexts& p : pages) {
        CSetupPage* page = dlg->Page(p.page);
        SCOPED_TRACE(page->metaObject()->className());
        for (const auto& [id, text] : p.captions) {
            QWidget* w = page->Control(id);
            ASSERT_NE(w, nullptr) << id;
            EXPECT_EQ(CaptionOf(w), QString::fromUtf8(text)) << id;
        }
        for (const char* text : p.unnamed) {
            bool found = false;
            for (QWidget* w : page->findChildren<QWidget*>()) found = found || CaptionOf(w) == QString::fromUtf8(text);
            EXPECT_TRUE(found) << text;
        }
        for (int id : p.hidden) {
            ASSERT_NE(page->Control(id), nullptr) << id;
            EXPECT_TRUE(page->Control(id)->isHidden()) << id;
        }
    }
    dlg->close();
}

TEST_F(Editor, NoPageTextShowsAShortcutMark)
{
    // The pages have no shortcut keys: every '&' of every text in every language is drawn.
    CardTree card("editor_marks");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    for (int language : {0, 1, 2}) {
        auto dlg = OpenEditor(language);
        for (int i = 0; i < CNewSetupDlg::kPageCount; ++i) {
            bool anyText = false;
            for (QWidget* w : dlg->Page(i)->findChildren<QWidget*>()) {
                bool marked = false;
                const QString shown = CaptionOf(w, &marked);
                if (shown == QStringLiteral("<no caption>")) continue;
                anyText = true;
                EXPECT_FALSE(marked) << i << ": " << shown.toStdString();
                EXPECT_FALSE(shown.contains(QLatin1String("&&"))) << i << ": " << shown.toStdString();
            }
            EXPECT_TRUE(anyText) << i;
        }
        EXPECT_EQ(CaptionOf(dlg->Page(6)->Control(1283)), QStringLiteral("Beep & Watch"));
        EXPECT_EQ(CaptionOf(dlg->Page(8)->Control(1308)), QStringLiteral("Beep & Watch"));
        dlg->close();
    }
    EXPECT_TRUE(boxes.seen.empty());
}

// ---- edits on each page family

struct EditCase {
    const char* name;
    int language;
    int tab;
    std::function<void(CNewSetupDlg&)> act;
    std::map<int, int> words;                    // word -> value written
    std::function<void(CNewSetupDlg&)> check;    // what the page shows afterwards
};

void ExpectEditText(CNewSetupDlg& dlg, int id, const char* text)
{
    auto* e = qobject_cast<QLineEdit*>(Ctl(dlg, id));
    ASSERT_NE(e, nullptr) << id;
    EXPECT_EQ(e->text(), QString::fromUtf8(text)) << id;
}

auto Click(int id) { return [id](CNewSetupDlg& d) { ClickButton(Ctl(d, id)); }; }
auto Type(int id, const char* text) { return [=](CNewSetupDlg& d) { TypeInto(Ctl(d, id), QString::fromUtf8(text)); }; }
auto Shows(int id, const char* text) { return [=](CNewSetupDlg& d) { ExpectEditText(d, id, text); }; }
auto Release(int id, int pos) { return [=](CNewSetupDlg& d) { ReleaseSliderAt(Ctl(d, id), pos); }; }
auto Keys(int id, std::vector<Qt::Key> keys)
{
    return [=](CNewSetupDlg& d) {
        QWidget* w = Ctl(d, id);
        ASSERT_NE(w, nullptr);
        for (Qt::Key k : keys) QTest::keyClick(w, k);
    };
}

const std::vector<EditCase>& EditCases()
{
    static const std::vector<EditCase> cases = {
        // installation
        {"KoreanBus", 2, 3, Click(1223), {{6, 2}, {7, 160}, {8, 250}},
         [](CNewSetupDlg& d) { ExpectEditText(d, 1268, "1.6"); ExpectEditText(d, 1229, "2.5"); }},
        {"EnglishTruck", 1, 3, Click(1275), {{6, 5}, {7, 250}, {8, 250}}, Shows(1279, "2.5")},
        {"JapaneseCompact", 0, 3, Click(1391), {{6, 3}, {7, 130}, {8, 160}}, Shows(1400, "1.6")},
        {"KoreanHeightTruncated", 2, 3, Type(1268, "1.55"), {{7, 155}}, nullptr},
        {"KoreanHeightDecimal", 2, 3, Type(1268, "1.15"), {{7, 115}}, nullptr},
        {"EnglishHeightToTen", 1, 3, Type(1268, "1.55"), {{7, 160}}, nullptr},
        {"EnglishHeightClamped", 1, 3, Type(1268, "3.4"), {{7, 300}}, Shows(1268, "3.4")},
        {"JapaneseWidthClampedLow", 0, 3, Type(1400, "0.5"), {{8, 100}}, Shows(1400, "0.5")},
        {"JapaneseOffsetTenths", 0, 3, Type(1401, "12.5"), {{5, 125}}, nullptr},
        {"EnglishOffsetClamped", 1, 3, Type(1280, "45"), {{5, 300}}, nullptr},
        {"KoreanNegativeOffset", 2, 3, Type(1230, "-2"), {{5, 65516}}, nullptr},
        {"JapanesePositionRight", 0, 3, Click(1398), {{10, 2}}, nullptr},
        {"KoreanNotANumber", 2, 3, Type(1268, "abc"), {}, nullptr},
        // driver assistance
        {"EnglishFcwSpeedClamped", 1, 0, Type(1284, "10"), {{45, 20}, {46, 15}}, Shows(1284, "10")},
        {"KoreanFcwSpeedAsTyped", 2, 0, Type(1234, "10"), {{45, 10}, {46, 5}}, nullptr},
        {"KoreanLdwSpeedWraps", 2, 0, Type(1238, "3"), {{25, 3}, {26, 65534}}, nullptr},
        {"EnglishLdwSpeedClamped", 1, 0, Type(1285, "100"), {{25, 80}, {26, 75}}, nullptr},
        {"EnglishLeftClamped", 1, 0, Type(1286, "12"), {{27, 9}}, nullptr},
        {"JapaneseRightClamped", 0, 0, Type(1389, "0"), {{28, 1}}, nullptr},
        {"JapaneseLdwToggled", 0, 0, Click(1381), {{18, 0}}, nullptr},
        {"EnglishHeadwayToggled", 1, 0, Click(1291), {{39, 0}}, nullptr},
        {"KoreanFrontStartToggled", 2, 0, Click(1233), {{29, 0}}, nullptr},
        {"KoreanInsensitive", 2, 0, Click(1237), {{48, 2}}, nullptr},
        // recording
        {"EnglishImpactInsensitive", 1, 1, Click(1299), {{56, 90}, {57, 90}, {58, 90}, {60, 2}},
         [](CNewSetupDlg& d) {
             ExpectEditText(d, 1096, "0.9");
             EXPECT_EQ(qobject_cast<QSlider*>(Ctl(d, 1114))->value(), 90);
         }},
        {"JapaneseImpactSensitive", 0, 1, Click(1365), {{56, 50}, {57, 50}, {58, 50}, {60, 0}}, Shows(1099, "0.5")},
        {"KoreanImpactOnlyWord60", 2, 1, Click(1243), {{60, 2}}, nullptr},
        {"JapaneseSliderReleasedAt134", 0, 1, Release(1410, 134), {{56, 130}},
         [](CNewSetupDlg& d) {
             ExpectEditText(d, 1096, "1.3");
             EXPECT_EQ(qobject_cast<QSlider*>(Ctl(d, 1410))->value(), 134);
         }},
        {"EnglishSliderReleasedAt135", 1, 1, Release(1113, 135), {{57, 140}}, Shows(1097, "1.4")},
        {"KoreanVoltageLast", 2, 1, Keys(1339, {Qt::Key_End}), {{76, 20}},
         [](CNewSetupDlg& d) { EXPECT_EQ(qobject_cast<QComboBox*>(Ctl(d, 1339))->currentText(), "13.5v"); }},
        {"KoreanParkingInsensitive", 2, 1, Click(1246), {{61, 2}}, nullptr},
        {"JapaneseResolutionVga", 0, 1, Click(1373), {{62, 2}}, nullptr},
        {"KoreanContinuousToggled", 2, 1, Click(1239), {{54, 0}}, nullptr},
        {"EnglishVoiceRecToggled", 1, 1, Click(1292), {{55, 0}}, nullptr},
        // system
        {"KoreanSpeakerClampedAndShown", 2, 2, Type(1096, "20"), {{72, 15}}, Shows(1096, "15")},
        {"EnglishSpeakerClampedTypedKept", 1, 2, Type(1303, "20"), {{72, 15}}, Shows(1303, "20")},
        {"JapaneseMic", 0, 2, Type(1341, "7"), {{73, 7}}, nullptr},
        {"KoreanLanguageKorean", 2, 2, Click(1215), {{69, 2}, {70, 2}}, nullptr},
        {"EnglishLanguageEnglish", 1, 2, Click(1320), {{69, 1}, {70, 1}}, nullptr},
        {"JapaneseUnitMph", 0, 2, Click(1355), {{66, 1}}, nullptr},
        {"EnglishVoiceFcwToggled", 1, 2, Click(1306), {{38, 0}}, nullptr},
        {"KoreanVoiceEventToggled", 2, 2, Click(1217), {{78, 0}}, nullptr},
        {"JapaneseVoiceFrontToggled", 0, 2, Click(1345), {{31, 0}}, nullptr},
        {"EnglishLcdAlwaysOn", 1, 2, Click(1312), {{64, 0}}, nullptr},
        {"JapaneseLcdAlwaysOn", 0, 2, Click(1349), {{64, 0}}, nullptr},
        {"KoreanScreenRear", 2, 2, Click(1249), {{63, 1}}, nullptr},
        {"JapaneseHorizonToggled", 0, 2, Click(1353), {{68, 0}}, nullptr},
        {"EnglishSpeedOverlayToggled", 1, 2, Click(1314), {{65, 0}}, nullptr},
        // time zone
        {"JapaneseTimeZone", 0, 4, Keys(1335, {Qt::Key_Home, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}), {{79, 3}},
         nullptr},
        {"KoreanTimeZoneLast", 2, 4, Keys(1335, {Qt::Key_End}), {{79, 23}}, nullptr},
    };
    return cases;
}

class PageEdit : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
};

TEST_P(PageEdit, WritesExactlyItsWordsAndKeepsTheRest)
{
    const EditCase& c = EditCases()[GetParam()];
    CardTree card(QStringLiteral("edit_") + QString::fromLatin1(c.name));
    const SetupRecord loaded = DistinctRecord();
    card.WriteSetup(loaded);

    BoxRecorder boxes;
    boxes.answers = {IDYES};
    auto dlg = OpenEditor(c.language);
    if (c.tab != 0) SelectTab(*dlg, c.tab);
    c.act(*dlg);
    if (c.check) c.check(*dlg);
    dlg->close();

    if (c.words.empty()) {
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_EQ(card.Setup(), ToQBytes(loaded));
        return;
    }
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].style & 0x0F, MB_YESNO);
    const QByteArray bytes = card.Setup();
    ASSERT_EQ(bytes.size(), 200);
    EXPECT_EQ(bytes.left(3), QByteArray("ZQX"));
    const SetupRecord saved = FromQBytes(bytes);
    EXPECT_TRUE(IsSetupRecordIntact(saved));
    for (int n = 2; n < 100; ++n) {
        const auto it = c.words.find(n);
        const int expected = it != c.words.end() ? it->second : loaded.Word(n);
        EXPECT_EQ(saved.Word(n), expected) << "word " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Families, PageEdit, ::testing::Range<std::size_t>(0, EditCases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) { return std::string(EditCases()[info.param].name); });

// ---- binding a record to the pages

TEST_F(Editor, PagesShowTheRecord)
{
    CardTree card("editor_bind");
    SetupRecord r = DistinctRecord();
    r.SetWord(SetupWord::kVehicleType, 9);   // no such type
    r.SetWord(SetupWord::kLowVoltage, 5);
    r.SetWord(SetupWord::kTimeZone, 9);
    r.SetWord(SetupWord::kWarnSensitivity, 7);
    r.SetWord(SetupWord::kOffset, static_cast<std::uint16_t>(-25));
    card.WriteSetup(r);
    BoxRecorder boxes;

    auto kor = OpenEditor(2);
    SelectTab(*kor, 3);
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(Ctl(*kor, 1219))->isChecked());   // passenger car
    ExpectEditText(*kor, 1268, "1.3");
    ExpectEditText(*kor, 1229, "1.8");
    ExpectEditText(*kor, 1230, "-2.5");
    SelectTab(*kor, 0);
    for (int id : {1235, 1236, 1237}) EXPECT_FALSE(qobject_cast<QAbstractButton*>(Ctl(*kor, id))->isChecked());
    SelectTab(*kor, 1);
    EXPECT_EQ(qobject_cast<QComboBox*>(Ctl(*kor, 1339))->count(), 21);
    EXPECT_EQ(qobject_cast<QComboBox*>(Ctl(*kor, 1339))->itemText(0), "11.5v");
    EXPECT_EQ(qobject_cast<QComboBox*>(Ctl(*kor, 1339))->currentText(), "12.0v");
    SelectTab(*kor, 4);
    EXPECT_EQ(qobject_cast<QComboBox*>(Ctl(*kor, 1335))->currentText(), "9:00");
    EXPECT_EQ(qobject_cast<QGroupBox*>(Ctl(*kor, 65534))->title(), "Setting GMT");
    EXPECT_FALSE(Ctl(*kor, 1418)->isVisible());
    kor->close();
    EXPECT_EQ(FromQBytes(card.Setup()).Word(SetupWord::kVehicleType), 9);   // kept until a radio is clicked
    EXPECT_TRUE(boxes.seen.empty());

    auto jpn = OpenEditor(0);
    SelectTab(*jpn, 4);
    EXPECT_EQ(qobject_cast<QGroupBox*>(Ctl(*jpn, 65534))->title(), QString::fromUtf8("時刻設定"));
    EXPECT_TRUE(Ctl(*jpn, 1418)->isVisible());
    EXPECT_EQ(qobject_cast<QLabel*>(Ctl(*jpn, 1418))->text(), QString::fromUtf8("日本時間はGMT+9:00で設定してください。"));
    SelectTab(*jpn, 1);
    EXPECT_FALSE(Ctl(*jpn, 1339)->isVisible());   // the voltage combo is Korean only
    EXPECT_FALSE(Ctl(*jpn, 1244)->isVisible());
    jpn->close();
}

TEST_F(Editor, CheckBoxesFollowTheirWords)
{
    CardTree card("editor_checks");
    SetupRecord r = DistinctRecord();
    r.SetWord(SetupWord::kFcwOn, 0);
    r.SetWord(SetupWord::kLdwOn, 2);       // non-zero: checked on the assistance page
    r.SetWord(SetupWord::kVoiceFcw, 2);    // not 1: unchecked on the system page
    r.SetWord(SetupWord::kContinuousRec, 0);
    card.WriteSetup(r);
    BoxRecorder boxes;
    auto dlg = OpenEditor(1);
    auto checked = [&](int id) { return qobject_cast<QAbstractButton*>(Ctl(*dlg, id))->isChecked(); };
    EXPECT_FALSE(checked(1281));
    EXPECT_TRUE(checked(1282));
    SelectTab(*dlg, 1);
    EXPECT_FALSE(checked(1291));
    EXPECT_TRUE(checked(1292));
    SelectTab(*dlg, 2);
    EXPECT_FALSE(checked(1306));
    EXPECT_TRUE(checked(1305));
    // Toggling a word of 2 on the system page makes it 0... no: 1 -> 0, anything else -> 1.
    ClickButton(Ctl(*dlg, 1306));
    EXPECT_EQ(dlg->WorkingRecord().Word(SetupWord::kVoiceFcw), 1);
    SelectTab(*dlg, 0);
    ClickButton(Ctl(*dlg, 1282));   // non-zero -> 0 on the assistance page
    EXPECT_EQ(dlg->WorkingRecord().Word(SetupWord::kLdwOn), 0);
    boxes.answers = {IDNO};
    dlg->close();
}

// ---- the save question

TEST_F(Editor, ClosingUntouchedAsksNothingAndWritesNothing)
{
    CardTree card("save_untouched");
    card.WriteSetup(DistinctRecord());
    const QDateTime before = QFileInfo(card.SetupPath()).lastModified();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    BoxRecorder boxes;
    for (int language : {0, 1, 2}) {
        auto dlg = OpenEditor(language);
        for (int t : {1, 2, 3, 4}) SelectTab(*dlg, t);
        dlg->close();
    }
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(card.Setup(), ToQBytes(DistinctRecord()));
    EXPECT_EQ(QFileInfo(card.SetupPath()).lastModified(), before);
}

TEST_F(Editor, ChangedAndChangedBackAsksNothing)
{
    CardTree card("save_changed_back");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    auto dlg = OpenEditor(2);
    SelectTab(*dlg, 1);
    ClickButton(Ctl(*dlg, 1239));
    ClickButton(Ctl(*dlg, 1239));
    SelectTab(*dlg, 3);
    TypeInto(Ctl(*dlg, 1268), "2");
    TypeInto(Ctl(*dlg, 1268), "1.3");
    dlg->close();
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(Editor, DecliningLeavesBytesAndTime)
{
    CardTree card("save_declined");
    card.WriteSetup(DistinctRecord());
    const QDateTime before = QFileInfo(card.SetupPath()).lastModified();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    BoxRecorder boxes;
    boxes.answers = {IDNO};
    auto dlg = OpenEditor(0);
    ClickButton(Ctl(*dlg, 1380));
    dlg->close();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8("変更を保存しますか？"));
    EXPECT_EQ(boxes.seen[0].title, QString::fromUtf8("ベルモラ-21K"));
    EXPECT_EQ(card.Setup(), ToQBytes(DistinctRecord()));
    EXPECT_EQ(QFileInfo(card.SetupPath()).lastModified(), before);
    EXPECT_TRUE(card.Strays().isEmpty());
}

TEST_F(Editor, QuestionFollowsTheLanguageJustEdited)
{
    CardTree card("save_language");
    card.WriteSetup(DistinctRecord());   // word 69 is 0
    BoxRecorder boxes;
    auto dlg = OpenEditor(2);
    SelectTab(*dlg, 2);
    ClickButton(Ctl(*dlg, 1214));   // English
    // The tabs stay Korean: only the record changed.
    EXPECT_EQ(dlg->TabCtrl()->GetItemText(0), QString::fromUtf8("스마트카"));
    dlg->close();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QStringLiteral("Do you want to save the changes?"));
    EXPECT_EQ(boxes.seen[0].title, QStringLiteral("VELMORA-21K"));
}

TEST_F(Editor, SavedFromTheSetupFolderToTheRoot)
{
    CardTree card("save_from_setup");
    SetupRecord r = DistinctRecord();
    r.SetWord(SetupWord::kWord95, 0);
    r.checksum = SetupRecordChecksum(r);
    card.WriteSetup(r, true);
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    auto dlg = OpenEditor(1);
    SelectTab(*dlg, 3);
    ClickButton(Ctl(*dlg, 1274));   // Bus
    dlg->close();
    EXPECT_EQ(card.Setup(true), ToQBytes(r));   // the SETUP copy is not touched
    const SetupRecord saved = FromQBytes(card.Setup());
    EXPECT_TRUE(IsSetupRecordIntact(saved));
    EXPECT_EQ(saved.Word(SetupWord::kVehicleType), 2);
    EXPECT_EQ(saved.Word(SetupWord::kWord95), 32400);   // 0 becomes 32400 on save
    EXPECT_TRUE(card.Strays().isEmpty());
}

TEST_F(Editor, WriteProtectedCardSaysSoAndKeepsTheFile)
{
    CardTree card("save_protected");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    auto dlg = OpenEditor(1);
    ClickButton(Ctl(*dlg, 1281));
    WriteProtect(card, true);
    AsOrdinaryUser([&] { dlg->close(); });
    WriteProtect(card, false);
    ASSERT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(boxes.seen[1].text, QStringLiteral("The settings could not be saved: the SD card is write-protected. "
                                                 "The old settings file was left as it was."));
    EXPECT_EQ(boxes.seen[1].title, QStringLiteral("VELMORA-21K"));
    EXPECT_EQ(card.Setup(), ToQBytes(DistinctRecord()));
}

TEST_F(Editor, MissingAndShortFilesAreReportedAndNotEditedBlindly)
{
    struct Case {
        const char* name;
        QByteArray bytes;   // empty: no file
        const char* text;   // Korean report
    };
    const QByteArray good = ToQBytes(DistinctRecord());
    const char* shortText = "SD 카드의 설정 파일이 너무 짧아 읽을 수 없습니다. 기본 설정을 표시합니다. 저장할 때만 카드의 파일이 바뀝니다.";
    const Case cases[] = {
        {"short", good.left(120), shortText},
        {"one_byte_short", good.left(199), shortText},
        {"missing", QByteArray(), "SD 카드에 설정 파일이 없습니다. 기본 설정을 표시합니다. 저장하면 새 설정 파일이 만들어집니다."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CardTree card(QStringLiteral("unusable_") + QString::fromLatin1(c.name));
        if (!c.bytes.isEmpty()) card.WriteSetup(c.bytes);
        BoxRecorder boxes;
        boxes.answers = {IDOK, IDNO};
        auto dlg = OpenEditor(2);
        ASSERT_GE(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.text));
        EXPECT_EQ(boxes.seen[0].title, QString::fromUtf8("카르벤"));
        EXPECT_EQ(dlg->WorkingRecord(), DefaultSetupRecord());
        SelectTab(*dlg, 3);
        ExpectEditText(*dlg, 1268, "1.3");
        dlg->close();
        ASSERT_EQ(boxes.seen.size(), 2u);   // closing offers to write the defaults
        EXPECT_EQ(boxes.seen[1].style & 0x0F, MB_YESNO);
        EXPECT_EQ(card.Setup(), c.bytes);   // declined: the card keeps what it had
    }
}

TEST_F(Editor, LongerAndForeignFilesAreEditedFromTheirFirst200Bytes)
{
    const QByteArray good = ToQBytes(DistinctRecord());
    QByteArray foreign = good;
    foreign[0] = 'A';   // another model's code
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"long", good + QByteArray(10, 'x')}, {"foreign", foreign}, {"long_foreign", foreign + QByteArray(300, '\0')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CardTree card(QStringLiteral("readable_") + QString::fromLatin1(c.name));
        card.WriteSetup(c.bytes);
        BoxRecorder boxes;
        auto dlg = OpenEditor(1);
        EXPECT_TRUE(boxes.seen.empty());
        const SetupRecord read = SetupRecordFromBytes(reinterpret_cast<const std::uint8_t*>(c.bytes.constData()));
        EXPECT_EQ(dlg->WorkingRecord(), read);
        EXPECT_EQ(dlg->LoadedRecord(), read);
        dlg->close();
        EXPECT_TRUE(boxes.seen.empty());     // untouched: no question
        EXPECT_EQ(card.Setup(), c.bytes);    // and the card keeps its file as it was
    }
}

TEST_F(Editor, EnterAndEscapeDoNotClose)
{
    CardTree card("editor_keys");
    card.WriteSetup(DistinctRecord());
    BoxRecorder boxes;
    auto dlg = OpenEditor(1);
    SelectTab(*dlg, 3);
    QWidget* edit = Ctl(*dlg, 1268);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    SelectTab(*dlg, 0);
    auto* korean = OpenEditor(2).release();
    QTest::keyClick(korean->Page(1)->Control(1234), Qt::Key_Escape);
    EXPECT_TRUE(korean->isVisible());
    korean->close();
    delete korean;
    EXPECT_TRUE(dlg->isVisible());
    dlg->close();
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(Editor, AnyRecordBindsWithoutBeingChanged)
{
    // Out-of-range radios, combos and trackbars, negative and huge words: the pages show what
    // they can and change nothing until the user acts.
    std::mt19937 rng(5);
    BoxRecorder boxes;
    for (int round = 0; round < 12; ++round) {
        SetupBytes b{};
        for (auto& x : b) x = static_cast<std::uint8_t>(round % 3 == 0 ? rng() % 4 : rng());
        b[0] = 'Z';
        b[1] = 'Q';
        b[2] = 'X';
        const SetupRecord r = SetupRecordFromBytes(b.data());
        CardTree card("bind_any_" + QString::number(round));
        card.WriteSetup(r);
        auto dlg = OpenEditor(round % 3);
        for (int t : {1, 2, 3, 4, 0}) SelectTab(*dlg, t);
        EXPECT_EQ(dlg->WorkingRecord(), r) << round;
        dlg->close();
        EXPECT_EQ(card.Setup(), ToQBytes(r));
    }
    EXPECT_TRUE(boxes.seen.empty());
}

// ---- screenshots

TEST_F(Editor, ScreenshotOfEveryPage)
{
    CardTree card("editor_screens");
    card.WriteSetup(DefaultSetupRecord());
    BoxRecorder boxes;
    const char* names[] = {"japanese", "english", "korean"};
    const char* tabs[] = {"smartcar", "blackbox", "setup", "install", "gmt"};
    for (int language : {0, 1, 2}) {
        auto dlg = OpenEditor(language);
        for (int t = 0; t < 5; ++t) {
            SelectTab(*dlg, t);
            QApplication::processEvents();
            const QString name = QStringLiteral("settings_%1_%2").arg(names[language], tabs[t]);
            const QString path = SaveArtefact(dlg.get(), name);
            const QImage img(path);
            ASSERT_FALSE(img.isNull()) << path.toStdString();
            EXPECT_EQ(img.size(), dlg->size());
            // The page really drew its texts: dark pixels inside the page area.
            CSetupPage* page = VisiblePages(*dlg)[0];
            const QRect area(page->mapTo(dlg.get(), QPoint(0, 0)), page->size());
            EXPECT_GT(DarkPixels(img, area), 200) << name.toStdString();
        }
        dlg->close();
    }
    EXPECT_TRUE(boxes.seen.empty());
}

}  // namespace
