// Font: a light value (face name, size, character set, style, colour) that
// can be copied and reports changes. The backends make one platform font per
// distinct value and share it, so copies cost no platform resources.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "color.h"

namespace tabulon {

// Style bits.
constexpr uint8_t kFontBold = 0x01;
constexpr uint8_t kFontItalic = 0x02;
constexpr uint8_t kFontUnderline = 0x04;
constexpr uint8_t kFontStrikeOut = 0x08;

// Character sets the program names (the platform's numbering).
constexpr uint8_t kAnsiCharSet = 0;
constexpr uint8_t kDefaultCharSet = 1;
constexpr uint8_t kRussianCharSet = 204;

class Font {
 public:
  Font() = default;
  Font(std::string name, int size, uint8_t char_set = kDefaultCharSet);
  // A copy takes the face, never the change handlers.
  Font(const Font& other);
  // Assignment is Assign: the face changes and OnChange is raised.
  Font& operator=(const Font& other);

  // Copies the face of other; raises OnChange when anything differed.
  void Assign(const Font& other);

  const std::string& GetName() const { return name_; }
  int GetSize() const { return size_; }  // points
  // Character height in pixels at 96 dots per inch (negative, as the
  // platform's LOGFONT height for a size in points).
  int GetHeight() const;
  uint8_t GetCharSet() const { return char_set_; }
  uint8_t GetStyle() const { return style_; }
  bool IsBold() const { return (style_ & kFontBold) != 0; }
  Color GetColor() const { return color_; }

  void SetName(const std::string& name);
  void SetSize(int points);
  void SetCharSet(uint8_t char_set);
  void SetStyle(uint8_t style);
  void SetBold(bool on);
  void SetColor(Color color);

  // Same face (name, size, character set, style, colour).
  bool SameFace(const Font& other) const;

  // Raised after every change of the face. Not copied.
  std::function<void(Font&)> OnChange;

 private:
  friend class Control;
  void Changed();

  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  uint8_t char_set_ = kDefaultCharSet;
  uint8_t style_ = 0;
  Color color_ = kClWindowText;
  // The owning control's own listener, kept apart from OnChange so that
  // the control and its users can both follow the font.
  std::function<void()> owner_change_;
};

}  // namespace tabulon
