// What the program tells the user about the engine's last error: refusals
// and missing memo files in the program's language, the engine's own
// English text for the rest.
#pragma once

#include <string>

#include "dbf_table.h"

namespace tabulon {

// The message for the table's ErrorCode and ErrorText (UTF-8).
std::string EngineMessage(const DbfTable& table);

}  // namespace tabulon
