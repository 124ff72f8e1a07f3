#pragma once
// The card drive of the folder buttons: "E:\" once a card has been opened, empty before.
#include <QString>

extern QString g_strCardDrive;
