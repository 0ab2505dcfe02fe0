#pragma once

#include <filesystem>
#include <string>

// Files the game writes for itself (settings, maps it was sent): written
// whole beside the old one and then put in its place at once, so a reader,
// or another copy of the game writing too, sees one or the other.

// Makes the folder and any missing parents; folders made here are the
// owner's alone, folders already there are left as they are.
bool makeFolders(const std::filesystem::path& folder);

// Replaces `target` with a new file holding `bytes`. The new file is
// owner-only from the call that creates it, never one that someone left
// there or a link they planted, and on the disk before it takes the name.
bool replaceFile(const std::string& target, const std::string& bytes);
