#include "settings/SetupDlg.h"

#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"
#include "settings/SetupFont.h"
#include "settings/SetupPage.h"
#include "settings/SetupTexts.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QSlider>
#include <QTabWidget>

int g_nSetupFrameMode = 0;
int g_nSetupVoiceRecord = 0;
int g_nSetupParkQuality = 0;
int g_nSetupDetectMode = 0;
QString g_szSetupDrive;

namespace {

using D = CSetupDlg;

const DlgTemplate kTemplate{D::kTemplateId, 361, 311, {
    {DlgKind::Tab, D::IDC_TAB, "", 2, 2, 6, 6},
    {DlgKind::Group, IDC_STATIC, "영상설정", 8, 9, 156, 225},
    {DlgKind::Static, IDC_STATIC, "프레임", 18, 23, 60, 10},
    {DlgKind::Radio, 1188, "가변", 18, 36, 38, 10, 1},
    {DlgKind::Radio, 1189, "고정(15f)", 58, 36, 50, 10, 1},
    {DlgKind::Radio, 1190, "고정(30f)", 110, 36, 50, 10, 1},
    {DlgKind::Static, IDC_STATIC, "화질", 17, 85, 60, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_QUALITY, "", 17, 97, 114, 11},
    {DlgKind::Static, IDC_STATIC, "최저", 17, 110, 24, 9},
    {DlgKind::Static, IDC_STATIC, "최고", 118, 110, 24, 9},
    {DlgKind::Static, IDC_STATIC, "밝기조절(-3 ~ +3)", 17, 137, 110, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_BRIGHTNESS, "", 17, 149, 114, 11},
    {DlgKind::Static, IDC_STATIC, "대비조절(-3 ~ +3)", 17, 171, 110, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_CONTRAST, "", 17, 183, 114, 11},
    {DlgKind::Static, IDC_STATIC, "선명도조절(-3 ~ +3)", 17, 205, 110, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_SHARPNESS, "", 17, 217, 114, 11},
    {DlgKind::Group, IDC_STATIC, "오디오설정", 168, 9, 185, 52},
    {DlgKind::Static, IDC_STATIC, "음성녹음", 176, 23, 60, 10},
    {DlgKind::Radio, 1182, "사용함", 176, 36, 55, 10, 2},
    {DlgKind::Radio, 1183, "사용안함", 240, 36, 60, 10, 2},
    {DlgKind::Group, IDC_STATIC, "주차모드설정", 168, 70, 185, 164},
    {DlgKind::Static, IDC_STATIC, "녹화화질", 176, 84, 60, 10},
    {DlgKind::Radio, 1184, "고화질", 176, 97, 55, 10, 3},
    {DlgKind::Radio, 1185, "저화질", 240, 97, 60, 10, 3},
    {DlgKind::Static, IDC_STATIC, "이벤트 감지 방법", 176, 118, 100, 10},
    {DlgKind::Radio, 1186, "충격감지", 176, 131, 55, 10, 4},
    {DlgKind::Radio, 1187, "움직임감지", 240, 131, 70, 10, 4},
    {DlgKind::Static, IDC_STATIC, "충격감도", 172, 183, 60, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_SHOCK, "", 172, 194, 114, 11},
    {DlgKind::Static, IDC_STATIC, "움직임강도", 172, 211, 60, 10},
    {DlgKind::Trackbar, D::IDC_SLIDER_MOTION, "", 172, 223, 114, 11},
    {DlgKind::Button, D::IDC_BTN_RESET, "설정값초기화", 8, 250, 72, 16},
    {DlgKind::Button, IDOK, "저장", 225, 250, 60, 16},
    {DlgKind::Button, IDCANCEL, "취소", 293, 250, 60, 16},
}};

// Each radio group by its first id, with how many radios it has and the index it saves into.
struct RadioGroup {
    int first;
    int count;
    int D::*index;
    int* global;
};
const RadioGroup kRadioGroups[] = {
    {D::IDC_RADIO_FRAME, 3, &D::m_nFrameRadio, &g_nSetupFrameMode},
    {D::IDC_RADIO_VOICE, 2, &D::m_nVoiceRadio, &g_nSetupVoiceRecord},
    {D::IDC_RADIO_PARK, 2, &D::m_nParkRadio, &g_nSetupParkQuality},
    {D::IDC_RADIO_DETECT, 2, &D::m_nDetectRadio, &g_nSetupDetectMode},
};

// Trackbars: range, place (pixels, client coordinates) and starting position.
struct TrackbarSetup {
    int id, low, high, x, y, position;
};
constexpr TrackbarSetup kTrackbars[] = {
    {D::IDC_SLIDER_QUALITY, 0, 2, 30, 170, 1},   {D::IDC_SLIDER_BRIGHTNESS, 0, 6, 30, 260, 3},
    {D::IDC_SLIDER_CONTRAST, 0, 6, 30, 320, 3},  {D::IDC_SLIDER_SHARPNESS, 0, 6, 30, 380, 3},
    {D::IDC_SLIDER_SHOCK, 0, 9, 300, 340, 5},    {D::IDC_SLIDER_MOTION, 0, 2, 300, 390, 1},
};

}  // namespace

