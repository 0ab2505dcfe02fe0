#include <atomic>
#include <csignal>
#include <cstdio>

#include "game/CommandLine.h"
#include "game/DedicatedHost.h"
#include "game/Launch.h"
#include "shell/Mainfile.h"

namespace {

std::atomic<bool> stopRequested{false};

void requestStop(int /*signal*/) {
    stopRequested = true;
}

}  // namespace

int main(const int argc, char** const argv) {
    const CommandLine line = readCommandLine(argc, argv);
    if (!line.proceed) {
        std::fputs(line.output.c_str(), line.outputIsError ? stderr : stdout);
        return line.exitCode;
    }
    const Launch launch = prepareLaunch(line.options, stderr);
    if (launch.exitCode) {
        return *launch.exitCode;
    }
    if (line.options.dedicated) {
        std::signal(SIGINT, requestStop);
        std::signal(SIGTERM, requestStop);
        return runDedicatedHost(stdout, stopRequested);
    }
    return runGame(launch, line.options.host);
}
