// Marrow: the presentation. No command line, no configuration: it reads
// pixmaps/, scenes/ and music/ from the working directory and always exits
// with status 1. --help alone is answered (with status 0), so someone who
// tries it learns where the program looks; every other argument is ignored.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

#include "app/frame_loop.h"
#include "common/frame_workers.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("marrow: plays the presentation full screen. It takes no options: it reads pixmaps/, scenes/\n"
                   "and music/demo.mp3 from the directory it is started in (make build writes the default data\n"
                   "set to build/demo). Space logs the music time; any other key ends it.\n",
                   stdout);
        return 0;
    }
    // Two toolkits (the console window and the display) talk to the X server
    // from two threads; Xlib must be told before either starts.
    XInitThreads();
    // Each frame's work is shared by one thread per core.
    marrow::startFrameWorkers(0);
    return marrow::runDemo(marrow::realHost());
}
