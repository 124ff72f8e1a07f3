#pragma once
// System page ("Setup" tab): voice alerts, screen view, LCD, text overlays, speed unit,
// language and the speaker and microphone volumes.
#include "settings/SetupPage.h"

struct SystemPageIds {
    int speaker, mic;
    int voice[4];      // event saved, FCW, LDW, front-vehicle start
    int screen[3];     // front, rear, PIP
    int lcd[2];        // always on, off after 30 s
    int overlay[3];    // speed, driver assistance, horizon
    int unit[2];       // km/h, mph
    int language[6];   // values 0..5
};

class CTabFourBase : public CSetupPage {
    Q_OBJECT
public:
    void SetRecord(SetupRecord* record) override;

    int m_nSpeaker = 0;
    int m_nMic = 0;
    const SystemPageIds& Ids() const { return m_ids; }

protected:
    CTabFourBase(const DlgTemplate& tmpl, int language, const SystemPageIds& ids, bool showClampedVolume);
    void OnInitDialog() override;

    void OnToggle(int word);
    void OnScreenClicked(int index);
    void OnLcdClicked(int index);
    void OnUnitClicked(int index);
    void OnLanguageClicked(int value);
    void OnChangeSpeaker();
    void OnChangeMic();
    void UpdateData(bool saveAndValidate);

private:
    const SystemPageIds& m_ids;
    bool m_bShowClamped;   // the Korean page writes the clamped volume back into the edit
};

class CTabFourDlg : public CTabFourBase {
    Q_OBJECT
public:
    explicit CTabFourDlg(QWidget* parent = nullptr);
};

class CTabFourEngDlg : public CTabFourBase {
    Q_OBJECT
public:
    explicit CTabFourEngDlg(QWidget* parent = nullptr);
};

class CTabFourJpnDlg : public CTabFourBase {
    Q_OBJECT
public:
    explicit CTabFourJpnDlg(QWidget* parent = nullptr);
};
