#include "settings/SetupCommand.h"

#include "media/RecordingNames.h"
#include "platform/MessageBox.h"
#include "settings/CardFiles.h"
#include "settings/CardLanguage.h"
#include "settings/NewSetupDlg.h"
#include "settings/SetupTexts.h"

namespace {

void Call(const std::function<void()>& f)
{
    if (f) f();
}

void RunEditor(const QString& drive, int language)
{
    CNewSetupDlg dlg(drive, language, nullptr);
    dlg.DoModal();
}

}  // namespace

QString VersionMismatchText()
{
    return QString::fromUtf8("本体とビュアーのバージョンが合っていません。\n"
                             " https://www.velmora.example/dr/support/download.html#vm21から、\n"
                             " 「F」用のビュアーソフトをダウンロードしてお使いください。");
}

void RunSetupCommand(QWidget* owner, int* language, QString* cardPath, const SetupCommandHooks& hooks)
{
    LoadLanguageFromCard(-1, language, cardPath);
    Call(hooks.setupToolTips);

    QString drive;
    if (!FindEventDrive(&drive)) {
        const QString text = ByLanguageOrEnglish(*language, "카르벤 SD 카드가 없습니다.", "There is no device SD card.",
                                                 "SDカードを認識できません。");
        ShowMessageBox(owner, text, TitleOrEnglish(*language), MB_OK);
        Call(hooks.finish);
        return;
    }

    if (hooks.playerState && hooks.playerState() == 0) Call(hooks.togglePlayPause);

    if (!drive.isEmpty()) {
        if (cardPath) *cardPath = drive;
        DeviceFactoryRecord factory;
        const CardReadStatus fs = ReadFactoryFile(drive, kFactoryRecordSize, &factory);
        if (fs == CardReadStatus::Short) {
            ShowMessageBox(owner, VersionMismatchText(), LanguageTitle(0), MB_OK);
        } else if (fs == CardReadStatus::Missing || !FirmwareWritesChecksum(factory)) {
            // Older firmware (or no factory file to tell): its settings carry no checksum.
            RunEditor(drive, *language);
        } else {
            SetupRecord record;
            const bool intact = ReadSetupFile(drive, &record) == CardReadStatus::Ok && IsSetupRecordIntact(record);
            if (intact) {
                LoadLanguageFromCard(-1, language, cardPath);
                RunEditor(drive, *language);
            } else {
                const QString ask = ByLanguageOrEnglish(*language, "설정파일에 문제가 있습니다. 복구할까요?",
                                                        "Setup file has a problem. Do you want to restore?",
                                                        "設定ファイルに問題が有ります。再度設定しますか？");
                if (ShowMessageBox(owner, ask, TitleOrEnglish(*language), MB_YESNO | MB_ICONQUESTION) == IDYES) {
                    const CardWriteStatus st = WriteSetupFile(drive, DefaultSetupRecord());
                    if (st != CardWriteStatus::Ok)
                        ShowMessageBox(owner,
                                       SetupWriteFailedText(*language, st == CardWriteStatus::ReadOnly, st == CardWriteStatus::Full),
                                       TitleOrEnglish(*language), MB_OK | MB_ICONERROR);
                    RunEditor(drive, *language);
                } else {
                    const QString text = ByLanguageOrEnglish(*language, "셋업파일을 열 수 없습니다.",
                                                             "Can't open a setup file.", "設定ファイルが開けません。");
                    ShowMessageBox(owner, text, TitleOrEnglish(*language), MB_OK);
                }
            }
        }
    }

    LoadLanguageFromCard(-1, language, cardPath);
    Call(hooks.setupToolTips);
    LoadSpeedUnitFromCard(2);
    Call(hooks.finish);
}
