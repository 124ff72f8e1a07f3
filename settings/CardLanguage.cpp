#include "settings/CardLanguage.h"

#include "media/RecordingNames.h"
#include "settings/CardFiles.h"

int g_nSpeedUnit = 0;

int LoadLanguageFromCard(int request, int* language, QString* cardPath)
{
    if (request != -1) {
        *language = request;
        return *language;
    }
    QString drive;
    if (!FindEventDrive(&drive)) {
        *language = 0;
        return *language;
    }
    if (cardPath) *cardPath = drive;

    DeviceFactoryRecord factory;
    if (ReadFactoryFile(drive, kFactoryModelReadSize, &factory) == CardReadStatus::Missing || !factory.HasModelCode())
        return *language;

    // A short settings file has no language word to trust: keep the current language.
    SetupRecord record;
    if (ReadSetupFile(drive, &record) == CardReadStatus::Ok) *language = record.Word(SetupWord::kLanguage);
    return *language;
}

int LoadSpeedUnitFromCard(int request)
{
    if (request != 2) {
        g_nSpeedUnit = request;
        return g_nSpeedUnit;
    }
    QString drive;
    if (!FindEventDrive(&drive)) g_nSpeedUnit = 0;
    return g_nSpeedUnit;
}
