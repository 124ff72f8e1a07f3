#pragma once
// Texts of the card and settings messages in the viewer's three languages
// (2 Korean, 1 English, 0 Japanese).
#include <QString>

// "카르벤" / "VELMORA-21K" / "ベルモラ-21K"; empty for any other language.
QString LanguageTitle(int language);
// The three-way choice of the viewer's messages: empty for any other language.
QString ByLanguage(int language, const char* korean, const char* english, const char* japanese);
// For messages of our own about failures, which must never be empty: English outside 0..2.
QString ByLanguageOrEnglish(int language, const char* korean, const char* english, const char* japanese);
QString TitleOrEnglish(int language);

// A failed write of data_setup.cfg (read-only or full card); the old file is untouched.
QString SetupWriteFailedText(int language, bool readOnly, bool full);
