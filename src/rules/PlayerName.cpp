#include "rules/PlayerName.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr const char* NO_NAME = "Player";

// The length of the well-formed UTF-8 character at the start, or 0.
std::size_t characterLength(const std::string_view text) {
    const auto    lead   = static_cast<unsigned char>(text[0]);
    std::size_t   length = 0;
    std::uint32_t code   = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code   = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code   = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code   = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    // C1 control characters (U+0080 to U+009F) are refused like C0 ones.
    return code >= 0x80 && code <= 0x9F ? 0 : length;
}

// The first `count` characters of a clean name.
std::string firstCharacters(const std::string& name, const std::size_t count) {
    std::size_t at   = 0;
    std::size_t seen = 0;
    while (at < name.size() && seen < count) {
        at += std::max<std::size_t>(characterLength(std::string_view(name).substr(at)), 1);
        ++seen;
    }
    return name.substr(0, at);
}

}  // namespace

std::string cleanPlayerName(const std::string_view raw) {
    std::string clean;
    std::size_t characters = 0;
    bool        spaceDue   = false;
    for (std::size_t at = 0; at < raw.size() && characters < MAX_NAME_CHARACTERS;) {
        const std::size_t length = characterLength(raw.substr(at));
        if (length == 0) {
            ++at;  // a byte that starts no character
            continue;
        }
        const unsigned char first = static_cast<unsigned char>(raw[at]);
        if (length == 1 && (first < 0x20 || first == 0x7F || first == ' ')) {
            spaceDue = spaceDue || first == ' ';
            at += 1;
            continue;
        }
        if (spaceDue && !clean.empty()) {
            clean += ' ';
            ++characters;
            if (characters == MAX_NAME_CHARACTERS) {
                break;
            }
        }
        spaceDue = false;
        clean.append(raw.substr(at, length));
        ++characters;
        at += length;
    }
    while (!clean.empty() && clean.back() == ' ') {
        clean.pop_back();
    }
    return clean.empty() ? NO_NAME : clean;
}

std::string uniquePlayerName(const std::string& name, const std::vector<std::string>& taken) {
    const auto isTaken = [&](const std::string& candidate) {
        return std::find(taken.begin(), taken.end(), candidate) != taken.end();
    };
    if (!isTaken(name)) {
        return name;
    }
    for (int number = 2;; ++number) {
        const std::string suffix = " " + std::to_string(number);
        std::string       base   = firstCharacters(name, MAX_NAME_CHARACTERS - suffix.size());
        while (!base.empty() && base.back() == ' ') {
            base.pop_back();
        }
        if (!isTaken(base + suffix)) {
            return base + suffix;
        }
    }
}

std::string loginName() {
    if (const char* const user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return cleanPlayerName(user);
    }
    if (const passwd* const entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr) {
        return cleanPlayerName(entry->pw_name);
    }
    return NO_NAME;
}
