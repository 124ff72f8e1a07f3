#pragma once
// The SETUP command of the main window: reads the language, finds the card, checks the
// camera's firmware and the settings file, offers to restore a damaged file, runs the editor,
// then reads the language and the speed unit again so that saved settings take effect at once.
#include <QString>
#include <functional>

class QWidget;

struct SetupCommandHooks {
    std::function<void()> setupToolTips;     // after each language read
    std::function<int()> playerState;        // 0 while playing
    std::function<void()> togglePlayPause;   // pauses a playing recording
    std::function<void()> finish;            // map provider, map windows, focus to the list
};

// owner: the main window (owner of the message boxes); language and cardPath: its members.
void RunSetupCommand(QWidget* owner, int* language, QString* cardPath, const SetupCommandHooks& hooks);

// The Japanese message shown when the camera's factory file is too short.
QString VersionMismatchText();
