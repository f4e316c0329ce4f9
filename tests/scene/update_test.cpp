// Keyframer update: object matrices, hierarchy, cameras, transform step,
// morphing and the normal computation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scene_util.h"

using namespace scenetest;

namespace {

// Independent 3D helpers (row-major 3x4 affine maps, Rodrigues rotations).
struct V3 {
    double x, y, z;
};
struct M34 {
    double m[3][4];
};

M34 identity() {
    M34 r{};
    for (int i = 0; i < 3; ++i) r.m[i][i] = 1;
    return r;
}

// Rotation by angle about the unit axis k, columns scaled by s, then moved by t.
M34 trs(V3 t, V3 k, double angle, V3 s) {
    double c = std::cos(angle), sn = std::sin(angle), v = 1 - c;
    double r[3][3] = {{c + k.x * k.x * v, k.x * k.y * v - k.z * sn, k.x * k.z * v + k.y * sn},
                      {k.y * k.x * v + k.z * sn, c + k.y * k.y * v, k.y * k.z * v - k.x * sn},
                      {k.z * k.x * v - k.y * sn, k.z * k.y * v + k.x * sn, c + k.z * k.z * v}};
    double sc[3] = {s.x, s.y, s.z}, tr[3] = {t.x, t.y, t.z};
    M34 m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m.m[i][j] = r[i][j] * sc[j];
        m.m[i][3] = tr[i];
    }
    return m;
}

M34 mul(const M34& a, const M34& b) {
    M34 r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
        r.m[i][3] += a.m[i][3];
    }
    return r;
}

V3 apply(const M34& m, V3 p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.m[0][3],
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.m[1][3],
            m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z + m.m[2][3]};
}

V3 lerp(V3 a, V3 b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t}; }
// File space (Z up) to library space (Y up).
V3 lib(const w::Vec3& v) { return {v.x, v.z, v.y}; }

void expectNear(const orin_vector& got, V3 want, double tol, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
    EXPECT_NEAR(got.z, want.z, tol) << what;
}

w::Mesh meshOf(std::vector<w::Vec3> vertices) {
    w::Mesh m;
    m.vertices = std::move(vertices);
    return m;
}

void setFrame(const Loaded& l, float frame) {
    orin_set_scene(l.scene);
    ASSERT_EQ(orin_set_frame(frame), ORIN_OK);
    ASSERT_EQ(orin_update(), ORIN_OK);
}

}  // namespace

// Three levels: Base -> Arm -> Hand, listed parent first. Every level
// moves, turns about its own axis and scales (two keys each, default
// spline: linear in time, and the rotation keeps its axis, so its angle is
// linear too); Arm and Hand have pivots. The world positions follow from
// the composition of the three local transforms, computed here with
// axis-angle matrices.
TEST(Update, HierarchyMatchesIndependentComposition) {
    struct Level {
        const char* name;
        int16_t parent;
        w::Vec3 p0, p1, s0, s1, axis;
        float a0, a1;  // first key's angle, then the second key's (relative) angle
        w::Vec3 pivot;
    };
    const Level levels[] = {
        {"Base", -1, {1, 2, 3}, {4, -2, 5}, {1, 1, 1}, {2, 2, 2}, {0, 0, 1}, 0.3f, 1.2f, {0, 0, 0}},
        {"Arm", 0, {2, 0, 0}, {2, 1, 0}, {1, 2, 1}, {0.5f, 1, 1.5f}, {1, 0, 0}, -0.5f, 0.8f, {0.5f, 0.25f, 0}},
        {"Hand", 1, {0, 1, 1}, {1, 1, 0}, {1, 1, 1}, {1, 1, 1}, {0.6f, 0.8f, 0}, 0.0f, 2.0f, {0, 0, -1}},
    };
    const std::vector<w::Vec3> verts = {{1, 0, 0}, {0, 1, 2}, {-1, 3, 0.5f}};

    w::Scene3ds s;
    w::Keyframer k;
    k.end = 100;
    for (uint16_t i = 0; i < 3; ++i) {
        const Level& L = levels[i];
        s.objects.push_back({L.name, meshOf(verts)});
        w::Node n = w::objectNode(L.name, i, L.parent);
        n.pivot = L.pivot;
        n.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, L.p0), w::vecKey(40, L.p1)}});
        n.tracks.push_back({w::TrackKind::Rotation, w::TrackMode::Once,
                            {w::rotKey(0, L.a0, L.axis), w::rotKey(40, L.a1, L.axis)}});
        n.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, L.s0), w::vecKey(40, L.s1)}});
        k.nodes.push_back(n);
    }
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);

    for (float frame : {0.0f, 10.0f, 25.0f, 40.0f, 70.0f}) {
        setFrame(l, frame);
        double t = std::min(frame / 40.0, 1.0);
        M34 world = identity();
        for (const Level& L : levels) {
            V3 axis = lib(L.axis);
            double len = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
            axis = {axis.x / len, axis.y / len, axis.z / len};
            double angle = L.a0 + L.a1 * t;
            M34 local = trs(lerp(lib(L.p0), lib(L.p1), t), axis, angle, lerp(lib(L.s0), lib(L.s1), t));
            world = mul(world, local);
            auto* o = l.record<orin_object>(L.name);
            ASSERT_NE(o, nullptr);
            for (size_t v = 0; v < verts.size(); ++v) {
                V3 p = lib(verts[v]), piv = lib(L.pivot);
                V3 want = apply(world, {p.x - piv.x, p.y - piv.y, p.z - piv.z});
                // No active camera: camera space is world space.
                expectNear(o->vertices[v].world, want, 2e-4, std::string(L.name) + " frame " + std::to_string(frame));
                expectNear(o->vertices[v].camera, want, 2e-4, L.name);
            }
        }
    }
}

