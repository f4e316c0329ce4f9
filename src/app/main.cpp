// Marrow: the presentation. No command line, no configuration: it reads
// pixmaps/, scenes/ and music/ from the working directory and always exits
// with status 1.
#include <X11/Xlib.h>

#include "app/frame_loop.h"

int main() {
    // Two toolkits (the console window and the display) talk to the X server
    // from two threads; Xlib must be told before either starts.
    XInitThreads();
    return marrow::runDemo(marrow::realHost());
}
