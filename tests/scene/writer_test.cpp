// The 3DS writer: the byte layout of its track chunks and the container
// structure other readers rely on.
#include <gtest/gtest.h>

#include <cstring>

#include "scene_util.h"

using namespace scenetest;

namespace {

struct Cursor {
    const std::vector<uint8_t>& d;
    size_t p = 0;
    uint16_t u16() {
        uint16_t v = static_cast<uint16_t>(d.at(p) | (d.at(p + 1) << 8));
        p += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | (static_cast<uint32_t>(u16()) << 16);
    }
    float f32() {
        uint32_t u = u32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    std::string str() {
        std::string s;
        while (d.at(p)) s += static_cast<char>(d[p++]);
        ++p;
        return s;
    }
};

struct ChunkRef {
    uint16_t id;
    size_t start, end;
};

// The sub-chunks of a container that has no data of its own.
std::vector<ChunkRef> children(const std::vector<uint8_t>& d, size_t start, size_t end) {
    std::vector<ChunkRef> out;
    Cursor c{d, start};
    while (c.p < end) {
        size_t s = c.p;
        uint16_t id = c.u16();
        uint32_t len = c.u32();
        EXPECT_GE(len, 6u);
        EXPECT_LE(s + len, end) << std::hex << id;
        out.push_back({id, s + 6, s + len});
        c.p = s + len;
    }
    EXPECT_EQ(c.p, end);
    return out;
}

}  // namespace

TEST(Writer, ChunkLengthsNest) {
    w::ChunkWriter c;
    c.begin(0x1111);
    c.u8(1);
    c.begin(0x2222);
    c.u32(7);
    c.end();
    c.end();
    const std::vector<uint8_t> expect = {0x11, 0x11, 17, 0, 0, 0, 1, 0x22, 0x22, 10, 0, 0, 0, 7, 0, 0, 0};
    EXPECT_EQ(c.data(), expect);
}

TEST(Writer, FileLayout) {
    w::Scene3ds s = sampleScene();
    s.meshVersion = 0x0207;
    auto d = w::build3ds(s);
    EXPECT_EQ(d[28], 0x07);  // the version byte is the mesh version's low byte
    auto top = children(d, 0, d.size());
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].id, 0x4D4D);
    auto main = children(d, top[0].start, top[0].end);
    ASSERT_EQ(main.size(), 3u);
    EXPECT_EQ(main[0].id, 0x0002);
    EXPECT_EQ(main[1].id, 0x3D3D);
    EXPECT_EQ(main[2].id, 0xB000);
    auto editor = children(d, main[1].start, main[1].end);
    std::vector<uint16_t> ids;
    for (auto& c : editor) ids.push_back(c.id);
    const std::vector<uint16_t> expectEditor = {0x3D3E, 0xAFFF, 0xAFFF, 0x0100, 0x1200, 0x2100,
                                                0x4000, 0x4000, 0x4000, 0x4000, 0x4000};
    EXPECT_EQ(ids, expectEditor);
    auto kf = children(d, main[2].start, main[2].end);
    ids.clear();
    for (auto& c : kf) ids.push_back(c.id);
    const std::vector<uint16_t> expectKf = {0xB00A, 0xB008, 0xB009, 0xB001, 0xB002, 0xB002,
                                            0xB002, 0xB003, 0xB004, 0xB005, 0xB007, 0xB006};
    EXPECT_EQ(ids, expectKf);
    // The Box node: number, header, pivot, then its four tracks.
    auto box = children(d, kf[5].start, kf[5].end);
    ids.clear();
    for (auto& c : box) ids.push_back(c.id);
    const std::vector<uint16_t> expectBox = {0xB030, 0xB010, 0xB013, 0xB020, 0xB022, 0xB026, 0xB029};
    EXPECT_EQ(ids, expectBox);
    Cursor c{d, box[1].start};
    EXPECT_EQ(c.str(), "Box");
    EXPECT_EQ(c.u16(), 0x0800);
    EXPECT_EQ(c.u16(), 0);
    EXPECT_EQ(static_cast<int16_t>(c.u16()), 1);
    EXPECT_EQ(c.p, box[1].end);
}

