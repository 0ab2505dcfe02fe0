#include "game/DedicatedHost.h"
#include "game/Launch.h"
#include "shell/Mainfile.h"

int main(const int argc, char** const argv) {
    const Start start = startProgram(argc, argv, Program::window);
    if (start.launch.exitCode) {
        return *start.launch.exitCode;
    }
    if (start.options.dedicated) {
        return runDedicatedHostUntilSignalled(stdout);
    }
    return runGame(start.launch, start.options.host);
}
