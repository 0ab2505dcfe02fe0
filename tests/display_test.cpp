#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GameDoubles.h"
#include "Pixels.h"
#include "TestSupport.h"
#include "draw/GameScreen.h"
#include "draw/Text.h"
#include "draw/WorldView.h"
#include "game/Controls.h"
#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "rules/Chat.h"
#include "rules/Executor.h"
#include "rules/LineFeed.h"
#include "rules/Match.h"
#include "shell/ConnectDialog.h"
#include "shell/Gamepads.h"
#include "shell/Mainfile.h"
#include "shell/Menu.h"
#include "shell/Options.h"
#include "shell/Sound.h"
#include "shell/Window.h"
#include "shell/WindowProc.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

// The program as a player starts it, on a private X server.
class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        resetGame();
        ASSERT_TRUE(startGame(&platform));  // no box may wait for a click that never comes
        handleGameCommand = [this](const int command) {
            commands.push_back(command);
            CGame::instance().handleCommand(command);
        };
        frameTime = 0.0f;
        settle();
    }
    void TearDown() override {
        for (const auto& shown : platform.shown) {
            std::printf("box \"%s\": %s\n", shown.title.c_str(), shown.text.c_str());
        }
        resetGame();
        endGame();
    }

    // Draws a frame and reads back the drawing area (row 0 at the bottom).
    void render() {
        renderFrame();
        image.width  = screenWidth;
        image.height = screenHeight;
        image.rgb.assign(static_cast<std::size_t>(screenWidth * screenHeight * 3), 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, screenWidth, screenHeight, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    }

    Rgb at(const int x, const int y) const { return image.at(x, y); }

    // The pixel under a point given in window coordinates (-1 ... 1 both ways).
    Rgb atWindow(const float x, const float y) const {
        return at(static_cast<int>((x + 1.0f) * 0.5f * screenWidth),
                  static_cast<int>((y + 1.0f) * 0.5f * screenHeight));
    }

    // A single-player game from a fixed seed, the camera on the own avatar.
    Avatar& playAlone() {
        std::srand(7);
        handleGameCommand(cmd_new_single_player);
        Avatar& own              = *CGame::instance().localAvatar;
        CGame::instance().camera = {static_cast<float>(own.pos.x), static_cast<float>(own.pos.y)};
        return own;
    }

    // The same for the status screens, whose x axis is scaled by the aspect.
    Rgb atStatus(const float x, const float y) const { return atWindow(x * aspect, y); }

    // The leftmost dark pixel in rows between two heights given in window coordinates.
    int leftmostDark(const float fromY, const float toY) const {
        const int top = static_cast<int>((toY + 1.0f) * 0.5f * screenHeight);
        for (int x = 0; x < screenWidth; ++x) {
            for (int y = static_cast<int>((fromY + 1.0f) * 0.5f * screenHeight); y < top; ++y) {
                const Rgb c = at(x, y);
                if (c[0] < 80 && c[1] < 80 && c[2] < 80) {
                    return x;
                }
            }
        }
        return -1;
    }

    // The rightmost dark pixel in rows between two heights given in window coordinates.
    int rightmostDark(const float fromY, const float toY) const {
        int found = -1;
        for (int y = static_cast<int>((fromY + 1.0f) * 0.5f * screenHeight);
             y < static_cast<int>((toY + 1.0f) * 0.5f * screenHeight); ++y) {
            for (int x = found + 1; x < screenWidth; ++x) {
                const Rgb c = at(x, y);
                found       = c[0] < 80 && c[1] < 80 && c[2] < 80 ? x : found;
            }
        }
        return found;
    }

    void resizeTo(const int width, const int height) {
        SDL_SetWindowSize(gameWindow(), width, height);
        for (int i = 0; i < 50 && screenWidth != width; ++i) {
            pass();
            SDL_Delay(10);
        }
        ASSERT_EQ(screenWidth, width);
    }

    // Lets the desktop's own events of a new window pass, so that the events a
    // test pushes are the next ones a pass takes.
    void settle() {
        Uint32 quietSince = SDL_GetTicks();
        for (int i = 0; i < 500 && SDL_GetTicks() - quietSince < 100; ++i) {
            SDL_PumpEvents();
            SDL_Event waiting;
            if (SDL_PeepEvents(&waiting, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
                pass();
                quietSince = SDL_GetTicks();
            } else {
                SDL_Delay(5);
            }
        }
        commands.clear();
    }

    // Runs passes until the condition holds; the desktop may slip a pass
    // without an event in between, so tests wait for effects, not counts.
    bool passUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 20 && running; ++i) {
            if (condition()) {
                return true;
            }
            pass();
        }
        return condition();
    }

    // Runs passes of the frame loop.
    void pass(const int count = 1) {
        for (int i = 0; i < count; ++i) {
            running = runPass();
        }
    }

    void pushKey(const Uint32 type, const SDL_Keycode key, const Uint16 mod = KMOD_NONE, const Uint8 repeat = 0) {
        SDL_Event event{};
        event.type           = type;
        event.key.windowID   = SDL_GetWindowID(gameWindow());
        event.key.keysym.sym = key;
        event.key.keysym.mod = mod;
        event.key.repeat     = repeat;
        event.key.state      = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&event);
    }

    void pushWindowEvent(const Uint8 what) {
        SDL_Event event{};
        event.type            = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(gameWindow());
        event.window.event    = what;
        SDL_PushEvent(&event);
    }

    ScriptedPlatform platform;
    Pixels           image;
    std::vector<int> commands;
    bool             running = true;
};

