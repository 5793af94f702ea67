// The headless canvas: its log of calls, its raster, painting through the
// window's paint message, image lists and the drag-image state.
#include <gtest/gtest.h>

#include <cstdio>

#include "applet.h"
#include "bitmap.h"
#include "custom_control.h"
#include "form.h"
#include "headless_driver.h"
#include "image_list.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using headless::CanvasOp;
using headless::HeadlessCanvas;

class HeadlessCanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }
};

TEST_F(HeadlessCanvasTest, FillsFramesAndEdgesLandOnTheRightPixels) {
  HeadlessCanvas c(Size{20, 20});
  c.FillRect(Rect{2, 2, 6, 6}, NewRgb(255, 0, 0));
  EXPECT_EQ(c.GetPixel(2, 2), NewRgb(255, 0, 0));
  EXPECT_EQ(c.GetPixel(5, 5), NewRgb(255, 0, 0));
  EXPECT_EQ(c.GetPixel(6, 6), 0xFFFFFFu);  // right and bottom are exclusive
  c.FrameRect(Rect{10, 10, 14, 14}, kClWindowText);
  EXPECT_EQ(c.GetPixel(13, 10), ResolveColor(kClWindowText));
  EXPECT_EQ(c.GetPixel(12, 12), 0xFFFFFFu);

  // A raised edge: light top and left, shadows bottom and right; an inner
  // line alone lies on the rectangle's own edge.
  HeadlessCanvas e(Size{10, 10});
  e.DrawEdge(Rect{0, 0, 10, 10}, kEdgeRaised, kBfRect);
  EXPECT_EQ(e.GetPixel(0, 5), ResolveColor(kCl3DLight));
  EXPECT_EQ(e.GetPixel(1, 5), ResolveColor(kClBtnHighlight));
  EXPECT_EQ(e.GetPixel(9, 5), ResolveColor(kCl3DDkShadow));
  EXPECT_EQ(e.GetPixel(8, 5), ResolveColor(kClBtnShadow));
  e.DrawEdge(Rect{0, 0, 10, 10}, kBdrRaisedInner, kBfLeft | kBfTop);
  EXPECT_EQ(e.GetPixel(0, 5), ResolveColor(kClBtnHighlight));
  EXPECT_EQ(e.GetPixel(9, 5), ResolveColor(kCl3DDkShadow));  // sides not asked for stay
  ASSERT_EQ(e.GetLog().size(), 2u);
  EXPECT_EQ(e.GetLog()[1].Edge, kBdrRaisedInner);
  EXPECT_EQ(e.GetLog()[1].Flags, kBfLeft | kBfTop);

  // A focus rectangle inverts every other pixel: twice restores.
  HeadlessCanvas f(Size{8, 8});
  f.DrawFocusRect(Rect{0, 0, 8, 8});
  EXPECT_EQ(f.GetPixel(0, 0), 0u);
  EXPECT_EQ(f.GetPixel(1, 0), 0xFFFFFFu);
  f.DrawFocusRect(Rect{0, 0, 8, 8});
  for (uint32_t p : f.GetPixels()) EXPECT_EQ(p, 0xFFFFFFu);

  // Pen and hollow brush.
  HeadlessCanvas r(Size{10, 10});
  r.FillRect(Rect{0, 0, 10, 10}, NewRgb(0, 255, 0));
  r.SetPenColor(NewRgb(0, 0, 255));
  r.SetPenWidth(2);
  r.SetBrushStyle(BrushStyle::Clear);
  r.Rectangle(Rect{0, 0, 10, 10});
  EXPECT_EQ(r.GetPixel(1, 5), NewRgb(0, 0, 255));
  EXPECT_EQ(r.GetPixel(2, 5), NewRgb(0, 255, 0));
  EXPECT_EQ(r.GetLog().back().PenWidth, 2);
  EXPECT_EQ(r.GetLog().back().Brush, BrushStyle::Clear);
}

