#include "settings/RecordingPages.h"

#include <QComboBox>
#include <QEvent>
#include <QSlider>

namespace {

constexpr RecordingPageIds kKoreanIds{1239, 1240, {1241, 1242, 1243}, {1244, 1245, 1246}, {1197, 1198, 1199}, 1339,
                                      {0, 0, 0}, {0, 0, 0}};
constexpr RecordingPageIds kEnglishIds{1291, 1292, {1297, 1298, 1299}, {1244, 1245, 1246}, {1300, 1301, 1302}, 1339,
                                       {1410, 1113, 1114}, {1096, 1097, 1099}};
constexpr RecordingPageIds kJapaneseIds{1362, 1363, {1365, 1366, 1367}, {1244, 1245, 1246}, {1371, 1372, 1373}, 1339,
                                        {1410, 1113, 1114}, {1096, 1097, 1099}};

struct RecordingTexts {
    const char *basicGroup, *continuous, *voice, *impactGroup;
    const char* impact[3];
    const char* parkingGroup;
    const char* parking[3];
    const char* resolutionGroup;
    const char* resolution[3];
    const char *voltageGroup, *fineGroup, *levelLabel;
    const char* axes[3];
};

DlgTemplate MakeTemplate(int id, const RecordingPageIds& ids, const RecordingTexts& t, bool korean)
{
    const bool jpn = id == 7397;
    auto g = [&](int n) { return jpn ? n : IDC_STATIC; };
    DlgTemplate tmpl{id, 288, 232, {
        {DlgKind::Group, g(1412), t.basicGroup, 7, 7, 274, 30},
        {DlgKind::Check, ids.continuous, t.continuous, 17, 19, 125, 12},
        {DlgKind::Check, ids.voice, t.voice, 150, 19, 125, 12},
        {DlgKind::Group, g(1403), t.impactGroup, 7, 42, 274, 30},
        {DlgKind::Radio, ids.impact[0], t.impact[0], 17, 55, 80, 12, 1},
        {DlgKind::Radio, ids.impact[1], t.impact[1], 107, 55, 80, 12, 1},
        {DlgKind::Radio, ids.impact[2], t.impact[2], 197, 55, 80, 12, 1},
    }};
    auto add = [&](const DlgItem& i) { tmpl.items.push_back(i); };
    // The parking and voltage controls exist on every page; only the Korean page shows them.
    const int parkY = korean ? 77 : 150;
    add({DlgKind::Group, g(1402), t.parkingGroup, 7, parkY, 274, 30, 0, !korean});
    add({DlgKind::Radio, ids.parking[0], t.parking[0], 17, parkY + 13, 80, 12, 2, !korean});
    add({DlgKind::Radio, ids.parking[1], t.parking[1], 107, parkY + 13, 80, 12, 2, !korean});
    add({DlgKind::Radio, ids.parking[2], t.parking[2], 197, parkY + 13, 80, 12, 2, !korean});
    const int resY = korean ? 112 : 77;
    add({DlgKind::Group, IDC_STATIC, t.resolutionGroup, 7, resY, 274, 30});
    add({DlgKind::Radio, ids.resolution[0], t.resolution[0], 17, resY + 13, 88, 12, 3});
    add({DlgKind::Radio, ids.resolution[1], t.resolution[1], 107, resY + 13, 88, 12, 3});
    add({DlgKind::Radio, ids.resolution[2], t.resolution[2], 197, resY + 13, 82, 12, 3});
    const int voltY = korean ? 147 : 185;
    add({DlgKind::Group, g(1404), t.voltageGroup, 7, voltY, 274, 34, 0, !korean});
    add({DlgKind::Combo, ids.voltage, "", 17, voltY + 13, 70, 120, 0, !korean});
    if (!korean) {
        add({DlgKind::Group, 1409, t.fineGroup, 7, 112, 274, 90});
        add({DlgKind::Static, jpn ? 1405 : IDC_STATIC, t.levelLabel, 225, 122, 50, 10});
        for (int a = 0; a < 3; ++a) {
            const int y = 136 + 20 * a;
            add({DlgKind::Static, 1414 + a, t.axes[a], 17, y + 3, 55, 10});
            add({DlgKind::Trackbar, ids.sliders[a], "", 75, y, 145, 16});
            add({DlgKind::ReadOnlyEdit, ids.gEdits[a], "", 228, y + 1, 40, 14});
        }
    }
    return tmpl;
}

const RecordingTexts kKoreanTexts{"저장 설정", "연속저장", "음성저장", "충격 감도", {"민감", "보통", "둔감"},
    "주차 감시 감도", {"민감", "보통", "둔감"}, "해상도", {"FULL HD", "HD", "VGA"}, "방전방지전압", "", "", {"", "", ""}};
const RecordingTexts kEnglishTexts{"Recording", "Continuous Recording", "Voice Recording", "Impact Sensitivity",
    {"Sensitive", "Normal", "Insensitive"}, "Parking Sensitivity", {"Sensitive", "Normal", "Insensitive"},
    "Resolution", {"FULL HD", "HD", "VGA"}, "Low Voltage", "Impact level for G sensor", "Level",
    {"X (Front-Back)", "Y (Left-Right)", "Z (Up-Down)"}};
const RecordingTexts kJapaneseTexts{"基本設定", "常時録画自動スタート", "音声記録", "衝撃検知レベル", {"高", "中", "低"},
    "駐車監視モード設定", {"高", "中", "低"}, "録画画質", {"最高画質 (1080p)", "高画質 (720p)", "標準画質 (480p)"},
    "作動停止電圧", "Gセンサー衝撃検知レベル微調整", "変化レベル", {"X (前後)", "Y (左右)", "Z (上下)"}};

const DlgTemplate& KoreanTemplate()
{
    static const DlgTemplate t = MakeTemplate(6389, kKoreanIds, kKoreanTexts, true);
    return t;
}
const DlgTemplate& EnglishTemplate()
{
    static const DlgTemplate t = MakeTemplate(7392, kEnglishIds, kEnglishTexts, false);
    return t;
}
const DlgTemplate& JapaneseTemplate()
{
    static const DlgTemplate t = MakeTemplate(7397, kJapaneseIds, kJapaneseTexts, false);
    return t;
}

constexpr int kImpactThreshold[3] = {50, 70, 90};
constexpr int kAxisWord[3] = {SetupWord::kImpactX, SetupWord::kImpactY, SetupWord::kImpactZ};

}  // namespace

