#pragma once
// The two video frames placed as the main dialog places them: scroll bars hidden, each pane
// filling its frame.
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

inline void PlaceFramesAsTheMainDialog(CZoomDlg* zoom, CRearViewDlg* rear)
{
    zoom->setGeometry(16, 37, 640, 360);
    rear->setGeometry(684, 37, 320, 240);
    zoom->ShowScrollBar(SB_BOTH, false);
    rear->ShowScrollBar(SB_BOTH, false);
    zoom->GetVideoView()->setGeometry(0, 0, 640, 360);
    rear->GetVideoView()->setGeometry(0, 0, 320, 240);
}
