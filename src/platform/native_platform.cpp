// native_platform.cpp: the process-wide display and music layers of the
// desktop program, over SDL2 and libmpg123. The browser build defines the
// same two functions over its own layers instead.
#include "platform/display.h"
#include "platform/music.h"
#include "platform/sdl_display.h"
#include "platform/sound_system.h"

namespace marrow {

DisplayLayer& display() {
    // The console exists before main runs and is destroyed at exit, which
    // closes the display.
    static SdlConsole console;
    static DisplayLayer layer(console);
    return layer;
}

MusicLayer& music() {
    static Mp3SoundSystem sound;
    static MusicLayer layer(sound);
    return layer;
}

}  // namespace marrow
