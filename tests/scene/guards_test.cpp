// Bad files: every guard of the reader with a small hand-made file, the
// version check, and every truncation and single-byte corruption of a real
// scene (run under the sanitizer build for leaks and stray accesses).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "scene_util.h"

using namespace scenetest;

namespace {

using Body = std::function<void(w::ChunkWriter&)>;

std::vector<uint8_t> editor(const Body& body) {
    w::ChunkWriter c;
    body(c);
    return wrapFile(c.data());
}

int32_t worldResult(const std::vector<uint8_t>& bytes) {
    Loaded l(bytes, false);
    if (l.world != ORIN_OK) {
        EXPECT_EQ(l.scene->world, nullptr) << "failed world not freed";
    }
    return l.world;
}

// A named mesh whose 0x4100 body is `body`.
Body mesh(const std::string& name, const Body& body) {
    return [=](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str(name);
        c.begin(0x4100);
        body(c);
        c.end();
        c.end();
    };
}

void vertices(w::ChunkWriter& c, int n) {
    c.begin(0x4110);
    c.u16(static_cast<uint16_t>(n));
    for (int i = 0; i < n; ++i) c.f32(float(i)), c.f32(0), c.f32(0);
    c.end();
}

void faces(w::ChunkWriter& c, std::initializer_list<uint16_t> idx, const Body& sub = {}) {
    c.begin(0x4120);
    c.u16(static_cast<uint16_t>(idx.size() / 3));
    int k = 0;
    for (uint16_t i : idx) {
        c.u16(i);
        if (++k % 3 == 0) c.u16(7);
    }
    if (sub) sub(c);
    c.end();
}

void material(w::ChunkWriter& c, const std::string& name) {
    c.begin(0xAFFF);
    c.begin(0xA000);
    c.str(name);
    c.end();
    c.end();
}

// A motion file over one mesh "M" with the given keyframer body.
std::vector<uint8_t> motion(const Body& kf) {
    w::ChunkWriter e;
    mesh("M", [](w::ChunkWriter& c) { vertices(c, 2); })(e);
    w::ChunkWriter k;
    k.begin(0xB000);
    kf(k);
    k.end();
    return wrapFile(e.data(), k.data());
}

void nodeHeader(w::ChunkWriter& c, const std::string& name, int16_t parent = -1) {
    c.begin(0xB010);
    c.str(name);
    c.u16(0), c.u16(0), c.s16(parent);
    c.end();
}

int32_t motionResult(const std::vector<uint8_t>& bytes) {
    Loaded l(bytes);
    EXPECT_EQ(l.world, ORIN_OK);
    if (l.motion != ORIN_OK) {
        EXPECT_EQ(l.scene->nodes, nullptr);
    }
    return l.motion;
}

}  // namespace

TEST(Guards, VersionByte) {
    auto good = w::build3ds(sampleScene());
    ASSERT_EQ(good[28], 3);
    for (uint8_t v : {0, 1}) {
        auto bad = good;
        bad[28] = v;
        bad[16 + 2] = 0xFF;  // a broken editor chunk length: never looked at
        EXPECT_EQ(worldResult(bad), ORIN_ERR_VERSION);
        Loaded l(bad);
        EXPECT_EQ(l.motion, ORIN_ERR_NOT_LOADED);
    }
    auto two = good;
    two[28] = 2;
    EXPECT_EQ(worldResult(two), ORIN_OK);
    // The motion pass checks the version byte on its own.
    Loaded l(tempFile(good), false);
    {
        auto bad = good;
        bad[28] = 0;
        EXPECT_EQ(orin_load_motion(tempFile(bad).c_str(), l.scene), ORIN_ERR_VERSION);
    }
    for (size_t n : {0, 1, 28}) {
        std::vector<uint8_t> shortFile(good.begin(), good.begin() + n);
        EXPECT_EQ(worldResult(shortFile), ORIN_ERR_READ) << n;
    }
}

