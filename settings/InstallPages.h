#pragma once
// Installation page ("Install" tab): vehicle type, mounting position, camera height, vehicle
// width and the camera's offset from the centre line. One class per language.
#include "settings/SetupPage.h"

struct InstallPageIds {
    int types[6];       // passenger car, compact, SUV, RV, bus, truck
    int positions[3];   // left, centre, right
    int height, width, offset;
};

class CTabOneBase : public CSetupPage {
    Q_OBJECT
public:
    void SetRecord(SetupRecord* record) override;   // loads the controls from the record

    double m_dHeight = 0;   // metres
    double m_dWidth = 0;    // metres
    double m_dOffset = 0;   // centimetres
    const InstallPageIds& Ids() const { return m_ids; }

protected:
    CTabOneBase(const DlgTemplate& tmpl, int language, const InstallPageIds& ids, bool clampEdits);
    void OnInitDialog() override;

    void OnTypeClicked(int index);
    void OnPositionClicked(int index);
    void OnChangeHeight();
    void OnChangeWidth();
    void OnChangeOffset();
    void UpdateData(bool saveAndValidate);

private:
    const InstallPageIds& m_ids;
    bool m_bClamp;   // English and Japanese pages clamp and round
};

class CTabOneDlg : public CTabOneBase {
    Q_OBJECT
public:
    explicit CTabOneDlg(QWidget* parent = nullptr);
};

class CTabOneEngDlg : public CTabOneBase {
    Q_OBJECT
public:
    explicit CTabOneEngDlg(QWidget* parent = nullptr);
};

class CTabOneJpnDlg : public CTabOneBase {
    Q_OBJECT
public:
    explicit CTabOneJpnDlg(QWidget* parent = nullptr);
};

// value x scale truncated toward zero; a hair is added first so that typed decimals such as
// 1.15 m give 115 cm rather than the 114 of their binary approximation.
int TruncScaled(double value, double scale);
