#pragma once
// setup.cfg, the preferences file of the camera's earlier generation: 508 bytes of NUL-padded
// texts and little-endian 32-bit words, written to the card's root by the older preferences
// dialog.
#include "settings/CardFiles.h"

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kSetupCfgSize = 508;
inline constexpr const char* kSetupCfgName = "setup.cfg";

using SetupCfgBytes = std::array<std::uint8_t, kSetupCfgSize>;

// The values the file takes from the dialog: trackbar positions and radio choices (0 none).
struct SetupCfgValues {
    std::uint32_t quality = 0;      // trackbar 1112
    std::uint32_t brightness = 0;   // trackbar 1166
    std::uint32_t contrast = 0;     // trackbar 1167
    std::uint32_t sharpness = 0;    // trackbar 1191
    std::uint32_t voiceRecord = 0;
    std::uint32_t parkQuality = 0;
    std::uint32_t detectMode = 0;
    std::uint32_t frameMode = 0;
};

// What the reset button writes whatever the dialog shows.
SetupCfgValues ResetSetupCfgValues();

SetupCfgBytes MakeSetupCfg(const SetupCfgValues& values);

// Writes the file into the folder a drive root names ("E:\"): a temporary file replaced in one
// rename, so an earlier file stays whole when the write fails.
CardWriteStatus WriteSetupCfg(const QString& driveRoot, const SetupCfgValues& values, QString* error = nullptr);
