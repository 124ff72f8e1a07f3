#pragma once
// The map view: follows the play position with the marker of the web map page and publishes
// the fix it shows for the text overlay.
#include "views/ExplorerMapViewWnd.h"

#include <cstdint>
#include <functional>

class CTextData;

class CMapView : public CExplorerMapViewWnd {
    Q_OBJECT
public:
    explicit CMapView(QWidget* parent = nullptr) : CExplorerMapViewWnd(parent) {}
    ~CMapView() override;

    // The main window's track data; nothing is shown without it.
    std::function<const CTextData*()> trackData;

    // Takes the first fix at or after the position (milliseconds); a valid one is published and
    // drawn with DrawCurrent(longitude, latitude).
    void ShowCurrentPosition(std::uint32_t position);

    // The call text that draws a point (decimal degrees, six decimals).
    static QString DrawCurrentText(double longitude, double latitude);

private:
    // The call text of the point drawn last: a fix is shown for several updates in a row.
    double m_lastPoint[2] = {};  // longitude, latitude
    QString m_lastDrawText;
};
