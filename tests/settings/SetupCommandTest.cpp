// The SETUP command on card trees: no card, a short factory file, old and new firmware, intact
// and damaged settings, the restore question, and the language read back afterwards.
#include "CardFixture.h"
#include "GuiSupport.h"
#include "settings/CardLanguage.h"
#include "settings/NewSetupDlg.h"
#include "settings/SetupCommand.h"
#include "settings/SetupPage.h"

#include <QComboBox>
#include <QTimer>

#include <functional>

namespace {

// Waits for the modal editor, lets the test look at it and act, then closes it.
class EditorWatcher {
public:
    explicit EditorWatcher(std::function<void(CNewSetupDlg&)> act = nullptr) : m_act(std::move(act))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<CNewSetupDlg*>(QApplication::activeModalWidget());
            if (!dlg || dlg == m_last) return;
            m_last = dlg;
            ++opened;
            language = dlg->Language();
            if (m_act) m_act(*dlg);
            dlg->close();
        });
        m_timer.start();
    }

    int opened = 0;
    int language = -1;

private:
    std::function<void(CNewSetupDlg&)> m_act;
    QTimer m_timer;
    CNewSetupDlg* m_last = nullptr;
};

struct Calls {
    int toolTips = 0, toggles = 0, finish = 0;
    int state = 2;   // stopped
    SetupCommandHooks Hooks()
    {
        return {[this] { ++toolTips; }, [this] { return state; }, [this] { ++toggles; }, [this] { ++finish; }};
    }
};

SetupRecord Record(int language, bool intact = true)
{
    SetupRecord r = DistinctRecord();
    r.SetWord(SetupWord::kLanguage, static_cast<std::uint16_t>(language));
    r.SetWord(SetupWord::kLanguageCopy, static_cast<std::uint16_t>(language));
    r.checksum = SetupRecordChecksum(r);
    if (!intact) r.checksum ^= 0x21;
    return r;
}

QWidget* VisibleControl(CNewSetupDlg& dlg, int id)
{
    for (int i = 0; i < CNewSetupDlg::kPageCount; ++i)
        if (dlg.Page(i)->isVisible()) return dlg.Page(i)->Control(id);
    return nullptr;
}

class SetupCommand : public GuiTest {};

TEST_F(SetupCommand, NoCardSaysSoInJapaneseAndFinishes)
{
    UseNoDrives();
    BoxRecorder boxes;
    EditorWatcher editor;
    Calls calls;
    int language = 1;   // the first language read finds no card and makes it Japanese
    QString cardPath;
    g_nSpeedUnit = 1;
    RunSetupCommand(nullptr, &language, &cardPath, calls.Hooks());
    EXPECT_EQ(language, 0);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8("SDカードを認識できません。"));
    EXPECT_EQ(boxes.seen[0].title, QString::fromUtf8("ベルモラ-21K"));
    EXPECT_EQ(boxes.seen[0].style, MB_OK);
    EXPECT_EQ(editor.opened, 0);
    EXPECT_EQ(calls.toolTips, 1);
    EXPECT_EQ(calls.finish, 1);
    EXPECT_EQ(g_nSpeedUnit, 1);   // the unit is read only at the end, which is skipped
    g_nSpeedUnit = 0;
}

TEST_F(SetupCommand, ShortFactoryFileShowsTheVersionMessage)
{
    CardTree card("cmd_short_factory");
    card.WriteFactory(FactoryBytes("203", 0, 77));
    card.WriteSetup(Record(1));
    BoxRecorder boxes;
    EditorWatcher editor;
    Calls calls;
    int language = 2;
    QString cardPath;
    RunSetupCommand(nullptr, &language, &cardPath, calls.Hooks());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, VersionMismatchText());
    EXPECT_TRUE(boxes.seen[0].text.startsWith(QString::fromUtf8("本体とビュアーのバージョンが合っていません。\n ")));
    EXPECT_TRUE(boxes.seen[0].text.contains(QStringLiteral("/dr/support/download.html#vm21")));
    EXPECT_EQ(boxes.seen[0].text.count(QLatin1Char('\n')), 2);
    EXPECT_EQ(editor.opened, 0);
    EXPECT_EQ(cardPath, QStringLiteral("E:"));
    EXPECT_EQ(language, 1);   // read from the card (the language reader needs only 66 bytes)
    EXPECT_EQ(calls.toolTips, 2);
    EXPECT_EQ(calls.finish, 1);
}

