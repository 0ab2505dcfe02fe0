#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/TextCleaning.h"

// Names come from players' machines and are shown on every screen, so no
// byte of them is trusted: a name is cleaned on the host and again by every
// machine that receives it.

// Names are at most this many characters (Unicode code points).
constexpr std::size_t MAX_NAME_CHARACTERS = 15;
// Nor more bytes than this on the wire (15 characters of up to 4 bytes).
constexpr std::size_t MAX_NAME_BYTES = 60;

// A name cleaned as text, up to MAX_NAME_CHARACTERS; with nothing left, "Player".
std::string cleanPlayerName(std::string_view raw);

// The form in which two names that look alike are one: compatibility
// normalization (NFKC) with what is drawn as nothing removed; case kept.
std::string foldedName(const std::string& name);

// The name, or "Name 2", "Name 3" ... (shortened to fit) when one of the
// taken names already is it in folded form.
std::string uniquePlayerName(const std::string& name, const std::vector<std::string>& taken);

// The name this machine's user logs in with, cleaned; "Player" if none.
std::string loginName();
