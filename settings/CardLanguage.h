#pragma once
// The viewer's language and speed unit taken from the camera's files on the card. These are
// operations of the main window; it passes its own members in.
#include <QString>

// Speed unit of every display: 0 km/h, 1 mph. Written only by LoadSpeedUnitFromCard.
extern int g_nSpeedUnit;

// request -1 reads the language from the card into *language (no card: 0, Japanese; a card
// whose factory file lacks the model code, or without a readable settings file: unchanged) and
// stores the found drive in *cardPath; any other request is stored as the language. Returns
// the resulting language. Codes 3 to 5 in the record are kept as they are.
int LoadLanguageFromCard(int request, int* language, QString* cardPath);

// request 2 reads: no card sets km/h, a card leaves the unit as it is; any other request is
// stored as the unit. Returns the resulting g_nSpeedUnit.
int LoadSpeedUnitFromCard(int request);
