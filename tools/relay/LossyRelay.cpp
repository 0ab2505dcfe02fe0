// A UDP relay that makes a bad network on purpose, for tests: it listens on
// a port, forwards what each sender sends to one target and the target's
// answers back, and on the way loses, delays and reorders datagrams, drawn
// from a seeded generator so a run can be repeated.
//
//   quillstep-relay LISTEN_PORT TARGET_ADDRESS TARGET_PORT LOSS DELAY_MS JITTER_MS SEED
//
// LOSS is the share of datagrams dropped in each direction (0.2 = 20 %);
// each datagram that goes through waits DELAY_MS +- JITTER_MS, so datagrams
// sent closer together than the jitter overtake each other. The relay runs
// until standard input ends or says "quit" (answered "ok"); it then writes
// on standard error how many datagrams and bytes it carried each way.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// What crossed the relay in one direction, before any loss.
struct Tally {
    unsigned long long datagrams = 0;
    unsigned long long bytes     = 0;
    void               add(const std::size_t size) {
                      ++datagrams;
                      bytes += size;
    }
};

struct Datagram {
    Clock::time_point         due;
    int                       socket;
    sockaddr_in               to;
    std::vector<std::uint8_t> bytes;
    bool                      operator>(const Datagram& other) const { return due > other.due; }
};

// One sender as the target sees it: a socket of its own, so answers find
// their way back.
struct Sender {
    sockaddr_in address;
    int         socket;
};

std::uint64_t keyOf(const sockaddr_in& address) {
    return static_cast<std::uint64_t>(address.sin_addr.s_addr) << 16 | address.sin_port;
}

int udpSocket(const std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in any{};
    any.sin_family      = AF_INET;
    any.sin_port        = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class Relay {
public:
    Relay(const int listener, const sockaddr_in target, const double loss, const int delayMs, const int jitterMs,
          const unsigned seed)
        : listener(listener), target(target), loss(loss), delayMs(delayMs), jitterMs(jitterMs), random(seed) {}

    // Runs until standard input ends or says quit.
    void run() {
        for (;;) {
            std::vector<pollfd> watched{{STDIN_FILENO, POLLIN, 0}, {listener, POLLIN, 0}};
            for (const auto& [key, sender] : senders) {
                watched.push_back({sender.socket, POLLIN, 0});
            }
            ::poll(watched.data(), watched.size(), waitMs());
            if ((watched[0].revents & (POLLIN | POLLHUP)) != 0 && !keepRunning()) {
                return;
            }
            if ((watched[1].revents & POLLIN) != 0) {
                fromSenders();
            }
            for (std::size_t i = 2; i < watched.size(); ++i) {
                if ((watched[i].revents & POLLIN) != 0) {
                    fromTarget(watched[i].fd);
                }
            }
            deliverDue();
        }
    }

private:
    bool keepRunning() const {
        char          line[64];
        const ssize_t got = ::read(STDIN_FILENO, line, sizeof line);
        if (got <= 0 || std::strncmp(line, "quit", 4) == 0) {
            std::fprintf(stderr, "to target: %llu datagrams, %llu bytes; from target: %llu datagrams, %llu bytes\n",
                         upstream.datagrams, upstream.bytes, downstream.datagrams, downstream.bytes);
            std::printf("ok\n");
            std::fflush(stdout);
            return false;
        }
        return true;
    }

    void fromSenders() {
        std::uint8_t  buffer[65536];
        sockaddr_in   from{};
        socklen_t     fromSize = sizeof from;
        const ssize_t got =
            ::recvfrom(listener, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            return;
        }
        auto known = senders.find(keyOf(from));
        if (known == senders.end()) {
            const int socket = udpSocket(0);
            if (socket < 0) {
                return;
            }
            known = senders.emplace(keyOf(from), Sender{from, socket}).first;
        }
        upstream.add(static_cast<std::size_t>(got));
        pass(known->second.socket, target, buffer, static_cast<std::size_t>(got));
    }

    void fromTarget(const int socket) {
        std::uint8_t  buffer[65536];
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got < 0) {
            return;
        }
        downstream.add(static_cast<std::size_t>(got));
        for (const auto& [key, sender] : senders) {
            if (sender.socket == socket) {
                pass(listener, sender.address, buffer, static_cast<std::size_t>(got));
            }
        }
    }

    // Loses the datagram, or holds it back for its delay.
    void pass(const int socket, const sockaddr_in& to, const std::uint8_t* bytes, const std::size_t size) {
        if (std::uniform_real_distribution<double>(0.0, 1.0)(random) < loss) {
            return;
        }
        const int wait = delayMs + std::uniform_int_distribution<int>(-jitterMs, jitterMs)(random);
        pending.push({Clock::now() + std::chrono::milliseconds(std::max(wait, 0)), socket, to,
                      std::vector<std::uint8_t>(bytes, bytes + size)});
    }

    void deliverDue() {
        const auto now = Clock::now();
        while (!pending.empty() && pending.top().due <= now) {
            const Datagram& next = pending.top();
            ::sendto(next.socket, next.bytes.data(), next.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&next.to),
                     sizeof next.to);
            pending.pop();
        }
    }

    int waitMs() const {
        if (pending.empty()) {
            return 100;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pending.top().due - Clock::now());
        return static_cast<int>(std::max<long long>(left.count(), 0));
    }

    const int                                                            listener;
    const sockaddr_in                                                    target;
    const double                                                         loss;
    const int                                                            delayMs;
    const int                                                            jitterMs;
    std::mt19937                                                         random;
    std::map<std::uint64_t, Sender>                                      senders;
    Tally                                                                upstream;
    Tally                                                                downstream;
    std::priority_queue<Datagram, std::vector<Datagram>, std::greater<>> pending;
};

}  // namespace

int main(const int argc, char** const argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s LISTEN_PORT TARGET_ADDRESS TARGET_PORT LOSS DELAY_MS JITTER_MS SEED\n",
                     argv[0]);
        return 2;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port   = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
    if (inet_pton(AF_INET, argv[2], &target.sin_addr) != 1) {
        std::fprintf(stderr, "%s: not an IPv4 address: %s\n", argv[0], argv[2]);
        return 2;
    }
    const int listener = udpSocket(static_cast<std::uint16_t>(std::atoi(argv[1])));
    if (listener < 0) {
        std::perror("quillstep-relay: listening socket");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    Relay(listener, target, std::atof(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]),
          static_cast<unsigned>(std::strtoul(argv[7], nullptr, 10)))
        .run();
    return 0;
}
