#include "net/LanDiscovery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "net/ByteCodec.h"
#include "platform/TextCleaning.h"

namespace {

constexpr char         REQUEST_MAGIC[] = "QSLAN?";
constexpr char         REPLY_MAGIC[]   = "QSLAN!";
constexpr std::size_t  MAGIC_SIZE      = 6;
constexpr std::uint8_t LAN_VERSION     = 1;
constexpr int          POLL_MS         = 100;
constexpr auto         BROWSE_PERIOD   = std::chrono::seconds(2);
constexpr auto         BROWSE_WAIT     = std::chrono::milliseconds(800);

int openUdpSocket(const std::uint16_t bindPort, const bool broadcast) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (broadcast) {
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    sockaddr_in local{};
    local.sin_family      = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port        = htons(bindPort);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool hasMagic(const std::uint8_t* const data, const std::size_t size, const char* const magic) {
    return size >= MAGIC_SIZE + 1 && std::memcmp(data, magic, MAGIC_SIZE) == 0 && data[MAGIC_SIZE] == LAN_VERSION;
}

std::string readField(ByteReader& reader, const std::size_t limit) {
    const std::size_t length = reader.getU8();
    if (!reader.ok() || length > limit) {
        return {};
    }
    std::string text(length, '\0');
    if (!reader.getBytes(text.data(), length)) {
        return {};
    }
    return text;
}

// Waits up to `ms` for one datagram, read into a buffer one byte longer
// than a request so that an overlong one shows; its length, or 0 if none came.
using Datagram = std::uint8_t[LAN_REQUEST_SIZE + 1];
std::size_t receiveWithin(const int fd, const int ms, Datagram& buffer, sockaddr_in& from) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, ms) <= 0) {
        return 0;
    }
    socklen_t     fromSize = sizeof from;
    const ssize_t size     = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

// Every broadcast address of this machine's networks, and the limited broadcast.
std::vector<in_addr_t> broadcastAddresses() {
    std::vector<in_addr_t> addresses{htonl(INADDR_BROADCAST)};
    ifaddrs*               list = nullptr;
    if (getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || entry->ifa_netmask == nullptr ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const in_addr_t own       = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        const in_addr_t mask      = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
        const in_addr_t broadcast = own | ~mask;
        if (std::find(addresses.begin(), addresses.end(), broadcast) == addresses.end()) {
            addresses.push_back(broadcast);
        }
    }
    freeifaddrs(list);
    return addresses;
}

}  // namespace

std::vector<std::uint8_t> encodeLanRequest() {
    std::vector<std::uint8_t> request(LAN_REQUEST_SIZE, 0);
    std::memcpy(request.data(), REQUEST_MAGIC, MAGIC_SIZE);
    request[MAGIC_SIZE] = LAN_VERSION;
    return request;
}

bool isLanRequest(const std::uint8_t* const data, const std::size_t size) {
    // A short request would make the reply larger than what asked for it.
    return size == LAN_REQUEST_SIZE && hasMagic(data, size, REQUEST_MAGIC);
}

std::vector<std::uint8_t> encodeLanReply(const LanGame& game) {
    const std::string name = game.hostName.substr(0, LAN_NAME_BYTES);
    const std::string map  = game.map.substr(0, LAN_MAP_BYTES);
    ByteWriter        reply;
    reply.putBytes(REPLY_MAGIC, MAGIC_SIZE);
    reply.putU8(LAN_VERSION);
    reply.putU8(static_cast<std::uint8_t>(std::clamp(game.players, 0, 255)));
    reply.putU8(game.isPrivate ? 1 : 0);
    reply.putU8(static_cast<std::uint8_t>(name.size())).putBytes(name.data(), name.size());
    reply.putU8(static_cast<std::uint8_t>(map.size())).putBytes(map.data(), map.size());
    reply.putU8(static_cast<std::uint8_t>(game.port & 0xFF)).putU8(static_cast<std::uint8_t>(game.port >> 8));
    // Last, so that a reader that knows only what comes before still reads it.
    reply.putU8(static_cast<std::uint8_t>(std::clamp(game.spectators, 0, 255)));
    return reply.bytes();
}

std::optional<LanGame> decodeLanReply(const std::uint8_t* const data, const std::size_t size) {
    if (size > LAN_REQUEST_SIZE || !hasMagic(data, size, REPLY_MAGIC)) {
        return std::nullopt;
    }
    ByteReader reader(data + MAGIC_SIZE + 1, size - MAGIC_SIZE - 1);
    LanGame    game;
    game.players   = reader.getU8();
    game.isPrivate = reader.getU8() != 0;
    // Shown in lists and written as JSON: one clean line of well-formed text.
    game.hostName          = cleanText(readField(reader, LAN_NAME_BYTES), LAN_NAME_BYTES);
    game.map               = cleanText(readField(reader, LAN_MAP_BYTES), LAN_MAP_BYTES);
    const std::uint8_t low = reader.getU8();
    game.port              = static_cast<std::uint16_t>(low | (reader.getU8() << 8));
    if (!reader.ok() || game.port == 0) {
        return std::nullopt;
    }
    if (reader.has(1)) {
        game.spectators = reader.getU8();  // from a host that counts them apart
    }
    return game;
}

