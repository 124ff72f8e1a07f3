#pragma once
// The frame window of the rear pane ("Video window2").
#include "views/TvrVideoRearView.h"
#include "views/VideoFrameDlg.h"

class CRearViewDlg : public CVideoFrameDlg {
    Q_OBJECT
public:
    explicit CRearViewDlg(QWidget* parent = nullptr);
    ~CRearViewDlg() override;

    CVideoPane* Pane() const override { return m_pVideoView; }
    CTvrVideoRearView* GetVideoView() const { return m_pVideoView; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool OnInitDialog();

    CTvrVideoRearView* m_pVideoView = nullptr;
};
