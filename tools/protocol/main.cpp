// quillstep-protocol-table FILE: writes the game-message table into the
// document between its markers (make protocol-table does, for
// docs/network-protocol.md).

#include <cstdio>
#include <fstream>
#include <sstream>

#include "ProtocolTable.h"

int main(const int argc, char** const argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillstep-protocol-table DOCUMENT\n");
        return 2;
    }
    std::ifstream      in(argv[1]);
    std::ostringstream document;
    document << in.rdbuf();
    const std::optional<std::string> updated = withGameMessageTable(document.str());
    if (!in || !updated) {
        std::fprintf(stderr, "quillstep-protocol-table: %s has no game-message markers\n", argv[1]);
        return 1;
    }
    std::ofstream(argv[1]) << *updated;
    return 0;
}
