#pragma once
// The front video pane.
#include "views/VideoPane.h"

class CTvrVideoView : public CVideoPane {
    Q_OBJECT
public:
    explicit CTvrVideoView(QWidget* parent = nullptr) : CVideoPane(parent) {}

    // The front pane takes the focus before the views swap.
    void OnLButtonDblClk(unsigned nFlags, QPoint point) override;
};
