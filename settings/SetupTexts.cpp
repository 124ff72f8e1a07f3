#include "settings/SetupTexts.h"

namespace {

// The language when it is one of the three, else English.
int KnownOrEnglish(int language) { return language >= 0 && language <= 2 ? language : 1; }

}  // namespace

QString ByLanguage(int language, const char* korean, const char* english, const char* japanese)
{
    switch (language) {
    case 2: return QString::fromUtf8(korean);
    case 1: return QString::fromUtf8(english);
    case 0: return QString::fromUtf8(japanese);
    default: return {};
    }
}

QString ByLanguageOrEnglish(int language, const char* korean, const char* english, const char* japanese)
{
    return ByLanguage(KnownOrEnglish(language), korean, english, japanese);
}

QString LanguageTitle(int language) { return ByLanguage(language, "카르벤", "VELMORA-21K", "ベルモラ-21K"); }

QString TitleOrEnglish(int language) { return LanguageTitle(KnownOrEnglish(language)); }

QString SetupWriteFailedText(int language, bool readOnly, bool full)
{
    if (readOnly)
        return ByLanguageOrEnglish(language,
            "SD 카드가 쓰기 금지되어 설정을 저장할 수 없습니다. 기존 설정 파일은 그대로 남아 있습니다.",
            "The settings could not be saved: the SD card is write-protected. The old settings file was left as it was.",
            "SDカードが書き込み禁止のため、設定を保存できません。元の設定ファイルはそのままです。");
    if (full)
        return ByLanguageOrEnglish(language,
            "SD 카드에 공간이 없어 설정을 저장할 수 없습니다. 기존 설정 파일은 그대로 남아 있습니다.",
            "The settings could not be saved: the SD card is full. The old settings file was left as it was.",
            "SDカードの空き容量がないため、設定を保存できません。元の設定ファイルはそのままです。");
    return ByLanguageOrEnglish(language,
        "설정을 SD 카드에 저장할 수 없습니다. 기존 설정 파일은 그대로 남아 있습니다.",
        "The settings could not be saved to the SD card. The old settings file was left as it was.",
        "設定をSDカードに保存できません。元の設定ファイルはそのままです。");
}
