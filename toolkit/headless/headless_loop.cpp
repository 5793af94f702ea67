// The message loops: each turn delivers pending paints and then runs the
// next action a test queued, until the loop's end condition holds.
#include <algorithm>
#include <deque>

#include "form.h"
#include "headless_peer.h"

namespace tabulon {
namespace {

struct LoopState {
  std::deque<std::function<void(Form&)>> ModalActions;
  std::deque<std::function<void(Form&)>> MainActions;
  int Starved = 0;
  bool Terminated = false;
};

LoopState& Loops() {
  static LoopState state;
  return state;
}

}  // namespace

void ProcessPendingMessages() {
  // A paint may create or invalidate windows: walk a copy, re-checking.
  std::vector<HeadlessPeer*> peers = AllPeers();
  for (HeadlessPeer* peer : peers) {
    auto& all = AllPeers();
    if (std::find(all.begin(), all.end(), peer) == all.end()) continue;
    if (peer->IsInvalid() && peer->IsShowing()) peer->Paint();
  }
}

void TerminateMainLoop() { Loops().Terminated = true; }

void RunMainLoop(Form& main_form) {
  Loops().Terminated = false;
  while (!Loops().Terminated && !main_form.IsCloseAccepted()) {
    ProcessPendingMessages();
    if (Loops().MainActions.empty()) break;
    auto action = std::move(Loops().MainActions.front());
    Loops().MainActions.pop_front();
    action(main_form);
  }
  ProcessPendingMessages();
}

void RunModalLoop(Form& form) {
  // Every other shown form is disabled while this one is up.
  std::vector<HeadlessPeer*> disabled;
  for (HeadlessPeer* peer : AllPeers()) {
    if (peer->GetKind() == ControlKind::Form && &peer->GetOwner() != &form && peer->IsWindowEnabled()) {
      peer->SetEnabled(false);
      disabled.push_back(peer);
    }
  }
  form.Show();
  form.SetFocus();
  while (form.GetModalResult() == kMrNone) {
    ProcessPendingMessages();
    if (Loops().ModalActions.empty()) {
      ++Loops().Starved;
      form.SetModalResult(kMrCancel);
      break;
    }
    auto action = std::move(Loops().ModalActions.front());
    Loops().ModalActions.pop_front();
    action(form);
  }
  for (HeadlessPeer* peer : disabled) {
    auto& all = AllPeers();
    if (std::find(all.begin(), all.end(), peer) != all.end()) peer->SetEnabled(true);
  }
}

namespace headless {

void QueueModalAction(std::function<void(Form&)> action) { Loops().ModalActions.push_back(std::move(action)); }
int GetStarvedModalCount() { return Loops().Starved; }
void QueueMainLoopAction(std::function<void(Form&)> action) { Loops().MainActions.push_back(std::move(action)); }
void ResetLoops() { Loops() = LoopState{}; }

}  // namespace headless
}  // namespace tabulon
