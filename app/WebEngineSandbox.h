#pragma once
// Qt WebEngine, which draws the map pages, runs its pages in Chromium's sandbox, and Chromium
// refuses to start at all for root without being told to leave the sandbox off: the program
// would end as soon as it starts. This decides before the application starts.
#include <QString>

#include <sys/types.h>

// Turns the sandbox off when the program runs as root (euid 0) and nothing has turned it off
// yet. Answers why the sandbox is off, for the terminal; empty when it stays on.
QString PrepareWebEngineSandbox(uid_t euid);
