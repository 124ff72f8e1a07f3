#pragma once
// Time-zone page ("GMT" tab), one class for every language: the camera's hours east of GMT.
#include "settings/SetupPage.h"

class CTabFiveDlg : public CSetupPage {
    Q_OBJECT
public:
    explicit CTabFiveDlg(QWidget* parent = nullptr);

    void SetLanguage(int language);   // before the record is bound
    void SetRecord(SetupRecord* record) override;

    int m_nIndex = 0;

protected:
    void OnInitDialog() override;
    void OnSelChange();
};