TEST_F(Desktop, StartScreenShowsCogsOnWhiteAndBlackTextAtTheLeftMargin) {
    render();
    EXPECT_EQ(atStatus(-1.25f, 0.9f), (Rgb{255, 255, 255}));
    EXPECT_EQ(atStatus(1.0f, 0.8f), (Rgb{180, 180, 220})) << "the cog at the upper right";
    EXPECT_EQ(atStatus(1.0f, -0.9f), (Rgb{220, 220, 255})) << "the large cog at the lower right";
    const int margin = static_cast<int>((1.0f - aspect) * 0.5f * screenWidth);
    const int text   = leftmostDark(0.0f, 0.08f);
    EXPECT_GE(text, margin - 1);
    EXPECT_LE(text, margin + 6);

    SDL_SetWindowSize(gameWindow(), 800, 300);
    for (int i = 0; i < 50 && screenWidth != 800; ++i) {
        pass();
        SDL_Delay(10);
    }
    ASSERT_EQ(screenWidth, 800);
    render();
    const int widerMargin = static_cast<int>((1.0f - aspect) * 0.5f * screenWidth);
    EXPECT_GT(widerMargin, margin + 100);
    const int widerText = leftmostDark(0.0f, 0.08f);
    EXPECT_GE(widerText, widerMargin - 1);
    EXPECT_LE(widerText, widerMargin + 6);
}