bool ReplyRateLimit::allow(const std::uint32_t address, const std::chrono::steady_clock::time_point now) {
    auto found = buckets.find(address);
    if (found == buckets.end()) {
        if (buckets.size() >= MAX_ADDRESSES) {
            // Forget the address heard from longest ago.
            buckets.erase(std::min_element(buckets.begin(), buckets.end(), [](const auto& a, const auto& b) {
                return a.second.refilled < b.second.refilled;
            }));
        }
        found = buckets.emplace(address, Bucket{perSecond, now}).first;
    }
    Bucket&      bucket  = found->second;
    const double elapsed = std::chrono::duration<double>(now - bucket.refilled).count();
    bucket.tokens        = std::min(perSecond, bucket.tokens + elapsed * perSecond);
    bucket.refilled      = now;
    if (bucket.tokens < 1.0) {
        return false;
    }
    bucket.tokens -= 1.0;
    return true;
}

LanAnnouncer::LanAnnouncer(std::function<LanGame()> describeGame, const std::uint16_t port)
    : describe(std::move(describeGame)), socketFd(openUdpSocket(port, false)) {
    if (socketFd >= 0) {
        thread = std::thread([this] { answer(); });
    }
}

LanAnnouncer::~LanAnnouncer() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
    if (socketFd >= 0) {
        close(socketFd);
    }
}

void LanAnnouncer::answer() {
    ReplyRateLimit limit;
    while (!stopping) {
        Datagram          buffer;
        sockaddr_in       from{};
        const std::size_t size = receiveWithin(socketFd, POLL_MS, buffer, from);
        if (!isLanRequest(buffer, size) || !limit.allow(from.sin_addr.s_addr, std::chrono::steady_clock::now())) {
            continue;
        }
        const std::vector<std::uint8_t> reply = encodeLanReply(describe());
        sendto(socketFd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    }
}

void rememberLanGame(std::vector<LanGame>& games, LanGame game) {
    games.erase(
        std::remove_if(games.begin(), games.end(),
                       [&](const LanGame& other) { return other.address == game.address && other.port == game.port; }),
        games.end());
    games.insert(games.begin(), std::move(game));
    if (games.size() > MAX_LAN_GAMES) {
        games.pop_back();
    }
}

std::vector<LanGame> findLanGames(const std::chrono::milliseconds wait, const std::uint16_t port,
                                  const std::atomic<bool>* const stop) {
    std::vector<LanGame> games;
    const int            fd = openUdpSocket(0, true);
    if (fd < 0) {
        return games;
    }
    const std::vector<std::uint8_t> request = encodeLanRequest();
    for (const in_addr_t broadcast : broadcastAddresses()) {
        sockaddr_in to{};
        to.sin_family      = AF_INET;
        to.sin_addr.s_addr = broadcast;
        to.sin_port        = htons(port);
        sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (stop != nullptr && *stop)) {
            break;
        }
        Datagram          buffer;
        sockaddr_in       from{};
        const std::size_t size =
            receiveWithin(fd, static_cast<int>(std::min<long>(left.count(), POLL_MS)), buffer, from);
        if (size == 0) {
            continue;
        }
        std::optional<LanGame> game                    = decodeLanReply(buffer, size);
        char                   dotted[INET_ADDRSTRLEN] = {};
        if (!game || inet_ntop(AF_INET, &from.sin_addr, dotted, sizeof dotted) == nullptr) {
            continue;
        }
        game->address = dotted;
        rememberLanGame(games, std::move(*game));
    }
    close(fd);
    return games;
}

LanBrowser::LanBrowser() {
    thread = std::thread([this] {
        while (!stopping) {
            std::vector<LanGame> round = findLanGames(BROWSE_WAIT, LAN_PORT, &stopping);
            {
                const std::lock_guard<std::mutex> guard(lock);
                found = std::move(round);
            }
            for (auto slept = std::chrono::milliseconds(0); !stopping && slept < BROWSE_PERIOD - BROWSE_WAIT;
                 slept += std::chrono::milliseconds(50)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    });
}

LanBrowser::~LanBrowser() {
    stopping = true;
    thread.join();
}

std::vector<LanGame> LanBrowser::games() const {
    const std::lock_guard<std::mutex> guard(lock);
    return found;
}
