// The frame pipeline's stages on arrays filled by hand: lighting, texture
// wrapping, clipping, projection and culling.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/scene3d.h"

using namespace marrow;

namespace {

// A scene with one mesh of `vertices` source vertices and `faces` source
// faces, capacity factor 4, seen through a camera with the presentation's
// projection scales.
struct Fixture {
    Scene3D scene;
    orin_camera camera{};
    RenderMesh& mesh;

    Fixture(int vertices, int faces) : mesh(*(scene.meshes = new RenderMesh[1]())) {
        scene.meshCount = 1;
        scene.capacityFactor = 4;
        mesh.vertices = new RenderVertex[4 * vertices]();
        mesh.faces = new RenderFace[4 * faces]();
        mesh.sourceVertexCount = mesh.vertexCount = vertices;
        mesh.sourceFaceCount = mesh.faceCount = faces;
        mesh.visible = 1;
        mesh.material = &scene.defaultMaterial;
        camera.persp_x = 240.0f;
        camera.persp_y = 160.0f;
        scene.camera = &camera;
        scene.buildClipPlanes();
    }
    void vertex(int i, float x, float y, float z) {
        mesh.vertices[i].x = x;
        mesh.vertices[i].y = y;
        mesh.vertices[i].z = z;
    }
    void face(int k, int a, int b, int c) {
        RenderFace& f = mesh.faces[k];
        const int idx[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            f.index[i] = idx[i];
            f.vertex[i] = &mesh.vertices[idx[i]];
        }
        f.visible = 1;
        f.material = &scene.defaultMaterial;
    }
    void clipAll() {
        for (const ClipPlane& p : scene.clipPlanes) scene.clip(p, mesh);
    }
};

}  // namespace

TEST(Pipeline, ClipPlanesBoundThePictureAndKeepZAboveMinus10) {
    Fixture f(3, 1);
    const float ax = static_cast<float>(std::atan2(161.0, 240.0) - 0.0001);
    EXPECT_FLOAT_EQ(f.scene.clipPlanes[0].a, std::cos(ax));
    EXPECT_FLOAT_EQ(f.scene.clipPlanes[1].a, -std::cos(ax));
    EXPECT_FLOAT_EQ(f.scene.clipPlanes[0].c, std::sin(ax));
    EXPECT_EQ(f.scene.clipPlanes[4].c, 1.0f);
    EXPECT_EQ(f.scene.clipPlanes[4].d, -10.0f);
}

TEST(Pipeline, AFaceBehindTheCameraIsInvisible) {
    Fixture f(3, 1);
    f.vertex(0, -10, -10, -100);
    f.vertex(1, 10, -10, -100);
    f.vertex(2, 0, 10, -100);
    f.face(0, 0, 1, 2);
    f.clipAll();
    EXPECT_EQ(f.mesh.faces[0].visible, 0);
    EXPECT_EQ(f.mesh.faceCount, 1);
    EXPECT_EQ(f.mesh.vertexCount, 3);
}

TEST(Pipeline, OneCornerOutsideMakesTwoFacesTwoCornersOutsideMakeOne) {
    {
        Fixture f(3, 1);
        f.vertex(0, -1000, 0, 100);  // far left of the view
        f.vertex(1, 10, -10, 100);
        f.vertex(2, 10, 10, 100);
        f.face(0, 0, 1, 2);
        f.clipAll();
        EXPECT_EQ(f.mesh.faceCount, 2);
        EXPECT_EQ(f.mesh.vertexCount, 5);
        EXPECT_EQ(f.mesh.faces[1].visible, 1);
        // The new corners lie on the left plane.
        const ClipPlane& left = f.scene.clipPlanes[0];
        for (int i = 3; i < 5; ++i) {
            const RenderVertex& v = f.mesh.vertices[i];
            EXPECT_NEAR(left.a * v.x + left.c * v.z, 0.0f, 1e-3f);
        }
        // The appended face: N1, the old third corner, N2.
        EXPECT_EQ(f.mesh.faces[0].index[0], 3);
        EXPECT_EQ(f.mesh.faces[1].index[0], 3);
        EXPECT_EQ(f.mesh.faces[1].index[1], 2);
        EXPECT_EQ(f.mesh.faces[1].index[2], 4);
    }
    {
        Fixture f(3, 1);
        f.vertex(0, -1000, 0, 100);
        f.vertex(1, -1000, 10, 100);
        f.vertex(2, 10, 10, 100);
        f.face(0, 0, 1, 2);
        f.clipAll();
        EXPECT_EQ(f.mesh.faceCount, 1);
        EXPECT_EQ(f.mesh.vertexCount, 5);
        EXPECT_EQ(f.mesh.faces[0].index[0], 3);
        EXPECT_EQ(f.mesh.faces[0].index[1], 4);
        EXPECT_EQ(f.mesh.faces[0].index[2], 2);
    }
}

