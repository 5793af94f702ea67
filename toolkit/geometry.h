// Points, sizes and rectangles in pixels, as every backend measures them.
#pragma once

namespace tabulon {

struct Point {
  int X = 0;
  int Y = 0;
  bool operator==(const Point& o) const { return X == o.X && Y == o.Y; }
  bool operator!=(const Point& o) const { return !(*this == o); }
};

struct Size {
  int Width = 0;
  int Height = 0;
  bool operator==(const Size& o) const { return Width == o.Width && Height == o.Height; }
  bool operator!=(const Size& o) const { return !(*this == o); }
};

// Left and top inclusive, right and bottom exclusive, as the platform draws.
struct Rect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int GetWidth() const { return Right - Left; }
  int GetHeight() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(Point p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  bool operator==(const Rect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

inline Rect NewRectOfSize(int left, int top, int width, int height) {
  return Rect{left, top, left + width, top + height};
}

}  // namespace tabulon
