// The map host: the call text's tokens, script calls into real map pages built into the
// program, the fix the map view publishes, the start-up navigation and the provider toggle.
#include "media/TrackData.h"
#include "platform/NetworkState.h"
#include "platform/Registry.h"
#include "views/MapGlobals.h"
#include "views/MapView.h"
#include "views/WebBrowser2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <memory>

namespace {

int argc = 1;
char arg0[] = "views_map_test";
char* argv[] = {arg0, nullptr};
QApplication* app = nullptr;

const QString kMapPage = QString::fromLatin1(kBuiltInMapPage);
const QString kSecondPage = QString::fromLatin1(kBuiltInSecondMapPage);

void EnsureApp()
{
    if (app) return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    app = new QApplication(argc, argv);
}

// Waits until the page has loaded and its map exists.
bool WaitForMap(CWebBrowser2* browser)
{
    if (!QTest::qWaitFor([&] { return browser->IsLoaded(); }, 90000)) return false;
    return QTest::qWaitFor(
        [&] {
            const std::optional<QVariant> ready = browser->RunScript(QStringLiteral("map !== null && marker !== null"));
            return ready && ready->toBool();
        },
        60000);  // the page builds its map slowly on a loaded machine
}

QPointF ReadPoint(CWebBrowser2* browser, const QString& what)
{
    const std::optional<QVariant> v = browser->RunScript(
        QStringLiteral("(function () { var p = %1; return [p.lat, p.lng]; })()").arg(what), 5000);
    if (!v) return QPointF(-999, -999);
    const QVariantList list = v->toList();
    return list.size() == 2 ? QPointF(list[0].toDouble(), list[1].toDouble()) : QPointF(-999, -999);
}
QPointF MarkerAt(CWebBrowser2* browser) { return ReadPoint(browser, QStringLiteral("marker.getLatLng()")); }
QPointF CentreAt(CWebBrowser2* browser) { return ReadPoint(browser, QStringLiteral("map.getCenter()")); }

void ExpectAt(QPointF latLng, double lat, double lng, const char* what)
{
    EXPECT_NEAR(latLng.x(), lat, 1e-6) << what;
    EXPECT_NEAR(latLng.y(), lng, 1e-6) << what;
}

void SaveArtefact(QWidget* widget, const QString& name)
{
    const QString dir = QStringLiteral(VIEWER_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    const QImage shot = widget->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + QLatin1Char('/') + name));
}

TEST(CallText, SplitsIntoANameAndStringArguments)
{
    struct Case {
        const char* text;
        const char* name;
        QStringList args;
    };
    const Case cases[] = {
        {"javascript:DrawCurrent('139.774494', '35.684066')", "DrawCurrent", {"139.774494", "35.684066"}},
        {"javascript: DrawCurrent ('1' , '2')", "DrawCurrent", {"1", "2"}},
        {"DrawCurrent(1 2)", "DrawCurrent", {"1", "2"}},
        // No "(": no name, and the whole text is the argument text.
        {"javascript:DrawCurrent", "", {"DrawCurrent"}},
        // Quotes do not group: a blank or a comma inside them splits the argument.
        {"javascript:f(\"a b\",'c,d')", "f", {"a", "b", "c", "d"}},
        {"javascript:f(a;b\tc)(d)", "f", {"a", "b", "c", "d"}},
        {"javascript:f()", "f", {}},
        {"javascript:f(,,;;  ' ')", "f", {}},
        // What stands before "javascript:" is dropped; only the first one counts.
        {"go javascript:f(x)", "f", {"x"}},
        {"javascript:javascript:f(x)", "javascript:f", {"x"}},
        {"javascript:\t g \t(東京)", "g", {"東京"}},
    };
    for (const Case& c : cases) {
        const CExplorerMapViewWnd::ScriptText parsed = CExplorerMapViewWnd::ParseScriptText(QString::fromUtf8(c.text));
        EXPECT_EQ(parsed.name, QString::fromUtf8(c.name)) << c.text;
        EXPECT_EQ(parsed.args, c.args) << c.text;
    }
}