CTabThreeBase::CTabThreeBase(const DlgTemplate& tmpl, int language, const RecordingPageIds& ids, bool hasSliders)
    : CSetupPage(tmpl, language), m_ids(ids), m_bSliders(hasSliders)
{
    m_bFilterEnterEsc = hasSliders;
}

void CTabThreeBase::OnInitDialog()
{
    OnClicked(m_ids.continuous, [this] { OnToggle(SetupWord::kContinuousRec); });
    OnClicked(m_ids.voice, [this] { OnToggle(SetupWord::kVoiceRec); });
    for (int i = 0; i < 3; ++i) {
        OnClicked(m_ids.impact[i], [this, i] { OnImpactClicked(i); });
        OnClicked(m_ids.parking[i], [this, i] { OnParkingClicked(i); });
        OnClicked(m_ids.resolution[i], [this, i] { OnResolutionClicked(i); });
    }
    if (QComboBox* c = Combo(m_ids.voltage))
        connect(c, QOverload<int>::of(&QComboBox::activated), this, [this] { OnVoltageSelChange(); });
    if (m_bSliders)
        for (int id : m_ids.sliders)
            if (QSlider* s = Slider(id)) s->installEventFilter(this);
}

bool CTabThreeBase::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int id : m_ids.sliders) {
            if (watched == Slider(id)) {
                // The slider takes the release first; then read where it stopped.
                watched->event(event);
                OnReleasedCapture(id);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTabThreeBase::SetRecord(SetupRecord* record)
{
    m_pRecord = record;
    if (!m_pRecord) return;
    SetChecked(m_ids.continuous, m_pRecord->Word(SetupWord::kContinuousRec) == 1);
    SetChecked(m_ids.voice, m_pRecord->Word(SetupWord::kVoiceRec) == 1);
    CheckRadioIndex({std::begin(m_ids.impact), std::end(m_ids.impact)}, m_pRecord->Word(SetupWord::kImpactSensitivity));
    CheckRadioIndex({std::begin(m_ids.parking), std::end(m_ids.parking)}, m_pRecord->Word(SetupWord::kParkingSensitivity));
    CheckRadioIndex({std::begin(m_ids.resolution), std::end(m_ids.resolution)}, m_pRecord->Word(SetupWord::kResolution));
    if (QComboBox* c = Combo(m_ids.voltage)) {
        c->clear();
        for (int n = 0; n <= 20; ++n) c->addItem(QString::asprintf("%0.1fv", 11.5 + 0.1 * n));
        const int sel = m_pRecord->Word(SetupWord::kLowVoltage);
        c->setCurrentIndex(sel < c->count() ? sel : -1);
    }
    if (m_bSliders) {
        float* g[3] = {&m_fX, &m_fY, &m_fZ};
        for (int a = 0; a < 3; ++a) {
            if (QSlider* s = Slider(m_ids.sliders[a])) {
                s->setRange(10, 190);
                s->setPageStep(10);
                s->setTickInterval(10);
                s->setValue(m_pRecord->Word(kAxisWord[a]));
            }
            *g[a] = m_pRecord->Word(kAxisWord[a]) / 100.0f;
        }
    }
    UpdateData(false);
}

void CTabThreeBase::UpdateData(bool saveAndValidate)
{
    if (!m_bSliders || saveAndValidate) return;   // the G edits are read-only
    const float g[3] = {m_fX, m_fY, m_fZ};
    for (int a = 0; a < 3; ++a)
        if (QLineEdit* e = Edit(m_ids.gEdits[a])) e->setText(QString::number(static_cast<double>(g[a]), 'g', 6));
}

void CTabThreeBase::OnToggle(int word)
{
    if (m_pRecord) m_pRecord->SetWord(word, ToggleOneZero(m_pRecord->Word(word)));
}

void CTabThreeBase::OnImpactClicked(int index)
{
    if (!m_pRecord) return;
    m_pRecord->SetWord(SetupWord::kImpactSensitivity, static_cast<std::uint16_t>(index));
    if (!m_bSliders) return;
    const int v = kImpactThreshold[index];
    for (int a = 0; a < 3; ++a) {
        m_pRecord->SetWord(kAxisWord[a], static_cast<std::uint16_t>(v));
        if (QSlider* s = Slider(m_ids.sliders[a])) s->setValue(v);
    }
    m_fX = m_fY = m_fZ = v / 100.0f;
    UpdateData(false);
}

void CTabThreeBase::OnParkingClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kParkingSensitivity, static_cast<std::uint16_t>(index));
}

