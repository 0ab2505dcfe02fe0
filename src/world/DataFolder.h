#pragma once

#include <optional>
#include <string>
#include <vector>

// Where the game's data lives: the folder that holds Levels/. The game may
// be started from anywhere, so map paths relative to the data are resolved
// against the folder found at start-up rather than against the working
// folder.

// The map every hosted game is played on, relative to the data folder.
constexpr const char* GAME_MAP = "Levels/map2.raw";

// The folders to look in, in order: the working folder, the executable's
// folder, the installed data folder beside it (../share/quillstep), the
// source tree the program was built from, and the data folder it was
// configured to install to. Each appears once.
std::vector<std::string> dataFolderCandidates(const std::string& executableFolder);

// The first candidate that holds the game's map as a regular file.
std::optional<std::string> findDataFolder(const std::vector<std::string>& candidates);

// The folder of the running executable, or "" when it cannot be told.
std::string executableFolder();

// Makes relative data paths resolve against the folder ("" resolves them
// against the working folder, as before any search).
void setDataFolder(const std::string& folder);

// A path relative to the data folder as a path that opens from here;
// absolute paths stay as they are.
std::string dataPath(const std::string& relativePath);

// Where this user's copy of the game keeps what it makes or is sent (maps
// from hosts, demos): $XDG_DATA_HOME/quillstep/WHAT, else
// ~/.local/share/quillstep/WHAT; "" with neither.
std::string keptDataFolder(const std::string& what);
