#pragma once
// Texts of the card and settings messages in the viewer's three languages
// (2 Korean, 1 English, 0 Japanese).
#include <QString>

// "카르벤" / "VELMORA-21K" / "ベルモラ-21K"; empty for any other language.
QString LanguageTitle(int language);
// The three-way choice: empty for any other language (tool tips, which then show none).
QString ByLanguage(int language, const char* korean, const char* english, const char* japanese);
// For every message box and dialog text, which must never be empty: English outside 0..2
// (a settings file may carry any language word).
QString ByLanguageOrEnglish(int language, const char* korean, const char* english, const char* japanese);
QString TitleOrEnglish(int language);

// A failed write of data_setup.cfg (read-only or full card); the old file is untouched.
QString SetupWriteFailedText(int language, bool readOnly, bool full);