TEST_F(Desktop, RunningGameShowsTheMapTheGreenAvatarAndTheHeadUpDisplay) {
    Avatar& avatar = playAlone();
    render();

    const float  cell       = 0.0546875f;
    const Camera camera     = CGame::instance().camera;
    const auto   cellCentre = [&](const int x, const int y) {
        return atWindow(aspect * cell * (static_cast<float>(x) + 0.5f - camera.x),
                          -cell * (static_cast<float>(y) + 0.5f - camera.y));
    };
    EXPECT_EQ(cellCentre(avatar.pos.x, avatar.pos.y), (Rgb{9, 225, 9}));

    // A wall and a floor cell near the avatar with nothing on them.
    bool sawWall  = false;
    bool sawFloor = false;
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -5; dx <= 5; ++dx) {
            const Position cellPos{avatar.pos.x + dx, avatar.pos.y + dy};
            if (!BETWEEN(cellPos.x, 0, MAPSIZE - 1) || !BETWEEN(cellPos.y, 0, MAPSIZE - 1) ||
                std::abs(dx) + std::abs(dy) < 3 || dy == -1 || dy == -2) {  // its name stands above it
                continue;
            }
            bool occupied = false;
            for (const auto& object : CWorld::instance().getObjects()) {
                occupied =
                    occupied || (std::abs(object->pos.x - cellPos.x) <= 1 && std::abs(object->pos.y - cellPos.y) <= 1);
            }
            if (occupied) {
                continue;
            }
            const bool wall = CWorld::instance().isBlocked(cellPos);
            EXPECT_EQ(cellCentre(cellPos.x, cellPos.y), wall ? (Rgb{255, 255, 255}) : (Rgb{51, 51, 51}))
                << cellPos.x << "," << cellPos.y;
            (wall ? sawWall : sawFloor) = true;
        }
    }
    EXPECT_TRUE(sawFloor);

    // The top and bottom tenths stay black but for the text in them.
    EXPECT_EQ(at(screenWidth - 2, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(at(2, screenHeight - 2), (Rgb{0, 0, 0}));
    EXPECT_EQ(at(screenWidth / 4, screenHeight - 3), (Rgb{0, 0, 0}));
    EXPECT_GT(image.count({255, 255, 255}, 0, 0, screenWidth / 2, screenHeight / 10), 40) << "the head-up display";

    avatar.hp           = 0;
    avatar.releaseTimer = 3.0f;
    render();
    const Rgb frame = atWindow(-0.26f, 0.0f);
    EXPECT_EQ(frame[0], 204);
    EXPECT_NEAR(frame[1], 25, 1);
    EXPECT_EQ(frame[2], 0);
    EXPECT_EQ(atWindow(0.27f, 0.12f), (Rgb{0, 0, 0})) << "the death panel is black inside";
}

TEST_F(Desktop, TheMapIsRecordedOnceAndAgainForANewMap) {
    CWorld& world = CWorld::instance();
    world.clearObjects();
    ASSERT_TRUE(world.loadMap("Levels/map2.raw"));
    const auto drawAndRead = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glScalef(2.0f / MAPSIZE, -2.0f / MAPSIZE, 1.0f);
        glTranslatef(-MAPSIZE / 2.0f, -MAPSIZE / 2.0f, 0.0f);
        drawWorld(world);
        std::vector<std::uint8_t> read(static_cast<std::size_t>(screenWidth * screenHeight * 3));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, screenWidth, screenHeight, GL_RGB, GL_UNSIGNED_BYTE, read.data());
        return read;
    };
    const auto recorded = drawAndRead();
    EXPECT_TRUE(drawAndRead() == recorded) << "the second draw replays the list";
    ASSERT_TRUE(world.loadMap(writeMapFile(enclosedMap({{20, 20}})).c_str()));
    EXPECT_FALSE(drawAndRead() == recorded) << "a new map is recorded anew";
}

// Each overlay of the game view shows in its colour, where it belongs, only
// while it is due: the own line of the scoreboard while Tab is held, a kill
// line for a few seconds, an arrow at the edge while an avatar is out of view.
TEST_F(Desktop, EachOverlayShowsInItsColourWhereItBelongsWhileItIsDue) {
    Avatar& own       = playAlone();
    own.name          = "Ann";
    const int  w      = screenWidth;
    const int  h      = screenHeight;
    const auto yellow = [&] { return image.count({255, 220, 40}, 0, 0, w, h); };
    const auto orange = [&] { return image.count({255, 140, 60}, 0, h / 2, w / 2, h); };
    const auto arrows = [&] {
        const auto red = [](const Rgb& c) { return c[0] == 204 && c[1] >= 25 && c[1] <= 26 && c[2] == 0; };
        return image.count(red, 0, 0, w, h) - image.count(red, w / 8, h / 5, w * 7 / 8, h * 4 / 5);
    };
    render();
    EXPECT_EQ(yellow() + orange() + arrows(), 0);

    keys[VK_TAB] = 1;
    render();
    keys[VK_TAB] = 0;
    EXPECT_GT(yellow(), 10) << "the own line stands out";
    const Rgb panel = atWindow(-0.73f, 0.64f);  // inside the board, clear of its text
    EXPECT_LT(panel[0] + panel[1] + panel[2], 3 * 70) << "the board darkens the game behind it";

    killFeed().add("Ann shot Bob");
    render();
    EXPECT_GT(orange(), 10);
    frameTime = KILL_LINE_SECONDS;
    CGame::instance().update();
    frameTime = 0.0f;

    Position far{own.pos.x < MAPSIZE / 2 ? MAPSIZE - 2 : 1, own.pos.y};
    while (CWorld::instance().isBlocked(far)) {
        far.y = far.y % (MAPSIZE - 2) + 1;
    }
    auto other   = std::make_unique<Avatar>();
    other->pos   = far;
    Avatar& seen = static_cast<Avatar&>(*CWorld::instance().addObject(std::move(other)));
    render();
    EXPECT_EQ(yellow() + orange(), 0) << "Tab released, the kill line gone";
    EXPECT_GT(arrows(), 10) << "a red arrow at the edge, towards the other avatar";
    seen.pos = own.pos;
    render();
    EXPECT_EQ(arrows(), 0);
}

