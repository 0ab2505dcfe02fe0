// The host's ENet host fed raw datagrams over loopback: the real Server,
// its service thread and ENet's own parsing. Each input is cut into
// datagrams sent from one socket; a short wait lets the service thread take
// them. On a free port of its own, never the game's.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "FuzzSupport.h"
#include "NetSupport.h"
#include "net/Server.h"
#include "rules/PackedForm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    static SilentPlatform platform;
    setPlatform(&platform);
    static Server server(APPLICATION_GUID, gameWireForm());
    static bool   hosting = [] {
        server.setPort(testPort());
        return server.host("fuzz") == 0;
    }();
    static int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (!hosting || socket < 0) {
        return 0;
    }
    sockaddr_in to{};
    to.sin_family      = AF_INET;
    to.sin_port        = htons(testPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const Piece& piece : splitInput(data, size, false)) {
        ::sendto(socket, piece.bytes.data(), piece.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    while (server.incoming.pop()) {
    }
    return 0;
}
