// quillstep-server: the dedicated host, built from the simulation alone, so
// it runs on a machine without graphics.

#include "game/DedicatedHost.h"
#include "game/Launch.h"

int main(const int argc, char** const argv) {
    const Start start = startProgram(argc, argv, Program::server);
    if (start.launch.exitCode) {
        return *start.launch.exitCode;
    }
    return runDedicatedHostUntilSignalled(stdout);
}