TEST(Guards, ChunkLengths) {
    // Below the 6-byte header.
    for (uint32_t len : {0u, 5u}) {
        auto f = editor([&](w::ChunkWriter& c) {
            c.u16(0x1234);
            c.u32(len);
            c.u32(0);
        });
        EXPECT_EQ(worldResult(f), ORIN_ERR_READ) << len;
    }
    // Longer than its parent (the parent is a named object chunk).
    auto f = editor([](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str("X");
        c.u16(0x4100);
        c.u32(100);
        c.end();
        c.u32(0), c.u32(0), c.u32(0), c.u32(0);
    });
    EXPECT_EQ(worldResult(f), ORIN_ERR_READ);
    // Longer than the file.
    auto g = w::build3ds(sampleScene());
    g[2] += 1;
    EXPECT_EQ(worldResult(g), ORIN_ERR_READ);
    // A header cut short at the end of a level.
    auto h = editor([](w::ChunkWriter& c) { c.u16(0x1234); });
    EXPECT_EQ(worldResult(h), ORIN_ERR_READ);
}

TEST(Guards, CountsThatDisagree) {
    // Mapping count above the vertex count.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  vertices(c, 2);
                  c.begin(0x4140);
                  c.u16(3);
                  for (int i = 0; i < 6; ++i) c.f32(0);
                  c.end();
              }))),
              ORIN_ERR_READ);
    // A face index at the vertex count.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  vertices(c, 3);
                  faces(c, {0, 1, 3});
              }))),
              ORIN_ERR_READ);
    // Faces before the vertex list index nothing.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) { faces(c, {0, 0, 0}); }))),
              ORIN_ERR_READ);
    // A material-group index at the face count.
    EXPECT_EQ(worldResult(editor([](w::ChunkWriter& c) {
                  material(c, "Mat");
                  mesh("X", [](w::ChunkWriter& c) {
                      vertices(c, 3);
                      faces(c, {0, 1, 2}, [](w::ChunkWriter& c) {
                          c.begin(0x4130);
                          c.str("Mat");
                          c.u16(1);
                          c.u16(1);
                          c.end();
                      });
                  })(c);
              })),
              ORIN_ERR_READ);
    // A second vertex list, a second face list.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  vertices(c, 3);
                  vertices(c, 3);
              }))),
              ORIN_ERR_READ);
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  vertices(c, 3);
                  faces(c, {0, 1, 2});
                  faces(c, {0, 1, 2});
              }))),
              ORIN_ERR_READ);
    // And the consistent file these were made from loads.
    EXPECT_EQ(worldResult(editor([](w::ChunkWriter& c) {
                  material(c, "Mat");
                  mesh("X", [](w::ChunkWriter& c) {
                      vertices(c, 3);
                      faces(c, {0, 1, 2}, [](w::ChunkWriter& c) {
                          c.begin(0x4130);
                          c.str("Mat");
                          c.u16(1);
                          c.u16(0);
                          c.end();
                      });
                  })(c);
              })),
              ORIN_OK);
}

// Counts larger than the chunk could hold fail before anything is allocated.
TEST(Guards, CountsBeyondTheChunk) {
    auto count = [](uint16_t id, int pad) {
        return editor(mesh("X", [=](w::ChunkWriter& c) {
            if (id != 0x4110) vertices(c, 3);
            c.begin(id);
            c.u16(0xFFFF);
            for (int i = 0; i < pad; ++i) c.u8(0);
            c.end();
        }));
    };
    EXPECT_EQ(worldResult(count(0x4110, 12 * 10)), ORIN_ERR_READ);
    EXPECT_EQ(worldResult(count(0x4120, 8 * 10)), ORIN_ERR_READ);
    EXPECT_EQ(worldResult(count(0x4140, 8 * 2)), ORIN_ERR_READ);
    auto group = editor([](w::ChunkWriter& c) {
        material(c, "Mat");
        mesh("X", [](w::ChunkWriter& c) {
            vertices(c, 3);
            faces(c, {0, 1, 2}, [](w::ChunkWriter& c) {
                c.begin(0x4130);
                c.str("Mat");
                c.u16(5000);
                c.u16(0);
                c.end();
            });
        })(c);
    });
    EXPECT_EQ(worldResult(group), ORIN_ERR_READ);
}

