#include "shell/Mainfile.h"

int main() {
    return runGame();
}
