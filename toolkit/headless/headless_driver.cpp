// The test driver: the user's actions as the platform would turn them into
// messages, and the backend's records.
#include "button.h"
#include "edit.h"
#include "headless_peer.h"
#include "input.h"
#include "list_box.h"
#include "menu.h"

namespace tabulon {
namespace headless {
namespace {

HeadlessPeer& PeerOf(const Control& control) { return static_cast<HeadlessPeer&>(control.GetPeer()); }

}  // namespace

void Reset() {
  FocusedPeer() = nullptr;
  ResetInput();
  ResetDialogs();
  ResetSystem();
  ResetLoops();
  ResetDrag();
  ClearDeliveredMessages();
}

intptr_t SendMessageTo(Control& control, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  return PeerOf(control).Send(id, wparam, lparam);
}

void SendMouse(Control& control, uint32_t id, int x, int y, uint32_t keys) {
  SetCursorScreenPos(control.ClientToScreen(Point{x, y}));
  PeerOf(control).Send(id, keys, MakeLParam(x, y));
}

void PressKey(Control& control, int virtual_key) {
  HeadlessPeer& peer = PeerOf(control);
  peer.Send(kWmKeyDown, uintptr_t(virtual_key), 1);
  // The character the platform's message loop makes of the key; of the
  // keys tests press only Enter has one a control acts on.
  if (virtual_key == kVkReturn)
    peer.Send(kWmChar, GetKeyState(kVkControl) < 0 ? '\n' : '\r', 1);
  peer.Send(kWmKeyUp, uintptr_t(virtual_key), intptr_t(0xC0000001u));
}

void ClickButton(Control& button) {
  HeadlessPeer& peer = PeerOf(button);
  if (!peer.IsWindowEnabled()) return;
  peer.SetFocus();
  if (button.GetKind() == ControlKind::CheckBox)
    peer.Send(kBmSetCheck, peer.Send(kBmGetCheck, 0, 0) ? 0 : 1, 0);
  peer.NotifyParent(kBnClicked);
}

void TypeText(Edit& edit, const std::string& text) { PeerOf(edit).Type(text); }

void ChooseLine(ListBox& list, int index, bool double_click) {
  HeadlessPeer& peer = PeerOf(list);
  peer.SetFocus();
  peer.Send(kLbSetCurSel, uintptr_t(intptr_t(index)), 0);
  peer.NotifyParent(kLbnSelChange);
  if (double_click) peer.NotifyParent(kLbnDblClk);
}

int GetLineBatches(const ListBox& list) { return PeerOf(list).GetBatchCount(); }

void ChooseItem(ComboBox& combo, int index) {
  HeadlessPeer& peer = PeerOf(combo);
  peer.Send(kCbSetCurSel, uintptr_t(intptr_t(index)), 0);
  peer.NotifyParent(kCbnSelChange);
}

void ChooseMenuItem(Form& form, int index) {
  PeerOf(form).Deliver(kWmCommand, MakeWParam(uint16_t(MenuBar::kMenuCommandBase + index), 0), 0);
}

void PressCloseBox(Form& form) { PeerOf(form).Deliver(kWmClose, 0, 0); }

bool IsWindowEnabled(const Control& control) { return PeerOf(control).IsWindowEnabled(); }
bool IsInvalidated(const Control& control) { return PeerOf(control).IsInvalid(); }
int GetPaintCount(const Control& control) { return PeerOf(control).GetPaintCount(); }

std::vector<Message> GetDeliveredMessages(const Control& control) { return PeerOf(control).GetDelivered(); }

void ClearDeliveredMessages() {
  for (HeadlessPeer* peer : AllPeers()) peer->ClearDelivered();
}

HeadlessCanvas& GetWindowSurface(const Control& control) { return PeerOf(control).GetSurface(); }

}  // namespace headless
}  // namespace tabulon
