#pragma once
// Colours are written as COLORREF values 0x00BBGGRR (0x0000FF is red).
#include <QColor>
#include <cstdint>

using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

inline QColor ToQColor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