// One vertex worked by hand, against readings the composition above could
// share with the code: Base turns a quarter about file z (library y: the
// quaternion (cos 45, 0, sin 45, 0) gives rows (0 0 1), (0 1 0), (-1 0 0)),
// scales by 2 along x and moves by file (10, 0, 0). Scale comes first, so
// the vertex (1, 0, 0) becomes (2, 0, 0), then (0, 0, -2), then
// (10, 0, -2); turning first would give (10, 0, -1). The child sits at
// file (0, 3, 0) = library (0, 0, 3) in Base's frame: scaled (0, 0, 3),
// turned (3, 0, 0), moved (13, 0, 0).
TEST(Update, ScaledTurnedParentAndChildByHand) {
    w::Scene3ds s;
    s.objects.push_back({"Base", meshOf({{1, 0, 0}})});
    s.objects.push_back({"Child", meshOf({{0, 0, 0}})});
    w::Keyframer k;
    w::Node base = w::objectNode("Base", 0), child = w::objectNode("Child", 1, 0);
    base.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {10, 0, 0})}},
                   {w::TrackKind::Rotation, w::TrackMode::Once, {w::rotKey(0, float(M_PI / 2), {0, 0, 1})}},
                   {w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {2, 1, 1})}}};
    child.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, 3, 0})}},
                    {w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}}};
    k.nodes = {base, child};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    setFrame(l, 5);
    expectNear(l.record<orin_object>("Base")->vertices[0].world, {10, 0, -2}, 1e-5, "Base");
    expectNear(l.record<orin_object>("Child")->vertices[0].world, {13, 0, 0}, 1e-5, "Child");
}

// Grandparent, parent and child listed in that order (the only order the
// reader can link): the child's matrix carries both ancestors'.
TEST(Update, GrandchildReceivesTheGrandparentsMatrix) {
    w::Scene3ds s;
    for (const char* n : {"G", "P", "C"}) s.objects.push_back({n, meshOf({{0, 0, 0}})});
    w::Keyframer k;
    auto node = [](const char* name, uint16_t id, int16_t parent, float x, float scale) {
        w::Node n = w::objectNode(name, id, parent);
        n.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {x, 0, 0})}});
        n.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {scale, 1, 1})}});
        return n;
    };
    k.nodes = {node("G", 0, -1, 100, 2), node("P", 1, 0, 10, 3), node("C", 2, 1, 1, 1)};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    setFrame(l, 0);
    EXPECT_FLOAT_EQ(l.record<orin_object>("P")->vertices[0].world.x, 100 + 2 * 10.0f);
    EXPECT_FLOAT_EQ(l.record<orin_object>("C")->vertices[0].world.x, 100 + 2 * (10 + 3 * 1.0f));
}

