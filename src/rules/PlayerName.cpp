#include "rules/PlayerName.h"

#include <pwd.h>
#include <unistd.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/TextCleaning.h"

namespace {

constexpr const char* NO_NAME = "Player";

// The first `count` characters of a clean text.
std::string firstCharacters(const std::string& text, const std::size_t count) {
    std::size_t at   = 0;
    std::size_t seen = 0;
    while (at < text.size() && seen < count) {
        utf8proc_int32_t code = 0;
        at += static_cast<std::size_t>(
            std::max<utf8proc_ssize_t>(utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                                        static_cast<utf8proc_ssize_t>(text.size() - at), &code),
                                       1));
        ++seen;
    }
    return text.substr(0, at);
}

}  // namespace

std::string cleanPlayerName(const std::string_view raw) {
    std::string clean = cleanText(raw, MAX_NAME_CHARACTERS);
    return clean.empty() ? NO_NAME : clean;
}

std::string foldedName(const std::string& name) {
    utf8proc_uint8_t*      folded = nullptr;
    const utf8proc_ssize_t length = utf8proc_map(
        reinterpret_cast<const utf8proc_uint8_t*>(name.data()), static_cast<utf8proc_ssize_t>(name.size()), &folded,
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT | UTF8PROC_IGNORE));
    std::string result =
        length >= 0 ? std::string(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(length)) : name;
    std::free(folded);
    return cleanText(result, MAX_NAME_CHARACTERS * 4);
}

std::string uniquePlayerName(const std::string& name, const std::vector<std::string>& taken) {
    std::vector<std::string> takenForms(taken.size());
    std::transform(taken.begin(), taken.end(), takenForms.begin(), foldedName);
    const auto isTaken = [&](const std::string& candidate) {
        return std::find(takenForms.begin(), takenForms.end(), foldedName(candidate)) != takenForms.end();
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