TEST(CallText, DrawCurrentHasSixDecimalsLongitudeFirst)
{
    EXPECT_EQ(CMapView::DrawCurrentText(139.774494, 35.684066),
              QStringLiteral("javascript:DrawCurrent('139.774494', '35.684066')"));
    EXPECT_EQ(CMapView::DrawCurrentText(-0.5, -33.25), QStringLiteral("javascript:DrawCurrent('-0.500000', '-33.250000')"));
}

TEST(MapDegrees, TruncateTowardsZero)
{
    EXPECT_EQ(DegreesToE6(127.0), 127000000);
    EXPECT_EQ(DegreesToE6(139.7744949), 139774494);
    EXPECT_EQ(DegreesToE6(-35.6840669), -35684066);
    EXPECT_EQ(DegreesToE6(5000.0), 0);  // no place on the map
}

class MapPages : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        EnsureApp();
        host = new QWidget;
        host->resize(1020, 720);
        mapView = new CMapView(host);
        mapView->Create(QRect(680, 354, 326, 353), IDC_MAPVIEW);
        second = new CWebBrowser2(host);
        second->setGeometry(5000, 5000, 345, 270);
        host->show();
        // A loaded machine may keep the page's answers longer than a user's window would wait.
        mapView->GetBrowser()->SetScriptWaitMs(10000);
        second->SetScriptWaitMs(10000);
        mapView->GetBrowser()->Navigate(kMapPage);
        second->Navigate(kSecondPage);
        mapLoaded = WaitForMap(mapView->GetBrowser());
        secondLoaded = WaitForMap(second);
    }
    static void TearDownTestSuite()
    {
        delete host;
        host = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(mapLoaded);
        ASSERT_TRUE(secondLoaded);
    }

    static QWidget* host;
    static CMapView* mapView;
    static CWebBrowser2* second;
    static bool mapLoaded;
    static bool secondLoaded;
};
QWidget* MapPages::host = nullptr;
CMapView* MapPages::mapView = nullptr;
CWebBrowser2* MapPages::second = nullptr;
bool MapPages::mapLoaded = false;
bool MapPages::secondLoaded = false;

TEST_F(MapPages, TheMapStartsAtHomeAndDrawCurrentMovesTheMarker)
{
    CWebBrowser2* browser = mapView->GetBrowser();
    ExpectAt(MarkerAt(browser), kMapHomeLatitude, kMapHomeLongitude, "home marker");
    ExpectAt(CentreAt(browser), kMapHomeLatitude, kMapHomeLongitude, "home centre");
    const std::optional<QVariant> zoom = browser->RunScript(QStringLiteral("map.getZoom()"));
    ASSERT_TRUE(zoom);
    EXPECT_EQ(zoom->toInt(), 16);
    // The marker is the program's image 484, drawn 18 x 35.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const std::optional<QVariant> icon = browser->RunScript(QStringLiteral(
                "(function () { var i = marker.getElement(); return [i.src, i.naturalWidth, i.width, i.height]; })()"));
            return icon && icon->toList().size() == 4 && icon->toList()[1].toInt() == 17;
        },
        5000));
    const QVariantList icon = browser->RunScript(QStringLiteral(
        "(function () { var i = marker.getElement(); return [i.src, i.naturalWidth, i.width, i.height]; })()"))
                                  .value_or(QVariant())
                                  .toList();
    ASSERT_EQ(icon.size(), 4);
    EXPECT_EQ(icon[0].toString(), QStringLiteral("qrc:/skin/484.png"));
    EXPECT_EQ(icon[2].toInt(), 18);
    EXPECT_EQ(icon[3].toInt(), 35);

    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:DrawCurrent('135.502165', '34.693738')")), QString());
    ExpectAt(MarkerAt(browser), 34.693738, 135.502165, "moved marker");
    ExpectAt(CentreAt(browser), 34.693738, 135.502165, "moved centre");

    mapView->CallJScript(QStringLiteral("javascript:DrawCurrent('139.774494', '35.684066')"));
    ExpectAt(MarkerAt(browser), 35.684066, 139.774494, "marker back home");
    ExpectAt(CentreAt(browser), 35.684066, 139.774494, "centre back home");

    // Text that is no number leaves the marker where it was.
    mapView->CallJScript(QStringLiteral("javascript:DrawCurrent('east', '')"));
    ExpectAt(MarkerAt(browser), 35.684066, 139.774494, "after a bad point");

    SaveArtefact(mapView, QStringLiteral("map_view.png"));
}

