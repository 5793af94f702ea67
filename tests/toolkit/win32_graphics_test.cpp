// The Win32 backend's drawing, resources and process-wide services:
// painting through the hook, the panel's edge, cursors from the program's
// resources, the drag image, message boxes, system services.
#include <gtest/gtest.h>

#include <string>

#include "applet.h"
#include "custom_control.h"
#include "file_dialog.h"
#include "form.h"
#include "image_list.h"
#include "input.h"
#include "panel.h"
#include "system.h"

#include <windows.h>
#undef DrawText  // the canvas call, not the wide function

namespace tabulon {
namespace {

HWND H(const Control& c) { return reinterpret_cast<HWND>(c.GetHandle()); }

COLORREF PixelOf(const Control& c, int x, int y) {
  HDC dc = GetDC(H(c));
  COLORREF p = ::GetPixel(dc, x, y);
  ReleaseDC(H(c), dc);
  return p;
}

class Win32Paint : public ::testing::Test {
 protected:
  void SetUp() override {
    form = NewForm("Paint");
    form->SetPosition(60, 60);
    form->SetClientSize(300, 200);
    form->Show();
    SetForegroundWindow(H(*form));
  }
  std::unique_ptr<Form> form;
};

TEST_F(Win32Paint, AHookPaintsThroughAnOffScreenBitmap) {
  auto grid = NewCustomControl(form.get(), CustomControlOptions{"TabulonPaintTest", kWsChild, kCsDblClks,
                                                                Rect{10, 10, 110, 60}});
  auto buffer = NewBitmap(10, 10);
  buffer->SetSize(100, 50);
  ASSERT_EQ(buffer->GetCanvas().GetSize(), (Size{100, 50}));
  int paints = 0;
  grid->SetMessageHook([&](Control& c, Message& m, intptr_t& result) {
    if (m.Id != kWmPaint) return false;
    ++paints;
    Canvas& b = buffer->GetCanvas();
    b.FillRect(Rect{0, 0, 100, 50}, NewRgb(255, 0, 0));
    b.FillRect(Rect{50, 0, 100, 50}, kClHighlight);
    auto screen = c.NewPaintCanvas(m);
    screen->CopyRect(Rect{0, 0, 100, 50}, b, Rect{0, 0, 100, 50});
    result = 0;
    return true;
  });
  grid->Invalidate();
  grid->Update();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(PixelOf(*grid, 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(*grid, 70, 10), GetSysColor(COLOR_HIGHLIGHT));
  // The paint session validated the window: no second paint is pending.
  grid->Update();
  EXPECT_EQ(paints, 1);
}

TEST_F(Win32Paint, CanvasDrawsTextEdgesAndStretchedCopies) {
  auto bitmap = NewBitmap(40, 20, 24);
  Canvas& c = bitmap->GetCanvas();
  c.FillRect(Rect{0, 0, 40, 20}, NewRgb(0, 0, 255));
  auto big = NewBitmap(80, 40);
  big->GetCanvas().CopyRect(Rect{0, 0, 80, 40}, c, Rect{0, 0, 40, 20});
  auto host = NewCustomControl(form.get(), CustomControlOptions{"TabulonPaintTest2", kWsChild, 0,
                                                                Rect{0, 0, 80, 40}});
  auto screen = host->NewWindowCanvas();
  screen->CopyRect(Rect{0, 0, 80, 40}, big->GetCanvas(), Rect{0, 0, 80, 40});
  EXPECT_EQ(PixelOf(*host, 79, 39), RGB(0, 0, 255));

  c.SetFont(Font("Arial", 10, kRussianCharSet));
  Size one = c.MeasureText("Ж");
  EXPECT_GT(one.Width, 0);
  EXPECT_GT(one.Height, 0);
  EXPECT_EQ(c.MeasureText("").Height, one.Height);
  EXPECT_GT(c.MeasureText("ЖЖ").Width, one.Width);
  c.SetBrushColor(NewRgb(255, 255, 255));
  EXPECT_GT(c.DrawText("&OK", Rect{0, 0, 40, 20}, kDtSingleLine | kDtCenter | kDtVCenter), 0);
}

TEST_F(Win32Paint, PanelsDrawTheirRaisedEdge) {
  auto panel = NewPanel(form.get(), PanelOptions{Align::Bottom, 41, true});
  panel->Update();
  Size s = panel->GetClientSize();
  EXPECT_EQ(s.Width, 300);
  EXPECT_EQ(panel->GetTop(), 200 - 41);
  EXPECT_EQ(PixelOf(*panel, 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelOf(*panel, s.Width - 1, s.Height - 1), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(PixelOf(*panel, 10, 10), GetSysColor(COLOR_BTNFACE));
}

TEST(Win32Resources, SizingCursorsLoadWithTheirHotSpots) {
  CursorHandle col = LoadResourceCursor(kColSizingCursorId);
  CursorHandle row = LoadResourceCursor(kRowSizingCursorId);
  ASSERT_NE(col, nullptr);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(GetCursorHotSpot(col), (Point{16, 14}));
  EXPECT_EQ(GetCursorHotSpot(row), (Point{14, 12}));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(col), &info));
  BITMAP mask{};
  GetObjectW(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  EXPECT_EQ(mask.bmHeight, 64);  // monochrome: AND and XOR masks stacked
  EXPECT_EQ(info.hbmColor, nullptr);
  DeleteObject(info.hbmMask);
  DestroyCursor(col);
  DestroyCursor(row);
  EXPECT_EQ(LoadResourceCursor(12345), nullptr);
  EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)), nullptr);
}

TEST_F(Win32Paint, TheControlsCursorShowsOverItsClientArea) {
  auto grid = NewCustomControl(form.get());
  CursorHandle col = LoadResourceCursor(kColSizingCursorId);
  grid->SetCursor(col);
  HWND w = H(*grid);
  EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_EQ(GetCursor(), reinterpret_cast<HCURSOR>(col));
  // Back to the class arrow: the platform's default answers again.
  grid->SetCursor(nullptr);
  SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  DestroyCursor(col);
}

TEST_F(Win32Paint, DragImageSequenceRunsOnTheCommonControls) {
  ImageList images;
  images.SetColorDepth(kIlcColorDdb);
  images.SetWidth(40);
  images.SetHeight(20);
  auto picture = NewBitmap(40, 20);
  picture->GetCanvas().FillRect(Rect{0, 0, 40, 20}, kClBtnFace);
  EXPECT_EQ(images.Add(*picture, nullptr), 0);
  EXPECT_EQ(images.GetCount(), 1);
  // The bitmap went back into its own DC afterwards.
  picture->GetCanvas().FillRect(Rect{0, 0, 40, 20}, NewRgb(1, 2, 3));

  WindowHandle w = form->GetHandle();
  ASSERT_TRUE(ImageListBeginDrag(images.GetHandle(), 0, 5, 6));
  Point hot;
  EXPECT_EQ(ImageListGetDragImage(nullptr, &hot) != nullptr, true);
  EXPECT_EQ(hot, (Point{5, 6}));
  EXPECT_TRUE(ImageListDragEnter(w, 30, 40));
  EXPECT_TRUE(ImageListDragMove(50, 60));
  EXPECT_TRUE(ImageListDragShowNolock(false));
  EXPECT_TRUE(ImageListDragShowNolock(true));

  // A cursor merged into the drag image.
  CursorHandle cursor = LoadResourceCursor(kColSizingCursorId);
  Size cs = GetCursorSize();
  ImageListHandle temp = ImageListCreate(cs.Width, cs.Height, kIlcMask, 1, 1);
  EXPECT_EQ(ImageListReplaceIcon(temp, -1, cursor), 0);
  EXPECT_EQ(ImageListReplaceIcon(temp, -1, cursor), 1);
  EXPECT_TRUE(ImageListSetDragCursorImage(temp, 1, hot.X, hot.Y));
  EXPECT_TRUE(ImageListDestroy(temp));

  EXPECT_TRUE(ImageListDragLeave(w));
  ImageListEndDrag();
  EXPECT_EQ(ImageListGetDragImage(nullptr, nullptr), nullptr);
  DestroyCursor(cursor);
  images.Clear();
  EXPECT_EQ(images.GetCount(), 0);
}

// What the timer found in the message box before pressing OK.
struct BoxSeen {
  std::wstring Caption;
  std::wstring Text;
  bool Found = false;
};
BoxSeen seen;

BOOL CALLBACK AnswerBox(HWND w, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(w, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  seen.Caption = text;
  GetDlgItemTextW(w, 0xFFFF, text, 256);  // the static text of a message box
  seen.Text = text;
  seen.Found = true;
  PostMessageW(w, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

TEST(Win32MessageBox, ShowsCyrillicTextAndIsAnsweredFromTheTestProcess) {
  seen = BoxSeen{};
  UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForBox);
  auto applet = NewApplet("tabulon");
  applet->ShowMessage("Таблица упакована");
  KillTimer(nullptr, timer);
  ASSERT_TRUE(seen.Found);
  EXPECT_EQ(seen.Caption, L"tabulon");
  EXPECT_EQ(seen.Text, L"\x0422\x0430\x0431\x043B\x0438\x0446\x0430 \x0443\x043F\x0430\x043A\x043E\x0432\x0430\x043D\x0430");

  seen = BoxSeen{};
  timer = SetTimer(nullptr, 0, 100, LookForBox);
  EXPECT_EQ(ShowMessageBox("x", "y", kMbOk | kMbTaskModal), kIdOk);
  KillTimer(nullptr, timer);
  EXPECT_EQ(seen.Caption, L"y");
}

// The file dialog's answer: a name typed into its file-name box, or Cancel.
std::wstring typed_name;

BOOL CALLBACK AnswerFileDialog(HWND w, LPARAM) {
  wchar_t text[64] = {};
  GetWindowTextW(w, text, 64);
  if (wcscmp(text, L"\x0424\x0430\x0439\x043B") != 0 || !IsWindowVisible(w)) return TRUE;  // "Файл"
  if (typed_name.empty()) {
    PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
  } else {
    SetDlgItemTextW(w, 0x47C, typed_name.c_str());  // the file-name box
    PostMessageW(w, WM_COMMAND, IDOK, 0);
  }
  return FALSE;
}

void CALLBACK LookForFileDialog(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerFileDialog, 0);
}

TEST(Win32FileDialog, GivesTheChosenPathInUtf8AndKeepsTheNameOnCancel) {
  auto dialog = NewFileDialog();
  dialog->SetMode(FileDialogMode::Save);
  dialog->SetTitle("Файл");
  dialog->SetFilter("Таблицы|*.dbf|Все|*.*");
  dialog->SetInitialDir("C:\\");
  dialog->SetFileName("old.dbf");

  typed_name.clear();
  UINT_PTR timer = SetTimer(nullptr, 0, 200, LookForFileDialog);
  EXPECT_FALSE(dialog->Execute());
  KillTimer(nullptr, timer);
  EXPECT_EQ(dialog->GetFileName(), "old.dbf");

  typed_name = L"C:\\\x0422\x0430\x0431\x043B\x0438\x0446\x0430.dbf";  // "Таблица"
  timer = SetTimer(nullptr, 0, 200, LookForFileDialog);
  EXPECT_TRUE(dialog->Execute());
  KillTimer(nullptr, timer);
  EXPECT_EQ(dialog->GetFileName(), "C:\\\xD0\xA2\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0.dbf");
}

TEST(Win32System, ServicesGiveUtf8PathsAndTheLocalTime) {
  std::string exe = GetProgramPath();
  ASSERT_GT(exe.size(), 4u);
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
  std::string temp = GetTempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  LocalTime t = GetLocalTime();
  EXPECT_GE(t.Year, 2000);
  EXPECT_GE(t.Month, 1);
  EXPECT_LE(t.Month, 12);
  EXPECT_EQ(ResolveColor(kClBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ResolveColor(NewRgb(1, 2, 3)), RGB(1, 2, 3));
}

}  // namespace
}  // namespace tabulon
