#include "draw/GameScreen.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "draw/Text.h"
#include "draw/WorldView.h"
#include "game/Game.h"
#include "platform/FrameState.h"
#include "platform/TextCleaning.h"
#include "platform/VirtualKeys.h"
#include "rules/Chat.h"
#include "rules/LineFeed.h"
#include "rules/Match.h"
#include "rules/PlayerName.h"
#include "rules/Replay.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

// One cell is this part of the window's half-height.
constexpr float CELL_SCALE = 0.0546875f;
constexpr float TEXT_LEFT  = -1.0f;

void filledQuad(const float left, const float bottom, const float right, const float top) {
    glBegin(GL_QUADS);
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glVertex2f(left, top);
    glEnd();
}

// A limit as the waiting screens show it: 0 is none.
std::string limitText(const std::int32_t value, const char* const unit) {
    return value > 0 ? std::to_string(value) + unit : std::string("none");
}

// Above the specified lines, so they keep their places, and a setting a
// line: together they were wider than a 400 x 300 window.
void drawMatchSetup(const CGame& game) {
    const MatchRules& rules = game.matchSetup;
    drawText(TEXT_LEFT, 0.4f, "Server: %s", cleanText(game.shownServerName(), MAX_SERVER_NAME_CHARACTERS).c_str());
    drawText(TEXT_LEFT, 0.3f, "Map: %s (M)", game.mapName().c_str());
    drawText(TEXT_LEFT, 0.2f, "Score limit: %s (S)", limitText(rules.scoreLimit, "").c_str());
    drawText(TEXT_LEFT, 0.1f, "Time limit: %s (D)", limitText(rules.timeLimit, " min").c_str());
}

// What a joined player waits for, as the host last told it: above the
// specified lines as on the host's screen, clear of the chat below them.
void drawWaitingRoom() {
    const LobbyMessage& room = lobby();
    if (room.map.empty()) {
        return;  // not heard yet
    }
    std::string players;
    for (const LobbyName& player : room.players) {
        players += (players.empty() ? "" : ", ") + cleanPlayerName(player.name);
    }
    drawText(TEXT_LEFT, 0.5f, "Server: %s", cleanText(room.serverName, MAX_SERVER_NAME_CHARACTERS).c_str());
    drawText(TEXT_LEFT, 0.4f, "Players: %s", players.c_str());
    drawText(TEXT_LEFT, 0.3f, "Bots: %d", static_cast<int>(room.bots));
    drawText(TEXT_LEFT, 0.2f, "Map: %s", cleanText(room.map, MAX_MAP_NAME_BYTES).c_str());
    drawText(TEXT_LEFT, 0.1f, "Score limit: %s   Time limit: %s", limitText(room.scoreLimit, "").c_str(),
             limitText(room.timeLimit, " min").c_str());
}

void drawStatusScreen(const CGame& game) {
    drawBackground();
    switch (game.state) {
        case state_start:
            drawText(TEXT_LEFT, 0.0f, "Welcome to Quillstep.");
            drawText(TEXT_LEFT, -0.1f, "Select a game to start.");
            break;
        case state_creating:
            drawText(TEXT_LEFT, 0.0f, "Creating server, please wait...");
            break;
        case state_hosting:
            drawMatchSetup(game);
            drawText(TEXT_LEFT, 0.0f, "Waiting for clients... ");
            drawText(TEXT_LEFT, -0.1f, "Press ENTER to start");
            if (game.fillTo > 0) {
                drawText(TEXT_LEFT, -0.2f, "Bots: %s, filling to %d (+ one more, - one less, L level)",
                         botLevelName(game.level), static_cast<int>(game.fillTo));
            } else {
                drawText(TEXT_LEFT, -0.2f, "Bots: %d, %s (+ adds one, - removes one, L level)",
                         static_cast<int>(game.bots), botLevelName(game.level));
            }
            // Re-read for every line: players come and go while the list is drawn.
            for (std::int32_t i = 0; game.server && i < game.server->clientCount(); ++i) {
                const std::optional<ClientRecord> record = game.server->getClient(i);
                if (record) {
                    const std::string name = record->id == (game.client ? game.client->localPlayerId() : 0)
                                                 ? game.localPlayerName()
                                                 : cleanPlayerName(record->name);
                    drawText(TEXT_LEFT, -0.3f - 0.1f * i, "Client %d, ID=%d, avgRTT:%d  %s", i,
                             static_cast<int>(record->id), static_cast<int>(record->avgRtt), name.c_str());
                }
            }
            break;
        case state_connecting:
            drawText(TEXT_LEFT, 0.0f, "Connecting to server %s as %s... [%d]", game.serverAddress.c_str(),
                     game.localPlayerName().c_str(), static_cast<int>(game.connectTimer));
            break;
        case state_connected:
            drawText(TEXT_LEFT, 0.0f, "Connected.");
            drawText(TEXT_LEFT, -0.1f, "Waiting for server to start the game...");
            drawWaitingRoom();
            break;
        default:
            break;
    }
}

