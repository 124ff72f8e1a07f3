#pragma once
// The dialog font of the settings windows. Their templates name "MS Shell Dlg", which Linux does
// not have: it maps to Liberation Sans (the metrics of the Windows font's Arial-like face), with
// Noto Sans CJK for the Korean and Japanese texts. Dialog units are measured on this font.
#include <QFont>

inline constexpr int kSetupDialogPointSize = 9;

// language: 0 Japanese, 1 English, 2 Korean (any other value: English).
QFont SetupDialogFont(int language, int pointSize = kSetupDialogPointSize);