// With limits, the time left and the lead stand in the top strip; a match's
// end shows the board over the darkened game, the winner and the next map
// in yellow, in place of the death panel.
TEST_F(Desktop, TheMatchLineWhileLimitsRunAndTheEndScreenAfter) {
    Avatar&    own     = playAlone();
    const int  w       = screenWidth;
    const int  h       = screenHeight;
    const auto topLeft = [&] { return image.count({255, 255, 255}, 0, h * 9 / 10, w / 2, h); };
    render();
    EXPECT_EQ(topLeft(), 0) << "no limits, no line";
    MatchState& match = currentMatch();
    match.scoreLimit  = 500;
    match.timeLimit   = 5;
    match.timeLeft    = 200.0f;
    render();
    EXPECT_GT(topLeft(), 20);

    own.hp           = 0;
    own.releaseTimer = 3.0f;
    match.phase      = match_over;
    match.winner     = "Ann";
    match.nextMap    = "arena";
    match.nextIn     = 7.0f;
    match.board      = {{own.id, "Ann", 500, 5, 1}, {own.id + 1, "Bob", 300, 3, 5}};
    render();
    EXPECT_GT(image.count({255, 220, 40}, 0, 0, w, h), 40) << "the winner and the next map";
    EXPECT_EQ(topLeft(), 0);
    const Rgb inside = atWindow(-0.73f, 0.0f);
    EXPECT_LT(inside[0] + inside[1] + inside[2], 3 * 50) << "the board darkens the game behind it";
    EXPECT_NE(atWindow(-0.26f, 0.0f)[0], 204) << "no death panel";
}

// At 400 x 300: a name over every avatar in its colour, kill and join lines
// stacked apart on backings that read over walls, and a red edge when the
// own avatar is hit.
TEST_F(Desktop, AtFourHundredByThreeHundredNamesLinesAndTheHitFlashStayReadable) {
    SDL_SetWindowSize(gameWindow(), 400, 300);
    for (int i = 0; i < 50 && screenWidth != 400; ++i) {
        pass();
        SDL_Delay(10);
    }
    ASSERT_EQ(screenWidth, 400);
    Avatar& own = playAlone();
    own.name    = "Ann";
    auto other  = std::make_unique<Avatar>();
    other->pos  = own.pos;
    other->name = "Bob";
    CWorld::instance().addObject(std::move(other));
    for (const char* const line : {"Ann shot Bob", "Bob joined", "Cy left", "Bob shot Ann"}) {
        killFeed().add(line);
    }
    render();
    const int w = screenWidth;
    const int h = screenHeight;
    EXPECT_GT(image.count({9, 225, 9}, 0, h / 2, w, h * 9 / 10), 15) << "the own name, above the avatar";
    EXPECT_GT(image.count({255, 90, 60}, 0, h / 2, w, h * 9 / 10), 15) << "the other's, though it stands there too";
    // Each kill line is a band of rows of its own.
    int  bands  = 0;
    bool inLine = false;
    for (int row = h * 9 / 10; row > h / 2; --row) {
        const bool orange = image.count({255, 140, 60}, 0, row, w / 2, row + 1) > 0;
        bands += orange && !inLine ? 1 : 0;
        inLine = orange;
    }
    EXPECT_EQ(bands, 4);
    const Rgb before = at(2, h / 2);
    own.hp -= 20;
    CGame::instance().update();
    render();
    EXPECT_GT(at(2, h / 2)[0], before[0] + 80) << "the view's edge flashes red";
    EXPECT_LE(at(2, h / 2)[1], before[1]);
}

