#include "settings/AssistPages.h"

#include <algorithm>

namespace {

constexpr AssistPageIds kKoreanIds{1231, 1232, 1233, 0, {1235, 1236, 1237}, 1234, 1238, 1098, 1099};
constexpr AssistPageIds kEnglishIds{1281, 1282, 1283, 1291, {1288, 1289, 1290}, 1284, 1285, 1286, 1287};
constexpr AssistPageIds kJapaneseIds{1380, 1381, 1382, 1390, {1385, 1386, 1387}, 1383, 1384, 1388, 1389};

struct AssistTexts {
    const char *fcwGroup, *fcw, *headway, *speed, *ldwGroup, *ldw, *leftGroup, *rightGroup, *sensGroup;
    const char* sens[3];
    const char* frontStart;
    int groupIds[5];   // fcw, ldw, left, right, sensitivity
};

DlgTemplate MakeTemplate(int id, const AssistPageIds& ids, const AssistTexts& t)
{
    DlgTemplate tmpl{id, 288, 232, {
        {DlgKind::Group, t.groupIds[0], t.fcwGroup, 7, 7, 274, 52},
        {DlgKind::Check, ids.fcw, t.fcw, 17, 21, 130, 12},
        {DlgKind::Static, IDC_STATIC, t.speed, 17, 40, 130, 10},
        {DlgKind::Edit, ids.fcwSpeed, "", 165, 38, 50, 14},
        {DlgKind::Group, t.groupIds[1], t.ldwGroup, 7, 65, 274, 92},
        {DlgKind::Check, ids.ldw, t.ldw, 17, 79, 130, 12},
        {DlgKind::Static, IDC_STATIC, t.speed, 17, 98, 130, 10},
        {DlgKind::Edit, ids.ldwSpeed, "", 165, 96, 50, 14},
        {DlgKind::Group, t.groupIds[2], t.leftGroup, 17, 116, 122, 34},
        {DlgKind::Edit, ids.left, "", 27, 130, 50, 14},
        {DlgKind::Group, t.groupIds[3], t.rightGroup, 149, 116, 122, 34},
        {DlgKind::Edit, ids.right, "", 159, 130, 50, 14},
        {DlgKind::Group, t.groupIds[4], t.sensGroup, 7, 163, 274, 34},
        {DlgKind::Radio, ids.sensitivity[0], t.sens[0], 17, 178, 80, 12, 1},
        {DlgKind::Radio, ids.sensitivity[1], t.sens[1], 107, 178, 80, 12, 1},
        {DlgKind::Radio, ids.sensitivity[2], t.sens[2], 197, 178, 80, 12, 1},
        {DlgKind::Check, ids.frontStart, t.frontStart, 12, 206, 160, 12},
    }};
    if (ids.headway) tmpl.items.push_back({DlgKind::Check, ids.headway, t.headway, 165, 21, 110, 12});
    return tmpl;
}

const AssistTexts kKoreanTexts{"전방 추돌", "전방추돌경보", "", "동작 속도 (km/h)", "차선 이탈", "차선이탈경보",
    "좌측 민감도", "우측 민감도", "경보 민감도", {"민감", "보통", "둔감"}, "차량출발안내",
    {IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_STATIC}};
const AssistTexts kEnglishTexts{"Forward Collision", "FCW", "HMW", "Operating Speed (km/h)", "Lane Departure",
    "LDW", "Left Sensitivity", "Right Sensitivity", "Warning Sensitivity", {"Sensitive", "Normal", "Insensitive"},
    "Beep & Watch", {IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_STATIC}};
const AssistTexts kJapaneseTexts{"前方衝突警戒", "前方衝突警戒", "車間距離情報", "作動速度 (km/h)", "車線逸脱警戒",
    "車線逸脱警戒", "アラーム感度（左）", "アラーム感度（右）", "アラーム感度", {"高", "中", "低"},
    "前車発進お知らせ", {1405, 1406, 1403, 1404, 1402}};

const DlgTemplate& KoreanTemplate()
{
    static const DlgTemplate t = MakeTemplate(6388, kKoreanIds, kKoreanTexts);
    return t;
}
const DlgTemplate& EnglishTemplate()
{
    static const DlgTemplate t = MakeTemplate(7388, kEnglishIds, kEnglishTexts);
    return t;
}
const DlgTemplate& JapaneseTemplate()
{
    static const DlgTemplate t = MakeTemplate(7389, kJapaneseIds, kJapaneseTexts);
    return t;
}

}  // namespace

CTabTwoBase::CTabTwoBase(const DlgTemplate& tmpl, int language, const AssistPageIds& ids, bool clampEdits)
    : CSetupPage(tmpl, language), m_ids(ids), m_bClamp(clampEdits)
{
    m_bFilterEnterEsc = clampEdits;
}

