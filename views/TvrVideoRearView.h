#pragma once
// The rear video pane.
#include "views/VideoPane.h"

class CTvrVideoRearView : public CVideoPane {
    Q_OBJECT
public:
    explicit CTvrVideoRearView(QWidget* parent = nullptr) : CVideoPane(parent) {}
};