TEST_F(MapPages, CallJScriptPassesTheTokensAsStringsAndAnswersOnlyStrings)
{
    CWebBrowser2* browser = mapView->GetBrowser();
    ASSERT_TRUE(browser->RunScript(QStringLiteral(
        "window.echo = function () {"
        "  return Array.prototype.map.call(arguments, function (a) { return typeof a + ':' + a; }).join('|');"
        "};"
        "window.answer = function () { return 42; };"
        "window.broken = function () { throw new Error('no'); };"
        "true")));

    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:echo('139.774494', '35.684066')")),
              QStringLiteral("string:139.774494|string:35.684066"));
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript: echo ('a b', \"c\")")),
              QStringLiteral("string:a|string:b|string:c"));
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("echo()")), QString());  // a string, but empty
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:answer()")), QString());
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:broken('x')")), QString());
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:noSuchFunction('x')")), QString());
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:echo")), QString());
    EXPECT_EQ(mapView->CallJScript(QString()), QString());
    // Argument text cannot break out of its string.
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:echo(\\\\x\\u0027)")),
              QStringLiteral("string:\\\\x\\u0027"));
}

TEST_F(MapPages, TheSecondMapCentresOnTheIntegerPoint)
{
    ExpectAt(CentreAt(second), 38.0, 127.0, "start centre");

    EXPECT_TRUE(CallFunctionWithParams(second, 139774494, 35684066));
    ExpectAt(CentreAt(second), 35.684066, 139.774494, "moved centre");
    ExpectAt(MarkerAt(second), 35.684066, 139.774494, "moved marker");

    EXPECT_TRUE(CallFunctionWithParams(second, 127000000, 38000000));
    ExpectAt(CentreAt(second), 38.0, 127.0, "centre");
    ExpectAt(MarkerAt(second), 38.0, 127.0, "marker");

    // Either value zero is no call; the map stays.
    EXPECT_TRUE(CallFunctionWithParams(second, 0, 35684066));
    EXPECT_TRUE(CallFunctionWithParams(second, 139774494, 0));
    ExpectAt(CentreAt(second), 38.0, 127.0, "after zero values");

    // The web map page has no such function: once the page has answered, the call reports it.
    CWebBrowser2* other = mapView->GetBrowser();
    CallFunctionWithParams(other, 127000000, 38000000);
    ASSERT_TRUE(other->RunScript(QStringLiteral("true")));
    EXPECT_FALSE(CallFunctionWithParams(other, 127000000, 38000000));
    SaveArtefact(second, QStringLiteral("second_map.png"));
}