TEST(Update, MissingScaleAndRotationTracks) {
    w::Scene3ds s;
    s.objects.push_back({"NoScale", meshOf({{1, 2, 3}, {-4, 5, 6}})});
    s.objects.push_back({"NoRot", meshOf({{1, 2, 3}})});
    s.objects.push_back({"Loose", meshOf({{1, 2, 3}})});  // no keyframer node at all
    w::Keyframer k;
    w::Node a = w::objectNode("NoScale", 0);
    a.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {7, 8, 9})}});
    w::Node b = w::objectNode("NoRot", 1);
    b.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {7, 8, 9})}});
    b.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {2, 3, 4})}});
    k.nodes = {a, b};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    setFrame(l, 5);

    // Without scale the linear part is zero: every vertex lands on translate.
    auto* ns = l.record<orin_object>("NoScale");
    for (int i = 0; i < 2; ++i) expectNear(ns->vertices[i].world, {7, 9, 8}, 0, "collapsed");
    // Without rotation the zero quaternion gives the identity rotation.
    auto* nr = l.record<orin_object>("NoRot");
    EXPECT_EQ(nr->rotate.w, 0.0f);
    // Library scale (2, 4, 3) on library vertex (1, 3, 2), then translate.
    expectNear(nr->vertices[0].world, {7 + 2 * 1, 9 + 4 * 3, 8 + 3 * 2}, 0, "identity rotation");
    // An object no node drives keeps its all-zero matrix.
    auto* loose = l.record<orin_object>("Loose");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(loose->matrix.m[i][j], 0.0f);
    expectNear(loose->vertices[0].world, {0, 0, 0}, 0, "loose");
}

// Camera matrix: rows from yaw, pitch and roll; row 2 is the unit view
// direction; projection scales from the FOV; a light parented to a camera
// is only offset by the camera's position.
TEST(Update, CameraMatrixAndCameraCarriedLight) {
    w::Scene3ds s;
    s.objects.push_back({"Box", meshOf({{1, 2, 3}})});
    w::Camera cam;
    s.objects.push_back({"Camera01", cam});
    s.objects.push_back({"Lamp", w::Light{}});
    w::Keyframer k;
    w::Node box = w::objectNode("Box", 0);
    box.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}});
    w::Node cn;
    cn.kind = w::NodeKind::Camera;
    cn.id = 1;
    cn.name = "Camera01";
    cn.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {1, -2, 3})}});
    cn.tracks.push_back({w::TrackKind::Fov, w::TrackMode::Once, {w::scalarKey(0, 90)}});
    cn.tracks.push_back({w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(0, 30)}});
    w::Node tn;
    tn.kind = w::NodeKind::CameraTarget;
    tn.id = 2;
    tn.name = "Camera01";
    tn.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {4, 5, -1})}});
    w::Node ln;
    ln.kind = w::NodeKind::Light;
    ln.id = 3;
    ln.name = "Lamp";
    ln.parent = 1;
    ln.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {10, 20, 30})}});
    k.nodes = {box, cn, tn, ln};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* c = l.record<orin_camera>("Camera01");
    c->size_x = 320;
    c->size_y = 200;
    c->aspect = 0.75f;
    orin_set_camera(c);
    setFrame(l, 0);

    // Library pos (1, 3, -2), target (4, -1, 5).
    V3 pos{1, 3, -2}, d{3, -4, 7};
    double len = std::sqrt(9.0 + 16 + 49);
    double yaw = -std::atan2(d.x, d.z), pitch = std::asin(d.y / len), r = -30 * M_PI / 180;
    double sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch);
    double sr = std::sin(r), cr = std::cos(r);
    double rows[3][3] = {{cr * cy + sr * sp * sy, sr * cp, cr * sy - sr * sp * cy},
                         {cr * sp * sy - sr * cy, cr * cp, -cr * sp * cy - sr * sy},
                         {-cp * sy, sp, cp * cy}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(c->matrix.m[i][j], rows[i][j], 1e-6) << i << j;
        EXPECT_NEAR(c->matrix.m[i][3], -(rows[i][0] * pos.x + rows[i][1] * pos.y + rows[i][2] * pos.z), 1e-5);
    }
    // Row 2 is the view direction.
    EXPECT_NEAR(c->matrix.m[2][0], d.x / len, 1e-6);
    EXPECT_NEAR(c->matrix.m[2][1], d.y / len, 1e-6);
    EXPECT_NEAR(c->matrix.m[2][2], d.z / len, 1e-6);
    // FOV 90: tan 45 = 1.
    EXPECT_NEAR(c->persp_x, 160.0f, 1e-3);
    EXPECT_NEAR(c->persp_y, 100.0f / 0.75f, 1e-3);

    // The lamp: its own position plus the camera's, nothing rotated.
    auto* lamp = l.record<orin_light>("Lamp");
    expectNear(lamp->pos, {1 + 10, 3 + 30, -2 + 20}, 1e-5, "lamp");
    // Camera-space values through the camera matrix.
    V3 lp{11, 33, 18};
    expectNear(lamp->camera_pos,
               {rows[0][0] * (lp.x - pos.x) + rows[0][1] * (lp.y - pos.y) + rows[0][2] * (lp.z - pos.z),
                rows[1][0] * (lp.x - pos.x) + rows[1][1] * (lp.y - pos.y) + rows[1][2] * (lp.z - pos.z),
                rows[2][0] * (lp.x - pos.x) + rows[2][1] * (lp.y - pos.y) + rows[2][2] * (lp.z - pos.z)},
               1e-4, "lamp camera");
    auto* b = l.record<orin_object>("Box");
    V3 bp{1, 3, 2};
    EXPECT_NEAR(b->vertices[0].camera.z,
                rows[2][0] * (bp.x - pos.x) + rows[2][1] * (bp.y - pos.y) + rows[2][2] * (bp.z - pos.z), 1e-5);
}

