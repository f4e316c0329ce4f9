// World pass: every record kind read back from files our writer made.
#include <gtest/gtest.h>

#include <cstring>

#include "scene_util.h"

using namespace scenetest;

namespace {

void expectVec(const orin_vector& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

void expectColor(const orin_color& c, float r, float g, float b) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
}

std::vector<uint8_t> editorOf(const std::function<void(w::ChunkWriter&)>& body) {
    w::ChunkWriter c;
    body(c);
    return wrapFile(c.data());
}

}  // namespace

TEST(World, ListOrderTypesAndIds) {
    Loaded l(w::build3ds(sampleScene()), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto nodes = l.worldNodes();
    ASSERT_EQ(nodes.size(), 7u);
    const char* names[] = {"Red", "Textured", "Box", "Tri", "Camera01", "Omni01", "Spot01"};
    const int32_t types[] = {ORIN_MATERIAL, ORIN_MATERIAL, ORIN_OBJECT, ORIN_OBJECT,
                             ORIN_CAMERA,   ORIN_LIGHT,    ORIN_LIGHT};
    for (size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_STREQ(orin_record_name(nodes[i]), names[i]);
        EXPECT_EQ(nodes[i]->type, types[i]);
        EXPECT_EQ(orin_record_id(nodes[i]), static_cast<int32_t>(i)) << names[i];
        EXPECT_EQ(nodes[i]->prev, i ? nodes[i - 1] : nullptr);
    }
    EXPECT_EQ(l.scene->world_last, nodes.back());
    EXPECT_EQ(l.scene->nodes, nullptr);
    EXPECT_EQ(l.scene->frame_start, 0.0f);
    EXPECT_EQ(l.scene->frame_end, 0.0f);
}

TEST(World, Materials) {
    Loaded l(w::build3ds(sampleScene()), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* red = l.record<orin_material>("Red");
    ASSERT_NE(red, nullptr);
    expectColor(red->ambient, 0.1f, 0.0f, 0.0f);
    expectColor(red->diffuse, 0.9f, 0.1f, 0.2f);
    expectColor(red->specular, 1.0f, 0.9f, 0.8f);
    EXPECT_FLOAT_EQ(red->shininess, 0.40f);
    EXPECT_FLOAT_EQ(red->shin_strength, 0.25f);
    EXPECT_FLOAT_EQ(red->transparency, 0.10f);
    EXPECT_FLOAT_EQ(red->trans_falloff, 0.05f);
    EXPECT_FLOAT_EQ(red->refl_blur, 0.03f);
    EXPECT_FLOAT_EQ(red->self_illum, 0.77f);
    EXPECT_EQ(red->shading, 3);
    EXPECT_EQ(red->flags, ORIN_MAT_TWO_SIDED | ORIN_MAT_ADDITIVE);
    EXPECT_EQ(red->texture.file, nullptr);
    EXPECT_EQ(red->bump.file, nullptr);
    EXPECT_EQ(red->reflection.file, nullptr);

    auto* tex = l.record<orin_material>("Textured");
    ASSERT_NE(tex, nullptr);
    // Byte colours: 255 -> 1, 128 -> 128/255, 0 -> 0.
    expectColor(tex->diffuse, 1.0f, 128.0f / 255.0f, 0.0f);
    expectColor(tex->specular, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(tex->shading, 2);
    EXPECT_EQ(tex->flags, ORIN_MAT_SOFT | ORIN_MAT_WIRE);
    EXPECT_STREQ(tex->texture.file, "TEX1.JPG");
    EXPECT_EQ(tex->texture.tiling, 0x10);
    EXPECT_EQ(tex->texture.u_scale, 2.0f);
    EXPECT_EQ(tex->texture.v_scale, 3.0f);
    EXPECT_EQ(tex->texture.u_offset, 0.25f);
    EXPECT_EQ(tex->texture.v_offset, 0.5f);
    EXPECT_EQ(tex->texture.rotation, 45.0f);
    EXPECT_STREQ(tex->bump.file, "BUMP.JPG");
    EXPECT_EQ(tex->bump.u_scale, 4.0f);
    EXPECT_STREQ(tex->reflection.file, "ENVMAP2.JPG");
    EXPECT_EQ(tex->reflection.v_offset, -1.0f);
    EXPECT_EQ(tex->reflection.u_scale, 1.0f);
}

TEST(World, MeshVerticesMappingFacesAndGroups) {
    Loaded l(w::build3ds(sampleScene()), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* box = l.record<orin_object>("Box");
    auto* red = l.record<orin_material>("Red");
    auto* tex = l.record<orin_material>("Textured");
    ASSERT_TRUE(box && red && tex);
    ASSERT_EQ(box->num_vertices, 4);
    // File (x, y, z) becomes (x, z, y).
    expectVec(box->vertices[2].local, 1, 0, 2);
    expectVec(box->vertices[3].local, 0, 3, 2);
    EXPECT_EQ(box->vertices[2].u, 1.0f);
    EXPECT_EQ(box->vertices[3].v, 1.0f);
    ASSERT_EQ(box->num_faces, 2);
    const orin_face& f0 = box->faces[0];
    const orin_face& f1 = box->faces[1];
    EXPECT_EQ(f1.a, 0u);
    EXPECT_EQ(f1.b, 2u);
    EXPECT_EQ(f1.c, 3u);
    EXPECT_EQ(f1.pa, &box->vertices[0]);
    EXPECT_EQ(f1.pb, &box->vertices[2]);
    EXPECT_EQ(f1.pc, &box->vertices[3]);
    EXPECT_EQ(f0.flags, ORIN_FACE_WRAP_U);
    EXPECT_EQ(f1.flags, ORIN_FACE_WRAP_V);
    EXPECT_EQ(f0.material, red);
    EXPECT_EQ(f0.material_id, red->id);
    EXPECT_EQ(f1.material, tex);
    EXPECT_EQ(f1.material_id, 1);
    // Fields the reader never writes stay zero.
    expectVec(box->pivot, 0, 0, 0);
    EXPECT_EQ(box->flags, 0);
    EXPECT_EQ(box->matrix.m[0][0], 0.0f);

    auto* tri = l.record<orin_object>("Tri");
    ASSERT_NE(tri, nullptr);
    for (int i = 0; i < tri->num_vertices; ++i) {
        EXPECT_EQ(tri->vertices[i].u, 0.0f);
        EXPECT_EQ(tri->vertices[i].v, 0.0f);
    }
    EXPECT_EQ(tri->faces[0].material, nullptr);
    EXPECT_EQ(tri->faces[0].material_id, 0);
}

TEST(World, CameraAndLights) {
    Loaded l(w::build3ds(sampleScene()), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* cam = l.record<orin_camera>("Camera01");
    ASSERT_NE(cam, nullptr);
    expectVec(cam->pos, 10, 30, 20);
    expectVec(cam->target, 1, 3, 2);
    EXPECT_EQ(cam->roll, 5.0f);
    EXPECT_EQ(cam->fov, 63.0f);
    EXPECT_EQ(cam->size_x, 0.0f);
    EXPECT_EQ(cam->aspect, 0.0f);

    auto* omni = l.record<orin_light>("Omni01");
    ASSERT_NE(omni, nullptr);
    EXPECT_EQ(omni->type, ORIN_LIGHT_OMNI);
    expectVec(omni->pos, 4, 6, 5);
    expectColor(omni->color, 0.25f, 0.5f, 0.75f);
    EXPECT_EQ(omni->inner_range, 10.0f);
    EXPECT_EQ(omni->outer_range, 100.0f);

    auto* spot = l.record<orin_light>("Spot01");
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->type, ORIN_LIGHT_SPOT);
    expectVec(spot->pos, 7, 9, 8);
    expectVec(spot->target, 1, 3, 2);
    EXPECT_EQ(spot->hotspot, 20.0f);
    EXPECT_EQ(spot->falloff, 40.0f);
    EXPECT_EQ(spot->roll, 0.0f);
    EXPECT_EQ(spot->inner_range, 0.0f);
    expectColor(spot->color, 1, 1, 1);
}

TEST(World, LensToFieldOfView) {
    const float lenses[] = {15, 20, 24, 28, 35, 50, 85, 135, 200, 10, 100, 36};
    const float fovs[] = {115, 660.0f / 7.0f, 84, 840.0f / 11.0f, 63, 46, 28, 18, 12,
                          240, 24, 15.0f / 36.0f * 160.0f};
    w::Scene3ds s;
    for (float lens : lenses) {
        w::Camera c;
        c.lens = lens;
        s.objects.push_back({"C" + std::to_string(static_cast<int>(lens)), c});
    }
    Loaded l(w::build3ds(s), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto nodes = l.worldNodes();
    ASSERT_EQ(nodes.size(), std::size(lenses));
    for (size_t i = 0; i < nodes.size(); ++i)
        EXPECT_FLOAT_EQ(static_cast<orin_camera*>(nodes[i]->object)->fov, fovs[i]) << lenses[i];
}

// Vertices are brought from the file's placement into the mesh's own space:
// local = ((p - o).X / |X|^2, (p - o).Y / |Y|^2, (p - o).Z / |Z|^2) in file
// axes, then exchanged into library space.
TEST(World, MeshMatrixCorrection) {
    struct Case {
        const char* name;
        w::MeshMatrix m;
    };
    w::MeshMatrix identity;
    w::MeshMatrix rotated;  // 90 degrees about file z, X scaled by 2, moved
    rotated.x = {0, 2, 0};
    rotated.y = {-1, 0, 0};
    rotated.z = {0, 0, 1};
    rotated.origin = {5, -1, 2};
    w::MeshMatrix flat = rotated;  // a zero axis: identity, origin still removed
    flat.z = {0, 0, 0};
    const Case cases[] = {{"Identity", identity}, {"Rotated", rotated}, {"Flat", flat}};
    const w::Vec3 points[] = {{5, 1, 2}, {3, -1, 7}, {0.5f, 0.25f, -4}};

    w::Scene3ds s;
    for (const Case& c : cases) {
        w::Mesh m;
        m.vertices.assign(std::begin(points), std::end(points));
        m.faces = {{0, 1, 2, 7, 1}};
        m.matrix = c.m;
        s.objects.push_back({c.name, m});
    }
    Loaded l(w::build3ds(s), false);
    ASSERT_EQ(l.world, ORIN_OK);
    for (const Case& c : cases) {
        auto* o = l.record<orin_object>(c.name);
        ASSERT_NE(o, nullptr);
        bool zero = c.m.z.x == 0 && c.m.z.y == 0 && c.m.z.z == 0;
        for (int i = 0; i < 3; ++i) {
            const w::Vec3& p = points[i];
            double d[3] = {double(p.x) - c.m.origin.x, double(p.y) - c.m.origin.y,
                           double(p.z) - c.m.origin.z};
            const w::Vec3* axes[3] = {&c.m.x, &c.m.y, &c.m.z};
            double f[3];
            for (int k = 0; k < 3; ++k) {
                const w::Vec3& a = *axes[k];
                double len2 = double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z;
                f[k] = zero ? d[k] : (d[0] * a.x + d[1] * a.y + d[2] * a.z) / len2;
            }
            SCOPED_TRACE(std::string(c.name) + " vertex " + std::to_string(i));
            EXPECT_NEAR(o->vertices[i].local.x, f[0], 1e-5);
            EXPECT_NEAR(o->vertices[i].local.y, f[2], 1e-5);
            EXPECT_NEAR(o->vertices[i].local.z, f[1], 1e-5);
        }
    }
}

TEST(World, ColoursPercentagesAndMapsGoByParent) {
    auto file = editorOf([](w::ChunkWriter& c) {
        c.begin(0x1200);  // background colour: dropped
        c.begin(0x0010);
        c.f32(9), c.f32(9), c.f32(9);
        c.end();
        c.end();
        c.begin(0x2100);  // ambient light colour: dropped
        c.begin(0x0011);
        c.u8(1), c.u8(2), c.u8(3);
        c.end();
        c.end();
        c.begin(0xAFFF);
        c.begin(0xA000);
        c.str("M");
        c.end();
        c.begin(0xA010);  // ambient in bytes
        c.begin(0x0011);
        c.u8(51), c.u8(102), c.u8(255);
        c.end();
        c.end();
        c.begin(0xA040);  // shininess as a float percentage: not read
        c.begin(0x0031);
        c.f32(50);
        c.end();
        c.end();
        c.begin(0xA050);  // transparency
        c.begin(0x0030);
        c.u16(30);
        c.end();
        c.end();
        c.begin(0xA230);  // bump map with a percentage of its own (dropped)
        c.begin(0x0030);
        c.u16(90);
        c.end();
        c.begin(0xA300);
        c.str("B.JPG");
        c.end();
        c.end();
        c.begin(0xA220);
        c.begin(0xA300);
        c.str("R.JPG");
        c.end();
        c.begin(0xA35C);
        c.f32(12.5f);
        c.end();
        c.end();
        c.end();
        c.begin(0x4000);
        c.str("L");
        c.begin(0x4600);
        c.f32(0), c.f32(0), c.f32(0);
        c.begin(0x0011);
        c.u8(255), c.u8(0), c.u8(51);
        c.end();
        c.end();
        c.end();
    });
    Loaded l(file, false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* m = l.record<orin_material>("M");
    ASSERT_NE(m, nullptr);
    expectColor(m->ambient, 0.2f, 0.4f, 1.0f);
    expectColor(m->diffuse, 0, 0, 0);
    EXPECT_EQ(m->shininess, 0.0f);
    EXPECT_FLOAT_EQ(m->transparency, 0.3f);
    EXPECT_EQ(m->texture.file, nullptr);
    EXPECT_STREQ(m->bump.file, "B.JPG");
    EXPECT_STREQ(m->reflection.file, "R.JPG");
    EXPECT_EQ(m->reflection.rotation, 12.5f);
    auto* light = l.record<orin_light>("L");
    ASSERT_NE(light, nullptr);
    expectColor(light->color, 1.0f, 0.0f, 0.2f);
}

// The enclosing-chunk id is not restored when a sub-level returns: a colour
// chunk placed directly in the material after the diffuse block still goes
// to the diffuse colour, and a map file directly in the material is dropped.
TEST(World, ParentIdStaysAtTheLastSubLevel) {
    auto file = editorOf([](w::ChunkWriter& c) {
        c.begin(0xAFFF);
        c.begin(0xA000);
        c.str("M");
        c.end();
        c.begin(0xA300);
        c.str("LOST.JPG");
        c.end();
        c.begin(0xA020);
        c.begin(0x0010);
        c.f32(0.5f), c.f32(0.5f), c.f32(0.5f);
        c.end();
        c.end();
        c.begin(0x0010);
        c.f32(0.25f), c.f32(0.125f), c.f32(1);
        c.end();
        c.end();
    });
    Loaded l(file, false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* m = l.record<orin_material>("M");
    ASSERT_NE(m, nullptr);
    expectColor(m->diffuse, 0.25f, 0.125f, 1.0f);
    EXPECT_EQ(m->texture.file, nullptr);
}

// Other tools order chunks differently and add chunks we do not know.
TEST(World, ForeignOrderAndUnknownChunks) {
    auto file = editorOf([](w::ChunkWriter& c) {
        c.leaf(0x1234, {1, 2, 3, 4});
        c.begin(0x4000);
        c.str("Mesh");
        c.begin(0x4100);
        c.begin(0x4140);  // mapping before the vertices: skipped
        c.u16(1);
        c.f32(7), c.f32(7);
        c.end();
        c.begin(0x4160);  // mesh matrix before the vertices: skipped
        for (int i = 0; i < 12; ++i) c.f32(3);
        c.end();
        c.leaf(0x4181, {0xFF});
        c.begin(0x4110);
        c.u16(1);
        c.f32(1), c.f32(2), c.f32(3);
        c.end();
        c.end();
        c.end();
    });
    Loaded l(file, false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto* o = l.record<orin_object>("Mesh");
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->num_vertices, 1);
    expectVec(o->vertices[0].local, 1, 3, 2);
    EXPECT_EQ(o->vertices[0].u, 0.0f);
    EXPECT_EQ(o->num_faces, 0);
    EXPECT_EQ(o->faces, nullptr);
}

TEST(World, LongNamesKeepTheirFirst63Bytes) {
    std::string long100(100, 'x');
    long100[62] = 'E';
    std::string exact63(63, 'y');
    w::Scene3ds s;
    w::Camera c;
    s.objects.push_back({long100, c});
    s.objects.push_back({exact63, c});
    Loaded l(w::build3ds(s), false);
    ASSERT_EQ(l.world, ORIN_OK);
    auto nodes = l.worldNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(std::string(orin_record_name(nodes[0])), long100.substr(0, 63));
    EXPECT_EQ(std::string(orin_record_name(nodes[1])), exact63);
}
