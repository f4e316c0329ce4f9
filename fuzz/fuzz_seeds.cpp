// fuzz-seeds OUTDIR: writes the scene seeds of the fuzz corpora, made with
// our own 3DS writer: OUTDIR/scene/*.3ds (a full scene with every record and
// keyframer node kind, a bare mesh, a keyframer-only hierarchy, a file in
// another tool's chunk order). Images and music seeds come from
// marrow-assets (see the Makefile's fuzz target).
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "writer3ds.h"

namespace w = marrow::w3ds;

namespace {

w::Scene3ds fullScene() {
    w::Scene3ds s;
    s.background = w::Rgb{0.2f, 0.1f, 0.0f};
    s.ambientLight = w::Rgb{0.3f, 0.3f, 0.3f};

    w::Material plain;
    plain.name = "Plain";
    plain.shininess = 50;
    plain.transparency = 20;
    plain.selfIllum = 10;
    plain.twoSided = true;
    s.materials.push_back(plain);

    w::Material mapped;
    mapped.name = "Mapped";
    mapped.colorFormat = w::ColorFormat::Bytes;
    mapped.additive = true;
    mapped.wire = true;
    mapped.soft = true;
    mapped.texture.file = "PLANET.JPG";
    mapped.texture.uScale = 2;
    mapped.texture.rotation = 30;
    mapped.bump.file = "BUMP.JPG";
    mapped.reflection.file = "ENV.JPG";
    s.materials.push_back(mapped);

    w::Mesh cube;
    cube.vertices = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                     {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    cube.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}};
    cube.faces = {{0, 1, 2, 7 | 0x08, 1}, {0, 2, 3, 7, 1}, {4, 5, 6, 7 | 0x10, 2}, {4, 6, 7, 7, 2}};
    cube.groups = {{"Plain", {0, 1}}, {"Mapped", {2, 3}}};
    cube.matrix = w::MeshMatrix{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, 0, 0}};
    s.objects.push_back({"Cube", cube});

    w::Mesh flat;
    flat.vertices = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    flat.faces = {{0, 1, 2, 7, 0}};
    flat.matrix.reset();
    s.objects.push_back({"Flat", flat});

    w::Camera cam;
    cam.pos = {0, -10, 2};
    cam.lens = 28;
    s.objects.push_back({"Camera01", cam});

    w::Light omni;
    omni.pos = {3, 3, 3};
    omni.innerRange = 5;
    omni.outerRange = 50;
    s.objects.push_back({"Omni01", omni});

    w::Light spot;
    spot.pos = {-3, 3, 3};
    spot.color = {1, 0.5f, 0.25f};
    spot.spot = w::Spot{{0, 0, 0}, 25, 35};
    s.objects.push_back({"Spot01", spot});

    w::Keyframer k;
    k.end = 120;
    w::Node amb;
    amb.kind = w::NodeKind::Ambient;
    amb.id = 0;
    amb.name = "$AMBIENT$";
    amb.tracks.push_back({w::TrackKind::Color, w::TrackMode::Once, {w::vecKey(0, {0.2f, 0.2f, 0.2f})}});
    k.nodes.push_back(amb);

    w::Node pivot = w::objectNode("$$$DUMMY", 1);
    pivot.instance = "Spinner";
    pivot.tracks.push_back({w::TrackKind::Rotation, w::TrackMode::Loop,
                            {w::rotKey(0, 0, {0, 0, 1}), w::rotKey(60, 3.0f, {0, 0, 1}, {0.2f, 0.1f, 0, 0, 0})}});
    k.nodes.push_back(pivot);

    w::Node cubeNode = w::objectNode("Cube", 2, 1);
    cubeNode.pivot = w::Vec3{0.5f, 0, 0};
    cubeNode.tracks.push_back({w::TrackKind::Position, w::TrackMode::Repeat,
                               {w::vecKey(0, {0, 0, 0}), w::vecKey(40, {1, 1, 0}, {0.3f, 0, 0, 0.5f, 0})}});
    cubeNode.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}});
    w::Key morph;
    morph.frame = 30;
    morph.target = "Flat";
    cubeNode.tracks.push_back({w::TrackKind::Morph, w::TrackMode::Once, {morph}});
    w::Key hide;
    hide.frame = 90;
    cubeNode.tracks.push_back({w::TrackKind::Hide, w::TrackMode::Once, {hide}});
    k.nodes.push_back(cubeNode);
    k.nodes.push_back(w::objectNode("Flat", 3, 2));

    w::Node camNode;
    camNode.kind = w::NodeKind::Camera;
    camNode.id = 4;
    camNode.name = "Camera01";
    camNode.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, -10, 2})}});
    camNode.tracks.push_back({w::TrackKind::Fov, w::TrackMode::Once, {w::scalarKey(0, 70)}});
    camNode.tracks.push_back({w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(0, 0)}});
    k.nodes.push_back(camNode);
    w::Node camTarget;
    camTarget.kind = w::NodeKind::CameraTarget;
    camTarget.id = 5;
    camTarget.name = "Camera01";
    k.nodes.push_back(camTarget);
    w::Node omniNode;
    omniNode.kind = w::NodeKind::Light;
    omniNode.id = 6;
    omniNode.name = "Omni01";
    omniNode.parent = 2;
    k.nodes.push_back(omniNode);
    w::Node spotNode;
    spotNode.kind = w::NodeKind::Spot;
    spotNode.id = 7;
    spotNode.name = "Spot01";
    spotNode.tracks.push_back({w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(0, 10)}});
    k.nodes.push_back(spotNode);
    w::Node spotTarget;
    spotTarget.kind = w::NodeKind::LightTarget;
    spotTarget.id = 8;
    spotTarget.name = "Spot01";
    k.nodes.push_back(spotTarget);
    s.keyframer = k;
    return s;
}