// Where a world point falls in the window (-1 ... 1 both ways) with the
// game view's camera.
struct WindowPoint {
    float x;
    float y;
};
WindowPoint toWindow(const Camera& camera, const float worldX, const float worldY) {
    return {aspect * CELL_SCALE * (worldX - camera.x), -CELL_SCALE * (worldY - camera.y)};
}

void avatarColour(const Avatar& avatar) {
    if (avatar.hp <= 0) {
        glColor3ub(120, 16, 73);
    } else if (avatar.isOwn()) {
        glColor3ub(9, 225, 9);
    } else {
        glColor3f(0.8f, 0.1f, 0.0f);
    }
}

// Each avatar outside the view gets an arrow at the view's edge, in its
// colour, pointing at it.
void drawEdgeMarkers(const CGame& game) {
    constexpr float HALF_WIDTH  = 0.96f;  // the view's edges, a little inside
    constexpr float HALF_HEIGHT = 0.76f;
    constexpr float SIZE        = 0.045f;
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed) {
            continue;
        }
        const WindowPoint at =
            toWindow(game.camera, static_cast<float>(avatar->pos.x) + 0.5f, static_cast<float>(avatar->pos.y) + 0.5f);
        if (avatar == game.localAvatar || (std::fabs(at.x) <= HALF_WIDTH && std::fabs(at.y) <= HALF_HEIGHT)) {
            continue;
        }
        const float length = std::sqrt(at.x * at.x + at.y * at.y);
        const float scale  = std::min(HALF_WIDTH / std::fabs(at.x), HALF_HEIGHT / std::fabs(at.y));
        const float dx     = at.x / length;
        const float dy     = at.y / length;
        const float tipX   = at.x * scale;
        const float tipY   = at.y * scale;
        avatarColour(*avatar);
        glBegin(GL_TRIANGLES);
        glVertex2f(tipX, tipY);
        glVertex2f(tipX - dx * SIZE * 2.0f - dy * SIZE, tipY - dy * SIZE * 2.0f + dx * SIZE);
        glVertex2f(tipX - dx * SIZE * 2.0f + dy * SIZE, tipY - dy * SIZE * 2.0f - dx * SIZE);
        glEnd();
    }
}

struct Rgb {
    std::uint8_t r, g, b;
};

// One line of text in window units: glyphs are a fixed size in pixels, so a
// small window gives each line more of its height.
float lineStep() {
    return std::max(0.07f, 2.0f * (glyphPixelHeight() + 4) / static_cast<float>(screenHeight));
}

struct Box {
    float left, bottom, right, top;
    bool  overlaps(const Box& other) const {
         return left < other.right && other.left < right && bottom < other.top && other.bottom < top;
    }
};

