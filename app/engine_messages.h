// What the program tells the user about the engine's last error: refusals
// and missing memo files in the program's language, the engine's own
// English text for the rest.
#pragma once

#include <string>

#include <cstdint>

namespace tabulon {

// The message for an engine error code and the engine's text of it (UTF-8).
std::string EngineMessage(uint8_t code, const std::string& engine_text);

}  // namespace tabulon