TEST(Pipeline, ClipVerticesInterpolateLightAndTexture) {
    Fixture f(3, 1);
    f.vertex(0, 0, 0, -30);  // behind the near plane (z >= -10)
    f.vertex(1, 0, 0, 10);
    f.vertex(2, 1, 0, 10);
    f.mesh.vertices[0].intensity = 0;
    f.mesh.vertices[1].intensity = 0x800000;
    f.mesh.vertices[0].u = 0;
    f.mesh.vertices[1].u = 400;
    f.face(0, 0, 1, 2);
    f.scene.clip(f.scene.clipPlanes[4], f.mesh);
    // t = -d0 / (d1 - d0) = 20 / 40 = 0.5 along the edge to corner 1.
    const RenderVertex& n = f.mesh.vertices[3];
    EXPECT_FLOAT_EQ(n.z, -10.0f);
    EXPECT_FLOAT_EQ(n.u, 200.0f);
    EXPECT_EQ(n.intensity, 0x400000);
}

TEST(Pipeline, ProjectionFixedPointAndTheScreenCentre) {
    Fixture f(3, 1);
    f.vertex(0, 0, 0, 0);
    f.vertex(1, 64, 32, 128);
    f.vertex(2, -50, -25, 200.5f);
    f.scene.project(f.mesh);
    EXPECT_EQ(f.mesh.vertices[0].sx, 160 * 65536);
    EXPECT_EQ(f.mesh.vertices[0].sy, 100);
    EXPECT_EQ(f.mesh.vertices[0].depth, 0);
    // Worked by hand (z a power of two, so no rounding can differ):
    // x = 64 / 128 x 240 = 120 right of the centre, y = 32 / 128 x 160 = 40
    // above it (screen y grows downwards).
    EXPECT_EQ(f.mesh.vertices[1].sx, 280 * 65536);
    EXPECT_EQ(f.mesh.vertices[1].sy, 60);
    EXPECT_EQ(f.mesh.vertices[1].depth, 128 * 65536);
    EXPECT_EQ(f.mesh.vertices[2].depth, 13139968);  // 200.5 x 65536
}

TEST(Pipeline, PerspectiveMeshesGetUOverZAndInverseZ) {
    Fixture f(1, 0);
    RenderMaterial perspective;
    perspective.shading = Shading::TexturedPerspective;
    f.mesh.material = &perspective;
    f.vertex(0, 1, 1, 4);
    f.mesh.vertices[0].u = 8.0f;
    f.mesh.vertices[0].v = -2.0f;
    f.scene.project(f.mesh);
    EXPECT_FLOAT_EQ(f.mesh.vertices[0].uOverZ, 2.0f);
    EXPECT_FLOAT_EQ(f.mesh.vertices[0].vOverZ, -0.5f);
    EXPECT_FLOAT_EQ(f.mesh.vertices[0].invZ, 4194304.0f);
}

