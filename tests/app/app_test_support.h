// The program on the headless backend with real files in a fresh folder.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "headless_driver.h"
#include "program.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"
#include "text.h"

namespace tabulon {

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::ClearMessageBoxes();
    folder_ = std::make_unique<test::TempFolder>("tabulon-app");
    ASSERT_FALSE(folder_->Path().empty());
    dir_ = folder_->Path();
    program_ = NewProgram();
    win_ = &program_->GetMainWindow();
  }

  void TearDown() override {
    program_.reset();
    folder_.reset();
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  void Write(const std::string& name, const test::Bytes& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  test::Bytes Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return test::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The menu's load item with the dialog answered by the file's path.
  void Load(const std::string& name) {
    headless::QueueFileDialogAnswer(Path(name));
    headless::ChooseMenuItem(*win_->Window, 1);
  }

  std::string Cell(int col, int row) const { return win_->TableGrid->GetCellText(col, row); }
  std::string Status() const { return win_->StatusLabel->GetText(); }

  std::unique_ptr<test::TempFolder> folder_;
  std::string dir_;
  std::unique_ptr<Program> program_;
  MainWindow* win_ = nullptr;
};

}  // namespace tabulon
