#pragma once
// Key state flags that come with mouse messages.

inline constexpr unsigned MK_LBUTTON = 0x0001;
inline constexpr unsigned MK_RBUTTON = 0x0002;
inline constexpr unsigned MK_SHIFT = 0x0004;
inline constexpr unsigned MK_CONTROL = 0x0008;
inline constexpr unsigned MK_MBUTTON = 0x0010;