// In small windows every waiting-screen line ends inside the view.
TEST_F(Desktop, InSmallWindowsEveryWaitingLineFits) {
    CGame& game = CGame::instance();
    for (const auto& [width, height] : {std::pair{400, 300}, std::pair{640, 480}}) {
        ASSERT_NO_FATAL_FAILURE(resizeTo(width, height));
        resetGame();
        handleGameCommand(cmd_host_game);
        game.update();
        game.update();
        ASSERT_EQ(game.state, state_hosting);
        // Every line ends at least half the left margin short of the right edge.
        const int end   = screenWidth - static_cast<int>((1.0f - aspect) * 0.25f * screenWidth);
        game.serverName = "Party Room";
        game.matchSetup = {1000000, 1440, {"islands"}};
        render();
        EXPECT_GE(leftmostDark(0.4f, 0.45f), 0) << "the server's name";
        EXPECT_LT(rightmostDark(0.1f, 0.5f), end) << width;

        resetGame();
        giveClient(5);
        game.state = state_connected;
        lobby()    = {{{"Ann"}, {"Bob"}}, 3, 1000000, 1440, "islands", "Party Room"};
        render();
        EXPECT_GE(leftmostDark(0.5f, 0.55f), 0) << "the server's name";
        EXPECT_LT(rightmostDark(-0.6f, 0.6f), end) << width;
    }
}

TEST(SoundEffects, EachIsShortAudibleAndCleanAndPlaysWithoutACard) {
    for (const SoundEffect effect :
         {SoundEffect::fire, SoundEffect::hit, SoundEffect::death, SoundEffect::pickup, SoundEffect::respawn}) {
        const std::vector<std::int16_t> samples = Sound::synthesize(effect);
        EXPECT_GT(samples.size(), static_cast<std::size_t>(Sound::SAMPLE_RATE / 50));
        EXPECT_LT(samples.size(), static_cast<std::size_t>(Sound::SAMPLE_RATE / 2)) << "short";
        const auto loudest = *std::max_element(
            samples.begin(), samples.end(), [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); });
        EXPECT_GT(std::abs(loudest), 3000) << "audible";
        EXPECT_LT(std::abs(samples.front()), 2000) << "no click at the start";
        EXPECT_LT(std::abs(samples.back()), 2000) << "nor at the end";
    }
    Sound sound;  // SDL's dummy driver under the tests
    EXPECT_TRUE(sound.hasDevice());
    sound.play(SoundEffect::death);
    sound.play(SoundEffect::fire);
}

// A line drawn alone in white from the middle of the view: how far the raster
// position moved, and the red of the pixels around it.
struct DrawnLine {
    float                advance = 0.0f;
    std::vector<GLubyte> pixels;
};

