#pragma once
// The older preferences dialog, for the camera's earlier generation: trackbars for the picture
// and the parking mode, radio groups for frame mode, voice recording, parking quality and the
// event detection method, saved as setup.cfg at the card's root. The main window creates it
// once, modeless, and shows it.
#include "settings/SetupCfg.h"

#include <QDialog>
#include <functional>
#include <map>

class QButtonGroup;
class QSlider;
class QTabWidget;

// The radio choices as the dialog saves them: 0 until the user clicks in the group.
extern int g_nSetupFrameMode;
extern int g_nSetupVoiceRecord;
extern int g_nSetupParkQuality;
extern int g_nSetupDetectMode;
// The folder that receives setup.cfg, a drive root such as "E:\" (its first three characters
// count); the main window sets it to the opened card's root.
extern QString g_szSetupDrive;

class CSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 314;
    static constexpr int IDC_TAB = 1161;
    static constexpr int IDC_SLIDER_QUALITY = 1112;
    static constexpr int IDC_SLIDER_BRIGHTNESS = 1166;
    static constexpr int IDC_SLIDER_CONTRAST = 1167;
    static constexpr int IDC_SLIDER_SHARPNESS = 1191;
    static constexpr int IDC_SLIDER_SHOCK = 1174;
    static constexpr int IDC_SLIDER_MOTION = 1175;
    static constexpr int IDC_RADIO_FRAME = 1188;    // 1188 .. 1190
    static constexpr int IDC_RADIO_VOICE = 1182;    // 1182, 1183
    static constexpr int IDC_RADIO_PARK = 1184;     // 1184, 1185
    static constexpr int IDC_RADIO_DETECT = 1186;   // 1186, 1187
    static constexpr int IDC_BTN_RESET = 1120;

    // language: the main window's, for the message when the file cannot be written.
    explicit CSetupDlg(QWidget* parent = nullptr, std::function<int()> language = {});

    bool OnInitDialog();
    void OnBnClickedSave();
    void OnBnClickedReset();
    QWidget* GetDlgItem(int id) const;
    QSlider* Slider(int id) const;

    // The radio groups' indices (-1: none checked), exchanged with the controls.
    int m_nFrameRadio = 1;
    int m_nVoiceRadio = -1;
    int m_nParkRadio = -1;
    int m_nDetectRadio = -1;

private:
    void DoDataExchange(bool save);
    void OnRadioClicked(int first);
    // Writes the file; false (after telling the user) when it cannot be written.
    bool Write(const SetupCfgValues& values);

    std::map<int, QWidget*> m_controls;
    std::map<int, QButtonGroup*> m_groups;
    std::function<int()> m_language;
    QTabWidget* m_tab = nullptr;
};
