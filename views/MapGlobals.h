#pragma once
// The map's shared state and the main dialog's map routines: the fix the map shows (read by the
// text overlay), the start-up navigation of the map windows, the second browser's call and the
// switch between the two map providers.
#include <QRect>
#include <QString>
#include <cstdint>

class CMapView;
class CWebBrowser2;
class QWidget;

// The fix the map view last matched; they keep their values while no fix matches.
extern std::int32_t g_bGpsValid;
extern double g_dGpsLat;  // ddmm.mmmm as recorded
extern double g_dGpsLon;  // dddmm.mmmm as recorded
extern char g_chGpsNS;
extern char g_chGpsEW;

// Control ids of the map windows.
inline constexpr int IDC_MAPVIEW = 1106;
inline constexpr int IDC_EXPLORER = 1107;
inline constexpr int IDC_MAPVIEW2 = 4108;

// The map area of the main window, and the parking place of a map window not on screen.
inline constexpr QRect kMapArea(680, 354, 326, 353);
inline constexpr QRect kMapParking(5000, 5000, 345, 270);

// Where the map is when nothing plays.
inline constexpr double kMapHomeLongitude = 139.774494;
inline constexpr double kMapHomeLatitude = 35.684066;

// The web map page is this path on the map server; the server's host name is a setting.
inline constexpr const char* kMapPagePath = "/vveellmm_map_zqx/_mapView_Google_jpn.htm";
inline constexpr const char* kMapServerKey = "HKEY_CURRENT_USER\\Software\\Velmora\\Viewer";
inline constexpr const char* kMapServerValue = "MapServer";
// The program's own copies of the two map pages.
inline constexpr const char* kBuiltInMapPage = "qrc:/map/vveellmm_map_zqx/_mapView_Google_jpn.htm";
inline constexpr const char* kBuiltInSecondMapPage = "qrc:/map/vveellmm_map_zqx/_mapView_kor.htm";

// The web map page's address: the server's host name and the page path, without a scheme; the
// program's own copy of the page when no server is set.
QString MapPageAddress();

// Calls fnCallFunctionWithParams(longitude, latitude) (degrees x 1,000,000) on the browser's
// page without waiting. Either value zero skips the call. False when there is no page, or the
// page has shown that it lacks the function.
bool CallFunctionWithParams(CWebBrowser2* browser, std::int32_t longitudeE6, std::int32_t latitudeE6);
// Degrees to the integer form of the second browser's page, truncated towards zero.
std::int32_t DegreesToE6(double degrees);

// Start-up: when connected, the map goes to the web map page and the second browser to its
// page; then the second map is centred on longitude 127, latitude 38.
void InitMapBrowsers(CMapView* mapView, CWebBrowser2* browser);

// Places the map windows for a provider flag: 1 the map view on screen, 0 the second browser.
// The window not shown is parked off-screen.
void PlaceMapWindows(std::uint8_t provider, QWidget* mapView, QWidget* browser);
// The map toggle (command 1019): flips the flag and places the windows.
void ToggleMapProvider(std::uint8_t& provider, QWidget* mapView, QWidget* browser);
