#include "views/TvrVideoView.h"

void CTvrVideoView::OnLButtonDblClk(unsigned nFlags, QPoint point)
{
    setFocus(Qt::MouseFocusReason);
    CVideoPane::OnLButtonDblClk(nFlags, point);
}
