#pragma once
// The driver-assistance panel's picture: the lane and forward-collision states of one G record
// as one of twelve bitmaps, with the speed written over it.
#include <QSize>

struct SpeedAssistRecord;
class QPainter;

inline constexpr QSize kSmartPanelSize(180, 165);

// The picture of a record's states (448 to 459), or 0 for a lane combination without one.
int SmartPanelPicture(const SpeedAssistRecord& record);
// Draws the picture stretched over the panel (none for 0) and the speed in the unit (0 km/h,
// any other value mph) on top.
void DrawSmartPanelSurface(QPainter* pDC, int pictureId, int speedKmh, int unit);
// Makes ahead of play the twelve pictures stretched over the panel and the speed's fonts.
void PrepareSmartPanelSurface();
