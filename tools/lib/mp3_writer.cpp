#include "mp3_writer.h"

#include <lame/lame.h>

#include <cstdio>

namespace marrow {

bool writeMp3(const std::string& path, const std::vector<int16_t>& pcm, int sampleRate, int kbps,
              std::string& error) {
    lame_global_flags* lame = lame_init();
    if (!lame) {
        error = "LAME could not be initialised";
        return false;
    }
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 2);
    // The Info tag records the encoder delay and padding, so decoders give
    // back exactly the samples that went in.
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        error = "LAME rejected the encoding parameters";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "w+b");  // read back to update the Info tag
    if (!f) {
        lame_close(lame);
        error = path + ": cannot create the file";
        return false;
    }
    const int frames = static_cast<int>(pcm.size() / 2);
    const int chunk = 8192;
    std::vector<unsigned char> out(static_cast<size_t>(chunk) * 5 / 4 + 7200);
    bool ok = true;
    for (int at = 0; at < frames && ok; at += chunk) {
        int n = frames - at < chunk ? frames - at : chunk;
        int bytes = lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm.data() + at * 2), n, out.data(),
                                                   static_cast<int>(out.size()));
        ok = bytes >= 0 && std::fwrite(out.data(), 1, static_cast<size_t>(bytes), f) == static_cast<size_t>(bytes);
    }
    if (ok) {
        int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
        ok = bytes >= 0 && std::fwrite(out.data(), 1, static_cast<size_t>(bytes), f) == static_cast<size_t>(bytes);
    }
    if (ok) lame_mp3_tags_fid(lame, f);  // rewrites the Info tag at the file's start
    lame_close(lame);
    if (std::fclose(f) != 0) ok = false;
    if (!ok) error = path + ": MP3 encoding or writing failed";
    return ok;
}

}  // namespace marrow