// Where a line drawn at (x, y) stands, with a little room around it.
Box boxOf(const float x, const float y, const std::string& text) {
    const float padX = 4.0f / static_cast<float>(screenWidth);
    const float padY = 2.0f * 4.0f / static_cast<float>(screenHeight);
    const float high = 2.0f * glyphPixelHeight() / static_cast<float>(screenHeight);
    return {x - padX, y - padY, x + 2.0f * textWidth(text) / static_cast<float>(screenWidth) + padX, y + high};
}

// A line on a dark backing, so it reads over white walls as over floor.
void drawBackedLine(const float x, const float y, const std::string& text, const Rgb colour) {
    const Box box = boxOf(x, y, text);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    filledQuad(box.left, box.bottom, box.right, box.top);
    glDisable(GL_BLEND);
    glColor3ub(colour.r, colour.g, colour.b);
    drawText(x, y, "%s", text.c_str());
}

// Every avatar in view carries its name above it, in its colour; a name that
// would print over another's moves up a line.
void drawNames(const CGame& game) {
    std::vector<Box> taken;
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed || avatar->name.empty()) {
            continue;
        }
        const WindowPoint at =
            toWindow(game.camera, static_cast<float>(avatar->pos.x) + 0.5f, static_cast<float>(avatar->pos.y));
        const float x = at.x - textWidth(avatar->name) / static_cast<float>(screenWidth);
        float       y = at.y + 0.02f;
        if (std::fabs(at.x) > 1.0f || at.y < -0.8f || at.y > 0.8f) {
            continue;
        }
        for (int tries = 0; tries < 4; ++tries) {
            const Box box = boxOf(x, y, avatar->name);
            if (std::none_of(taken.begin(), taken.end(), [&](const Box& other) { return box.overlaps(other); })) {
                break;
            }
            y += lineStep();
        }
        taken.push_back(boxOf(x, y, avatar->name));
        const Rgb colour = avatar->hp <= 0              ? Rgb{110, 60, 80}
                           : avatar == game.localAvatar ? Rgb{9, 225, 9}
                                                        : Rgb{255, 90, 60};
        drawBackedLine(x, y, avatar->name, colour);
    }
}

// Who shot whom, joined or left lately, newest last, at the upper left of
// the game view.
void drawKillFeed() {
    float y = 0.74f;
    for (const LineFeed::Line& line : killFeed().lines()) {
        drawBackedLine(-0.97f, y, line.text, {255, 140, 60});
        y -= lineStep();
    }
}

// What players said, newest at the bottom of the view, above the line being
// typed; with Tab held, as many of the last 50 as the view holds, Page Up
// and Page Down scrolling through them.
void drawChat(const CGame& game) {
    float       y       = -0.77f;
    const float highest = -0.1f;
    if (game.chatOpen) {
        drawBackedLine(-0.97f, y, "Say: " + game.chatDraft + "_", {255, 255, 255});
        y += lineStep();
    }
    const bool               all = keys[VK_TAB] != 0;
    std::vector<std::string> shown;
    if (all) {
        for (const LineFeed::Line& line : chatFeed().history()) {
            shown.push_back(line.text);
        }
    } else {
        for (const LineFeed::Line& line : chatFeed().lines()) {
            shown.push_back(line.text);
        }
    }
    const std::size_t skipped = all ? std::min(game.chatScroll, shown.size()) : 0;
    for (auto line = shown.rbegin() + static_cast<std::ptrdiff_t>(skipped); line != shown.rend() && y < highest;
         ++line) {
        drawBackedLine(-0.97f, y, *line, {200, 230, 255});
        y += lineStep();
    }
}

// A short red edge around the view when the own avatar is hit.
void drawHitFlash(const float secondsLeft) {
    if (secondsLeft <= 0.0f) {
        return;
    }
    constexpr float EDGE = 0.05f;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 0.0f, 0.0f, std::min(0.6f, secondsLeft / HIT_FLASH_SECONDS * 0.6f));
    filledQuad(-1.0f, -0.8f, 1.0f, -0.8f + EDGE);
    filledQuad(-1.0f, 0.8f - EDGE, 1.0f, 0.8f);
    filledQuad(-1.0f, -0.8f, -1.0f + EDGE, 0.8f);
    filledQuad(1.0f - EDGE, -0.8f, 1.0f, 0.8f);
    glDisable(GL_BLEND);
}

