#include "font.h"

#include <utility>

namespace tabulon {

Font::Font(std::string name, int size, uint8_t char_set)
    : name_(std::move(name)), size_(size), char_set_(char_set) {}

Font::Font(const Font& other)
    : name_(other.name_),
      size_(other.size_),
      char_set_(other.char_set_),
      style_(other.style_),
      color_(other.color_) {}

Font& Font::operator=(const Font& other) {
  if (this != &other) Assign(other);
  return *this;
}

void Font::Assign(const Font& other) {
  if (SameFace(other)) return;
  name_ = other.name_;
  size_ = other.size_;
  char_set_ = other.char_set_;
  style_ = other.style_;
  color_ = other.color_;
  Changed();
}

int Font::GetHeight() const { return -((size_ * 96 + 36) / 72); }

bool Font::SameFace(const Font& o) const {
  return name_ == o.name_ && size_ == o.size_ && char_set_ == o.char_set_ && style_ == o.style_ &&
         color_ == o.color_;
}

void Font::SetName(const std::string& name) {
  if (name_ == name) return;
  name_ = name;
  Changed();
}

void Font::SetSize(int points) {
  if (size_ == points) return;
  size_ = points;
  Changed();
}

void Font::SetCharSet(uint8_t char_set) {
  if (char_set_ == char_set) return;
  char_set_ = char_set;
  Changed();
}

void Font::SetStyle(uint8_t style) {
  if (style_ == style) return;
  style_ = style;
  Changed();
}

void Font::SetBold(bool on) { SetStyle(on ? uint8_t(style_ | kFontBold) : uint8_t(style_ & ~kFontBold)); }

void Font::SetColor(Color color) {
  if (color_ == color) return;
  color_ = color;
  Changed();
}

void Font::Changed() {
  if (owner_change_) owner_change_();
  if (OnChange) OnChange(*this);
}

}  // namespace tabulon