// `current` is whatever record came last; each handler checks its kind.
TEST(Guards, HandlersCheckTheKindOfCurrent) {
    // A vertex list right after a material.
    EXPECT_EQ(worldResult(editor([](w::ChunkWriter& c) {
                  material(c, "Mat");
                  vertices(c, 1);
              })),
              ORIN_ERR_READ);
    // A vertex list before any record at all.
    EXPECT_EQ(worldResult(editor([](w::ChunkWriter& c) { vertices(c, 1); })), ORIN_ERR_READ);
    // Light ranges and a spotlight under a mesh.
    for (uint16_t id : {0x4659, 0x465A, 0x4610}) {
        EXPECT_EQ(worldResult(editor(mesh("X", [=](w::ChunkWriter& c) {
                      vertices(c, 1);
                      c.begin(static_cast<uint16_t>(id));
                      for (int i = 0; i < 5; ++i) c.f32(1);
                      c.end();
                  }))),
                  ORIN_ERR_READ)
            << std::hex << id;
    }
    // Material chunks under a mesh: name, flag, shading.
    for (uint16_t id : {0xA000, 0xA081, 0xA100}) {
        EXPECT_EQ(worldResult(editor(mesh("X", [=](w::ChunkWriter& c) {
                      c.begin(static_cast<uint16_t>(id));
                      c.u16(0);
                      c.end();
                  }))),
                  ORIN_ERR_READ)
            << std::hex << id;
    }
    // A map container under a mesh: its file name has no material to go to.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  c.begin(0xA200);
                  c.begin(0xA300);
                  c.str("T.JPG");
                  c.end();
                  c.end();
              }))),
              ORIN_ERR_READ);
    // A light colour aimed at a camera: after the light's level returns its
    // id is still the enclosing id when the camera and the colour come.
    EXPECT_EQ(worldResult(editor([](w::ChunkWriter& c) {
                  c.begin(0x4000);
                  c.str("L");
                  c.begin(0x4600);
                  c.f32(0), c.f32(0), c.f32(0);
                  c.end();
                  c.begin(0x4700);
                  for (int i = 0; i < 8; ++i) c.f32(1);
                  c.end();
                  c.begin(0x0010);
                  c.f32(1), c.f32(1), c.f32(1);
                  c.end();
                  c.end();
              })),
              ORIN_ERR_READ);
    // A material-group naming a mesh rather than a material.
    EXPECT_EQ(worldResult(editor(mesh("X", [](w::ChunkWriter& c) {
                  vertices(c, 3);
                  faces(c, {0, 1, 2}, [](w::ChunkWriter& c) {
                      c.begin(0x4130);
                      c.str("X");
                      c.u16(1);
                      c.u16(0);
                      c.end();
                  });
              }))),
              ORIN_ERR_LOOKUP);
}

TEST(Guards, MotionHandlersCheckTheKindOfCurrent) {
    // A pivot or an instance name before any object node.
    EXPECT_EQ(motionResult(motion([](w::ChunkWriter& c) {
                  c.begin(0xB013);
                  c.f32(1), c.f32(2), c.f32(3);
                  c.end();
              })),
              ORIN_ERR_READ);
    EXPECT_EQ(motionResult(motion([](w::ChunkWriter& c) {
                  c.begin(0xB011);
                  c.str("Name");
                  c.end();
              })),
              ORIN_ERR_READ);
    // "$AMBIENT$" in an object node, "$$$DUMMY" in a camera node.
    EXPECT_EQ(motionResult(motion([](w::ChunkWriter& c) {
                  c.begin(0xB002);
                  nodeHeader(c, "$AMBIENT$");
                  c.end();
              })),
              ORIN_ERR_READ);
    EXPECT_EQ(motionResult(motion([](w::ChunkWriter& c) {
                  c.begin(0xB003);
                  nodeHeader(c, "$$$DUMMY");
                  c.end();
              })),
              ORIN_ERR_READ);
    // A node header outside any node chunk makes no node, and a pivot after
    // a proper object node is fine.
    EXPECT_EQ(motionResult(motion([](w::ChunkWriter& c) {
                  nodeHeader(c, "M");
                  c.begin(0xB002);
                  nodeHeader(c, "M");
                  c.begin(0xB013);
                  c.f32(1), c.f32(2), c.f32(3);
                  c.end();
                  c.end();
              })),
              ORIN_OK);
}