CSetupDlg::CSetupDlg(QWidget* parent, std::function<int()> language) : QDialog(parent), m_language(std::move(language))
{
    setWindowTitle(QString::fromUtf8("환경설정"));
    const QFont font = SetupDialogFont(2);
    setFont(font);
    setFixedSize(DialogUnitsToPixels(QRect(0, 0, kTemplate.width, kTemplate.height), font).size());
    CreateTemplateControls(this, kTemplate, font, &m_controls, &m_groups);
    m_tab = qobject_cast<QTabWidget*>(GetDlgItem(IDC_TAB));

    connect(qobject_cast<QAbstractButton*>(GetDlgItem(IDOK)), &QAbstractButton::clicked, this, &CSetupDlg::OnBnClickedSave);
    connect(qobject_cast<QAbstractButton*>(GetDlgItem(IDC_BTN_RESET)), &QAbstractButton::clicked, this,
            &CSetupDlg::OnBnClickedReset);
    connect(qobject_cast<QAbstractButton*>(GetDlgItem(IDCANCEL)), &QAbstractButton::clicked, this, &QDialog::reject);
    for (const RadioGroup& g : kRadioGroups)
        for (int id = g.first; id < g.first + g.count; ++id)
            connect(qobject_cast<QAbstractButton*>(GetDlgItem(id)), &QAbstractButton::clicked, this,
                    [this, first = g.first] { OnRadioClicked(first); });
    OnInitDialog();
}

QWidget* CSetupDlg::GetDlgItem(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QSlider* CSetupDlg::Slider(int id) const { return qobject_cast<QSlider*>(GetDlgItem(id)); }

bool CSetupDlg::OnInitDialog()
{
    DoDataExchange(false);
    for (const TrackbarSetup& t : kTrackbars) {
        QSlider* s = Slider(t.id);
        s->setRange(t.low, t.high);
        s->setGeometry(t.x, t.y, 200, 20);
        s->setValue(t.position);
    }
    return true;
}

void CSetupDlg::DoDataExchange(bool save)
{
    for (const RadioGroup& g : kRadioGroups) {
        int& index = this->*g.index;
        if (save) {
            index = -1;
            for (int i = 0; i < g.count; ++i)
                if (qobject_cast<QAbstractButton*>(GetDlgItem(g.first + i))->isChecked()) index = i;
            continue;
        }
        QButtonGroup* group = qobject_cast<QAbstractButton*>(GetDlgItem(g.first))->group();
        group->setExclusive(false);
        for (int i = 0; i < g.count; ++i) qobject_cast<QAbstractButton*>(GetDlgItem(g.first + i))->setChecked(i == index);
        group->setExclusive(true);
    }
}

void CSetupDlg::OnRadioClicked(int first)
{
    DoDataExchange(true);
    for (const RadioGroup& g : kRadioGroups)
        if (g.first == first) *g.global = this->*g.index + 1;
}

bool CSetupDlg::Write(const SetupCfgValues& values)
{
    const CardWriteStatus st = WriteSetupCfg(g_szSetupDrive, values);
    if (st == CardWriteStatus::Ok) return true;
    const int language = m_language ? m_language() : 2;
    ShowMessageBox(this, SetupWriteFailedText(language, st == CardWriteStatus::ReadOnly, st == CardWriteStatus::Full),
                   TitleOrEnglish(language), MB_OK | MB_ICONERROR);
    return false;
}

void CSetupDlg::OnBnClickedSave()
{
    SetupCfgValues v;
    v.quality = static_cast<std::uint32_t>(Slider(IDC_SLIDER_QUALITY)->value());
    v.brightness = static_cast<std::uint32_t>(Slider(IDC_SLIDER_BRIGHTNESS)->value());
    v.contrast = static_cast<std::uint32_t>(Slider(IDC_SLIDER_CONTRAST)->value());
    v.sharpness = static_cast<std::uint32_t>(Slider(IDC_SLIDER_SHARPNESS)->value());
    // The parking trackbars (1174, 1175) are not part of the file.
    v.voiceRecord = static_cast<std::uint32_t>(g_nSetupVoiceRecord);
    v.parkQuality = static_cast<std::uint32_t>(g_nSetupParkQuality);
    v.detectMode = static_cast<std::uint32_t>(g_nSetupDetectMode);
    v.frameMode = static_cast<std::uint32_t>(g_nSetupFrameMode);
    // A file that cannot be written keeps the dialog open, so the user can try again.
    if (Write(v)) accept();
}

void CSetupDlg::OnBnClickedReset()
{
    if (Write(ResetSetupCfgValues())) accept();
}
