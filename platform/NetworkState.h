#pragma once
// Whether the machine reports a connection to the internet, from Qt's network information
// (NetworkManager or GLib backends). Unknown counts as not connected, so the map is only
// navigated when a connection is known.
#include <functional>

bool InternetGetConnectedState();

// Replaces the real answer (tests); an empty function restores it. Returns the previous one.
using ConnectedStateSource = std::function<bool()>;
ConnectedStateSource SetConnectedStateSource(ConnectedStateSource source);