DrawnLine drawLine(const char* const text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawText(0.0f, 0.0f, "%s", text);
    GLfloat end[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, end);
    constexpr int WIDTH  = 96;
    constexpr int HEIGHT = 24;
    DrawnLine     line{end[0] - static_cast<float>(screenWidth) * 0.5f, std::vector<GLubyte>(WIDTH * HEIGHT)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(screenWidth / 2 - 4, screenHeight / 2 - 8, WIDTH, HEIGHT, GL_RED, GL_UNSIGNED_BYTE,
                 line.pixels.data());
    return line;
}

TEST_F(Desktop, TextIsUtf8DrawnGlyphByGlyph) {
    // Text is UTF-8; each line is drawn like its twin, which looks the same in DejaVu Sans.
    struct Case {
        const char* text;
        const char* twin;
        bool        samePixels;
    };
    const Case cases[] = {
        {"Zo\u00EB", "Zoe", false},            // the diaeresis, no wider
        {"\u0391\u0392\u0395", "ABE", true},   // Greek capitals
        {"\u0410\u0412\u0421", "ABC", true},   // Cyrillic capitals
        {"\xff", "\U0010FFFD", true},          // a stray byte is one box, as what the font lacks
        {"a\xe2\x82z", "a\U0010FFFDz", true},  // so is a character cut short
    };
    for (const Case& c : cases) {
        const DrawnLine line = drawLine(c.text);
        const DrawnLine twin = drawLine(c.twin);
        EXPECT_NE(std::count(line.pixels.begin(), line.pixels.end(), 255), 0) << c.twin;
        EXPECT_FLOAT_EQ(line.advance, twin.advance) << c.twin;
        EXPECT_FLOAT_EQ(line.advance, textWidth(c.text)) << c.twin;
        EXPECT_EQ(line.pixels == twin.pixels, c.samePixels) << c.twin;
    }

    const DrawnLine greek = drawLine("\u0391\u0392\u0395");
    endGame();
    ASSERT_TRUE(startGame(&platform));
    EXPECT_TRUE(drawLine("\u0391\u0392\u0395").pixels == greek.pixels) << "glyphs made again for a new context";
}

TEST_F(Desktop, ATapIsAPressInOneFrameAndAReleaseInALaterOne) {
    handleGameCommand(cmd_new_single_player);
    Avatar& avatar = *CGame::instance().localAvatar;
    pushKey(SDL_KEYDOWN, SDLK_RIGHT);
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    ASSERT_TRUE(passUntil([] { return keys[VK_RIGHT] == 1; }));
    EXPECT_EQ(prevKeys[VK_RIGHT], 1) << "a frame was drawn after the press";
    EXPECT_EQ(avatar.right, 1);
    ASSERT_TRUE(passUntil([] { return keys[VK_RIGHT] == 0; }));
    EXPECT_EQ(avatar.right, 0);

    pushKey(SDL_KEYDOWN, SDLK_LEFT, KMOD_LALT);
    pushKey(SDL_KEYDOWN, SDLK_F10);
    pushKey(SDL_KEYDOWN, SDLK_q);
    pushKey(SDL_KEYDOWN, SDLK_7);
    ASSERT_TRUE(passUntil([] { return keys['7'] == 1; }));
    EXPECT_EQ(keys[VK_LEFT], 0) << "Alt combinations belong to the desktop";
    EXPECT_EQ(keys[121], 0);
    EXPECT_EQ(keys['Q'], 1);

    // Bound keys hold their action's key: A is the second "left", and the
    // arrow unbound from it no longer moves.
    bindKey(CGame::instance().settings.keyBindings, action_left, 0, 'J');
    pushKey(SDL_KEYDOWN, SDLK_a);
    ASSERT_TRUE(passUntil([] { return keys[VK_LEFT] == 1; }));
    pushKey(SDL_KEYUP, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_LEFT);
    pushKey(SDL_KEYDOWN, SDLK_8);
    ASSERT_TRUE(passUntil([] { return keys['8'] == 1; }));
    EXPECT_EQ(keys[VK_LEFT], 0);
    pushKey(SDL_KEYUP, SDLK_LEFT);
    pass(1);
    CGame::instance().settings.keyBindings = defaultKeyBindings();
}

// Esc closes what is open over the game first, and otherwise opens the
// options, which take the next key pressed for a binding.
TEST_F(Desktop, EscClosesWhatIsOpenFirstAndTheOptionsBindTheNextKey) {
    handleGameCommand(cmd_new_single_player);
    CGame& game   = CGame::instance();
    game.chatOpen = true;  // as in a network game after T
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    ASSERT_TRUE(passUntil([&] { return !game.chatOpen; }));
    EXPECT_FALSE(isOptionsOpen()) << "the chat line closed first";

    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    ASSERT_TRUE(passUntil([] { return isOptionsOpen(); }));
    bindNextKey(action_fire, 1);
    pushKey(SDL_KEYDOWN, SDLK_k);
    pushKey(SDL_KEYDOWN, SDLK_RIGHT);
    ASSERT_TRUE(passUntil([&] { return game.settings.keyBindings[action_fire][1] == 'K'; }));
    EXPECT_EQ(keys[VK_RIGHT], 0) << "keys go to the options while they are open";
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    ASSERT_TRUE(passUntil([] { return !isOptionsOpen(); }));
    pushKey(SDL_KEYDOWN, SDLK_k);
    EXPECT_TRUE(passUntil([] { return keys[VK_SPACE] == 1; })) << "K fires";
    pushKey(SDL_KEYUP, SDLK_k);
    pass(1);
    game.settings.keyBindings = defaultKeyBindings();
}

// A pad plugged in during a game steers with its stick and fires with its
// A button; pulled out, it lets go of everything.
TEST_F(Desktop, AGamepadPluggedInDuringAGameSteersAndLetsGoWhenPulledOut) {
    handleGameCommand(cmd_new_single_player);
    const int pad = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                              SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(pad, 0) << SDL_GetError();
    SDL_Joystick* const stick = SDL_JoystickOpen(pad);
    ASSERT_NE(stick, nullptr);
    ASSERT_TRUE(passUntil([] { return !gamepadName().empty(); }));
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, -30000);
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTY, 30000);
    SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_A, 1);
    ASSERT_TRUE(passUntil([] { return keys[VK_LEFT] == 1 && keys[VK_DOWN] == 1 && keys[VK_SPACE] == 1; }));
    EXPECT_EQ(keys[VK_RIGHT], 0);
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(pad);
    EXPECT_TRUE(passUntil([] { return keys[VK_LEFT] == 0 && keys[VK_SPACE] == 0 && gamepadName().empty(); }));
}