TEST_F(MapPages, ShowCurrentPositionPublishesTheMatchedFix)
{
    CTextData track;
    auto addFix = [&](std::uint32_t stamp, int valid, double lat, char ns, double lon, char ew) {
        CGPSData fix;
        fix.m_nStamp = stamp;
        fix.m_bValid = valid;
        fix.m_dLatitude = ns == 'N' ? lat : -lat;
        fix.m_dLongitude = ew == 'E' ? lon : -lon;
        fix.m_chNS = ns;
        fix.m_chEW = ew;
        track.m_aGPSData.push_back(fix);
    };
    addFix(1000, 1, 3441.6243, 'N', 13530.1299, 'E');  // Osaka
    addFix(2000, 0, 3500.0000, 'N', 13600.0000, 'E');  // no fix
    addFix(3000, 1, 3541.0440, 'N', 13946.4696, 'E');  // Tokyo
    CWebBrowser2* browser = mapView->GetBrowser();

    // Without track data nothing happens.
    g_bGpsValid = 7;
    mapView->ShowCurrentPosition(0);
    EXPECT_EQ(g_bGpsValid, 7);

    mapView->trackData = [&track]() -> const CTextData* { return &track; };
    // Before the first fix's time: the first fix.
    mapView->ShowCurrentPosition(0);
    EXPECT_EQ(g_bGpsValid, 1);
    EXPECT_DOUBLE_EQ(g_dGpsLat, 3441.6243);
    EXPECT_DOUBLE_EQ(g_dGpsLon, 13530.1299);
    EXPECT_EQ(g_chGpsNS, 'N');
    EXPECT_EQ(g_chGpsEW, 'E');
    ExpectAt(MarkerAt(browser), 34 + 41.6243 / 60, 135 + 30.1299 / 60, "first fix");

    // An invalid fix clears the flag only and draws nothing.
    mapView->ShowCurrentPosition(1001);
    EXPECT_EQ(g_bGpsValid, 0);
    EXPECT_DOUBLE_EQ(g_dGpsLat, 3441.6243);
    ExpectAt(MarkerAt(browser), 34 + 41.6243 / 60, 135 + 30.1299 / 60, "after the invalid fix");

    mapView->ShowCurrentPosition(3000);
    EXPECT_EQ(g_bGpsValid, 1);
    EXPECT_DOUBLE_EQ(g_dGpsLat, 3541.0440);
    ExpectAt(MarkerAt(browser), 35 + 41.0440 / 60, 139 + 46.4696 / 60, "last fix");

    // After the last fix's time nothing matches and everything stays.
    g_bGpsValid = 5;
    mapView->ShowCurrentPosition(3001);
    EXPECT_EQ(g_bGpsValid, 5);
    EXPECT_DOUBLE_EQ(g_dGpsLat, 3541.0440);

    // West and south come out negative.
    track.m_aGPSData.clear();
    addFix(0, 1, 3352.0000, 'S', 15112.0000, 'W');
    mapView->ShowCurrentPosition(0);
    EXPECT_EQ(g_chGpsNS, 'S');
    EXPECT_DOUBLE_EQ(g_dGpsLat, -3352.0);
    ExpectAt(MarkerAt(browser), -(33 + 52.0 / 60), -(151 + 12.0 / 60), "south-west");
    mapView->trackData = nullptr;
}

TEST_F(MapPages, ABusyPageNeverHoldsTheWindowLong)
{
    CWebBrowser2* browser = mapView->GetBrowser();
    ASSERT_TRUE(browser->RunScript(QStringLiteral(
        "window.slow = function () { var t = Date.now(); while (Date.now() - t < 4000) {} return 'late'; }; true")));
    browser->SetScriptWaitMs(CWebBrowser2::kScriptWaitMs);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:slow()")), QString());
    EXPECT_LT(clock.elapsed(), 3000);
    // While the page still owes its answer, calls give up at once.
    clock.restart();
    EXPECT_EQ(mapView->CallJScript(QStringLiteral("javascript:DrawCurrent('135', '35')")), QString());
    EXPECT_LT(clock.elapsed(), CWebBrowser2::kScriptWaitMs);
    browser->SetScriptWaitMs(10000);
    // Once it has answered, calls work again.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const std::optional<QVariant> v = browser->RunScript(QStringLiteral("1 + 1"));
            return v && v->toInt() == 2;
        },
        10000));
}

TEST(MapBeforeAPage, CallsFailQuietlyAndAtOnce)
{
    EnsureApp();
    CMapView uncreated;
    EXPECT_EQ(uncreated.CallJScript(QStringLiteral("javascript:DrawCurrent('1', '2')")), QString());

    CMapView view;
    view.Create(QRect(0, 0, 345, 270), IDC_MAPVIEW2);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(view.CallJScript(QStringLiteral("javascript:DrawCurrent('1', '2')")), QString());
    EXPECT_FALSE(CallFunctionWithParams(view.GetBrowser(), 127000000, 38000000));
    EXPECT_FALSE(CallFunctionWithParams(nullptr, 127000000, 38000000));
    EXPECT_LT(clock.elapsed(), CWebBrowser2::kScriptWaitMs);
}