TEST_F(SetupCommand, OldFirmwareOpensTheEditorWithoutTheChecksumTest)
{
    CardTree card("cmd_202");
    card.WriteFactory(FactoryBytes("202"));
    card.WriteSetup(Record(1, false));
    BoxRecorder boxes;
    EditorWatcher editor;
    Calls calls;
    int language = 0;
    QString cardPath;
    RunSetupCommand(nullptr, &language, &cardPath, calls.Hooks());
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(editor.language, 1);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(card.Setup(), ToQBytes(Record(1, false)));
}

TEST_F(SetupCommand, MissingFactoryFileOpensTheEditor)
{
    CardTree card("cmd_no_factory");
    card.WriteSetup(Record(2, false));
    BoxRecorder boxes;
    EditorWatcher editor;
    Calls calls;
    int language = 2;
    RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
    EXPECT_EQ(editor.opened, 1);
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(SetupCommand, SuffixedFirmwareTestsTheChecksum)
{
    CardTree card("cmd_202_suffix");
    card.WriteFactory(FactoryBytes("202", 'F'));
    card.WriteSetup(Record(1, false));
    BoxRecorder boxes;
    EditorWatcher editor;
    Calls calls;
    int language = 0;
    RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
    ASSERT_EQ(boxes.seen.size(), 2u);   // restore question (declined), then "can't open"
    EXPECT_EQ(boxes.seen[0].text, QStringLiteral("Setup file has a problem. Do you want to restore?"));
    EXPECT_EQ(editor.opened, 0);
}

TEST_F(SetupCommand, NewFirmwareIntactFileOpensTheEditor)
{
    CardTree card("cmd_203_intact");
    card.WriteFactory(FactoryBytes("203"));
    card.WriteSetup(Record(1));
    BoxRecorder boxes;
    EditorWatcher editor([](CNewSetupDlg& dlg) { EXPECT_EQ(dlg.TabCtrl()->GetItemText(0), QStringLiteral("SmartCar")); });
    Calls calls;
    calls.state = 0;   // playing: paused first
    int language = 2;
    QString cardPath;
    RunSetupCommand(nullptr, &language, &cardPath, calls.Hooks());
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(editor.language, 1);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(calls.toggles, 1);
    EXPECT_EQ(card.Setup(), ToQBytes(Record(1)));
}

TEST_F(SetupCommand, DamagedFileRestoredOnYesThenEdited)
{
    CardTree card("cmd_203_restore");
    card.WriteFactory(FactoryBytes("203"));
    card.WriteSetup(Record(1, false));
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    EditorWatcher editor([](CNewSetupDlg& dlg) {
        EXPECT_EQ(dlg.WorkingRecord(), DefaultSetupRecord());
        // The defaults on the pages: passenger car, 1.3 m and 1.8 m, GMT+9.
        const int install = CNewSetupDlg::PageForTab(1, 3);
        EXPECT_TRUE(qobject_cast<QAbstractButton*>(dlg.Page(install)->Control(1259))->isChecked());
        EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.Page(install)->Control(1268))->text(), QStringLiteral("1.3"));
        EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.Page(install)->Control(1279))->text(), QStringLiteral("1.8"));
        EXPECT_EQ(qobject_cast<QComboBox*>(dlg.Page(4)->Control(1335))->currentText(), QStringLiteral("9:00"));
    });
    Calls calls;
    int language = 2;
    RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QStringLiteral("Setup file has a problem. Do you want to restore?"));
    EXPECT_EQ(boxes.seen[0].title, QStringLiteral("VELMORA-21K"));
    EXPECT_EQ(boxes.seen[0].style & 0x0F, MB_YESNO);
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(editor.language, 1);
    EXPECT_EQ(card.Setup(), ToQBytes(DefaultSetupRecord()));
    EXPECT_EQ(language, 0);   // the default record holds Japanese
}