TEST_F(Desktop, EnterIsACommandOnEveryKeyDownRepeatsIncluded) {
    pushKey(SDL_KEYDOWN, SDLK_RETURN);
    pushKey(SDL_KEYDOWN, SDLK_RETURN, KMOD_NONE, 1);
    pushKey(SDL_KEYDOWN, SDLK_RETURN, KMOD_NONE, 1);
    passUntil([this] { return commands.size() >= 3; });
    pass(2);
    EXPECT_EQ(commands, (std::vector<int>{cmd_enter_key, cmd_enter_key, cmd_enter_key}));
}

TEST_F(Desktop, MinimizedTheGameStandsStill) {
    handleGameCommand(cmd_new_single_player);
    Avatar& avatar = *CGame::instance().localAvatar;
    avatar.setRight(1);
    avatar.moveTimer = 0.0f;
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(passUntil([] { return !active; }));
    const Position before = avatar.pos;
    keys[VK_SPACE]        = 1;
    pass(5);
    EXPECT_FALSE(active);
    EXPECT_EQ(avatar.pos, before);
    EXPECT_EQ(prevKeys[VK_SPACE], 0) << "no frame, no copy of the keys";
    pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(passUntil([] { return active; }));
    EXPECT_EQ(prevKeys[VK_SPACE], 1);
}

TEST_F(Desktop, TheCloseBoxEndsTheGameThenTheProgramWithStatusZero) {
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(passUntil([this] { return !running; }));
    EXPECT_EQ(commands, std::vector<int>{cmd_exit_game});
    EXPECT_EQ(endGame(), 0);
    ASSERT_TRUE(startGame(&platform));  // for TearDown
}

TEST_F(Desktop, MenuCommandsAreCarriedOutInALaterPass) {
    postMenuCommand(ID_EXIT_CURRENT_GAME);
    EXPECT_TRUE(commands.empty());
    ASSERT_TRUE(passUntil([this] { return !commands.empty(); }));
    EXPECT_EQ(commands, std::vector<int>{cmd_exit_game});
    postMenuCommand(ID_QUIT);
    EXPECT_TRUE(passUntil([this] { return !running; }));
    EXPECT_EQ(commands, (std::vector<int>{cmd_exit_game, cmd_exit_game}));
}

