// Text that reaches ftpsh from the server through the module: blocks the module handed
// over (the host's from then on), and server bytes made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ftpsh {

// The NUL-terminated text of a block the module handed over, which ftpsh now owns: read
// no further than the block reaches, then freed. "" for a null handle.
std::string TakeTextBlock(HGLOBAL block);

// The server's text with its control characters shown as ^X (^? for DEL), so that names
// and lines cannot move the cursor or clear the screen; tabs and bytes beyond ASCII stay.
std::string ShownText(std::string_view text);

}  // namespace ftpsh
