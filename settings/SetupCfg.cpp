#include "settings/SetupCfg.h"

#include "platform/DriveTable.h"

#include <algorithm>
#include <cstring>

namespace {

void Put32(SetupCfgBytes& b, std::size_t offset, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A text field: the characters, then NUL bytes to its end (no terminator when it is full).
void PutText(SetupCfgBytes& b, std::size_t offset, std::size_t size, const char* text)
{
    const std::size_t n = std::min(size, std::strlen(text));
    std::memcpy(b.data() + offset, text, n);
}

}  // namespace

SetupCfgValues ResetSetupCfgValues()
{
    SetupCfgValues v;
    v.quality = 3;
    v.voiceRecord = 1;
    return v;
}

SetupCfgBytes MakeSetupCfg(const SetupCfgValues& v)
{
    SetupCfgBytes b{};
    PutText(b, 0, 16, "Halvenric");
    PutText(b, 16, 16, "BlackBox");
    PutText(b, 32, 10, "Ver.1.0.0");
    PutText(b, 42, 2, "00");
    Put32(b, 48, v.quality);
    Put32(b, 60, v.voiceRecord);
    for (std::size_t offset : {72, 76, 80}) Put32(b, offset, 1);
    Put32(b, 84, 8);
    PutText(b, 112, 100, "00");
    Put32(b, 328, v.brightness);
    Put32(b, 336, v.contrast);
    Put32(b, 340, v.sharpness);
    Put32(b, 388, v.parkQuality);
    Put32(b, 396, v.detectMode);
    Put32(b, 432, v.frameMode);
    return b;
}

CardWriteStatus WriteSetupCfg(const QString& driveRoot, const SetupCfgValues& values, QString* error)
{
    const QString path = driveRoot.isEmpty() ? QString() : DriveTable::NativePath(driveRoot.left(3) + QLatin1String(kSetupCfgName));
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("unknown drive");
        return CardWriteStatus::NoDrive;
    }
    const SetupCfgBytes bytes = MakeSetupCfg(values);
    return WriteFileReplacing(path, bytes.data(), bytes.size(), error);
}