TEST(Pipeline, ClockwiseFacesAreCulledDegenerateOnesStay) {
    Fixture f(4, 3);
    auto at = [&](int i, int x, int y) {
        f.mesh.vertices[i].sx = x * 65536;
        f.mesh.vertices[i].sy = y;
    };
    at(0, 10, 10);
    at(1, 50, 10);
    at(2, 10, 50);
    at(3, 30, 10);
    f.face(0, 0, 2, 1);  // counter-clockwise on screen (y down): kept
    f.face(1, 0, 1, 2);  // clockwise: culled
    f.face(2, 0, 3, 1);  // all on one row: cross 0, kept
    f.scene.cull(f.mesh);
    EXPECT_EQ(f.mesh.faces[0].visible, 1);
    EXPECT_EQ(f.mesh.faces[1].visible, 0);
    EXPECT_EQ(f.mesh.faces[2].visible, 1);
}

TEST(Pipeline, WrapCopiesOnlyWhenTheFirstFaceWraps) {
    for (int firstWrap : {0, 1}) {
        Fixture f(3, 2);
        f.face(0, 0, 1, 2);
        f.face(1, 0, 1, 2);
        f.mesh.faces[0].wrap = firstWrap;
        f.mesh.faces[1].wrap = 1;
        f.mesh.vertices[0].u = 1000000;    // near the left edge
        f.mesh.vertices[1].u = 16000000;   // near the right edge
        f.mesh.vertices[2].u = 15000000;
        orin_vertex source[3] = {};
        orin_object object{};
        object.num_vertices = 3;
        object.vertices = source;
        f.scene.lightAndMap(f.mesh, object);
        if (firstWrap == 0) {
            EXPECT_EQ(f.mesh.vertexCount, 3);  // later faces' flags do not count
            continue;
        }
        // Each wrapping face gets its own copy of vertex 0, one texture on.
        EXPECT_EQ(f.mesh.vertexCount, 5);
        EXPECT_EQ(f.mesh.faces[0].index[0], 3);
        EXPECT_EQ(f.mesh.faces[1].index[0], 4);
        EXPECT_EQ(f.mesh.faces[0].vertex[0], &f.mesh.vertices[3]);
        EXPECT_FLOAT_EQ(f.mesh.vertices[3].u, 1000000.0f + 16777216.0f);
        EXPECT_FLOAT_EQ(f.mesh.vertices[0].u, 1000000.0f);  // the original is untouched
    }
}

TEST(Pipeline, LightIsSummedOverLightsThenClampedOnce) {
    Fixture f(1, 0);
    orin_vertex v{};
    v.world = {0, 0, 0};
    v.world_normal = {0, 0, 1};
    orin_object object{};
    object.num_vertices = 1;
    object.vertices = &v;
    f.scene.omniLights = new OmniLight[2]();
    f.scene.omniCapacity = 2;
    f.scene.omniCount = 2;
    // Two lights straight "behind" the normal (L from light to vertex along
    // +z), each at 0.75 of full strength through its range fall-off.
    for (int i = 0; i < 2; ++i) {
        f.scene.omniLights[i].position = {0, 0, -10};
        f.scene.omniLights[i].innerRange = 0;
        f.scene.omniLights[i].outerRange = 40;
    }
    f.scene.lightAndMap(f.mesh, object);
    EXPECT_EQ(f.mesh.vertices[0].intensity, 0xFFFFFF);  // 1.5 clamped
    f.scene.omniCount = 1;
    f.scene.lightAndMap(f.mesh, object);
    EXPECT_EQ(f.mesh.vertices[0].intensity, static_cast<int32_t>(0.75 * 16777216.0));
    // A light without ranges (both 0) is not attenuated by distance.
    f.scene.omniLights[0].outerRange = 0;
    f.scene.lightAndMap(f.mesh, object);
    EXPECT_EQ(f.mesh.vertices[0].intensity, 0xFFFFFF);
    // Facing away: nothing.
    v.world_normal = {0, 0, -1};
    f.scene.lightAndMap(f.mesh, object);
    EXPECT_EQ(f.mesh.vertices[0].intensity, 0);
}
