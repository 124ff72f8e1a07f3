#include "views/ZoomDlg.h"

#include <QTimerEvent>

CZoomDlg::CZoomDlg(QWidget* parent) : CVideoFrameDlg(parent)
{
    // Timer 100 ticks with nothing to do: every periodic job is the main dialog's.
    m_nTimer = startTimer(kTimerMs);
    OnInitDialog();
}

CZoomDlg::~CZoomDlg()
{
    if (m_nTimer) killTimer(m_nTimer);
    m_nTimer = 0;
}

bool CZoomDlg::OnInitDialog()
{
    m_pVideoView = new CTvrVideoView(this);
    AdoptPane(m_pVideoView, QStringLiteral("Video window1"), QRect(QPoint(1, 0), QPoint(635, 355) - QPoint(1, 1)),
              QSize(633, 354));
    return true;
}

void CZoomDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimer) return;
    CVideoFrameDlg::timerEvent(event);
}