TEST_F(SetupCommand, DamagedFileDeclinedLeavesTheCard)
{
    struct Case {
        int language;
        const char* ask;
        const char* cannot;
        const char* title;
    };
    const Case cases[] = {
        {2, "설정파일에 문제가 있습니다. 복구할까요?", "셋업파일을 열 수 없습니다.", "카르벤"},
        {1, "Setup file has a problem. Do you want to restore?", "Can't open a setup file.", "VELMORA-21K"},
        {0, "設定ファイルに問題が有ります。再度設定しますか？", "設定ファイルが開けません。", "ベルモラ-21K"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        CardTree card("cmd_203_declined_" + QString::number(c.language));
        card.WriteFactory(FactoryBytes("203"));
        card.WriteSetup(Record(c.language, false));
        BoxRecorder boxes;
        boxes.answers = {IDNO};
        EditorWatcher editor;
        Calls calls;
        int language = 1;
        RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
        ASSERT_EQ(boxes.seen.size(), 2u);
        EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.ask));
        EXPECT_EQ(boxes.seen[1].text, QString::fromUtf8(c.cannot));
        EXPECT_EQ(boxes.seen[1].title, QString::fromUtf8(c.title));
        EXPECT_EQ(boxes.seen[1].style, MB_OK);
        EXPECT_EQ(editor.opened, 0);
        EXPECT_EQ(card.Setup(), ToQBytes(Record(c.language, false)));
        EXPECT_TRUE(card.Strays().isEmpty());
        EXPECT_EQ(calls.finish, 1);
    }
}

TEST_F(SetupCommand, MissingSettingsOnNewFirmwareOfferTheRestore)
{
    CardTree card("cmd_203_missing");
    card.WriteFactory(FactoryBytes("203"));
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    EditorWatcher editor;
    Calls calls;
    int language = 1;
    RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(card.Setup(), ToQBytes(DefaultSetupRecord()));
}

TEST_F(SetupCommand, RestoreOnAWriteProtectedCardSaysSoAndStillEdits)
{
    CardTree card("cmd_restore_protected");
    card.WriteFactory(FactoryBytes("203"));
    card.WriteSetup(Record(1, false));
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    EditorWatcher editor;
    Calls calls;
    int language = 1;
    WriteProtect(card, true);
    AsOrdinaryUser([&] { RunSetupCommand(nullptr, &language, nullptr, calls.Hooks()); });
    WriteProtect(card, false);
    ASSERT_GE(boxes.seen.size(), 2u);
    EXPECT_EQ(boxes.seen[1].text, QStringLiteral("The settings could not be saved: the SD card is write-protected. "
                                                 "The old settings file was left as it was."));
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(card.Setup(), ToQBytes(Record(1, false)));
}

TEST_F(SetupCommand, LanguageSavedInTheEditorTakesEffect)
{
    CardTree card("cmd_language_saved");
    card.WriteFactory(FactoryBytes("203"));
    card.WriteSetup(Record(2));
    BoxRecorder boxes;
    boxes.answers = {IDYES};
    EditorWatcher editor([](CNewSetupDlg& dlg) {
        dlg.TabCtrl()->TabBar()->setCurrentIndex(2);   // system page
        ClickButton(VisibleControl(dlg, 1214));        // English
    });
    Calls calls;
    int language = 0;
    RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
    EXPECT_EQ(editor.opened, 1);
    EXPECT_EQ(editor.language, 2);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QStringLiteral("Do you want to save the changes?"));
    EXPECT_EQ(language, 1);
    const SetupRecord saved = FromQBytes(card.Setup());
    EXPECT_TRUE(IsSetupRecordIntact(saved));
    EXPECT_EQ(saved.Word(SetupWord::kLanguageCopy), 1);
}

TEST_F(SetupCommand, LanguagesBeyondTheThreeAreKept)
{
    for (int code : {3, 4, 5}) {
        SCOPED_TRACE(code);
        CardTree card("cmd_language_" + QString::number(code));
        card.WriteFactory(FactoryBytes("203"));
        card.WriteSetup(Record(code));
        BoxRecorder boxes;
        EditorWatcher editor([](CNewSetupDlg& dlg) { EXPECT_EQ(dlg.TabCtrl()->GetItemCount(), 0); });
        Calls calls;
        int language = 1;
        RunSetupCommand(nullptr, &language, nullptr, calls.Hooks());
        EXPECT_EQ(language, code);
        EXPECT_EQ(editor.opened, 1);
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_EQ(card.Setup(), ToQBytes(Record(code)));
    }
}

}  // namespace