// The time left and the leading score against the limits, at the top left
// where the game view leaves a strip; only while a match has limits.
void drawMatchLine() {
    const MatchState& match = currentMatch();
    if (!match.hasLimits() || match.isOver()) {
        return;
    }
    const std::vector<BoardLine> board    = currentBoard();
    const int                    lead     = board.empty() ? 0 : board[0].score;
    char                         line[96] = "";
    if (match.timeLimit > 0) {
        const int seconds = static_cast<int>(std::ceil(match.timeLeft));
        std::snprintf(line, sizeof line, "TIME %s    ", clockText(seconds).c_str());
    }
    const std::size_t used = std::strlen(line);
    if (match.scoreLimit > 0) {
        std::snprintf(line + used, sizeof line - used, "LEAD %d / %d", lead, static_cast<int>(match.scoreLimit));
    } else {
        std::snprintf(line + used, sizeof line - used, "LEAD %d", lead);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    drawText(-1.0f, 0.9f, "%s", line);
}

// Whom a view without an avatar follows, or that it goes freely; and
// where a demo stands.
void drawWatching(const CGame& game) {
    if (const Avatar* const followed = game.followedAvatar()) {
        drawText(-1.0f, -0.9f, "WATCHING %s  HP %d  AMMO %d  SCORE %d   (Left/Right, F)", followed->name.c_str(),
                 followed->hp, followed->ammo, followed->score);
    } else if (game.view.free) {
        drawText(-1.0f, -0.9f, "FREE VIEW   (arrows move, F follows)");
    }
    if (game.state != state_playback) {
        return;
    }
    const Replay& played = replay();
    char          line[96];
    std::snprintf(line, sizeof line, "DEMO %s / %s  x%g%s", clockText(static_cast<int>(played.elapsed())).c_str(),
                  clockText(static_cast<int>(played.length())).c_str(), static_cast<double>(game.playback.speed),
                  game.playback.paused ? "  paused" : "");
    drawBackedLine(0.05f, 0.8f, line, {255, 255, 255});
    if (played.atEnd()) {
        drawBackedLine(0.05f, 0.8f - lineStep(), played.verdict(),
                       played.firstDifference() ? Rgb{255, 90, 60} : Rgb{9, 225, 9});
    }
}

void drawGameView(const CGame& game) {
    glColor4ub(0, 0, 0, 0);
    glScalef(CELL_SCALE, -CELL_SCALE, 0.0f);
    glTranslatef(-game.camera.x, -game.camera.y, 0.0f);

    glEnable(GL_SCISSOR_TEST);
    glScissor(0, screenHeight / 10, screenWidth, screenHeight * 8 / 10);
    drawWorld(CWorld::instance());
    glDisable(GL_SCISSOR_TEST);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    if (const Avatar* const avatar = game.localAvatar) {
        drawText(-1.0f, -0.9f, "HP %4d    AMMO %4d    SCORE %06d   Powerups: %d", avatar->hp, avatar->ammo,
                 avatar->score, CWorld::instance().countPowerups());
    } else if (game.client || game.state == state_playback) {
        drawWatching(game);
    }
    drawText(0.5f, 0.9f, "FPS: %0.1f", fps);
    drawMatchLine();
    drawEdgeMarkers(game);
    drawNames(game);
    drawKillFeed();
    drawChat(game);
    drawHitFlash(game.hitFlash);
    if (currentMatch().isOver()) {
        drawEndScreen(currentMatch());
        return;
    }
    if (game.localAvatar != nullptr && game.localAvatar->hp <= 0) {
        drawDeathScreen(game.localAvatar->releaseTimer);
        if (!game.localAvatar->killedBy.empty()) {
            drawBackedLine(-0.2f, -0.17f - lineStep(), "Shot by " + game.localAvatar->killedBy, {255, 255, 255});
        }
    }
    if (keys[VK_TAB] != 0) {
        drawScoreboard(scoreboardLines(game));
    }
}

// Triangles for the points on a ring between two of them (indices wrap),
// each one halving the span: the middle of a polygon gets broad triangles
// and only its rim small ones. A software renderer pays for every screen
// tile a triangle touches, so this draws far faster than a fan of slivers
// or chords across the whole polygon.
void fillSpan(const std::vector<float>& cosines, const std::vector<float>& sines, const float radius, const int from,
              const int to) {
    if (to - from < 2) {
        return;
    }
    const int corners = static_cast<int>(cosines.size()) - 1;  // the last closes the ring
    const int middle  = (from + to) / 2;
    for (const int i : {from, middle, to}) {
        glVertex2f(cosines[i % corners] * radius, sines[i % corners] * radius);
    }
    fillSpan(cosines, sines, radius, from, middle);
    fillSpan(cosines, sines, radius, middle, to);
}

// The polygon through the points of a ring, as GL_TRIANGLES.
void fillRing(const std::vector<float>& cosines, const std::vector<float>& sines, const float radius) {
    const int corners = static_cast<int>(cosines.size()) - 1;
    const int third   = corners / 3;
    for (const int i : {0, third, 2 * third}) {
        glVertex2f(cosines[i] * radius, sines[i] * radius);
    }
    fillSpan(cosines, sines, radius, 0, third);
    fillSpan(cosines, sines, radius, third, 2 * third);
    fillSpan(cosines, sines, radius, 2 * third, corners);
}

}  // namespace

