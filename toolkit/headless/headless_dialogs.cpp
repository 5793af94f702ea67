// Message boxes and file dialogs: recorded and answered from what a test
// queued.
#include <deque>

#include "applet.h"
#include "file_dialog.h"
#include "headless_peer.h"

namespace tabulon {
namespace {

struct DialogState {
  std::vector<headless::MessageBoxRecord> Boxes;
  std::function<void(const headless::MessageBoxRecord&)> BoxHook;
  std::deque<int> BoxAnswers;
  // A path (none: Cancel) and the filter pair chosen (0: as shown).
  std::deque<std::pair<std::optional<std::string>, int>> Answers;
  std::vector<headless::FileDialogRecord> Dialogs;
};

DialogState& Dialogs() {
  static DialogState state;
  return state;
}

}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  Dialogs().Boxes.push_back(headless::MessageBoxRecord{text, caption, flags});
  // A copy: the hook may show another box or replace itself.
  auto hook = Dialogs().BoxHook;
  if (hook) hook(Dialogs().Boxes.back());
  // A question nobody answered is answered "No", the answer that changes nothing.
  const unsigned buttons = flags & 0xF;
  if (buttons != kMbYesNo && buttons != kMbYesNoCancel) return kIdOk;
  auto& answers = Dialogs().BoxAnswers;
  if (answers.empty()) return kIdNo;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

namespace headless {
void QueueMessageBoxAnswer(int answer) { Dialogs().BoxAnswers.push_back(answer); }
}  // namespace headless

bool FileDialog::Execute() {
  Dialogs().Dialogs.push_back(headless::FileDialogRecord{mode_, filter_, initial_dir_, file_name_, title_,
                                                         default_ext_, options_, owner_});
  auto& answers = Dialogs().Answers;
  if (answers.empty()) return false;
  const auto [answer, filter_index] = answers.front();
  answers.pop_front();
  if (!answer) return false;
  file_name_ = *answer;
  if (filter_index > 0) filter_index_ = filter_index;
  return true;
}

namespace headless {

const std::vector<MessageBoxRecord>& GetMessageBoxes() { return Dialogs().Boxes; }
void ClearMessageBoxes() { Dialogs().Boxes.clear(); }
void SetMessageBoxHook(std::function<void(const MessageBoxRecord&)> hook) { Dialogs().BoxHook = std::move(hook); }
void QueueFileDialogAnswer(std::optional<std::string> path, int filter_index) {
  Dialogs().Answers.emplace_back(std::move(path), filter_index);
}
const std::vector<FileDialogRecord>& GetFileDialogs() { return Dialogs().Dialogs; }
void ResetDialogs() { Dialogs() = DialogState{}; }

}  // namespace headless
}  // namespace tabulon
