#pragma once

// The table of game messages in docs/network-protocol.md, made from the
// messages' descriptions: a line per message, then each one's layout.

#include <optional>
#include <string>

constexpr const char* TABLE_BEGIN = "<!-- game messages: made by `make protocol-table`, do not edit by hand -->";
constexpr const char* TABLE_END   = "<!-- end of game messages -->";

std::string gameMessageTable();

// The document with the text between its markers replaced by the table;
// nothing when the markers are missing.
std::optional<std::string> withGameMessageTable(const std::string& document);
