#pragma once
// The frame window of the front pane ("Video window1").
#include "views/TvrVideoView.h"
#include "views/VideoFrameDlg.h"

class CZoomDlg : public CVideoFrameDlg {
    Q_OBJECT
public:
    static constexpr int kTimerId = 100;
    static constexpr int kTimerMs = 40;

    explicit CZoomDlg(QWidget* parent = nullptr);
    ~CZoomDlg() override;

    CVideoPane* Pane() const override { return m_pVideoView; }
    CTvrVideoView* GetVideoView() const { return m_pVideoView; }
    bool TimerRunning() const { return m_nTimer != 0; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    bool OnInitDialog();

    CTvrVideoView* m_pVideoView = nullptr;
    int m_nTimer = 0;  // Qt's id of timer 100
};
