// The common open and save dialogs. Paths are UTF-8; the filter and title
// are UTF-8 text shown to the user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "handles.h"

namespace tabulon {

enum class FileDialogMode : uint8_t { Open, Save };

// Options (the platform's OFN_* meaning).
constexpr uint32_t kOfnOverwritePrompt = 0x00000002;
constexpr uint32_t kOfnHideReadOnly = 0x00000004;
constexpr uint32_t kOfnPathMustExist = 0x00000800;
constexpr uint32_t kOfnFileMustExist = 0x00001000;
constexpr uint32_t kOfnExplorer = 0x00080000;
constexpr uint32_t kOfnLongNames = 0x00200000;
constexpr uint32_t kOfnEnableSizing = 0x00800000;

class FileDialog {
 public:
  FileDialog() = default;
  // "Описание|*.ext|Описание|*.*": description and pattern pairs.
  void SetFilter(const std::string& filter) { filter_ = filter; }
  const std::string& GetFilter() const { return filter_; }
  void SetInitialDir(const std::string& dir) { initial_dir_ = dir; }
  const std::string& GetInitialDir() const { return initial_dir_; }
  // The name shown in the file-name box on entry, the chosen path after.
  void SetFileName(const std::string& path) { file_name_ = path; }
  const std::string& GetFileName() const { return file_name_; }
  void SetTitle(const std::string& title) { title_ = title; }
  const std::string& GetTitle() const { return title_; }
  // Without a leading dot; empty adds none.
  void SetDefaultExt(const std::string& ext) { default_ext_ = ext; }
  const std::string& GetDefaultExt() const { return default_ext_; }
  void SetOptions(uint32_t options) { options_ = options; }
  uint32_t GetOptions() const { return options_; }
  void SetOwner(WindowHandle owner) { owner_ = owner; }
  WindowHandle GetOwner() const { return owner_; }
  // The filter pair chosen (1-based, as the platform counts them): the one
  // shown on entry, and the user's choice after Execute.
  void SetFilterIndex(int index) { filter_index_ = index; }
  int GetFilterIndex() const { return filter_index_; }
  void SetMode(FileDialogMode mode) { mode_ = mode; }
  FileDialogMode GetMode() const { return mode_; }

  // Shows the dialog; true with GetFileName() set when the user chose a
  // file, false (file name unchanged) when cancelled.
  bool Execute();

 private:
  std::string filter_;
  std::string initial_dir_;
  std::string file_name_;
  std::string title_;
  std::string default_ext_;
  uint32_t options_ = kOfnHideReadOnly | kOfnExplorer | kOfnEnableSizing;
  WindowHandle owner_ = nullptr;
  FileDialogMode mode_ = FileDialogMode::Open;
  int filter_index_ = 1;
};

std::unique_ptr<FileDialog> NewFileDialog();

}  // namespace tabulon