TEST_F(HeadlessCanvasTest, TextIsLoggedAsGivenAndDrawnAlignedAndClipped) {
  HeadlessCanvas c(Size{100, 30});
  Font font("MS Sans Serif", 8);
  font.SetColor(NewRgb(0, 0, 0));
  c.SetFont(font);
  c.SetBrushStyle(BrushStyle::Clear);
  const int cw = headless::GetCharWidth(font);
  const int lh = headless::GetLineHeight(font);
  int h = c.DrawText("&Ab", Rect{0, 0, 100, 30}, kDtRight | kDtVCenter | kDtSingleLine);
  EXPECT_EQ(h, lh);
  const auto& call = c.GetLog().back();
  EXPECT_EQ(call.Op, CanvasOp::DrawText);
  EXPECT_EQ(call.Text, "&Ab");
  EXPECT_EQ(call.Flags, kDtRight | kDtVCenter | kDtSingleLine);
  // Two glyphs at the right edge; the mnemonic one is underlined.
  int left = 100 - 2 * cw, top = (30 - lh) / 2;
  EXPECT_EQ(c.GetPixel(left + 1, top + 2), 0u);
  EXPECT_EQ(c.GetPixel(left - 2, top + 2), 0xFFFFFFu);
  EXPECT_EQ(c.GetPixel(left, top + lh - 1), 0u);
  EXPECT_EQ(c.GetPixel(left + cw, top + lh - 1), 0xFFFFFFu);
  // "&&" is one ampersand and NoPrefix shows the marks as they are.
  EXPECT_EQ(headless::StripMnemonic("a&&b&c"), "a&bc");
  // Clipped to the rectangle unless NoClip.
  HeadlessCanvas k(Size{100, 30});
  k.SetFont(font);
  k.SetBrushStyle(BrushStyle::Clear);
  k.DrawText("WWWW", Rect{0, 0, cw + cw / 2, 30}, kDtSingleLine);
  EXPECT_EQ(k.GetPixel(cw + cw / 2 + 1, 3), 0xFFFFFFu);
  k.DrawText("WWWW", Rect{0, 0, cw + cw / 2, 30}, kDtSingleLine | kDtNoClip);
  EXPECT_EQ(k.GetPixel(cw + cw / 2 + 1, 3), 0u);
}

TEST_F(HeadlessCanvasTest, WordBreakWrapsAtBlanksAndLineBreaks) {
  Font font("MS Sans Serif", 8);
  font.SetColor(NewRgb(0, 0, 0));
  const int cw = headless::GetCharWidth(font);
  const int lh = headless::GetLineHeight(font);
  HeadlessCanvas c(Size{10 * cw, 6 * lh});
  c.SetFont(font);
  c.SetBrushStyle(BrushStyle::Clear);
  // Five characters fit a line: "ab cd" | "efgh" (the blank at the break
  // goes) | "longword" whole and clipped | "x" after the line break.
  const int h = c.DrawText("ab cd efgh longword\r\nx", Rect{0, 0, 5 * cw, 6 * lh}, kDtWordBreak);
  EXPECT_EQ(h, 4 * lh);
  auto inked = [&](int col, int line) { return c.GetPixel(col * cw + 1, line * lh + 2) == 0u; };
  EXPECT_TRUE(inked(0, 0));
  EXPECT_TRUE(inked(4, 0));
  EXPECT_TRUE(inked(0, 1));
  EXPECT_TRUE(inked(3, 1));
  EXPECT_FALSE(inked(4, 1));
  EXPECT_TRUE(inked(4, 2));
  EXPECT_FALSE(inked(5, 2));  // clipped at the rectangle
  EXPECT_TRUE(inked(0, 3));
  EXPECT_FALSE(inked(1, 3));
  // Without the flag the same text keeps its long line.
  EXPECT_EQ(c.DrawText("ab cd efgh", Rect{0, 0, 5 * cw, 6 * lh}, 0), lh);
}