void CTabTwoBase::OnInitDialog()
{
    OnClicked(m_ids.fcw, [this] { OnToggle(SetupWord::kFcwOn); });
    OnClicked(m_ids.ldw, [this] { OnToggle(SetupWord::kLdwOn); });
    OnClicked(m_ids.frontStart, [this] { OnToggle(SetupWord::kFrontStartOn); });
    if (m_ids.headway) OnClicked(m_ids.headway, [this] { OnToggle(SetupWord::kHeadwayOn); });
    for (int i = 0; i < 3; ++i) OnClicked(m_ids.sensitivity[i], [this, i] { OnSensitivityClicked(i); });
    OnEdited(m_ids.fcwSpeed, [this] { OnChangeFcwSpeed(); });
    OnEdited(m_ids.ldwSpeed, [this] { OnChangeLdwSpeed(); });
    OnEdited(m_ids.left, [this] { OnChangeLeft(); });
    OnEdited(m_ids.right, [this] { OnChangeRight(); });
}

void CTabTwoBase::SetRecord(SetupRecord* record)
{
    m_pRecord = record;
    if (!m_pRecord) return;
    // Boxes are only ever checked here; a fresh page starts unchecked.
    if (m_pRecord->Word(SetupWord::kFcwOn)) SetChecked(m_ids.fcw, true);
    if (m_pRecord->Word(SetupWord::kLdwOn)) SetChecked(m_ids.ldw, true);
    if (m_pRecord->Word(SetupWord::kFrontStartOn)) SetChecked(m_ids.frontStart, true);
    if (m_ids.headway && m_pRecord->Word(SetupWord::kHeadwayOn)) SetChecked(m_ids.headway, true);
    CheckRadioIndex({std::begin(m_ids.sensitivity), std::end(m_ids.sensitivity)}, m_pRecord->Word(SetupWord::kWarnSensitivity));
    m_nFcwSpeed = m_pRecord->Word(SetupWord::kFcwSpeed);
    m_nLdwSpeed = m_pRecord->Word(SetupWord::kLdwSpeed);
    m_nLeft = m_pRecord->SignedWord(SetupWord::kLdwLeft);
    m_nRight = m_pRecord->SignedWord(SetupWord::kLdwRight);
    UpdateData(false);
}

void CTabTwoBase::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        ReadInt(m_ids.fcwSpeed, &m_nFcwSpeed);
        ReadInt(m_ids.ldwSpeed, &m_nLdwSpeed);
        ReadInt(m_ids.left, &m_nLeft);
        ReadInt(m_ids.right, &m_nRight);
    } else {
        SetEditInt(m_ids.fcwSpeed, m_nFcwSpeed);
        SetEditInt(m_ids.ldwSpeed, m_nLdwSpeed);
        SetEditInt(m_ids.left, m_nLeft);
        SetEditInt(m_ids.right, m_nRight);
    }
}

void CTabTwoBase::OnToggle(int word)
{
    if (m_pRecord) m_pRecord->SetWord(word, ToggleNonZero(m_pRecord->Word(word)));
}

void CTabTwoBase::OnSensitivityClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kWarnSensitivity, static_cast<std::uint16_t>(index));
}

void CTabTwoBase::OnChangeFcwSpeed()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) m_nFcwSpeed = std::clamp(m_nFcwSpeed, 20, 80);
    m_pRecord->SetSignedWord(SetupWord::kFcwSpeed, m_nFcwSpeed);
    m_pRecord->SetSignedWord(SetupWord::kFcwSpeedLess5, m_nFcwSpeed - 5);
}

void CTabTwoBase::OnChangeLdwSpeed()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) m_nLdwSpeed = std::clamp(m_nLdwSpeed, 40, 80);
    m_pRecord->SetSignedWord(SetupWord::kLdwSpeed, m_nLdwSpeed);
    m_pRecord->SetSignedWord(SetupWord::kLdwSpeedLess5, m_nLdwSpeed - 5);
}

void CTabTwoBase::OnChangeLeft()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) m_nLeft = std::clamp(m_nLeft, 1, 9);
    m_pRecord->SetSignedWord(SetupWord::kLdwLeft, m_nLeft);
}

void CTabTwoBase::OnChangeRight()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) m_nRight = std::clamp(m_nRight, 1, 9);
    m_pRecord->SetSignedWord(SetupWord::kLdwRight, m_nRight);
}

CTabTwoDlg::CTabTwoDlg(QWidget* parent) : CTabTwoBase(KoreanTemplate(), 2, kKoreanIds, false) { setParent(parent); }
CTabTwoEngDlg::CTabTwoEngDlg(QWidget* parent) : CTabTwoBase(EnglishTemplate(), 1, kEnglishIds, true) { setParent(parent); }
CTabTwoJpnDlg::CTabTwoJpnDlg(QWidget* parent) : CTabTwoBase(JapaneseTemplate(), 0, kJapaneseIds, true) { setParent(parent); }
