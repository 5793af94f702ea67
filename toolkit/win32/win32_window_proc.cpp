// The one window procedure of the backend, used as the class procedure of
// the toolkit's own classes and as the subclass procedure of the standard
// controls, and what the platform does with a message no one consumed.

#include <algorithm>
#include <set>

#include "form.h"
#include "win32_peer.h"

namespace tabulon {
namespace {

const wchar_t kPeerProperty[] = L"TabulonPeer";

// The icon resource of the program (resources/tabulon.rc).
constexpr int kProgramIconId = 1;

}  // namespace

void EnsureCommonControls() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  done = true;
}

Win32Peer* Win32Peer::FromWindow(HWND window) {
  return window == nullptr ? nullptr : static_cast<Win32Peer*>(GetPropW(window, kPeerProperty));
}

void SetPeerOf(HWND window, Win32Peer* peer) {
  if (peer != nullptr) {
    SetPropW(window, kPeerProperty, peer);
  } else {
    RemovePropW(window, kPeerProperty);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT id, WPARAM wparam, LPARAM lparam) {
  Win32Peer* peer = Win32Peer::FromWindow(window);
  // Messages of creation arrive before the peer is attached.
  if (peer == nullptr) return DefWindowProcW(window, id, wparam, lparam);
  if (id == WM_NCDESTROY) {
    // Destroyed by the platform rather than by the peer (which detaches
    // first): let the peer forget the window.
    peer->Detach();
    return DefWindowProcW(window, id, wparam, lparam);
  }
  Message m{id, wparam, lparam};
  intptr_t result = 0;
  bool consumed = peer->GetOwner().Dispatch(m, result);
  if (consumed) {
    // A paint handler that drew nothing must not leave the window invalid,
    // or WM_PAINT would come back for ever.
    if (id == WM_PAINT) ValidateRect(window, nullptr);
    return result;
  }
  // A handler may have destroyed the control.
  peer = Win32Peer::FromWindow(window);
  if (peer == nullptr) return DefWindowProcW(window, id, m.WParam, m.LParam);
  return peer->DefaultProcess(id, m.WParam, m.LParam);
}

void RegisterOwnClass(const std::wstring& name, UINT class_style, bool with_icon) {
  static std::set<std::wstring> registered;
  if (!registered.insert(name).second) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = class_style;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name.c_str();
  if (with_icon) {
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  }
  RegisterClassExW(&wc);
}

HWND ParkingWindow() {
  static HWND parking = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TabulonParking";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           wc.hInstance, nullptr);
  }();
  return parking;
}

LRESULT Win32Peer::DefaultProcess(UINT id, WPARAM wparam, LPARAM lparam) {
  switch (id) {
    case WM_SETCURSOR:
      if (cursor_ != nullptr && reinterpret_cast<HWND>(wparam) == hwnd_ && LOWORD(lparam) == HTCLIENT) {
        ::SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (Win32Peer* child = FromWindow(reinterpret_cast<HWND>(lparam)))
        return reinterpret_cast<LRESULT>(child->ColorBrush(reinterpret_cast<HDC>(wparam)));
      break;
    case WM_GETMINMAXINFO:
      // The frame may not be dragged smaller than the form's least client area.
      if (kind_ == ControlKind::Form) {
        const Size least = static_cast<Form&>(GetOwner()).GetMinClientSize();
        if (least.Width > 0 || least.Height > 0) {
          const Size w = WindowSizeForClient(least);
          auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
          info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, w.Width);
          info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, w.Height);
          return 0;
        }
      }
      break;
    case WM_COMMAND: {
      // Edit and list controls keep notifying the parent they were created
      // under after they were moved into another (an editor lent to the
      // grid): pass the notification on to the current parent.
      HWND child = reinterpret_cast<HWND>(lparam);
      if (child != nullptr && FromWindow(child) != nullptr) {
        HWND parent = ::GetParent(child);
        if (parent != nullptr && parent != hwnd_) return SendMessageW(parent, id, wparam, lparam);
      }
      break;
    }
    default:
      break;
  }
  if (original_proc_ != nullptr) return CallWindowProcW(original_proc_, hwnd_, id, wparam, lparam);
  switch (id) {
    case WM_ERASEBKGND: {
      RECT rc{};
      GetClientRect(hwnd_, &rc);
      FillRect(reinterpret_cast<HDC>(wparam), &rc, Background());
      return 1;
    }
    case WM_PAINT:
      if (kind_ == ControlKind::Panel && (options_ & kOptRaisedEdge) != 0) {
        PaintPanel();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, id, wparam, lparam);
}

}  // namespace tabulon
