// Runs a test on an X server of its own: `own_display <test> [arguments]`. Keys typed on the
// keyboard, clicks at the pointer and the input focus then belong to that test's windows only,
// whatever the other tests running at the same time do on theirs. The server goes with the test.
#include "PrivateDisplay.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: own_display <test> [arguments]\n");
        return 2;
    }
    PrivateDisplay display;
    if (!display.started()) {
        std::fprintf(stderr, "own_display: no X server could be started\n");
        return 1;
    }
    // The server is tied to this process, not to this image: it ends when the test does.
    execv(argv[1], argv + 1);
    std::perror("own_display");
    return 1;
}
