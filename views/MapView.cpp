#include "views/MapView.h"

#include "media/TrackData.h"
#include "views/MapGlobals.h"

#include <cstring>

CMapView::~CMapView() = default;

QString CMapView::DrawCurrentText(double longitude, double latitude)
{
    return QString::asprintf("javascript:DrawCurrent('%lf', '%lf')", longitude, latitude);
}

void CMapView::ShowCurrentPosition(std::uint32_t position)
{
    const CTextData* data = trackData ? trackData() : nullptr;
    if (!data || data->m_aGPSData.empty()) return;
    for (const CGPSData& fix : data->m_aGPSData) {
        if (fix.m_nStamp < position) continue;
        g_bGpsValid = fix.m_bValid;
        if (fix.m_bValid) {
            g_dGpsLat = fix.m_dLatitude;
            g_dGpsLon = fix.m_dLongitude;
            g_chGpsNS = fix.m_chNS;
            g_chGpsEW = fix.m_chEW;
            // Every update draws; nobody reads the answer, so the window does not wait for it.
            // Compared bit for bit: -0 prints unlike 0.
            const double point[2] = {fix.GetLongitude(), fix.GetLatitude()};
            if (m_lastDrawText.isNull() || std::memcmp(point, m_lastPoint, sizeof point) != 0) {
                m_lastDrawText = DrawCurrentText(point[0], point[1]);
                std::memcpy(m_lastPoint, point, sizeof point);
            }
            PostJScript(m_lastDrawText);
        }
        return;
    }
}
