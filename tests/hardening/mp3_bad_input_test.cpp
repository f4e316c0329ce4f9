// Hostile MP3 files through the sound layer: openMpeg (what the program
// plays), probeMp3 and decodeMp3File (what the tools use). Missing, empty
// and text files are in tests/platform; here: binary garbage, files cut
// inside a frame, and broken ID3v2 tags. Each either plays what can be
// decoded (the three calls agreeing on the length) or is refused with a
// message that starts with the file's name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "bad_input.h"
#include "mp3_writer.h"
#include "platform/sound_system.h"

using namespace hardening;
using namespace marrow;

namespace {

// Half a second of a 440 Hz tone at 44.1 kHz, 128 kbit/s.
const std::vector<uint8_t>& goodMp3() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<int16_t> pcm;
        for (int i = 0; i < 22050; ++i) {
            auto s = static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * 440.0 * i / 44100.0));
            pcm.push_back(s);
            pcm.push_back(s);
        }
        const std::string path = tempPath("tone.mp3");
        std::string error;
        if (!writeMp3(path, pcm, 44100, 128, error)) ADD_FAILURE() << error;
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(path.c_str());
        return out;
    }();
    return bytes;
}

// What each of the three calls makes of one file.
struct Outcome {
    bool opened = false;
    int32_t lengthFrames = 0;  // openMpeg's scanned length
    std::string openError;
    bool probed = false;
    double seconds = 0;
    std::string probeError;
    bool decoded = false;
    size_t decodedFrames = 0;  // 16-bit stereo frames
    std::string decodeError;
};

Outcome tryFile(const std::vector<uint8_t>& bytes, const std::string& path) {
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Outcome o;
    Mp3SoundSystem sound;
    SoundStream* s = sound.openMpeg(path, 0);
    o.opened = s != nullptr;
    if (s) {
        o.lengthFrames = sound.getLength(s);
        sound.closeStream(s);
    } else {
        o.openError = sound.error();
    }
    o.probed = probeMp3(path, o.seconds, o.probeError);
    std::string pcm;
    long rate = 0;
    o.decoded = decodeMp3File(path, pcm, rate, o.decodeError);
    o.decodedFrames = pcm.size() / 4;
    std::remove(path.c_str());
    return o;
}

void expectRefused(const Outcome& o, const std::string& path) {
    EXPECT_FALSE(o.opened);
    EXPECT_FALSE(o.probed);
    EXPECT_FALSE(o.decoded);
    for (const std::string* e : {&o.openError, &o.probeError, &o.decodeError}) {
        EXPECT_EQ(e->rfind(path + ": ", 0), 0u) << *e;
        EXPECT_GT(e->size(), path.size() + 2) << "no reason given";
    }
}

// Opened, and the three calls agree on how much there is to play. A whole
// file's scanned length is exactly what decodes. In a cut file the encoder's
// gapless numbers (LAME header) no longer fit: the scan then counts whole
// frames while decoding still drops the encoder delay at the start, so the
// length may run ahead of the samples by less than two frames (1152 each).
void expectPlayable(const Outcome& o, bool cut = false) {
    ASSERT_TRUE(o.opened) << o.openError;
    ASSERT_TRUE(o.probed) << o.probeError;
    ASSERT_TRUE(o.decoded) << o.decodeError;
    EXPECT_GT(o.lengthFrames, 0);
    if (cut) {
        EXPECT_GE(static_cast<size_t>(o.lengthFrames), o.decodedFrames);
        EXPECT_LT(static_cast<size_t>(o.lengthFrames), o.decodedFrames + 2 * 1152);
    } else {
        EXPECT_EQ(static_cast<size_t>(o.lengthFrames), o.decodedFrames);
    }
    EXPECT_EQ(o.seconds, o.lengthFrames / 44100.0);
}

}  // namespace

TEST(Mp3BadInput, TheToneItselfPlaysItsWholeLength) {
    Outcome o = tryFile(goodMp3(), tempPath("tone.mp3"));
    expectPlayable(o);
    // LAME pads the start and end; the decoder's gapless handling takes the
    // padding off again, leaving the samples that went in.
    EXPECT_EQ(o.lengthFrames, 22050);
}

TEST(Mp3BadInput, BinaryGarbageIsRefusedWithTheFileName) {
    std::vector<uint8_t> noise(65536);
    uint32_t x = 12345;
    for (uint8_t& b : noise) {
        x = x * 1103515245u + 12345u;  // a fixed sequence, no sync words on purpose
        b = static_cast<uint8_t>(x >> 24) & 0x7F;
    }
    const std::string path = tempPath("noise.mp3");
    expectRefused(tryFile(noise, path), path);
    // Zeros and a lone sync word with nothing after it.
    const std::string zeros = tempPath("zeros.mp3");
    expectRefused(tryFile(std::vector<uint8_t>(4096, 0), zeros), zeros);
    const std::string sync = tempPath("sync.mp3");
    expectRefused(tryFile({0xFF, 0xFB, 0x90, 0x64}, sync), sync);
}

TEST(Mp3BadInput, AFileCutShortPlaysWhatIsLeft) {
    const std::vector<uint8_t>& good = goodMp3();
    for (size_t keep : {good.size() / 2 + 77, good.size() / 4 + 3}) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(keep));
        Outcome o = tryFile(cut, tempPath("cut.mp3"));
        expectPlayable(o, true);
        EXPECT_LT(o.lengthFrames, 22050) << keep;
    }
    // Inside the first frame: nothing to play.
    std::vector<uint8_t> head(good.begin(), good.begin() + 100);
    const std::string path = tempPath("head.mp3");
    expectRefused(tryFile(head, path), path);
}

// ID3v2 header: "ID3", version 3.0, flags, then a 28-bit syncsafe size.
std::vector<uint8_t> id3Header(uint32_t size) {
    return {'I', 'D', '3', 3, 0, 0, static_cast<uint8_t>((size >> 21) & 0x7F), static_cast<uint8_t>((size >> 14) & 0x7F),
            static_cast<uint8_t>((size >> 7) & 0x7F), static_cast<uint8_t>(size & 0x7F)};
}

TEST(Mp3BadInput, BrokenId3Tags) {
    const std::vector<uint8_t>& good = goodMp3();
    // A tag whose size runs far past the end of the file hides all audio.
    std::vector<uint8_t> huge = id3Header(0x0FFFFFFF);
    huge.insert(huge.end(), good.begin(), good.end());
    const std::string hugePath = tempPath("huge_tag.mp3");
    expectRefused(tryFile(huge, hugePath), hugePath);

    // A tag of frames that make no sense, of the size it says: skipped, and
    // the audio after it plays whole.
    std::vector<uint8_t> junk = id3Header(200);
    for (int i = 0; i < 200; ++i) junk.push_back(static_cast<uint8_t>(i * 37));
    junk.insert(junk.end(), good.begin(), good.end());
    Outcome o = tryFile(junk, tempPath("junk_tag.mp3"));
    expectPlayable(o);
    EXPECT_EQ(o.lengthFrames, 22050);

    // A tag and nothing else; a tag header cut short.
    std::vector<uint8_t> alone = id3Header(16);
    alone.resize(alone.size() + 16, 0);
    const std::string alonePath = tempPath("tag_only.mp3");
    expectRefused(tryFile(alone, alonePath), alonePath);
    const std::string cutPath = tempPath("tag_cut.mp3");
    expectRefused(tryFile({'I', 'D', '3', 3}, cutPath), cutPath);
}
