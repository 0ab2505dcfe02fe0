#pragma once

// The point of the world at the centre of the game view, in cells. It glides
// after the local avatar and keeps its place between games.
struct Camera {
    float x = 0.0f;
    float y = 0.0f;
};

extern Camera camera;

// One swinging cog wheel of the menu backdrop: n teeth around (cx, cy).
void drawCog(int n, float cx, float cy, float inner, float outer, float phase, float speed);
void drawBackground();
void drawDeathScreen(float releaseTimer);

#include <cstdint>
#include <string>
#include <vector>

class CGame;

// One line of the scoreboard shown while Tab is held.
struct ScoreLine {
    std::string  name;
    std::int32_t score     = 0;
    bool         alive     = true;
    int          roundTrip = -1;  // milliseconds to the host; -1 where this machine cannot know
    bool         own       = false;
};

// Every avatar in play, best score first (then by name).
std::vector<ScoreLine> scoreboardLines(const CGame& game);
void                   drawScoreboard(const std::vector<ScoreLine>& lines);
