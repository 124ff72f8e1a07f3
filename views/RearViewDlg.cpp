#include "views/RearViewDlg.h"

#include <QMouseEvent>

CRearViewDlg::CRearViewDlg(QWidget* parent) : CVideoFrameDlg(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    OnInitDialog();
}

CRearViewDlg::~CRearViewDlg() = default;

bool CRearViewDlg::OnInitDialog()
{
    m_pVideoView = new CTvrVideoRearView(this);
    AdoptPane(m_pVideoView, QStringLiteral("Video window2"), QRect(QPoint(0, 0), QPoint(310, 233) - QPoint(1, 1)),
              QSize(310, 233));
    return true;
}

void CRearViewDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) setFocus(Qt::MouseFocusReason);
    CVideoFrameDlg::mousePressEvent(event);
}
