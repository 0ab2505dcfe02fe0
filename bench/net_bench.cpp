// Round trip of one small game message over loopback: a player sends, the
// host's game thread answers, the player's game thread sees the answer. The
// transport threads wait on their sockets without holding the host lock, so
// this stays in the tens of microseconds.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "NetSupport.h"
#include "net/Client.h"
#include "net/Server.h"

namespace {

void loopbackRoundTrip(benchmark::State& state) {
    Server server;
    server.setPort(testPort());
    if (server.host("bogus game") != 0) {
        state.SkipWithError("cannot host on a port of its own");
        return;
    }
    Client client;
    client.setPort(testPort());
    client.connect("127.0.0.1");
    while (!client.connected || server.clientCount() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (server.incoming.pop()) {
    }
    const std::uint32_t player      = client.localPlayerId();
    const std::uint8_t  message[36] = {0x4F, 0x04};

    for (auto _ : state) {
        client.send(sizeof message, message, DPNSEND_PRIORITY_HIGH);
        std::optional<ServerMessage> request;
        while (!(request = server.incoming.pop())) {
        }
        server.sendTo(player, static_cast<std::uint32_t>(request->data.size()), request->data.data(),
                      DPNSEND_PRIORITY_LOW);
        while (!client.incoming.pop()) {
        }
    }
}

}  // namespace

BENCHMARK(loopbackRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