TEST(Guards, StringsWithoutTerminator) {
    auto f = editor([](w::ChunkWriter& c) {
        c.begin(0x4000);
        const char name[] = {'A', 'B', 'C'};
        c.bytes(name, sizeof(name));
        c.end();
    });
    EXPECT_EQ(worldResult(f), ORIN_ERR_READ);
}

TEST(Guards, DataShorterThanItsChunkNeeds) {
    // A camera chunk with seven of its eight reals.
    auto f = editor([](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str("C");
        c.begin(0x4700);
        for (int i = 0; i < 7; ++i) c.f32(1);
        c.end();
        c.begin(0x1234);  // the next chunk's bytes must not be taken instead
        c.f32(1);
        c.end();
        c.end();
    });
    EXPECT_EQ(worldResult(f), ORIN_ERR_READ);
}

TEST(Guards, NestingDepth) {
    auto nested = [](int levels) {
        w::ChunkWriter c;
        for (int i = 0; i < levels; ++i) c.begin(0x3D3D);
        for (int i = 0; i < levels; ++i) c.end();
        return wrapFile(c.data());
    };
    // The main and editor chunks are levels 1 and 2: 62 more make 64.
    EXPECT_EQ(worldResult(nested(62)), ORIN_OK);
    EXPECT_EQ(worldResult(nested(63)), ORIN_ERR_READ);
    EXPECT_EQ(worldResult(nested(5000)), ORIN_ERR_READ);
}

TEST(Guards, TruncatedAtEveryOffset) {
    auto good = w::build3ds(sampleScene());
    int failures = 0;
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        Loaded l(cut);
        EXPECT_TRUE(l.world == ORIN_OK || l.world == ORIN_ERR_READ || l.world == ORIN_ERR_VERSION)
            << n;
        if (l.world != ORIN_OK) ++failures;
    }
    // Every cut leaves the main chunk running past the end of the file.
    EXPECT_EQ(failures, static_cast<int>(good.size()));
}

// Each byte replaced by 0x00, 0xFF and its neighbourhood value: the load
// succeeds or fails with a code, nothing crashes or leaks.
TEST(Guards, EveryByteCorrupted) {
    auto good = w::build3ds(sampleScene());
    const int32_t allowed[] = {ORIN_OK, ORIN_ERR_READ, ORIN_ERR_VERSION, ORIN_ERR_LOOKUP,
                               ORIN_ERR_NOT_LOADED};
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(good[i] ^ 0x01)}) {
            auto bad = good;
            bad[i] = v;
            Loaded l(bad);
            EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), l.world), std::end(allowed));
            EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), l.motion), std::end(allowed));
            // Whatever loaded is consistent: faces point into their own vertices.
            for (orin_world_node* n = l.scene->world; n; n = n->next) {
                if (n->type != ORIN_OBJECT) continue;
                auto* o = static_cast<orin_object*>(n->object);
                for (int f = 0; f < o->num_faces; ++f) {
                    ASSERT_LT(o->faces[f].a, static_cast<uint32_t>(o->num_vertices));
                    ASSERT_EQ(o->faces[f].pa, o->vertices + o->faces[f].a);
                }
            }
        }
    }
}
