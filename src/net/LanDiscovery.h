#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Finding games on the local network. A player broadcasts a request to
// LAN_PORT; every host answers with its name, its player count and its
// map. A reply is never larger than the request that asked for it, and each
// address gets a few replies a second at most, so a host cannot be used to
// flood a third party.

constexpr std::uint16_t LAN_PORT = 9999;

// Requests are exactly this long; replies at most.
constexpr std::size_t LAN_REQUEST_SIZE = 64;
constexpr std::size_t LAN_NAME_BYTES   = 32;
constexpr std::size_t LAN_MAP_BYTES    = 16;
// The most games a search lists: a LAN party's, and not what a flood of
// fake replies would make it.
constexpr std::size_t MAX_LAN_GAMES = 64;

struct LanGame {
    std::string   address;  // dotted IPv4, as the reply came from
    std::string   hostName;
    std::int32_t  players    = 0;
    std::int32_t  spectators = 0;
    std::string   map;
    bool          isPrivate = false;
    std::uint16_t port      = 9998;  // the game's UDP port
};

std::vector<std::uint8_t> encodeLanRequest();
bool                      isLanRequest(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> encodeLanReply(const LanGame& game);
std::optional<LanGame>    decodeLanReply(const std::uint8_t* data, std::size_t size);

// Lets each address have `perSecond` replies in any second, as a bucket that
// refills; remembers at most MAX_ADDRESSES addresses.
class ReplyRateLimit {
public:
    static constexpr std::size_t MAX_ADDRESSES = 1024;

    explicit ReplyRateLimit(double perSecond = 5.0) : perSecond(perSecond) {}
    bool        allow(std::uint32_t address, std::chrono::steady_clock::time_point now);
    std::size_t addressesKept() const { return buckets.size(); }

private:
    struct Bucket {
        double                                tokens;
        std::chrono::steady_clock::time_point refilled;
    };
    double                          perSecond;
    std::map<std::uint32_t, Bucket> buckets;
};

// The host's side: answers requests on its own thread while it lives.
class LanAnnouncer {
public:
    // `describe` is called on the announcer's thread for each answer.
    LanAnnouncer(std::function<LanGame()> describe, std::uint16_t port = LAN_PORT);
    ~LanAnnouncer();
    LanAnnouncer(const LanAnnouncer&)            = delete;
    LanAnnouncer& operator=(const LanAnnouncer&) = delete;

    // False when the port could not be had (another host on this machine):
    // the game is hosted all the same, only not listed.
    bool isAnswering() const { return socketFd >= 0; }

private:
    void answer();

    std::function<LanGame()> describe;
    int                      socketFd = -1;
    std::atomic<bool>        stopping{false};
    std::thread              thread;
};

// Adds a game heard from to a list: most recent first, each game (address
// and port) once, and no
// more than MAX_LAN_GAMES.
void rememberLanGame(std::vector<LanGame>& games, LanGame game);

// Broadcasts a request on every network this machine is on and gathers the
// replies that come within `wait`, one per host; stops early once `stop` is set.
std::vector<LanGame> findLanGames(std::chrono::milliseconds wait, std::uint16_t port = LAN_PORT,
                                  const std::atomic<bool>* stop = nullptr);

// Keeps looking on a thread of its own, a round every two seconds, for a
// dialog that shows what it has found so far.
class LanBrowser {
public:
    LanBrowser();
    ~LanBrowser();
    LanBrowser(const LanBrowser&)            = delete;
    LanBrowser& operator=(const LanBrowser&) = delete;

    std::vector<LanGame> games() const;

private:
    mutable std::mutex   lock;
    std::vector<LanGame> found;
    std::atomic<bool>    stopping{false};
    std::thread          thread;
};
