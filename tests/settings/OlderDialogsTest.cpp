// The drive picker and the older preferences dialog: the picker's items from the machine's
// drives, and setup.cfg as the dialog writes it, byte by byte, for save and reset.
#include "CardFixture.h"
#include "GuiSupport.h"

#include "platform/DriveTable.h"
#include "settings/SelectDriveDlg.h"
#include "settings/SetupDlg.h"

#include <QComboBox>
#include <QSlider>
#include <QTimer>

namespace {

// setup.cfg as its layout gives it, built here field by field.
class ExpectedCfg {
public:
    ExpectedCfg() : m_bytes(508, '\0')
    {
        Text(0, "Halvenric");
        Text(16, "BlackBox");
        Text(32, "Ver.1.0.0");
        Text(42, "00");
        for (int o : {72, 76, 80}) Word(o, 1);
        Word(84, 8);
        Text(112, "00");
    }
    ExpectedCfg& Word(int offset, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) m_bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return *this;
    }
    QByteArray Bytes() const { return m_bytes; }

private:
    void Text(int offset, const char* t)
    {
        for (int i = 0; t[i]; ++i) m_bytes[offset + i] = t[i];
    }
    QByteArray m_bytes;
};

class OlderSetupDlg : public GuiTest {
protected:
    void SetUp() override
    {
        card = std::make_unique<CardTree>(QStringLiteral("older_card"));
        g_nSetupFrameMode = g_nSetupVoiceRecord = g_nSetupParkQuality = g_nSetupDetectMode = 0;
        g_szSetupDrive = QStringLiteral("E:\\");
        dlg = std::make_unique<CSetupDlg>(nullptr, [this] { return language; });
        dlg->show();
    }
    QString CfgPath() const { return card->Root() + QStringLiteral("/setup.cfg"); }
    QAbstractButton* Button(int id) const { return qobject_cast<QAbstractButton*>(dlg->GetDlgItem(id)); }

    std::unique_ptr<CardTree> card;
    std::unique_ptr<CSetupDlg> dlg;
    int language = 1;
};

}  // namespace

TEST_F(OlderSetupDlg, StartsWithTheTemplatesTrackbarsAndFifteenFrames)
{
    const struct {
        int id, low, high, x, y, position;
    } bars[] = {{1112, 0, 2, 30, 170, 1}, {1166, 0, 6, 30, 260, 3}, {1167, 0, 6, 30, 320, 3},
                {1191, 0, 6, 30, 380, 3}, {1174, 0, 9, 300, 340, 5}, {1175, 0, 2, 300, 390, 1}};
    for (const auto& b : bars) {
        SCOPED_TRACE(b.id);
        QSlider* s = dlg->Slider(b.id);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->minimum(), b.low);
        EXPECT_EQ(s->maximum(), b.high);
        EXPECT_EQ(s->value(), b.position);
        EXPECT_EQ(s->geometry(), QRect(b.x, b.y, 200, 20));
    }
    EXPECT_TRUE(Button(1189)->isChecked());
    for (int id : {1188, 1190, 1182, 1183, 1184, 1185, 1186, 1187}) EXPECT_FALSE(Button(id)->isChecked()) << id;
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("환경설정"));
    EXPECT_EQ(Button(IDOK)->text(), QString::fromUtf8("저장"));
    EXPECT_EQ(Button(1120)->text(), QString::fromUtf8("설정값초기화"));
    SaveArtefact(dlg.get(), QStringLiteral("older_preferences"));
}

TEST_F(OlderSetupDlg, SaveWithoutRadiosWritesTheTrackbarsAndNoChoices)
{
    dlg->Slider(1112)->setValue(2);
    dlg->Slider(1166)->setValue(6);
    dlg->Slider(1167)->setValue(0);
    dlg->Slider(1191)->setValue(4);
    dlg->Slider(1174)->setValue(9);  // not part of the file
    QTest::mouseClick(Button(IDOK), Qt::LeftButton);
    EXPECT_EQ(FileBytes(CfgPath()), ExpectedCfg().Word(48, 2).Word(328, 6).Word(336, 0).Word(340, 4).Bytes());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(card->Strays(), QStringList{"setup.cfg"});
}

