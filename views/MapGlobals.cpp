#include "views/MapGlobals.h"

#include "platform/NetworkState.h"
#include "platform/Registry.h"
#include "views/MapView.h"
#include "views/WebBrowser2.h"

#include <QWidget>
#include <cmath>
#include <limits>

std::int32_t g_bGpsValid = 0;
double g_dGpsLat = 0.0;
double g_dGpsLon = 0.0;
char g_chGpsNS = 0;
char g_chGpsEW = 0;

namespace {
}  // namespace

QString MapPageAddress()
{
    const QString host =
        Registry::GetString(QString::fromLatin1(kMapServerKey), QString::fromLatin1(kMapServerValue))
            .value_or(QString())
            .trimmed();
    if (host.isEmpty()) return QString::fromLatin1(kBuiltInMapPage);
    return host + QString::fromLatin1(kMapPagePath);
}

std::int32_t DegreesToE6(double degrees)
{
    const double scaled = std::trunc(degrees * 1000000.0);
    // Out of range (or not a number) is no place on the map.
    if (!(scaled >= std::numeric_limits<std::int32_t>::min() && scaled <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(scaled);
}

bool CallFunctionWithParams(CWebBrowser2* browser, std::int32_t longitudeE6, std::int32_t latitudeE6)
{
    if (longitudeE6 == 0 || latitudeE6 == 0) return true;
    if (!browser) return false;
    // Called on every update: sent without waiting; a page found to lack the function answers
    // false from then on.
    return browser->PostScriptFunction(QStringLiteral("fnCallFunctionWithParams"),
                                       {QVariant(int(longitudeE6)), QVariant(int(latitudeE6))});
}

void InitMapBrowsers(CMapView* mapView, CWebBrowser2* browser)
{
    if (InternetGetConnectedState()) {
        if (mapView && mapView->GetBrowser()) mapView->GetBrowser()->Navigate(MapPageAddress());
        if (browser) browser->Navigate2(QString::fromLatin1(kBuiltInSecondMapPage));
    }
    // The page is seldom loaded this early; the call then fails quietly and the page starts
    // at the same point by itself.
    CallFunctionWithParams(browser, 127000000, 38000000);
}

void PlaceMapWindows(std::uint8_t provider, QWidget* mapView, QWidget* browser)
{
    const QRect mapRect = provider ? kMapArea : kMapParking;
    const QRect browserRect = provider ? kMapParking : kMapArea;
    if (mapView) mapView->setGeometry(mapRect);
    if (browser) browser->setGeometry(browserRect);
}

void ToggleMapProvider(std::uint8_t& provider, QWidget* mapView, QWidget* browser)
{
    provider = provider ? 0 : 1;
    PlaceMapWindows(provider, mapView, browser);
}
