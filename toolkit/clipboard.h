// The clipboard's text, in UTF-8 with lines ended by CR LF; the
// backends convert it to and from what the platform keeps.
#pragma once

#include <string>

namespace tabulon {

// Puts text on the clipboard in place of what it held; false when the
// clipboard could not be had (another program holds it open).
bool SetClipboardText(const std::string& text);
// The clipboard's text; empty when it holds none.
std::string GetClipboardText();

}  // namespace tabulon