void CTabThreeBase::OnResolutionClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kResolution, static_cast<std::uint16_t>(index));
}

void CTabThreeBase::OnVoltageSelChange()
{
    QComboBox* c = Combo(m_ids.voltage);
    if (m_pRecord && c && c->currentIndex() >= 0)
        m_pRecord->SetWord(SetupWord::kLowVoltage, static_cast<std::uint16_t>(c->currentIndex()));
}

void CTabThreeBase::OnReleasedCapture(int sliderId)
{
    QSlider* s = Slider(sliderId);
    if (!m_pRecord || !s) return;
    float* g[3] = {&m_fX, &m_fY, &m_fZ};
    for (int a = 0; a < 3; ++a) {
        if (m_ids.sliders[a] != sliderId) continue;
        const int value = (s->value() + 5) / 10 * 10;
        m_pRecord->SetWord(kAxisWord[a], static_cast<std::uint16_t>(value));
        *g[a] = value / 100.0f;
    }
    UpdateData(false);
}

CTabThreeDlg::CTabThreeDlg(QWidget* parent) : CTabThreeBase(KoreanTemplate(), 2, kKoreanIds, false) { setParent(parent); }
CTabThreeEngDlg::CTabThreeEngDlg(QWidget* parent) : CTabThreeBase(EnglishTemplate(), 1, kEnglishIds, true) { setParent(parent); }
CTabThreeJpnDlg::CTabThreeJpnDlg(QWidget* parent) : CTabThreeBase(JapaneseTemplate(), 0, kJapaneseIds, true) { setParent(parent); }
