#include "settings/SystemPages.h"

#include <algorithm>

namespace {

constexpr SystemPageIds kKoreanIds{1096, 1097, {1217, 1218, 1219, 1220}, {1248, 1249, 1250}, {1251, 1192},
                                   {1136, 1137, 1138}, {1193, 1194}, {1213, 1214, 1215, 1216, 1221, 1222}};
constexpr SystemPageIds kEnglishIds{1303, 1304, {1305, 1306, 1307, 1308}, {1309, 1310, 1311}, {1312, 1313},
                                    {1314, 1315, 1316}, {1317, 1318}, {1319, 1320, 1321, 1322, 1323, 1324}};
constexpr SystemPageIds kJapaneseIds{1340, 1341, {1342, 1343, 1344, 1345}, {1346, 1347, 1348}, {1349, 1350},
                                     {1351, 1352, 1353}, {1354, 1355}, {1356, 1357, 1358, 1359, 1360, 1361}};

struct SystemTexts {
    const char *voiceGroup, *screenGroup, *lcdGroup, *overlayGroup, *unitGroup, *systemGroup, *languageGroup;
    const char* voice[4];
    const char* screen[3];
    const char* lcd[2];
    const char* overlay[3];
    const char *speaker, *mic;
    const char* language[6];
    int visibleLanguages;
};

DlgTemplate MakeTemplate(int id, const SystemPageIds& ids, const SystemTexts& t)
{
    const bool jpn = id == 9396;
    auto g = [&](int n) { return jpn ? n : IDC_STATIC; };
    DlgTemplate tmpl{id, 288, 232, {
        {DlgKind::Group, g(1403), t.voiceGroup, 7, 5, 274, 44},
        {DlgKind::Check, ids.voice[0], t.voice[0], 17, 17, 125, 12},
        {DlgKind::Check, ids.voice[1], t.voice[1], 150, 17, 125, 12},
        {DlgKind::Check, ids.voice[2], t.voice[2], 17, 32, 125, 12},
        {DlgKind::Check, ids.voice[3], t.voice[3], 150, 32, 125, 12},
        {DlgKind::Group, g(1405), t.screenGroup, 7, 53, 134, 30},
        {DlgKind::Radio, ids.screen[0], t.screen[0], 14, 66, 40, 12, 1},
        {DlgKind::Radio, ids.screen[1], t.screen[1], 56, 66, 40, 12, 1},
        {DlgKind::Radio, ids.screen[2], t.screen[2], 98, 66, 40, 12, 1},
        {DlgKind::Group, g(1404), t.lcdGroup, 147, 53, 134, 30},
        {DlgKind::Radio, ids.lcd[0], t.lcd[0], 153, 66, 66, 12, 2},
        {DlgKind::Radio, ids.lcd[1], t.lcd[1], 222, 66, 56, 12, 2},
        {DlgKind::Group, g(1406), t.overlayGroup, 7, 87, 274, 30},
        {DlgKind::Check, ids.overlay[0], t.overlay[0], 17, 100, 85, 12},
        {DlgKind::Check, ids.overlay[1], t.overlay[1], 107, 100, 85, 12},
        {DlgKind::Check, ids.overlay[2], t.overlay[2], 197, 100, 80, 12},
        {DlgKind::Group, g(1417), t.unitGroup, 7, 121, 134, 30},
        {DlgKind::Radio, ids.unit[0], "km/h", 17, 134, 50, 12, 3},
        {DlgKind::Radio, ids.unit[1], "mph", 77, 134, 50, 12, 3},
        {DlgKind::Group, g(1413), t.systemGroup, 147, 121, 134, 48},
        {DlgKind::Static, g(1402), t.speaker, 155, 136, 60, 10},
        {DlgKind::Edit, ids.speaker, "", 220, 134, 40, 14},
        {DlgKind::Static, g(1411), t.mic, 155, 153, 60, 10},
        {DlgKind::Edit, ids.mic, "", 220, 151, 40, 14},
        {DlgKind::Group, IDC_STATIC, t.languageGroup, 7, 173, 274, 30},
    }};
    // The languages the camera knows beyond the visible ones sit hidden on the same places.
    for (int v = 0; v < 6; ++v) {
        const int slot = v < t.visibleLanguages ? v : v % t.visibleLanguages;
        tmpl.items.push_back({DlgKind::Radio, ids.language[v], t.language[v], 17 + 90 * slot, 186, 85, 12, 4,
                              v >= t.visibleLanguages});
    }
    return tmpl;
}

const SystemTexts kKoreanTexts{"음성 안내", "화면 선택", "LCD", "화면 표시", "속도 단위", "볼륨", "언어",
    {"블랙박스저장", "전방추돌경보", "차선이탈경보", "차량출발안내"}, {"전방", "후방", "PIP"}, {"항상켜짐", "30초후꺼짐"},
    {"속도", "스마트기능", "지평선"}, "스피커 :", "마이크 :",
    {"日本語", "English", "한국어", "중국어", "스페인어", "러시아어"}, 3};
const SystemTexts kEnglishTexts{"Voice Alert", "Screen", "LCD", "Display", "Speed Unit", "Volume", "Language",
    {"Event Record", "FCW", "LDW", "Beep && Watch"}, {"Front", "Rear", "PIP"}, {"Always On", "30sec On"},
    {"Speed", "Smart Car", "Horizon"}, "Speaker :", "Mic :",
    {"日本語", "English", "한국어", "Chinese", "Spanish", "Russian"}, 2};
const SystemTexts kJapaneseTexts{"音声アラーム", "画面選択", "画面設定", "画面表示", "速度単位", "システム設定", "言語",
    {"イベント録画", "前方衝突警戒", "車線逸脱警戒", "前車発進お知らせ"}, {"前方", "後方", "PIP"}, {"OFF(消灯なし)", "30秒"},
    {"速度", "運転支援", "水平ライン"}, "スピーカー :", "マイク :",
    {"日本語", "English", "한국어", "中国語", "スペイン語", "ロシア語"}, 2};

const DlgTemplate& KoreanTemplate()
{
    static const DlgTemplate t = MakeTemplate(6390, kKoreanIds, kKoreanTexts);
    return t;
}
const DlgTemplate& EnglishTemplate()
{
    static const DlgTemplate t = MakeTemplate(7393, kEnglishIds, kEnglishTexts);
    return t;
}
const DlgTemplate& JapaneseTemplate()
{
    static const DlgTemplate t = MakeTemplate(9396, kJapaneseIds, kJapaneseTexts);
    return t;
}

constexpr int kVoiceWord[4] = {SetupWord::kVoiceEventSaved, SetupWord::kVoiceFcw, SetupWord::kVoiceLdw,
                               SetupWord::kVoiceFrontStart};
constexpr int kOverlayWord[3] = {SetupWord::kShowSpeed, SetupWord::kShowSmart, SetupWord::kShowHorizon};

}  // namespace