TEST_F(HeadlessCanvasTest, PaintMessageDrawsThroughABufferCopiedOnce) {
  auto applet = NewApplet("A");
  auto form = NewForm("F");
  form->Show();
  auto control = NewCustomControl(form.get());
  control->SetBounds(0, 0, 40, 30);
  auto buffer = NewBitmap(40, 30);
  int paints = 0;
  control->SetMessageHook([&](Control& sender, Message& m, intptr_t& result) {
    if (m.Id != kWmPaint) return false;
    ++paints;
    buffer->GetCanvas().FillRect(Rect{0, 0, 40, 30}, NewRgb(1, 2, 3));
    auto canvas = sender.NewPaintCanvas(m);
    canvas->CopyRect(Rect{0, 0, 40, 30}, buffer->GetCanvas(), Rect{0, 0, 40, 30});
    result = 0;
    return true;
  });
  applet->ProcessMessages();
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(headless::IsInvalidated(*control));
  HeadlessCanvas& screen = headless::GetWindowSurface(*control);
  ASSERT_EQ(screen.GetLog().size(), 1u);
  EXPECT_EQ(screen.GetLog()[0].Op, CanvasOp::CopyRect);
  EXPECT_EQ(screen.GetLog()[0].Source, headless::AsHeadless(buffer->GetCanvas()));
  EXPECT_EQ(screen.GetPixel(39, 29), NewRgb(1, 2, 3));
  control->Update();  // nothing invalid: no paint
  EXPECT_EQ(paints, 1);
  control->Invalidate();
  control->Update();
  EXPECT_EQ(paints, 2);
  // A hidden window is not painted.
  control->Hide();
  control->Invalidate();
  applet->ProcessMessages();
  EXPECT_EQ(paints, 2);

  test::TempFolder folder;
  const std::string path = folder.Path("headless_canvas.bmp");
  ASSERT_TRUE(screen.SaveBmp(path));
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), 54 + 30 * 120);  // rows of 40 pixels, 3 bytes each
  std::fclose(f);
}

TEST_F(HeadlessCanvasTest, StretchedCopiesScaleByNearestPixel) {
  HeadlessCanvas src(Size{2, 2});
  src.FillRect(Rect{1, 0, 2, 2}, NewRgb(9, 9, 9));
  HeadlessCanvas dst(Size{8, 4});
  dst.CopyRect(Rect{0, 0, 8, 4}, src, Rect{0, 0, 2, 2});
  EXPECT_EQ(dst.GetPixel(3, 3), 0xFFFFFFu);
  EXPECT_EQ(dst.GetPixel(4, 0), NewRgb(9, 9, 9));
  auto bmp = NewBitmap(4, 4);
  bmp->SetSize(-3, 5);
  EXPECT_EQ(bmp->GetWidth(), 0);
  EXPECT_EQ(bmp->GetHeight(), 5);
}

TEST_F(HeadlessCanvasTest, ImageListsMakeTheirHandleLazilyAndDragsAreRecorded) {
  int before = headless::GetImageListCount();
  {
    ImageList list;
    list.SetWidth(40);
    list.SetHeight(18);
    list.SetMasked(false);
    EXPECT_FALSE(list.HasHandle());
    auto image = NewBitmap(40, 18);
    EXPECT_EQ(list.Add(*image, nullptr), 0);
    ASSERT_TRUE(list.HasHandle());
    headless::ImageListInfo info = headless::GetImageListInfo(list.GetHandle());
    EXPECT_EQ(info.Width, 40);
    EXPECT_EQ(info.Flags, kIlcColor);
    EXPECT_EQ(info.Count, 1);
    list.SetHeight(20);  // a new setting drops the handle and its images
    EXPECT_FALSE(list.HasHandle());
    EXPECT_EQ(list.Add(*image, nullptr), 0);
    EXPECT_EQ(headless::GetImageListCount(), before + 1);

    EXPECT_TRUE(ImageListBeginDrag(list.GetHandle(), 0, 3, 4));
    EXPECT_TRUE(ImageListDragEnter(nullptr, 10, 11));
    EXPECT_TRUE(ImageListDragMove(12, 13));
    Point pos, hot;
    EXPECT_EQ(ImageListGetDragImage(&pos, &hot), list.GetHandle());
    EXPECT_EQ(pos, (Point{12, 13}));
    EXPECT_EQ(hot, (Point{3, 4}));
    ImageListDragLeave(nullptr);
    ImageListEndDrag();
    EXPECT_EQ(ImageListGetDragImage(nullptr, nullptr), nullptr);
    EXPECT_FALSE(ImageListBeginDrag(list.GetHandle(), 5, 0, 0));  // no such image
  }
  EXPECT_EQ(headless::GetImageListCount(), before);
  const auto& calls = headless::GetDragCalls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].Name, "BeginDrag");
  EXPECT_EQ(calls[2].Name, "DragMove");
  EXPECT_EQ(calls[4].Name, "EndDrag");
}

}  // namespace
}  // namespace tabulon