TEST(Update, CameraOnItsTargetStillGetsAMatrix) {
    w::Scene3ds s;
    w::Camera cam;
    cam.pos = {5, 6, 7};
    cam.target = {5, 6, 7};
    s.objects.push_back({"Camera01", cam});
    w::Keyframer k;
    w::Node cn;
    cn.kind = w::NodeKind::Camera;
    cn.id = 0;
    cn.name = "Camera01";
    k.nodes = {cn};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    setFrame(l, 0);
    auto* c = l.record<orin_camera>("Camera01");
    // len 1, yaw atan2(0, 0) = 0, pitch 0, roll 0: the identity rotation
    // and the translation -pos (library (5, 7, 6)).
    const float want[3][4] = {{1, 0, 0, -5}, {0, 1, 0, -7}, {0, 0, 1, -6}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(c->matrix.m[i][j], want[i][j]) << i << j;
}

TEST(Update, WithoutTransformNoVertexChanges) {
    w::Scene3ds s;
    s.objects.push_back({"Box", meshOf({{1, 2, 3}, {4, 5, 6}})});
    w::Keyframer k;
    w::Node n = w::objectNode("Box", 0);
    n.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, 0, 0}), w::vecKey(10, {9, 9, 9})}});
    n.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}});
    k.nodes = {n};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* o = l.record<orin_object>("Box");
    std::vector<orin_vertex> before(o->vertices, o->vertices + o->num_vertices);
    orin_init(ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH);
    setFrame(l, 7);
    EXPECT_EQ(std::memcmp(before.data(), o->vertices, before.size() * sizeof(orin_vertex)), 0);
    EXPECT_FLOAT_EQ(o->translate.x, 6.3f);  // the tracks still ran
    // Turned back on, the same frame moves the vertices.
    orin_init(15);
    setFrame(l, 7);
    EXPECT_FLOAT_EQ(o->vertices[1].world.x, 4 + 6.3f);
}

TEST(Update, NeedsASceneWithWorldAndKeyframer) {
    orin_init(15);
    EXPECT_EQ(orin_update(), ORIN_ERR_NOT_LOADED);
    w::Scene3ds s;
    s.objects.push_back({"Box", meshOf({{1, 2, 3}})});
    Loaded l(w::build3ds(s));
    EXPECT_EQ(orin_update(), ORIN_ERR_NOT_LOADED);  // no keyframer list
}