TEST_F(Desktop, F2SwitchesToAFullScreenAndThenToA640By480Window) {
    keys[VK_F2] = 1;
    pass();
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(keys[VK_F2], 0);
    EXPECT_EQ(screenWidth, 1024);
    EXPECT_EQ(screenHeight, 768 - menuBarHeight());
    keys[VK_F2] = 1;
    pass();
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(screenHeight, 480 - menuBarHeight());
    EXPECT_TRUE(running);
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(Desktop, WithoutTheModeTheDesktopIsTheFullScreenAndOnlyWithoutAnyTheQuestionComes) {
    const auto displaysOwnAnswer = fullscreenWay;
    fullscreenWay                = [](int, int, SDL_DisplayMode&) { return FullscreenWay::desktop; };
    closeWindow();
    ASSERT_TRUE(openWindow("Quillstep", 1024, 768, 32, true));
    EXPECT_TRUE(fullscreen);
    EXPECT_NE(SDL_GetWindowFlags(gameWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_TRUE(platform.shown.empty()) << "no question while a full screen can be had";

    fullscreenWay = [](int, int, SDL_DisplayMode&) { return FullscreenWay::none; };
    closeWindow();
    platform.questionAnswer = MessageAnswer::yes;
    ASSERT_TRUE(openWindow("Quillstep", 1024, 768, 32, true));
    EXPECT_FALSE(fullscreen);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(platform.shown[0].title, "Problem");
    EXPECT_EQ(platform.shown[0].buttons, MessageButtons::yesNo);

    closeWindow();
    platform.questionAnswer = MessageAnswer::no;
    EXPECT_FALSE(openWindow("Quillstep", 1024, 768, 32, true));
    ASSERT_EQ(platform.shown.size(), 3u);
    EXPECT_EQ(platform.shown[2].text, "Program Will Now Close.");
    EXPECT_EQ(platform.shown[2].title, "ERROR");
    EXPECT_EQ(platform.shown[2].icon, MessageIcon::stop);
    fullscreenWay = displaysOwnAnswer;
    ASSERT_TRUE(openWindow("Quillstep", 400, 300, 32, false));
}

// The dialog run over events pushed beforehand; idle events let it draw in between.
DialogResult runDialogWith(ConnectDialogValues& values, const std::string& typed, const SDL_Keycode last) {
    std::vector<SDL_Event> events(3);
    for (SDL_Event& idle : events) {
        idle.type = SDL_USEREVENT;
    }
    for (const char c : typed) {
        SDL_Event text{};
        text.type         = SDL_TEXTINPUT;
        text.text.text[0] = c;
        events.push_back(text);
    }
    events.push_back(events.front());
    SDL_Event key{};
    key.type           = SDL_KEYDOWN;
    key.key.keysym.sym = last;
    if (last == SDLK_UNKNOWN) {
        key.type         = SDL_WINDOWEVENT;
        key.window.event = SDL_WINDOWEVENT_CLOSE;
    }
    events.push_back(key);
    for (SDL_Event& event : events) {
        SDL_PushEvent(&event);
    }
    return runConnectDialog(values);
}

TEST_F(Desktop, TheConnectDialogTakesItsDefaultsATypedAddressOrACancel) {
    ConnectDialogValues values;
    EXPECT_EQ(runDialogWith(values, "", SDLK_RETURN), DialogResult::ok);
    EXPECT_EQ(values.serverAddress, "127.0.0.1");
    EXPECT_EQ(values.port, 9998u);
    EXPECT_EQ(values.playerName, "Guest");
    EXPECT_EQ(runDialogWith(values, "", SDLK_ESCAPE), DialogResult::cancel);
    EXPECT_EQ(runDialogWith(values, "", SDLK_UNKNOWN), DialogResult::closed);

    EXPECT_EQ(runDialogWith(values, "192.168.1.20", SDLK_RETURN), DialogResult::ok);
    EXPECT_EQ(values.serverAddress, "192.168.1.20");
    EXPECT_EQ(runDialogWith(values, "1x2.300", SDLK_RETURN), DialogResult::ok);
    EXPECT_EQ(values.serverAddress, "12.255.1.20") << "digits only, each field at most 255";
}

TEST(StartUp, WithoutOpenGLTheWindowIsNotMadeAndTheBoxSaysWhy) {
    setenv("SDL_OPENGL_LIBRARY", "/nonexistent/libGL.so.1", 1);
    ScriptedPlatform platform;
    EXPECT_FALSE(startGame(&platform));
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[0].text, "Can't Create A GL Device Context.");
    EXPECT_EQ(platform.shown[1].text, "The window could not be created.");
    endGame();
}

}  // namespace
