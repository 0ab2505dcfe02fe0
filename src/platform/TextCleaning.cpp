#include "platform/TextCleaning.h"

#include <utf8proc.h>

namespace {

// What a name may not hold: controls, format characters (the bidirectional
// overrides and isolates, zero-width joiners and spaces among them), line
// and paragraph separators, surrogates, private and unassigned code points,
// and whatever else Unicode says to draw as nothing.
bool isInvisible(const utf8proc_int32_t code) {
    switch (utf8proc_category(code)) {
        case UTF8PROC_CATEGORY_CC:
        case UTF8PROC_CATEGORY_CF:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP:
        case UTF8PROC_CATEGORY_CS:
        case UTF8PROC_CATEGORY_CO:
        case UTF8PROC_CATEGORY_CN:
            return true;
        default:
            return utf8proc_get_property(code)->ignorable;
    }
}

void append(std::string& text, const utf8proc_int32_t code) {
    utf8proc_uint8_t bytes[4];
    text.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(utf8proc_encode_char(code, bytes)));
}

}  // namespace

std::string cleanText(const std::string_view raw, const std::size_t maxCharacters) {
    std::string clean;
    std::size_t characters = 0;
    bool        spaceDue   = false;
    for (std::size_t at = 0; at < raw.size() && characters < maxCharacters;) {
        utf8proc_int32_t       code = 0;
        const utf8proc_ssize_t used = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(raw.data() + at),
                                                       static_cast<utf8proc_ssize_t>(raw.size() - at), &code);
        if (used <= 0) {
            ++at;  // a byte that starts no character
            continue;
        }
        at += static_cast<std::size_t>(used);
        if (utf8proc_category(code) == UTF8PROC_CATEGORY_ZS) {
            spaceDue = true;  // every kind of space, and runs of them, are one
            continue;
        }
        if (isInvisible(code)) {
            continue;
        }
        if (spaceDue && !clean.empty()) {
            clean += ' ';
            if (++characters == maxCharacters) {
                break;
            }
        }
        spaceDue = false;
        append(clean, code);
        ++characters;
    }
    return clean;
}