// One triangle with every edge visible, in smoothing group 1.
w::Mesh oneTriangle() {
    w::Mesh tri;
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.faces = {{0, 1, 2, 7, 1}};
    return tri;
}

w::Scene3ds bareMesh() {
    w::Scene3ds s;
    s.objects.push_back({"Tri", oneTriangle()});
    return s;
}

w::Scene3ds hierarchy() {
    w::Scene3ds s;
    s.objects.push_back({"A", oneTriangle()});
    s.objects.push_back({"B", oneTriangle()});
    w::Keyframer k;
    k.end = 10;
    k.nodes.push_back(w::objectNode("A", 0));
    k.nodes.push_back(w::objectNode("B", 1, 0));
    w::Node d = w::objectNode("$$$DUMMY", 2, 1);
    d.id.reset();  // numbered by counting up from the previous node
    k.nodes.push_back(d);
    s.keyframer = k;
    return s;
}

// Materials after the meshes that use them are looked up by name, so a
// group naming a later material fails; here the order is the other tool's
// usual one (mapping and matrix before the vertices) with materials first.
std::vector<uint8_t> otherOrder() {
    w::ChunkWriter c;
    w::beginFile(c);
    w::Material m;
    m.name = "M";
    w::writeMaterial(c, m);
    c.begin(0x4000);
    c.str("Q");
    c.begin(0x4100);
    c.begin(0x4140);
    c.u16(0);
    c.end();
    c.begin(0x4160);
    for (int i = 0; i < 12; ++i) c.f32(i % 4 == 0 ? 1.0f : 0.0f);
    c.end();
    c.begin(0x4110);
    c.u16(3);
    for (int i = 0; i < 9; ++i) c.f32(static_cast<float>(i));
    c.end();
    c.begin(0x4120);
    c.u16(1);
    c.u16(0), c.u16(1), c.u16(2), c.u16(7);
    c.begin(0x4130);
    c.str("M");
    c.u16(1);
    c.u16(0);
    c.end();
    c.end();
    c.end();
    c.end();
    c.end();
    c.end();
    return c.data();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/scene";
    mkdir(argv[1], 0755);
    mkdir(dir.c_str(), 0755);
    std::string error;
    bool ok = w::write3ds(dir + "/full.3ds", fullScene(), error) &&
              w::write3ds(dir + "/bare.3ds", bareMesh(), error) &&
              w::write3ds(dir + "/hierarchy.3ds", hierarchy(), error) &&
              w::writeFile(dir + "/other_order.3ds", otherOrder(), error);
    if (!ok) {
        std::fprintf(stderr, "fuzz-seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
