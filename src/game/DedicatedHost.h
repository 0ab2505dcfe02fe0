#pragma once

#include <atomic>
#include <cstdio>

// A host without a window and without an avatar of its own: it hosts,
// starts the game for the first player who joins (or at once when it has
// bots), and writes joins, leaves and kills to `log` as lines, until `stop`
// is set. The game's bots, password and name are taken as set on CGame.
// Returns the process's exit code: 1 when it could not host.
// Boxes become lines "quillstep: TEXT" on standard error.
int runDedicatedHost(std::FILE* log, const std::atomic<bool>& stop);

// The same until the process is asked to end (SIGINT or SIGTERM).
int runDedicatedHostUntilSignalled(std::FILE* log);
