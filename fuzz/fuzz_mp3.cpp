// Fuzz target: the MP3 side of the sound layer on any bytes: openMpeg (open,
// format, full length scan) and the whole-file decode the tools use. Each
// either succeeds or fails with a message that names the file.
#include <cstdlib>

#include "fuzz_input.h"
#include "platform/sound_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static marrowfuzz::InputFile input;
    const std::string& path = input.write(data, size);

    {
        marrow::Mp3SoundSystem sound;
        marrow::SoundStream* s = sound.openMpeg(path, 0);
        if (s) {
            if (sound.getLength(s) <= 0 || sound.getPosition(s) != 0 || sound.getTime(s) != 0) std::abort();
            sound.closeStream(s);
        } else if (sound.error().rfind(path, 0) != 0) {
            std::abort();
        }
    }
    std::string pcm, error;
    long rate = 0;
    if (marrow::decodeMp3File(path, pcm, rate, error)) {
        if (pcm.empty() || pcm.size() % 4 != 0 || rate <= 0) std::abort();
    } else if (error.rfind(path, 0) != 0) {
        std::abort();
    }
    return 0;
}