CTabFourBase::CTabFourBase(const DlgTemplate& tmpl, int language, const SystemPageIds& ids, bool showClampedVolume)
    : CSetupPage(tmpl, language), m_ids(ids), m_bShowClamped(showClampedVolume)
{
    m_bFilterEnterEsc = !showClampedVolume;
}

void CTabFourBase::OnInitDialog()
{
    for (int i = 0; i < 4; ++i) OnClicked(m_ids.voice[i], [this, i] { OnToggle(kVoiceWord[i]); });
    for (int i = 0; i < 3; ++i) OnClicked(m_ids.overlay[i], [this, i] { OnToggle(kOverlayWord[i]); });
    for (int i = 0; i < 3; ++i) OnClicked(m_ids.screen[i], [this, i] { OnScreenClicked(i); });
    for (int i = 0; i < 2; ++i) OnClicked(m_ids.lcd[i], [this, i] { OnLcdClicked(i); });
    for (int i = 0; i < 2; ++i) OnClicked(m_ids.unit[i], [this, i] { OnUnitClicked(i); });
    for (int v = 0; v < 6; ++v) OnClicked(m_ids.language[v], [this, v] { OnLanguageClicked(v); });
    OnEdited(m_ids.speaker, [this] { OnChangeSpeaker(); });
    OnEdited(m_ids.mic, [this] { OnChangeMic(); });
}

