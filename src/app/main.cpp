// Marrow: the presentation. No command line, no configuration: it reads
// pixmaps/, scenes/ and music/ from the working directory and always exits
// with status 1.
#include <X11/Xlib.h>

#include "app/frame_loop.h"
#include "common/frame_workers.h"

int main() {
    // Two toolkits (the console window and the display) talk to the X server
    // from two threads; Xlib must be told before either starts.
    XInitThreads();
    // Each frame's work is shared by one thread per core.
    marrow::startFrameWorkers(0);
    return marrow::runDemo(marrow::realHost());
}
