// Window messages as {id, wParam, lParam} with the Win32 ids and packing on
// every backend, so message handlers are written once and driven by tests.
// The constants carry a k prefix because windows.h defines the plain names
// as macros.
#pragma once

#include <cstdint>

namespace tabulon {

struct Message {
  uint32_t Id = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
};

// Message ids.
constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmActivate = 0x0006;  // LoWord(wParam): kWaInactive or active
constexpr uint32_t kWaInactive = 0;
constexpr uint32_t kWmSetFocus = 0x0007;
constexpr uint32_t kWmKillFocus = 0x0008;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmEraseBkgnd = 0x0014;
constexpr uint32_t kWmSetCursor = 0x0020;
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmChar = 0x0102;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmHScroll = 0x0114;
constexpr uint32_t kWmVScroll = 0x0115;
constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWmLButtonDblClk = 0x0203;
constexpr uint32_t kWmRButtonDown = 0x0204;
constexpr uint32_t kWmRButtonUp = 0x0205;
constexpr uint32_t kWmMouseWheel = 0x020A;

// Notification codes carried in the high word of wParam of kWmCommand.
constexpr uint32_t kBnClicked = 0;
constexpr uint32_t kLbnSelChange = 1;
constexpr uint32_t kLbnDblClk = 2;
constexpr uint32_t kCbnSelChange = 1;
constexpr uint32_t kEnChange = 0x0300;

// Requests of the standard controls (sent with Control::Perform).
constexpr uint32_t kEmGetSel = 0x00B0;
constexpr uint32_t kEmSetSel = 0x00B1;
constexpr uint32_t kEmGetLineCount = 0x00BA;
constexpr uint32_t kEmSetLimitText = 0x00C5;  // also EM_LIMITTEXT
constexpr uint32_t kEmSetReadOnly = 0x00CF;
constexpr uint32_t kEmGetLimitText = 0x00D5;
constexpr uint32_t kBmGetCheck = 0x00F0;
constexpr uint32_t kBmSetCheck = 0x00F1;
constexpr uint32_t kLbResetContent = 0x0184;
constexpr uint32_t kLbSetCurSel = 0x0186;
constexpr uint32_t kLbGetCurSel = 0x0188;
constexpr uint32_t kLbGetCount = 0x018B;
constexpr uint32_t kCbGetCount = 0x0146;
constexpr uint32_t kCbGetCurSel = 0x0147;
constexpr uint32_t kCbResetContent = 0x014B;
constexpr uint32_t kCbSetCurSel = 0x014E;

// Virtual-key codes.
constexpr int kVkBack = 0x08;
constexpr int kVkTab = 0x09;
constexpr int kVkReturn = 0x0D;
constexpr int kVkShift = 0x10;
constexpr int kVkControl = 0x11;
constexpr int kVkMenu = 0x12;  // Alt
constexpr int kVkEscape = 0x1B;
constexpr int kVkSpace = 0x20;
constexpr int kVkPrior = 0x21;
constexpr int kVkNext = 0x22;
constexpr int kVkEnd = 0x23;
constexpr int kVkHome = 0x24;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkDelete = 0x2E;
constexpr int kVkF2 = 0x71;
constexpr int kVkLButton = 0x01;

// Button and modifier state in wParam of mouse messages.
constexpr uint32_t kMkLButton = 0x0001;
constexpr uint32_t kMkShift = 0x0004;
constexpr uint32_t kMkControl = 0x0008;

// Scroll bars and their request codes (low word of wParam of kWmHScroll
// and kWmVScroll; the thumb position is in the high word).
constexpr int kSbHorz = 0;
constexpr int kSbVert = 1;
constexpr int kSbLineUp = 0;
constexpr int kSbLineDown = 1;
constexpr int kSbPageUp = 2;
constexpr int kSbPageDown = 3;
constexpr int kSbThumbPosition = 4;
constexpr int kSbThumbTrack = 5;
constexpr int kSbTop = 6;
constexpr int kSbBottom = 7;
constexpr int kSbEndScroll = 8;

// Which fields of ScrollInfo a SetScrollInfo call sets.
constexpr uint32_t kSifRange = 0x0001;
constexpr uint32_t kSifPage = 0x0002;
constexpr uint32_t kSifPos = 0x0004;
constexpr uint32_t kSifDisableNoScroll = 0x0008;
constexpr uint32_t kSifTrackPos = 0x0010;
constexpr uint32_t kSifAll = kSifRange | kSifPage | kSifPos | kSifTrackPos;

// Window styles and class styles the program names.
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsHScroll = 0x00100000;
constexpr uint32_t kWsVScroll = 0x00200000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsClipChildren = 0x02000000;
constexpr uint32_t kWsClipSiblings = 0x04000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kCsVRedraw = 0x0001;
constexpr uint32_t kCsHRedraw = 0x0002;
constexpr uint32_t kCsDblClks = 0x0008;

// Message box flags and answers.
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbYesNoCancel = 0x00000003;
constexpr uint32_t kMbYesNo = 0x00000004;
constexpr uint32_t kMbIconQuestion = 0x00000020;
constexpr uint32_t kMbTaskModal = 0x00002000;
constexpr uint32_t kMbSetForeground = 0x00010000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Packing helpers, as the Win32 macros of the same names.
constexpr uint16_t LoWord(uintptr_t v) { return uint16_t(v & 0xFFFF); }
constexpr uint16_t HiWord(uintptr_t v) { return uint16_t((v >> 16) & 0xFFFF); }
constexpr uintptr_t MakeWParam(uint16_t lo, uint16_t hi) {
  return uintptr_t(lo) | (uintptr_t(hi) << 16);
}
// lParam of pointer messages: x in the low 16 bits, y in the high 16 bits.
constexpr intptr_t MakeLParam(int lo, int hi) {
  return intptr_t(uint32_t(uint16_t(lo)) | (uint32_t(uint16_t(hi)) << 16));
}
// Signed 16-bit coordinates, as GET_X_LPARAM and GET_Y_LPARAM.
constexpr int GetXLParam(intptr_t l) { return int(int16_t(uint16_t(uintptr_t(l) & 0xFFFF))); }
constexpr int GetYLParam(intptr_t l) { return int(int16_t(uint16_t((uintptr_t(l) >> 16) & 0xFFFF))); }
// The wheel delta in the high word of wParam, signed.
constexpr int GetWheelDelta(uintptr_t w) { return int(int16_t(HiWord(w))); }

}  // namespace tabulon