void CTabFourBase::SetRecord(SetupRecord* record)
{
    m_pRecord = record;
    if (!m_pRecord) return;
    for (int i = 0; i < 4; ++i)
        if (m_pRecord->Word(kVoiceWord[i]) == 1) SetChecked(m_ids.voice[i], true);
    for (int i = 0; i < 3; ++i)
        if (m_pRecord->Word(kOverlayWord[i]) == 1) SetChecked(m_ids.overlay[i], true);
    CheckRadioIndex({std::begin(m_ids.unit), std::end(m_ids.unit)}, m_pRecord->Word(SetupWord::kSpeedUnit));
    CheckRadioIndex({std::begin(m_ids.screen), std::end(m_ids.screen)}, m_pRecord->Word(SetupWord::kScreenView));
    CheckRadioIndex({std::begin(m_ids.lcd), std::end(m_ids.lcd)}, m_pRecord->Word(SetupWord::kLcd));
    CheckRadioIndex({std::begin(m_ids.language), std::end(m_ids.language)}, m_pRecord->Word(SetupWord::kLanguage));
    m_nSpeaker = m_pRecord->Word(SetupWord::kSpeakerVolume);
    m_nMic = m_pRecord->Word(SetupWord::kMicVolume);
    UpdateData(false);
}

void CTabFourBase::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        ReadInt(m_ids.speaker, &m_nSpeaker);
        ReadInt(m_ids.mic, &m_nMic);
    } else {
        SetEditInt(m_ids.speaker, m_nSpeaker);
        SetEditInt(m_ids.mic, m_nMic);
    }
}

void CTabFourBase::OnToggle(int word)
{
    if (m_pRecord) m_pRecord->SetWord(word, ToggleOneZero(m_pRecord->Word(word)));
}

void CTabFourBase::OnScreenClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kScreenView, static_cast<std::uint16_t>(index));
}

void CTabFourBase::OnLcdClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kLcd, static_cast<std::uint16_t>(index));
}

void CTabFourBase::OnUnitClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kSpeedUnit, static_cast<std::uint16_t>(index));
}

void CTabFourBase::OnLanguageClicked(int value)
{
    if (!m_pRecord) return;
    m_pRecord->SetWord(SetupWord::kLanguage, static_cast<std::uint16_t>(value));
    m_pRecord->SetWord(SetupWord::kLanguageCopy, static_cast<std::uint16_t>(value));
}

void CTabFourBase::OnChangeSpeaker()
{
    if (!m_pRecord) return;
    UpdateData(true);
    m_nSpeaker = std::clamp(m_nSpeaker, 0, 15);
    m_pRecord->SetWord(SetupWord::kSpeakerVolume, static_cast<std::uint16_t>(m_nSpeaker));
    if (m_bShowClamped) SetEditInt(m_ids.speaker, m_nSpeaker);
}

void CTabFourBase::OnChangeMic()
{
    if (!m_pRecord) return;
    UpdateData(true);
    m_nMic = std::clamp(m_nMic, 0, 15);
    m_pRecord->SetWord(SetupWord::kMicVolume, static_cast<std::uint16_t>(m_nMic));
    if (m_bShowClamped) SetEditInt(m_ids.mic, m_nMic);
}

CTabFourDlg::CTabFourDlg(QWidget* parent) : CTabFourBase(KoreanTemplate(), 2, kKoreanIds, true) { setParent(parent); }
CTabFourEngDlg::CTabFourEngDlg(QWidget* parent) : CTabFourBase(EnglishTemplate(), 1, kEnglishIds, false) { setParent(parent); }
CTabFourJpnDlg::CTabFourJpnDlg(QWidget* parent) : CTabFourBase(JapaneseTemplate(), 0, kJapaneseIds, false) { setParent(parent); }
