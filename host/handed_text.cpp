// Taking over the module's text blocks and showing the server's bytes.
#include "host/handed_text.h"

#include <cstring>

namespace ftpsh {

std::string TakeTextBlock(HGLOBAL block) {
    if (block == nullptr) return "";
    std::string text;
    if (const auto* start = static_cast<const char*>(GlobalLock(block))) {
        text.assign(start, strnlen(start, GlobalSize(block)));
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return text;
}

std::string ShownText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t') {
            shown += '^';
            shown += static_cast<char>(byte + 0x40);
        } else if (byte == 0x7F) {
            shown += "^?";
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace ftpsh
