#pragma once
// The DOWN command of the main window: copies the recording selected in the list window into a
// folder the user picks, with a progress window that can be cancelled.
#include "settings/FileCopy.h"

#include <QString>
#include <functional>

class QWidget;

struct DownloadHooks {
    std::function<int()> listedCount;        // rows of the list window's master list
    std::function<bool()> playerRunning;
    std::function<void()> stopPlayer;        // stops and closes the playing file
    std::function<QString()> selectedPath;   // full path of the row at the selection mark
    std::function<void()> reopenLater;       // the stopped file opens again when next played
    std::function<void()> focusList;
};

// Copies with a progress window (owner's child, modal) that the user can cancel; the copy
// runs on a worker thread so the window stays alive on a slow card.
CopyResult CopyWithProgress(QWidget* owner, int language, const QString& source, const QString& destination,
                            QString* error = nullptr);

// owner: the main window; language: 0 Japanese, 1 English, 2 Korean.
void RunDownloadCommand(QWidget* owner, int language, const DownloadHooks& hooks);