void drawGame(const CGame& game) {
    fitFontToView();
    glScalef(aspect, 1.0f, 0.0f);
    if (game.state == state_running || game.state == state_playback) {
        drawGameView(game);
        return;
    }
    drawStatusScreen(game);
    if (game.state == state_hosting || game.state == state_connected) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        drawChat(game);
    }
}

void drawScoreboard(const std::vector<ScoreLine>& lines) {
    constexpr float LINE   = 0.09f;
    const float     top    = 0.6f;
    const float     bottom = top - LINE * static_cast<float>(lines.size() + 1) - 0.06f;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
    filledQuad(-0.75f, std::max(bottom, -0.85f), 0.75f, top + 0.06f);
    glDisable(GL_BLEND);
    glColor3f(0.7f, 0.7f, 0.7f);
    drawText(-0.7f, top - 0.03f, "Player");
    drawText(0.05f, top - 0.03f, "Score");
    drawText(0.3f, top - 0.03f, "Alive");
    drawText(0.5f, top - 0.03f, "RTT");
    float y = top - 0.03f - LINE;
    for (const ScoreLine& line : lines) {
        if (y < -0.8f) {
            break;  // more players than the screen holds
        }
        if (line.own) {
            glColor3ub(255, 220, 40);
        } else {
            glColor3f(1.0f, 1.0f, 1.0f);
        }
        drawText(-0.7f, y, "%s", line.name.c_str());
        drawText(0.05f, y, "%d", line.score);
        drawText(0.3f, y, "%s", line.alive ? "yes" : "dead");
        if (line.roundTrip >= 0) {
            drawText(0.5f, y, "%d ms", line.roundTrip);
        } else {
            drawText(0.5f, y, "-");
        }
        y -= LINE;
    }
}

