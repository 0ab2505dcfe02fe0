#pragma once

// A network of machines for tests: headless players in processes of their
// own, on test hosts of their own (network namespaces) when the machine can
// make them, driven together and compared by their world digests.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PlayerProcess.h"

class Lan : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // False keeps every machine on this machine's loopback, where the test
    // process itself can reach them.
    virtual bool wantsTestHosts() const { return true; }

    std::string hostAddress() const { return namespaces ? "10.77.0.1" : "127.0.0.1"; }
    std::string hostOf(std::size_t machine) const;

    // Puts a relay between the players and the host: players join 10.77.0.4.
    void relayWith(double loss, int delayMs, int jitterMs);

    // Every machine carries out the command at once, in real time.
    void                        all(const std::string& command);
    std::vector<nlohmann::json> worlds();
    // Every machine takes frames until the worlds they print, kept in `seen`,
    // satisfy the condition.
    bool framesUntil(const std::function<bool()>& condition,
                     std::chrono::milliseconds    bound = std::chrono::seconds(60));

    PlayerProcess& addMachine(const std::string& name);
    // Starts hosting, after the commands given, and waits for the host's own player.
    void hostGame(const std::vector<std::string>& first = {});
    // The players join; waits until the host lists `clients` players and every machine has connected.
    void joinPlayers(std::size_t players, const std::string& joinAddress, std::size_t clients);
    // ENTER on the host; waits until every machine steers an avatar.
    void pressEnter();
    void startGame(std::size_t players, const std::string& joinAddress);

    // Everyone presses and releases keys at random, firing often.
    // Each slice takes at least `realTime`: an unpaced game must not send
    // more a second than the host takes from a player.
    void playAtRandom(int slices, double sliceSeconds, unsigned seed,
                      std::chrono::milliseconds realTime = std::chrono::milliseconds(0));
    void releaseEverything();

    // Within the bound, a moment at which every machine's digest is the host's.
    bool digestsAgreeWithin(double seconds, std::vector<nlohmann::json>& agreed);

    bool                                        namespaces = false;
    std::vector<nlohmann::json>                 seen;
    std::unique_ptr<PlayerProcess>              relay;
    std::vector<std::unique_ptr<PlayerProcess>> machines;
};
