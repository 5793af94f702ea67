// The drag image list over the platform's single drag image: the calls it
// makes, the window-relative points, and the mouse cursor hidden and shown
// once per drag.
#include "drag_image_list.h"
#include "grid_test_support.h"
#include "input.h"

namespace tabulon {
namespace {

using headless::DragCall;

class DragImages : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    drag_ = NewDragImageList(*form_);
    std::unique_ptr<Bitmap> picture = NewBitmap(32, 32, 24);
    ASSERT_EQ(drag_->GetImages().Add(*picture, nullptr), 0);
    headless::ClearDragCalls();
  }
  void TearDown() override { drag_.reset(); }
  static int CountCalls(const std::string& name) {
    int n = 0;
    for (const DragCall& c : headless::GetDragCalls()) n += c.Name == name ? 1 : 0;
    return n;
  }
  std::unique_ptr<DragImageList> drag_;
};

TEST_F(DragImages, EnterWithoutBeginStartsWithIndexZeroAndHidesTheCursorOnce) {
  EXPECT_EQ(drag_->GetDragCursor(), nullptr);
  EXPECT_FALSE(drag_->IsDragging());
  EXPECT_TRUE(drag_->DragEnter(form_->GetHandle(), 5, 6));
  EXPECT_TRUE(drag_->IsDragging());
  EXPECT_EQ(drag_->GetDragWindow(), form_->GetHandle());
  const auto& calls = headless::GetDragCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].Name, "BeginDrag");
  EXPECT_EQ(calls[0].A, 0);
  EXPECT_EQ(calls[0].B, 0);
  EXPECT_EQ(calls[0].C, 0);
  EXPECT_EQ(calls[1].Name, "DragEnter");
  EXPECT_EQ(headless::GetCursorDisplayCount(), -1);
  // Entering the window that shows the image already does nothing.
  EXPECT_FALSE(drag_->DragEnter(form_->GetHandle(), 7, 7));
  EXPECT_EQ(headless::GetCursorDisplayCount(), -1);
  // Leaving and entering again keeps the drag and hides nothing twice.
  drag_->DragLeave();
  EXPECT_EQ(drag_->GetDragWindow(), nullptr);
  EXPECT_TRUE(drag_->IsDragging());
  EXPECT_TRUE(drag_->DragEnter(form_->GetHandle(), 1, 1));
  EXPECT_EQ(headless::GetCursorDisplayCount(), -1);

  EXPECT_TRUE(drag_->EndDrag());
  EXPECT_EQ(headless::GetCursorDisplayCount(), 0);
  EXPECT_FALSE(drag_->IsDragging());
  EXPECT_EQ(drag_->GetDragWindow(), nullptr);
  EXPECT_EQ(CountCalls("DragLeave"), 2);
  EXPECT_EQ(CountCalls("EndDrag"), 1);
  // Not dragging: nothing, and the cursor is not shown a second time.
  EXPECT_FALSE(drag_->EndDrag());
  EXPECT_EQ(headless::GetCursorDisplayCount(), 0);
  EXPECT_EQ(CountCalls("EndDrag"), 1);
}

TEST_F(DragImages, PointsAreRelativeToTheWholeWindow) {
  ASSERT_TRUE(drag_->BeginDrag(0, 3, 4));
  EXPECT_EQ(drag_->GetHotSpotX(), 3);
  EXPECT_EQ(drag_->GetHotSpotY(), 4);
  ASSERT_TRUE(drag_->DragEnter(form_->GetHandle(), 0, 0));
  headless::ClearDragCalls();
  drag_->DragMove(0, 0);
  const auto& calls = headless::GetDragCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Name, "DragMove");
  // Below and right of the window's corner by the frame and the title bar.
  EXPECT_EQ(calls[0].A, headless::kFrameSize);
  EXPECT_EQ(calls[0].B, headless::kFrameSize + headless::kCaptionHeight);
  const Point p = DragImageList::ClientToWindowPoint(form_->GetHandle(), 10, 20);
  EXPECT_EQ(p, (Point{headless::kFrameSize + 10, headless::kFrameSize + headless::kCaptionHeight + 20}));
  drag_->EndDrag();
}

TEST_F(DragImages, ShowHideAndTheDragCursor) {
  CursorHandle cursor = LoadResourceCursor(kColSizingCursorId);
  drag_->SetDragCursor(cursor);  // not dragging: stored only
  EXPECT_EQ(CountCalls("SetDragCursorImage"), 0);
  ASSERT_TRUE(drag_->BeginDrag(0, 0, 0));
  ASSERT_TRUE(drag_->DragEnter(form_->GetHandle(), 0, 0));
  // The cursor is merged at the drag image's hot spot in two steps.
  EXPECT_EQ(CountCalls("SetDragCursorImage"), 2);
  drag_->SetDragCursor(cursor);  // the same cursor: nothing merged again
  EXPECT_EQ(CountCalls("SetDragCursorImage"), 2);
  headless::ClearDragCalls();
  drag_->HideDragImage();
  drag_->ShowDragImage();
  const auto& calls = headless::GetDragCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Name, "DragShowNolock");
  EXPECT_EQ(calls[0].A, 0);
  EXPECT_EQ(calls[1].A, 1);
  drag_->EndDrag();
  EXPECT_EQ(drag_->GetDragCursor(), nullptr);
  EXPECT_EQ(headless::GetCursorDisplayCount(), 0);
  DestroyCursor(cursor);
}

TEST_F(DragImages, WithoutAnImageListEverythingIsANoOp) {
  drag_->GetImages().SetWidth(0);
  headless::ClearDragCalls();
  EXPECT_FALSE(drag_->BeginDrag(0, 0, 0));
  EXPECT_FALSE(drag_->DragEnter(form_->GetHandle(), 0, 0));
  EXPECT_FALSE(drag_->DragMove(1, 1));
  EXPECT_FALSE(drag_->HideDragImage());
  EXPECT_FALSE(drag_->EndDrag());
  EXPECT_TRUE(headless::GetDragCalls().empty());
  EXPECT_EQ(headless::GetCursorDisplayCount(), 0);
}

}  // namespace
}  // namespace tabulon
