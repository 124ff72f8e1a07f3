#include "settings/InstallPages.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr InstallPageIds kKoreanIds{{1219, 1220, 1221, 1222, 1223, 1224}, {1225, 1226, 1227}, 1268, 1229, 1230};
constexpr InstallPageIds kEnglishIds{{1259, 1271, 1272, 1273, 1274, 1275}, {1276, 1277, 1278}, 1268, 1279, 1280};
constexpr InstallPageIds kJapaneseIds{{1390, 1391, 1392, 1393, 1394, 1395}, {1396, 1397, 1398}, 1399, 1400, 1401};

// Type radios in page order: the record's code and the preset height and width.
constexpr int kTypeCode[6] = {0, 3, 1, 4, 2, 5};
constexpr double kTypeHeight[6] = {1.3, 1.3, 1.5, 1.7, 1.6, 2.5};
constexpr double kTypeWidth[6] = {1.8, 1.6, 1.9, 1.9, 2.5, 2.5};

DlgTemplate MakeTemplate(int id, const InstallPageIds& ids, const char* const* t)
{
    // t: type group, six types, position group, three positions, info group, three labels
    return DlgTemplate{id, 288, 232, {
        {DlgKind::Group, IDC_STATIC, t[0], 7, 7, 274, 62},
        {DlgKind::Radio, ids.types[0], t[1], 17, 22, 85, 12, 1},
        {DlgKind::Radio, ids.types[1], t[2], 107, 22, 85, 12, 1},
        {DlgKind::Radio, ids.types[2], t[3], 197, 22, 80, 12, 1},
        {DlgKind::Radio, ids.types[3], t[4], 17, 44, 85, 12, 1},
        {DlgKind::Radio, ids.types[4], t[5], 107, 44, 85, 12, 1},
        {DlgKind::Radio, ids.types[5], t[6], 197, 44, 80, 12, 1},
        {DlgKind::Group, id == 7399 ? 1402 : IDC_STATIC, t[7], 7, 76, 274, 36},
        {DlgKind::Radio, ids.positions[0], t[8], 17, 91, 85, 12, 2},
        {DlgKind::Radio, ids.positions[1], t[9], 107, 91, 85, 12, 2},
        {DlgKind::Radio, ids.positions[2], t[10], 197, 91, 80, 12, 2},
        {DlgKind::Group, IDC_STATIC, t[11], 7, 119, 274, 84},
        {DlgKind::Static, IDC_STATIC, t[12], 17, 137, 140, 10},
        {DlgKind::Edit, ids.height, "", 165, 135, 60, 14},
        {DlgKind::Static, IDC_STATIC, t[13], 17, 159, 140, 10},
        {DlgKind::Edit, ids.width, "", 165, 157, 60, 14},
        {DlgKind::Static, IDC_STATIC, t[14], 17, 181, 140, 10},
        {DlgKind::Edit, ids.offset, "", 165, 179, 60, 14},
    }};
}

const char* const kKoreanTexts[] = {"차종", "승용차", "경차", "SUV", "RV", "버스", "트럭",
    "설치 위치", "좌측", "중앙", "우측", "설치 정보", "카메라 높이 (m)", "차폭 (m)", "중심에서 거리 (cm)"};
const char* const kEnglishTexts[] = {"Vehicle Type", "Sedan", "Compact Car", "SUV", "RV", "Bus", "Truck",
    "Mounting Position", "Left", "Center", "Right", "Installation", "Camera Height (m)", "Vehicle Width (m)",
    "Offset from Center (cm)"};
const char* const kJapaneseTexts[] = {"車種", "乗用車", "コンパクトカー", "SUV", "ミニバン", "バス", "トラック",
    "取付状況", "左側", "中央", "右側", "取付情報", "カメラの高さ (m)", "車幅 (m)", "中心からの距離 (cm)"};

const DlgTemplate& KoreanTemplate()
{
    static const DlgTemplate t = MakeTemplate(6391, kKoreanIds, kKoreanTexts);
    return t;
}
const DlgTemplate& EnglishTemplate()
{
    static const DlgTemplate t = MakeTemplate(7391, kEnglishIds, kEnglishTexts);
    return t;
}
const DlgTemplate& JapaneseTemplate()
{
    static const DlgTemplate t = MakeTemplate(7399, kJapaneseIds, kJapaneseTexts);
    return t;
}

// truncate((cm + 5) / 10) x 10 on the typed value, so 1.15 m rounds to 120 like 1.25 m to 130.
int RoundToTen(double cm) { return static_cast<int>(std::trunc((cm + 5 + 1e-6) / 10)) * 10; }

}  // namespace

int TruncScaled(double value, double scale)
{
    return static_cast<int>(std::trunc(value * scale + std::copysign(1e-6, value)));
}