void drawEndScreen(const MatchState& match) {
    constexpr float LINE   = 0.08f;
    const float     top    = 0.62f;
    const auto      shown  = std::min<std::size_t>(match.board.size(), 12);
    const float     bottom = top - 0.3f - LINE * static_cast<float>(shown + 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.85f);
    filledQuad(-0.75f, bottom, 0.75f, top + 0.08f);
    glDisable(GL_BLEND);
    glColor3ub(255, 220, 40);
    drawText(-0.7f, top - 0.04f, "Match over: %s wins!", match.winner.c_str());
    glColor3f(0.7f, 0.7f, 0.7f);
    float y = top - 0.16f;
    drawText(-0.7f, y, "Player");
    drawText(0.05f, y, "Score");
    drawText(0.3f, y, "Kills");
    drawText(0.5f, y, "Deaths");
    glColor3f(1.0f, 1.0f, 1.0f);
    for (std::size_t i = 0; i < shown; ++i) {
        const BoardLine& line = match.board[i];
        y -= LINE;
        drawText(-0.7f, y, "%s", line.name.c_str());
        drawText(0.05f, y, "%d", static_cast<int>(line.score));
        drawText(0.3f, y, "%d", static_cast<int>(line.kills));
        drawText(0.5f, y, "%d", static_cast<int>(line.deaths));
    }
    glColor3ub(255, 220, 40);
    drawText(-0.7f, bottom + 0.05f, "Next: %s in %d", match.nextMap.c_str(), static_cast<int>(std::ceil(match.nextIn)));
}

void drawDeathScreen(const float releaseTimer) {
    glColor3f(0.8f, 0.1f, 0.0f);
    filledQuad(-0.27f, -0.17f, 0.32f, 0.17f);
    glColor3f(0.0f, 0.0f, 0.0f);
    filledQuad(-0.25f, -0.15f, 0.3f, 0.15f);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawText(-0.2f, 0.0f, "You're dead!");
    drawText(-0.2f, -0.1f, "Release in: %d", static_cast<int>(releaseTimer) + 1);
}

void drawBackground() {
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    glColor3ub(220, 220, 255);
    drawCog(80, 1.0f, -1.0f, 1.8f, 1.85f, 0.0f, 0.01f);
    glColor3ub(180, 180, 220);
    drawCog(40, 1.0f, 1.0f, 0.69f, 0.725f, 0.0f, 0.02f);
    glColor3ub(170, 170, 220);
    drawCog(40, 0.0f, 0.0f, 0.69f, 0.725f, 0.0f, -0.02f);
    glColor3ub(185, 185, 220);
    drawCog(20, -1.0f, 0.39f, 0.345f, 0.37f, 0.15707964f, 0.04f);

    // A blue haze, strongest at the upper left.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    glColor4ub(100, 100, 200, 0);
    glVertex2f(-1.1f, -1.0f);
    glColor4ub(100, 100, 200, 0);
    glVertex2f(1.1f, -1.0f);
    glColor4ub(100, 100, 200, 0);
    glVertex2f(1.1f, 0.5f);
    glColor4ub(100, 100, 200, 128);
    glVertex2f(-1.1f, 0.5f);
    glEnd();
    glDisable(GL_BLEND);

    glColor3f(0.0f, 0.0f, 0.0f);
}

void drawCog(const int n, const float cx, const float cy, const float inner, const float outer, const float phase,
             const float speed) {
    constexpr float TWO_PI = 6.2831855f;
    glPushMatrix();
    glTranslatef(cx, cy, 0.0f);
    const float step  = TWO_PI / static_cast<float>(2 * n);
    const float swing = std::sin(elapsedTime) * 10.0f * speed * TWO_PI;
    // The rim's angles, each as the outline has it.
    std::vector<float> cosines;
    std::vector<float> sines;
    float              a = 0.0f;
    for (int i = 0; i <= 2 * n; ++i) {
        const float angle = swing + a + phase;
        cosines.push_back(std::cos(angle));
        sines.push_back(std::sin(angle));
        a += step;
    }
    // The body: the polygon through the inner points.
    glBegin(GL_TRIANGLES);
    fillRing(cosines, sines, inner);
    glEnd();
    // The teeth: from each odd angle to the next.
    glBegin(GL_QUADS);
    for (int i = 1; i < 2 * n; i += 2) {
        glVertex2f(cosines[i] * inner, sines[i] * inner);
        glVertex2f(cosines[i] * outer, sines[i] * outer);
        glVertex2f(cosines[i + 1] * outer, sines[i + 1] * outer);
        glVertex2f(cosines[i + 1] * inner, sines[i + 1] * inner);
    }
    glEnd();
    glPopMatrix();
}