// A browser closed while its page still owes answers to posted calls: the page answers them as
// it goes, and the browser must still be whole then (the sanitizer build checks the object).
TEST(MapClosing, ABrowserClosesWithCallsStillOutstanding)
{
    EnsureApp();
    auto* browser = new CWebBrowser2;
    browser->resize(345, 270);
    browser->show();
    browser->Navigate(kSecondPage);
    ASSERT_TRUE(WaitForMap(browser));
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(browser->PostScriptFunction(QStringLiteral("fnCallFunctionWithParams"), {127000000 + i, 38000000}));
    delete browser;
}

TEST(MapStartUp, NavigatesOnlyWhenConnected)
{
    EnsureApp();
    QWidget host;
    CMapView map(&host);
    map.Create(QRect(680, 354, 326, 353), IDC_MAPVIEW);
    CWebBrowser2 browser(&host);

    SetConnectedStateSource([] { return false; });
    InitMapBrowsers(&map, &browser);
    EXPECT_TRUE(map.GetBrowser()->View()->url().isEmpty());
    EXPECT_TRUE(browser.View()->url().isEmpty());

    SetConnectedStateSource([] { return true; });
    InitMapBrowsers(&map, &browser);
    EXPECT_EQ(map.GetBrowser()->View()->url(), QUrl(kMapPage));
    EXPECT_EQ(browser.View()->url(), QUrl(kSecondPage));
    SetConnectedStateSource(nullptr);
}

TEST(MapStartUp, TheWebPageLivesOnTheConfiguredServer)
{
    EnsureApp();
    EXPECT_EQ(MapPageAddress(), kMapPage);
    ASSERT_TRUE(Registry::SetString(QString::fromLatin1(kMapServerKey), QString::fromLatin1(kMapServerValue),
                                    QStringLiteral("maps.velmora.test")));
    EXPECT_EQ(MapPageAddress(), QStringLiteral("maps.velmora.test/vveellmm_map_zqx/_mapView_Google_jpn.htm"));
    ASSERT_TRUE(Registry::SetString(QString::fromLatin1(kMapServerKey), QString::fromLatin1(kMapServerValue), QString()));
}

TEST(MapToggle, SwapsTheMapWindowsOnAndOffScreen)
{
    EnsureApp();
    QWidget host;
    QWidget map(&host);
    QWidget browser(&host);
    std::uint8_t provider = 1;
    PlaceMapWindows(provider, &map, &browser);
    EXPECT_EQ(map.geometry(), QRect(680, 354, 326, 353));
    EXPECT_EQ(browser.geometry(), QRect(5000, 5000, 345, 270));

    ToggleMapProvider(provider, &map, &browser);
    EXPECT_EQ(provider, 0);
    EXPECT_EQ(map.geometry(), QRect(5000, 5000, 345, 270));
    EXPECT_EQ(browser.geometry(), QRect(680, 354, 326, 353));

    ToggleMapProvider(provider, &map, &browser);
    EXPECT_EQ(provider, 1);
    EXPECT_EQ(map.geometry(), QRect(680, 354, 326, 353));
    EXPECT_EQ(browser.geometry(), QRect(5000, 5000, 345, 270));
}

TEST(NetworkState, TheSourceCanBeReplacedAndRestored)
{
    EnsureApp();
    const bool real = InternetGetConnectedState();
    const ConnectedStateSource previous = SetConnectedStateSource([] { return true; });
    EXPECT_FALSE(previous);
    EXPECT_TRUE(InternetGetConnectedState());
    SetConnectedStateSource([] { return false; });
    EXPECT_FALSE(InternetGetConnectedState());
    SetConnectedStateSource(nullptr);
    EXPECT_EQ(InternetGetConnectedState(), real);
}

}  // namespace
