#pragma once
// Recording page ("BlackBox" tab): continuous and voice recording, impact and parking
// sensitivity, resolution, the low-voltage cut-off (Korean) and the G-sensor thresholds
// (English and Japanese).
#include "settings/SetupPage.h"

struct RecordingPageIds {
    int continuous, voice;
    int impact[3];
    int parking[3];
    int resolution[3];
    int voltage;
    int sliders[3];   // X, Y, Z; 0 on the Korean page
    int gEdits[3];    // read-only edits showing each threshold in G
};

class CTabThreeBase : public CSetupPage {
    Q_OBJECT
public:
    void SetRecord(SetupRecord* record) override;

    float m_fX = 0, m_fY = 0, m_fZ = 0;   // thresholds in G
    const RecordingPageIds& Ids() const { return m_ids; }
    // A trackbar let go by the mouse (also called by the event filter).
    void OnReleasedCapture(int sliderId);

protected:
    CTabThreeBase(const DlgTemplate& tmpl, int language, const RecordingPageIds& ids, bool hasSliders);
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    void OnToggle(int word);
    void OnImpactClicked(int index);
    void OnParkingClicked(int index);
    void OnResolutionClicked(int index);
    void OnVoltageSelChange();
    void UpdateData(bool saveAndValidate);

private:
    const RecordingPageIds& m_ids;
    bool m_bSliders;
};

class CTabThreeDlg : public CTabThreeBase {
    Q_OBJECT
public:
    explicit CTabThreeDlg(QWidget* parent = nullptr);
};

class CTabThreeEngDlg : public CTabThreeBase {
    Q_OBJECT
public:
    explicit CTabThreeEngDlg(QWidget* parent = nullptr);
};

class CTabThreeJpnDlg : public CTabThreeBase {
    Q_OBJECT
public:
    explicit CTabThreeJpnDlg(QWidget* parent = nullptr);
};
