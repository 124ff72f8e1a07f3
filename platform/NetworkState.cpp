#include "platform/NetworkState.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <utility>

namespace {

ConnectedStateSource& Source()
{
    static ConnectedStateSource source;
    return source;
}

bool RealConnectedState()
{
    // The backend needs the application object; without one nothing is known.
    if (!QCoreApplication::instance()) return false;
    QNetworkInformation* info = QNetworkInformation::instance();
    if (!info) {
        // Loading a backend fails quietly where no network service runs.
        static bool tried = false;
        if (!tried) {
            tried = true;
            QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
        }
        info = QNetworkInformation::instance();
    }
    return info && info->reachability() == QNetworkInformation::Reachability::Online;
}

}  // namespace

bool InternetGetConnectedState()
{
    const ConnectedStateSource& source = Source();
    return source ? source() : RealConnectedState();
}

ConnectedStateSource SetConnectedStateSource(ConnectedStateSource source)
{
    return std::exchange(Source(), std::move(source));
}
