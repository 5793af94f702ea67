#include "file_dialog.h"

namespace tabulon {

std::unique_ptr<FileDialog> NewFileDialog() { return std::make_unique<FileDialog>(); }

}  // namespace tabulon
