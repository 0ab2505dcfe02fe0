// What first fragments that never complete cost a host: one real dedicated
// host (CGame with its Server, the code the game runs) in this process, and
// 255 hostile peers in a second process, all of them peers of one ENet host
// on loopback, on a port of the benchmark's own. Each peer says hello, as a
// player behind one address would, and then sends the first fragment of
// each of four 64 KiB packets and never the rest. The host's resident
// memory is read alone, with everyone in, while it holds the fragments, once
// the peers have gone, and after glibc has been asked to give back what it
// keeps (malloc_trim).
//
//   fragment_memory [PEERS]     (255 by default, what a host takes)
//
// The host is told to take every peer from 127.0.0.1, as it takes a LAN
// behind one address; attackers would come from many.

#include <enet/enet.h>
#include <malloc.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "NetSupport.h"
#include "game/Game.h"
#include "net/NetTypes.h"
#include "net/WireProtocol.h"
#include "platform/FrameState.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int         MAX_PEERS          = 255;
constexpr int         PACKETS_PER_PEER   = 4;  // twice what a peer may hold half-received
constexpr std::size_t PACKET_BYTES       = MAX_MESSAGE_SIZE;
constexpr int         JOINING_AT_ONCE    = 3;  // the host cuts off a fourth peer owing its hello
constexpr float       FRAME_SECONDS      = 0.02f;
constexpr double      SETTLE_SECONDS     = 2.0;
constexpr double      HOLD_SECONDS       = 5.0;  // for every fragment to get through
constexpr double      JOIN_LIMIT_SECONDS = 120.0;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "fragment_memory: %s\n", why.c_str());
    std::exit(1);
}

// A figure of /proc/self/status, in MiB: VmRSS resident, VmData the heap
// and the arenas, touched or not.
double statusMiB(const char* const field) {
    std::ifstream status("/proc/self/status");
    std::string   line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atof(line.c_str() + std::strlen(field)) / 1024.0;  // kB
        }
    }
    return 0.0;
}

double residentMiB() {
    return statusMiB("VmRSS:");
}

// One line at a time over a pipe, in both processes.
std::optional<std::string> readLine(const int fd, const int timeoutMs) {
    std::string line;
    char        c = 0;
    pollfd      ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0) {
        return std::nullopt;
    }
    while (::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

void writeLine(const int fd, const std::string& line) {
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        fail("the other process is gone");
    }
}

// --- the hostile peers' process ----------------------------------------------

// Queues a whole packet and then takes back, before anything is sent,
// every fragment but the first (the host sets aside the whole packet for it,
// but touches only the first fragment's pages) or only the last (the host
// fills the whole packet): either way the host waits for the rest for ever.
void sendUnfinished(ENetPeer* const peer, const bool allButLast) {
    ENetPacket* const packet = enet_packet_create(nullptr, PACKET_BYTES, ENET_PACKET_FLAG_RELIABLE);
    std::memset(packet->data, 0x5A, PACKET_BYTES);
    if (enet_peer_send(peer, 0, packet) != 0) {
        enet_packet_destroy(packet);
        return;
    }
    for (ENetListIterator entry = enet_list_begin(&peer->outgoingCommands);
         entry != enet_list_end(&peer->outgoingCommands);) {
        auto* const command = reinterpret_cast<ENetOutgoingCommand*>(entry);
        entry               = enet_list_next(entry);
        const bool last     = command->fragmentOffset + command->fragmentLength == PACKET_BYTES;
        if (command->packet == packet && (allButLast ? last : command->fragmentOffset != 0)) {
            enet_list_remove(&command->outgoingCommandList);
            if (--packet->referenceCount == 0) {
                enet_packet_destroy(packet);
            }
            enet_free(command);
        }
    }
}

int peersMain(const std::uint16_t port, const int count) {
    if (enet_initialize() != 0) {
        fail("ENet did not start");
    }
    ENetHost* const host = enet_host_create(nullptr, static_cast<std::size_t>(count), 1, 0, 0);
    if (host == nullptr) {
        fail("the peers' ENet host could not be made");
    }
    ENetAddress address{};
    enet_address_set_host(&address, "127.0.0.1");
    address.port = port;
    std::vector<ENetPeer*> peers;
    int                    welcomed = 0;
    int                    underWay = 0;
    const auto             started  = Clock::now();
    bool                   sent     = false;
    bool                   joining  = false;
    while (true) {
        if (const std::optional<std::string> line = readLine(STDIN_FILENO, 0)) {
            if (*line == "join") {
                joining = true;
            } else if (line->rfind("send", 0) == 0) {
                for (ENetPeer* const peer : peers) {
                    for (int i = 0; i < PACKETS_PER_PEER; ++i) {
                        sendUnfinished(peer, *line == "send all-but-last");
                    }
                }
                enet_host_flush(host);
                sent = true;
                writeLine(STDOUT_FILENO, "sent");
            } else if (*line == "leave") {
                for (ENetPeer* const peer : peers) {
                    enet_peer_disconnect_now(peer, 0);
                }
                enet_host_flush(host);
                enet_host_destroy(host);
                writeLine(STDOUT_FILENO, "left");
                return 0;
            } else if (line->empty()) {
                return 0;  // the host's process is gone
            }
        }
        if (joining && static_cast<int>(peers.size()) < count && underWay < JOINING_AT_ONCE) {
            peers.push_back(enet_host_connect(host, &address, 1, 0));
            ++underWay;
        }
        ENetEvent event;
        while (enet_host_service(host, &event, 1) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT) {
                enet_peer_send(event.peer, 0, makeHello(APPLICATION_GUID, "hostile"));
            } else if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                if (event.peer->data == nullptr) {  // the welcome
                    event.peer->data = event.peer;
                    ++welcomed;
                    --underWay;
                    if (welcomed == count) {
                        writeLine(STDOUT_FILENO, "joined " + std::to_string(welcomed));
                    }
                }
                enet_packet_destroy(event.packet);
            } else if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
                fail(sent ? "a peer was cut off while it held fragments" : "a peer was turned away");
            }
        }
        if (welcomed < count && std::chrono::duration<double>(Clock::now() - started).count() > JOIN_LIMIT_SECONDS) {
            fail("only " + std::to_string(welcomed) + " peers got in");
        }
    }
}

