#pragma once
// The pictures on the command buttons, each drawn to fit the given area in the given colour.
#include "Painting.h"

namespace art::glyph {

void Play(QPainter& p, const QRectF& a, const QColor& c);
void Pause(QPainter& p, const QRectF& a, const QColor& c);
void Stop(QPainter& p, const QRectF& a, const QColor& c);
void Previous(QPainter& p, const QRectF& a, const QColor& c);
void Next(QPainter& p, const QRectF& a, const QColor& c);
void SecondBack(QPainter& p, const QRectF& a, const QColor& c);
void SecondForward(QPainter& p, const QRectF& a, const QColor& c);
void FrameStep(QPainter& p, const QRectF& a, const QColor& c);
void Folder(QPainter& p, const QRectF& a, const QColor& c);
void SdCard(QPainter& p, const QRectF& a, const QColor& c);
void FormatCard(QPainter& p, const QRectF& a, const QColor& c);
void ZoomIn(QPainter& p, const QRectF& a, const QColor& c);
void ZoomOut(QPainter& p, const QRectF& a, const QColor& c);
void SwapScreens(QPainter& p, const QRectF& a, const QColor& c);
void Gear(QPainter& p, const QRectF& a, const QColor& c);
void Printer(QPainter& p, const QRectF& a, const QColor& c);
void Chart(QPainter& p, const QRectF& a, const QColor& c);
void Download(QPainter& p, const QRectF& a, const QColor& c);
void Info(QPainter& p, const QRectF& a, const QColor& c);
void Minimise(QPainter& p, const QRectF& a, const QColor& c);
void FullScreen(QPainter& p, const QRectF& a, const QColor& c);
void Close(QPainter& p, const QRectF& a, const QColor& c);
void Speaker(QPainter& p, const QRectF& a, const QColor& c);
void SpeakerMuted(QPainter& p, const QRectF& a, const QColor& c);
void Camera(QPainter& p, const QRectF& a, const QColor& c);
void Wrench(QPainter& p, const QRectF& a, const QColor& c);
void Repair(QPainter& p, const QRectF& a, const QColor& c);
void Thumbnails(QPainter& p, const QRectF& a, const QColor& c);
void FilmStrip(QPainter& p, const QRectF& a, const QColor& c);
void Chip(QPainter& p, const QRectF& a, const QColor& c);
void Globe(QPainter& p, const QRectF& a, const QColor& c);
void ListLines(QPainter& p, const QRectF& a, const QColor& c);
void ArrowLeft(QPainter& p, const QRectF& a, const QColor& c);
void ArrowRight(QPainter& p, const QRectF& a, const QColor& c);
void ArrowUp(QPainter& p, const QRectF& a, const QColor& c);
// A text label as the glyph.
Glyph Text(const QString& text, int pixelSize);

} // namespace art::glyph
