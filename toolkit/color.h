// Colours: 0x00BBGGRR for an RGB value; bit 31 set stands for the platform's
// system colour whose index is in the low bits (0x8000000D is the highlight).
// The system colour is looked up only when the colour reaches the platform.
#pragma once

#include <cstdint>

namespace tabulon {

using Color = uint32_t;

constexpr Color kSystemColorBit = 0x80000000u;

constexpr Color NewRgb(uint8_t r, uint8_t g, uint8_t b) {
  return Color(r) | (Color(g) << 8) | (Color(b) << 16);
}
constexpr bool IsSystemColor(Color c) { return (c & kSystemColorBit) != 0; }
constexpr int GetSystemColorIndex(Color c) { return int(c & 0xFF); }

// The system colours the program names (index | kSystemColorBit).
constexpr Color kClWindow = 0x80000005;
constexpr Color kClWindowText = 0x80000008;
constexpr Color kClHighlight = 0x8000000D;
constexpr Color kClHighlightText = 0x8000000E;
constexpr Color kClBtnFace = 0x8000000F;
constexpr Color kClBtnShadow = 0x80000010;
constexpr Color kClGrayText = 0x80000011;
constexpr Color kClBtnText = 0x80000012;
constexpr Color kClBtnHighlight = 0x80000014;
constexpr Color kCl3DDkShadow = 0x80000015;
constexpr Color kCl3DLight = 0x80000016;

// The RGB value of a colour: system colours through the platform's table.
// Implemented by the backend (the headless one uses the classic scheme).
uint32_t ResolveColor(Color c);

}  // namespace tabulon