// Morphing blends the two targets' local positions; a target that is not
// a mesh, or has fewer vertices, leaves the plain transform.
TEST(Update, MorphBlendsTargetsAndGuardsShortOnes) {
    w::Scene3ds s;
    s.objects.push_back({"M", meshOf({{0, 0, 0}, {1, 1, 1}})});
    s.objects.push_back({"A", meshOf({{1, 0, 0}, {0, 2, 0}})});
    s.objects.push_back({"B", meshOf({{3, 0, 4}, {0, 6, 8}})});
    s.objects.push_back({"Short", meshOf({{5, 5, 5}})});
    s.objects.push_back({"Cam", w::Camera{}});
    w::Keyframer k;
    w::Node n = w::objectNode("M", 0);
    n.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {10, 0, 0})}});
    n.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}});
    w::Key m0, m1, m2, m3;
    m0.frame = 0;
    m0.target = "A";
    m1.frame = 10;
    m1.target = "B";
    m2.frame = 20;
    m2.target = "Short";
    m3.frame = 30;
    m3.target = "Cam";
    n.tracks.push_back({w::TrackKind::Morph, w::TrackMode::Once, {m0, m1, m2, m3}});
    k.nodes = {n};
    k.end = 100;
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* o = l.record<orin_object>("M");

    setFrame(l, 2.5f);
    EXPECT_TRUE(o->flags & ORIN_OBJ_MORPH);
    EXPECT_EQ(o->morph_from, l.record<orin_object>("A")->id);
    EXPECT_EQ(o->morph_to, l.record<orin_object>("B")->id);
    EXPECT_FLOAT_EQ(o->morph_alpha, 0.25f);
    // Library A1 (0, 0, 2), B1 (0, 8, 6): a quarter of the way, plus (10, 0, 0).
    expectNear(o->vertices[1].world, {10, 2, 2 + 4 * 0.25}, 1e-6, "blend");
    // M's own local positions are kept.
    expectNear(o->vertices[1].local, {1, 1, 1}, 0, "local");

    for (float f : {15.0f, 25.0f}) {  // toward "Short", then toward a camera
        setFrame(l, f);
        EXPECT_TRUE(o->flags & ORIN_OBJ_MORPH);
        expectNear(o->vertices[1].world, {11, 1, 1}, 0, "plain transform");
    }
    // With ORIN_MORPH cleared the blend is not applied either.
    orin_init(ORIN_HIERARCHY | ORIN_NORMALS | ORIN_TRANSFORM);
    setFrame(l, 2.5f);
    expectNear(o->vertices[1].world, {11, 1, 1}, 0, "morph off");
}

// Face normals from (a - b) x (b - c), made unit; vertex normals the plain
// average of their faces' normals, made unit; rotated into world space by
// the row-normalised matrix (the object's scale does not stretch them).
TEST(Update, NormalsComputedAndTransformed) {
    w::Scene3ds s;
    w::Mesh m = meshOf({{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {9, 9, 9}});
    m.faces = {{0, 1, 2}, {0, 3, 1}};
    s.objects.push_back({"Tent", m});
    w::Keyframer k;
    w::Node n = w::objectNode("Tent", 0);
    n.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {3, 3, 3})}});
    n.tracks.push_back({w::TrackKind::Rotation, w::TrackMode::Once, {w::rotKey(0, float(M_PI / 2), {0, 0, 1})}});
    k.nodes = {n};
    s.keyframer = k;
    Loaded l(w::build3ds(s));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* o = l.record<orin_object>("Tent");

    auto cross = [](V3 a, V3 b) { return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; };
    auto unit = [](V3 v) {
        double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        return V3{v.x / len, v.y / len, v.z / len};
    };
    auto loc = [&](int i) { return V3{o->vertices[i].local.x, o->vertices[i].local.y, o->vertices[i].local.z}; };
    auto sub = [](V3 a, V3 b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; };
    V3 n0 = unit(cross(sub(loc(0), loc(1)), sub(loc(1), loc(2))));
    V3 n1 = unit(cross(sub(loc(0), loc(3)), sub(loc(3), loc(1))));
    expectNear(o->faces[0].normal, n0, 1e-6, "face 0");
    expectNear(o->faces[1].normal, n1, 1e-6, "face 1");
    // Vertices 0 and 1 are on both faces, 2 on one, 4 on none.
    expectNear(o->vertices[0].normal, unit({(n0.x + n1.x) / 2, (n0.y + n1.y) / 2, (n0.z + n1.z) / 2}), 1e-6, "v0");
    expectNear(o->vertices[2].normal, n0, 1e-6, "v2");
    expectNear(o->vertices[4].normal, {0, 0, 0}, 0, "unused vertex");

    // A quarter turn about library y: (x, y, z) -> (z, y, -x), unit length.
    setFrame(l, 0);
    V3 v0 = unit({(n0.x + n1.x) / 2, (n0.y + n1.y) / 2, (n0.z + n1.z) / 2});
    expectNear(o->vertices[0].world_normal, {v0.z, v0.y, -v0.x}, 1e-6, "world normal");
    expectNear(o->faces[1].world_normal, {n1.z, n1.y, -n1.x}, 1e-6, "face world normal");
    expectNear(o->faces[1].camera_normal, {n1.z, n1.y, -n1.x}, 1e-6, "no camera: same");
}
