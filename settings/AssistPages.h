#pragma once
// Driver-assistance page ("SmartCar" tab): forward collision and lane departure warnings, the
// front-vehicle start notice, headway information and the warning sensitivities.
#include "settings/SetupPage.h"

struct AssistPageIds {
    int fcw, ldw, frontStart;
    int headway;          // 0: the page has none (Korean)
    int sensitivity[3];   // sensitive, normal, insensitive
    int fcwSpeed, ldwSpeed, left, right;
};

class CTabTwoBase : public CSetupPage {
    Q_OBJECT
public:
    void SetRecord(SetupRecord* record) override;

    int m_nFcwSpeed = 0;
    int m_nLdwSpeed = 0;
    int m_nLeft = 0;
    int m_nRight = 0;
    const AssistPageIds& Ids() const { return m_ids; }

protected:
    CTabTwoBase(const DlgTemplate& tmpl, int language, const AssistPageIds& ids, bool clampEdits);
    void OnInitDialog() override;

    void OnToggle(int word);
    void OnSensitivityClicked(int index);
    void OnChangeFcwSpeed();
    void OnChangeLdwSpeed();
    void OnChangeLeft();
    void OnChangeRight();
    void UpdateData(bool saveAndValidate);

private:
    const AssistPageIds& m_ids;
    bool m_bClamp;
};

class CTabTwoDlg : public CTabTwoBase {
    Q_OBJECT
public:
    explicit CTabTwoDlg(QWidget* parent = nullptr);
};

class CTabTwoEngDlg : public CTabTwoBase {
    Q_OBJECT
public:
    explicit CTabTwoEngDlg(QWidget* parent = nullptr);
};

class CTabTwoJpnDlg : public CTabTwoBase {
    Q_OBJECT
public:
    explicit CTabTwoJpnDlg(QWidget* parent = nullptr);
};