TEST_F(OlderSetupDlg, RadioChoicesGoToTheirOffsets)
{
    ClickButton(Button(1190));  // 고정(30f)
    ClickButton(Button(1183));  // 사용안함
    ClickButton(Button(1184));  // 고화질
    ClickButton(Button(1187));  // 움직임감지
    EXPECT_EQ(g_nSetupFrameMode, 3);
    EXPECT_EQ(g_nSetupVoiceRecord, 2);
    EXPECT_EQ(g_nSetupParkQuality, 1);
    EXPECT_EQ(g_nSetupDetectMode, 2);
    QTest::mouseClick(Button(IDOK), Qt::LeftButton);
    EXPECT_EQ(FileBytes(CfgPath()), ExpectedCfg()
                                        .Word(48, 1).Word(60, 2).Word(328, 3).Word(336, 3).Word(340, 3)
                                        .Word(388, 1).Word(396, 2).Word(432, 3).Bytes());
}

TEST_F(OlderSetupDlg, ResetWritesItsOwnRecordAndLeavesTheControls)
{
    ClickButton(Button(1190));
    dlg->Slider(1112)->setValue(2);
    QTest::mouseClick(Button(1120), Qt::LeftButton);
    EXPECT_EQ(FileBytes(CfgPath()), ExpectedCfg().Word(48, 3).Word(60, 1).Bytes());
    EXPECT_EQ(dlg->Slider(1112)->value(), 2);
    EXPECT_TRUE(Button(1190)->isChecked());
}

TEST_F(OlderSetupDlg, AFileThatCannotBeWrittenIsSaidAndTheEarlierOneStays)
{
    WriteBytes(CfgPath(), "earlier settings");
    WriteProtect(*card, true);
    ::chmod(QFile::encodeName(CfgPath()).constData(), 0444);
    language = 0;
    BoxRecorder boxes;
    AsOrdinaryUser([&] { QTest::mouseClick(Button(IDOK), Qt::LeftButton); });
    WriteProtect(*card, false);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8("SDカードが書き込み禁止のため、設定を保存できません。元の設定ファイルはそのままです。"));
    EXPECT_EQ(FileBytes(CfgPath()), "earlier settings");
    EXPECT_EQ(card->Strays(), QStringList{"setup.cfg"});
    EXPECT_TRUE(dlg->isVisible());  // open for another try

    // No card root known: nothing is written anywhere.
    g_szSetupDrive.clear();
    QTest::mouseClick(Button(1120), Qt::LeftButton);
    EXPECT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(FileBytes(CfgPath()), "earlier settings");
}

class SelectDrive : public GuiTest {
protected:
    void TearDown() override { CSelectDriveDlg::SetDriveSource({}); }
    static QStringList Items(const CSelectDriveDlg& d)
    {
        QStringList items;
        for (int i = 0; i < d.m_comboDrive->count(); ++i) items << d.m_comboDrive->itemText(i);
        return items;
    }
};

TEST_F(SelectDrive, NoDriveCancelsAtOnce)
{
    CSelectDriveDlg::SetDriveSource([] {
        return std::vector<LogicalDrive>{{QLatin1Char('A'), DriveTable::DRIVE_NO_ROOT_DIR}, {QLatin1Char('Z'), 5}};
    });
    CSelectDriveDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.m_strDrive.isEmpty());
}

TEST_F(SelectDrive, ListsRemovableAndFixedDrivesSortedAndGivesTheChoice)
{
    CSelectDriveDlg::SetDriveSource([] {
        return std::vector<LogicalDrive>{{QLatin1Char('E'), DriveTable::DRIVE_REMOVABLE},
                                         {QLatin1Char('D'), 5},
                                         {QLatin1Char('C'), DriveTable::DRIVE_FIXED}};
    });
    CSelectDriveDlg dlg;
    int result = 0;
    QStringList items;
    QString shown;
    QTimer::singleShot(100, [&] {
        items = Items(dlg);
        shown = dlg.m_comboDrive->currentText();
        SaveArtefact(&dlg, QStringLiteral("drive_picker"));
        dlg.m_comboDrive->setCurrentIndex(1);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
    });
    result = dlg.DoModal();
    EXPECT_EQ(items, (QStringList{"C:\\ HDD", "E:\\ SD CARD"}));
    EXPECT_EQ(shown, "C:\\ HDD");  // item 0 is selected
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strDrive, "E:\\ SD CARD");
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("드라이브 선택"));
}

TEST_F(SelectDrive, TheMachinesDrivesAreTheSystemRootAndTheDriveTable)
{
    const CardTree card(QStringLiteral("picker_card"));
    CSelectDriveDlg dlg;
    dlg.OnInitDialog();
    EXPECT_EQ(Items(dlg), (QStringList{"C:\\ HDD", "E:\\ SD CARD"}));
}
