#pragma once

// Everything on screen but the map and the objects: the menu backdrop, the
// status lines of each state, the game view that follows the local avatar,
// the head-up display and the death screen. Drawing changes nothing.

#include <vector>

#include "game/Game.h"
#include "rules/Match.h"

// The screen of the game's state, in the current OpenGL context.
void drawGame(const CGame& game);

// One swinging cog wheel of the menu backdrop: n teeth around (cx, cy).
void drawCog(int n, float cx, float cy, float inner, float outer, float phase, float speed);
void drawBackground();
void drawDeathScreen(float releaseTimer);
void drawScoreboard(const std::vector<ScoreLine>& lines);
// The final board of a match, its winner and the next map.
void drawEndScreen(const MatchState& match);