// Track header: flags, 8 bytes, 32-bit key count; each key: 32-bit frame,
// spline flags (bit 0 tension .. bit 4 ease from) with one real per set bit,
// then the key's data.
TEST(Writer, TrackLayout) {
    w::Track t;
    t.kind = w::TrackKind::Position;
    t.mode = w::TrackMode::Loop;
    t.keys = {w::vecKey(0, {1, 2, 3}), w::vecKey(70000, {4, 5, 6}, {0.5f, 0, -0.25f, 0, 1})};
    w::ChunkWriter w1;
    w::writeTrack(w1, t);
    const auto& d = w1.data();
    Cursor c{d};
    EXPECT_EQ(c.u16(), 0xB020);
    EXPECT_EQ(c.u32(), d.size());
    EXPECT_EQ(c.u16(), 3);  // loop: bits 0 and 1
    EXPECT_EQ(c.u32(), 0u);
    EXPECT_EQ(c.u32(), 0u);
    EXPECT_EQ(c.u32(), 2u);
    EXPECT_EQ(c.u32(), 0u);
    EXPECT_EQ(c.u16(), 0);
    EXPECT_EQ(c.f32(), 1.0f);
    EXPECT_EQ(c.f32(), 2.0f);
    EXPECT_EQ(c.f32(), 3.0f);
    EXPECT_EQ(c.u32(), 70000u);
    EXPECT_EQ(c.u16(), 1 | 4 | 16);
    EXPECT_EQ(c.f32(), 0.5f);
    EXPECT_EQ(c.f32(), -0.25f);
    EXPECT_EQ(c.f32(), 1.0f);
    EXPECT_EQ(c.f32(), 4.0f);
    EXPECT_EQ(c.f32(), 5.0f);
    EXPECT_EQ(c.f32(), 6.0f);
    EXPECT_EQ(c.p, d.size());
}

TEST(Writer, KeyDataByTrackKind) {
    struct Case {
        w::TrackKind kind;
        size_t keyBytes;  // after the 6-byte key header without spline reals
    };
    const Case cases[] = {{w::TrackKind::Rotation, 16}, {w::TrackKind::Scale, 12},
                          {w::TrackKind::Fov, 4},       {w::TrackKind::Roll, 4},
                          {w::TrackKind::Color, 12},    {w::TrackKind::Morph, 5}};
    for (const Case& k : cases) {
        w::Track t;
        t.kind = k.kind;
        t.mode = w::TrackMode::Repeat;
        w::Key key = w::rotKey(9, 1.5f, {0, 1, 0});
        key.target = "Tri1";
        key.v = {7, 8, 9};
        t.keys = {key};
        w::ChunkWriter cw;
        w::writeTrack(cw, t);
        EXPECT_EQ(cw.size(), 6 + 14 + 6 + k.keyBytes) << std::hex << static_cast<int>(k.kind);
        Cursor c{cw.data(), 6};
        EXPECT_EQ(c.u16(), 2);  // repeat: bit 1
        c.p = 20;
        EXPECT_EQ(c.u32(), 9u);
        EXPECT_EQ(c.u16(), 0);
        if (k.kind == w::TrackKind::Rotation) {
            EXPECT_EQ(c.f32(), 1.5f);
            EXPECT_EQ(c.f32(), 0.0f);
            EXPECT_EQ(c.f32(), 1.0f);
            EXPECT_EQ(c.f32(), 0.0f);
        } else if (k.kind == w::TrackKind::Morph) {
            EXPECT_EQ(c.str(), "Tri1");
        } else {
            EXPECT_EQ(c.f32(), 7.0f);
        }
    }
    // Hide keys: 32-bit frame and 16 bits, no spline data.
    w::Track h;
    h.kind = w::TrackKind::Hide;
    w::Key a, b;
    a.frame = 3;
    a.spline.tension = 1;  // ignored for hide keys
    b.frame = 8;
    h.keys = {a, b};
    w::ChunkWriter cw;
    w::writeTrack(cw, h);
    EXPECT_EQ(cw.size(), 6u + 14 + 2 * 6);
    Cursor c{cw.data(), 26};
    EXPECT_EQ(c.u32(), 8u);
    EXPECT_EQ(c.u16(), 0);
}

TEST(Writer, ByteColoursRoundAndClamp) {
    w::Material m;
    m.name = "B";
    m.colorFormat = w::ColorFormat::Bytes;
    m.ambient = {-1.0f, 0.5f, 2.0f};
    w::ChunkWriter cw;
    w::writeMaterial(cw, m);
    // AFFF header, A000 "B", A010 header, 0011 header, then three bytes.
    Cursor c{cw.data(), 6 + 8 + 6 + 6};
    EXPECT_EQ(cw.data()[c.p - 6], 0x11);
    EXPECT_EQ(cw.data()[c.p], 0);
    EXPECT_EQ(cw.data()[c.p + 1], 128);
    EXPECT_EQ(cw.data()[c.p + 2], 255);
}
