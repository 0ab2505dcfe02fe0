// Map files of any content and size.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "world/World.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    static SilentPlatform    platform;
    static const std::string path = "/tmp/quillstep-fuzz-map-" + std::to_string(getpid()) + ".raw";
    setPlatform(&platform);
    if (FILE* const file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    CWorld world;
    world.loadMap(path.c_str());
    return 0;
}