// --- the host's process ------------------------------------------------------

// Frames of the real host until the condition holds (or the bound passes).
template <class Condition>
void hostFramesUntil(const Condition& condition, const double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition() && Clock::now() < end) {
        frameTime = FRAME_SECONDS;
        CGame::instance().update();
        std::this_thread::sleep_for(std::chrono::duration<double>(FRAME_SECONDS));
    }
}

void hostFramesFor(const double seconds) {
    hostFramesUntil([] { return false; }, seconds);
}

std::string awaitReply(const int fd, const char* const expected) {
    std::optional<std::string> line;
    hostFramesUntil([&] { return (line = readLine(fd, 0)).has_value(); }, JOIN_LIMIT_SECONDS);
    if (!line || line->rfind(expected, 0) != 0) {
        fail(std::string("the peers did not answer \"") + expected + "\": " + line.value_or("nothing"));
    }
    return *line;
}

void printRow(const char* const mode, const char* const phase, const double mib, const double alone) {
    std::printf("%-14s %-26s %9.1f %+10.1f %9.1f\n", mode, phase, mib, mib - alone, statusMiB("VmData:"));
    std::fflush(stdout);
}

// The peers' process, started from this very program before anything of the
// host's runs in it.
struct PeersProcess {
    pid_t pid    = 0;
    int   toFd   = -1;
    int   fromFd = -1;
};

PeersProcess startPeers(const std::uint16_t port, const int count) {
    int toPeers[2];
    int fromPeers[2];
    if (::pipe(toPeers) != 0 || ::pipe(fromPeers) != 0) {
        fail("no pipes");
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(toPeers[0], STDIN_FILENO);
        ::dup2(fromPeers[1], STDOUT_FILENO);
        const std::string portArg  = std::to_string(port);
        const std::string countArg = std::to_string(count);
        ::execl("/proc/self/exe", "fragment_memory", "--peers-process", portArg.c_str(), countArg.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(toPeers[0]);
    ::close(fromPeers[1]);
    return {child, toPeers[1], fromPeers[0]};
}

// One attack from start to end, with the host's memory at each stage.
void attack(const PeersProcess& peers, const char* const mode, const double alone) {
    CGame&             game    = CGame::instance();
    const std::int32_t players = game.server->clientCount();

    writeLine(peers.toFd, "join");
    awaitReply(peers.fromFd, "joined");
    hostFramesFor(SETTLE_SECONDS);
    printRow(mode, "peers in", residentMiB(), alone);

    writeLine(peers.toFd, std::string("send ") + mode);
    awaitReply(peers.fromFd, "sent");
    double held = 0.0;
    hostFramesUntil(
        [&] {
            held = std::max(held, residentMiB());
            return false;
        },
        HOLD_SECONDS);
    printRow(mode, "holding the fragments", held, alone);

    writeLine(peers.toFd, "leave");
    awaitReply(peers.fromFd, "left");
    hostFramesUntil([&] { return game.server->clientCount() <= players; }, 30.0);
    hostFramesFor(SETTLE_SECONDS);
    printRow(mode, "peers gone", residentMiB(), alone);
    ::close(peers.toFd);
    ::close(peers.fromFd);
    int status = 0;
    ::waitpid(peers.pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peers-process") == 0) {
        return peersMain(static_cast<std::uint16_t>(std::atoi(argv[2])), std::atoi(argv[3]));
    }
    const int           count = argc >= 2 ? std::clamp(std::atoi(argv[1]), 1, MAX_PEERS) : MAX_PEERS;
    const std::uint16_t port  = testPort();
    // Forked before the host starts any thread of its own.
    const PeersProcess firstOnly  = startPeers(port, count);
    const PeersProcess allButLast = startPeers(port, count);

    CGame& game        = CGame::instance();
    game.bots          = 0;
    game.gamePort      = port;
    game.maxPerAddress = MAX_PEERS;
    game.maxPlayers    = MAX_PEERS;
    game.handleCommand(cmd_host_dedicated);
    hostFramesUntil([&] { return game.state == state_hosting; }, 10.0);
    if (game.state != state_hosting) {
        fail("the host did not start");
    }
    game.announcer.reset();  // no answers to LAN searches from a benchmark
    hostFramesFor(SETTLE_SECONDS);

    std::printf("fragment_memory: %d hostile peers, each %d packets of %zu KiB never completed\n", count,
                PACKETS_PER_PEER, PACKET_BYTES / 1024);
    std::printf("%-14s %-26s %9s %10s %9s\n", "fragments", "host", "RSS MiB", "vs alone", "data MiB");
    const double alone = residentMiB();
    printRow("", "alone", alone, alone);
    attack(firstOnly, "first", alone);
    attack(allButLast, "all-but-last", alone);
    const auto trimStart = Clock::now();
    malloc_trim(0);
    const double trimMs = std::chrono::duration<double, std::milli>(Clock::now() - trimStart).count();
    printRow("", "after malloc_trim", residentMiB(), alone);
    std::printf("malloc_trim took %.2f ms\n", trimMs);

    game.handleCommand(cmd_exit_game);
    return 0;
}
