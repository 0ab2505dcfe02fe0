#pragma once

#include <string>
#include <string_view>

// Text from another machine (a player's name, a host's name in a LAN reply)
// as one line that shows what it says: its well-formed UTF-8 characters up to
// maxCharacters, without controls, format characters (bidirectional
// overrides, zero-width spaces ...), line and paragraph separators or
// anything else drawn as nothing; every kind of space and every run of them
// one space, none at either end.
std::string cleanText(std::string_view raw, std::size_t maxCharacters);