CTabOneBase::CTabOneBase(const DlgTemplate& tmpl, int language, const InstallPageIds& ids, bool clampEdits)
    : CSetupPage(tmpl, language), m_ids(ids), m_bClamp(clampEdits)
{
    m_bFilterEnterEsc = clampEdits;
}

void CTabOneBase::OnInitDialog()
{
    for (int i = 0; i < 6; ++i) OnClicked(m_ids.types[i], [this, i] { OnTypeClicked(i); });
    for (int i = 0; i < 3; ++i) OnClicked(m_ids.positions[i], [this, i] { OnPositionClicked(i); });
    OnEdited(m_ids.height, [this] { OnChangeHeight(); });
    OnEdited(m_ids.width, [this] { OnChangeWidth(); });
    OnEdited(m_ids.offset, [this] { OnChangeOffset(); });
}

void CTabOneBase::SetRecord(SetupRecord* record)
{
    m_pRecord = record;
    if (!m_pRecord) return;
    int radio = 0;
    for (int i = 0; i < 6; ++i)
        if (kTypeCode[i] == m_pRecord->Word(SetupWord::kVehicleType)) radio = i;
    CheckRadioIndex({std::begin(m_ids.types), std::end(m_ids.types)}, radio);
    CheckRadioIndex({std::begin(m_ids.positions), std::end(m_ids.positions)}, m_pRecord->Word(SetupWord::kMountPosition));
    m_dHeight = m_pRecord->Word(SetupWord::kCameraHeight) / 100.0;
    m_dWidth = m_pRecord->Word(SetupWord::kVehicleWidth) / 100.0;
    m_dOffset = m_pRecord->SignedWord(SetupWord::kOffset) / 10.0;
    UpdateData(false);
}

void CTabOneBase::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        ReadDouble(m_ids.height, &m_dHeight);
        ReadDouble(m_ids.width, &m_dWidth);
        ReadDouble(m_ids.offset, &m_dOffset);
    } else {
        SetEditDouble(m_ids.height, m_dHeight);
        SetEditDouble(m_ids.width, m_dWidth);
        SetEditDouble(m_ids.offset, m_dOffset);
    }
}

void CTabOneBase::OnTypeClicked(int index)
{
    if (!m_pRecord) return;
    m_pRecord->SetWord(SetupWord::kVehicleType, static_cast<std::uint16_t>(kTypeCode[index]));
    m_dHeight = kTypeHeight[index];
    m_dWidth = kTypeWidth[index];
    m_pRecord->SetSignedWord(SetupWord::kCameraHeight, TruncScaled(m_dHeight, 100));
    m_pRecord->SetSignedWord(SetupWord::kVehicleWidth, TruncScaled(m_dWidth, 100));
    SetEditDouble(m_ids.height, m_dHeight);
    SetEditDouble(m_ids.width, m_dWidth);
}

void CTabOneBase::OnPositionClicked(int index)
{
    if (m_pRecord) m_pRecord->SetWord(SetupWord::kMountPosition, static_cast<std::uint16_t>(index));
}

void CTabOneBase::OnChangeHeight()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) {
        m_dHeight = std::clamp(m_dHeight, 1.0, 3.0);
        m_pRecord->SetSignedWord(SetupWord::kCameraHeight, RoundToTen(m_dHeight * 100));
    } else {
        m_pRecord->SetSignedWord(SetupWord::kCameraHeight, TruncScaled(m_dHeight, 100));
    }
}

void CTabOneBase::OnChangeWidth()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) {
        m_dWidth = std::clamp(m_dWidth, 1.0, 3.0);
        m_pRecord->SetSignedWord(SetupWord::kVehicleWidth, RoundToTen(m_dWidth * 100));
    } else {
        m_pRecord->SetSignedWord(SetupWord::kVehicleWidth, TruncScaled(m_dWidth, 100));
    }
}

void CTabOneBase::OnChangeOffset()
{
    if (!m_pRecord) return;
    UpdateData(true);
    if (m_bClamp) m_dOffset = std::clamp(m_dOffset, 0.0, 30.0);
    m_pRecord->SetSignedWord(SetupWord::kOffset, TruncScaled(m_dOffset, 10));
}

CTabOneDlg::CTabOneDlg(QWidget* parent) : CTabOneBase(KoreanTemplate(), 2, kKoreanIds, false) { setParent(parent); }
CTabOneEngDlg::CTabOneEngDlg(QWidget* parent) : CTabOneBase(EnglishTemplate(), 1, kEnglishIds, true) { setParent(parent); }
CTabOneJpnDlg::CTabOneJpnDlg(QWidget* parent) : CTabOneBase(JapaneseTemplate(), 0, kJapaneseIds, true) { setParent(parent); }
