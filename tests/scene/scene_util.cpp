#include "scene_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace scenetest {

std::string tempFile(const std::vector<uint8_t>& bytes, const std::string& name) {
    static std::atomic<int> counter{0};
    std::string path = ::testing::TempDir() + "orin_" + std::to_string(getpid()) + "_" +
                       std::to_string(counter++) + "_" + name;
    std::string error;
    if (!w::writeFile(path, bytes, error)) ADD_FAILURE() << error;
    return path;
}

void Loaded::load(const std::string& path, bool withMotion, int32_t flags) {
    orin_init(flags);
    orin_alloc_scene(&scene);
    world = orin_load_world(path.c_str(), scene);
    if (withMotion) motion = orin_load_motion(path.c_str(), scene);
    orin_set_scene(scene);
}

Loaded::Loaded(const std::string& path, bool withMotion, int32_t flags) { load(path, withMotion, flags); }

Loaded::Loaded(const std::vector<uint8_t>& bytes, bool withMotion, int32_t flags) : ownedPath(tempFile(bytes)) {
    load(ownedPath, withMotion, flags);
}

Loaded::~Loaded() {
    if (!ownedPath.empty()) std::remove(ownedPath.c_str());
    orin_free_scene(scene);
    orin_done();
}

orin_world_node* Loaded::find(const char* name) const {
    orin_world_node* n = nullptr;
    orin_set_scene(scene);
    orin_find_object(name, &n);
    return n;
}

std::vector<orin_world_node*> Loaded::worldNodes() const {
    std::vector<orin_world_node*> out;
    for (orin_world_node* n = scene->world; n; n = n->next) out.push_back(n);
    return out;
}

std::vector<orin_kf_node*> Loaded::kfNodes() const {
    std::vector<orin_kf_node*> out;
    for (orin_kf_node* n = scene->nodes; n; n = n->next) out.push_back(n);
    return out;
}

w::Scene3ds sampleScene() {
    w::Scene3ds s;
    s.background = w::Rgb{0.1f, 0.2f, 0.3f};
    s.ambientLight = w::Rgb{0.5f, 0.5f, 0.5f};

    w::Material red;
    red.name = "Red";
    red.ambient = {0.1f, 0.0f, 0.0f};
    red.diffuse = {0.9f, 0.1f, 0.2f};
    red.specular = {1.0f, 0.9f, 0.8f};
    red.shininess = 40;
    red.shinStrength = 25;
    red.transparency = 10;
    red.transFalloff = 5;
    red.reflBlur = 3;
    red.selfIllum = 77;
    red.shading = 3;
    red.twoSided = true;
    red.additive = true;
    s.materials.push_back(red);

    w::Material tex;
    tex.name = "Textured";
    tex.colorFormat = w::ColorFormat::Bytes;
    tex.diffuse = {1.0f, 128 / 255.0f, 0.0f};
    tex.shading = 2;
    tex.soft = true;
    tex.wire = true;
    tex.texture.file = "TEX1.JPG";
    tex.texture.tiling = 0x10;
    tex.texture.uScale = 2;
    tex.texture.vScale = 3;
    tex.texture.uOffset = 0.25f;
    tex.texture.vOffset = 0.5f;
    tex.texture.rotation = 45;
    tex.bump.file = "BUMP.JPG";
    tex.bump.uScale = 4;
    tex.reflection.file = "ENVMAP2.JPG";
    tex.reflection.vOffset = -1;
    s.materials.push_back(tex);

    w::Mesh box;  // a quad of two triangles
    box.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 3}};
    box.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    box.faces = {{0, 1, 2, 7 | 0x08, 1}, {0, 2, 3, 7 | 0x10, 2}};
    box.groups = {{"Textured", {1}}, {"Red", {0}}};
    s.objects.push_back({"Box", box});

    w::Mesh tri;
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.faces = {{0, 1, 2, 7, 0}};
    tri.matrix.reset();
    s.objects.push_back({"Tri", tri});

    w::Camera cam;
    cam.pos = {10, 20, 30};
    cam.target = {1, 2, 3};
    cam.roll = 5;
    cam.lens = 35;
    s.objects.push_back({"Camera01", cam});

    w::Light omni;
    omni.pos = {4, 5, 6};
    omni.color = {0.25f, 0.5f, 0.75f};
    omni.innerRange = 10;
    omni.outerRange = 100;
    s.objects.push_back({"Omni01", omni});

    w::Light spot;
    spot.pos = {7, 8, 9};
    spot.spot = w::Spot{{1, 2, 3}, 20, 40};
    s.objects.push_back({"Spot01", spot});

    w::Keyframer k;
    k.start = 0;
    k.end = 200;
    w::Node amb;
    amb.kind = w::NodeKind::Ambient;
    amb.id = 0;
    amb.name = "$AMBIENT$";
    amb.tracks.push_back({w::TrackKind::Color, w::TrackMode::Once, {w::vecKey(0, {0.1f, 0.1f, 0.1f})}});
    k.nodes.push_back(amb);

    w::Node dummy = w::objectNode("$$$DUMMY", 1);
    dummy.instance = "Pivot";
    dummy.tracks.push_back({w::TrackKind::Rotation, w::TrackMode::Loop,
                            {w::rotKey(0, 0, {0, 0, 1}), w::rotKey(100, 3.14159f, {0, 0, 1}, {0.5f, 0, 0, 0, 0})}});
    k.nodes.push_back(dummy);

    w::Node boxNode = w::objectNode("Box", 2, 1);
    boxNode.flags1 = 0x0800;
    boxNode.pivot = w::Vec3{1, 2, 3};
    boxNode.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once,
                              {w::vecKey(0, {0, 0, 0}), w::vecKey(50, {1, 2, 3}, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f})}});
    boxNode.tracks.push_back({w::TrackKind::Scale, w::TrackMode::Repeat, {w::vecKey(0, {1, 1, 1})}});
    w::Key morph;
    morph.frame = 10;
    morph.target = "Tri";
    boxNode.tracks.push_back({w::TrackKind::Morph, w::TrackMode::Once, {morph}});
    w::Key h0, h1;
    h0.frame = 20;
    h1.frame = 40;
    boxNode.tracks.push_back({w::TrackKind::Hide, w::TrackMode::Once, {h0, h1}});
    k.nodes.push_back(boxNode);

    k.nodes.push_back(w::objectNode("Tri", 3, 2));

    w::Node camNode;
    camNode.kind = w::NodeKind::Camera;
    camNode.id = 4;
    camNode.name = "Camera01";
    camNode.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {10, 20, 30})}});
    camNode.tracks.push_back({w::TrackKind::Fov, w::TrackMode::Once, {w::scalarKey(0, 60)}});
    camNode.tracks.push_back({w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(0, 5)}});
    k.nodes.push_back(camNode);

    w::Node camTarget;
    camTarget.kind = w::NodeKind::CameraTarget;
    camTarget.id = 5;
    camTarget.name = "Camera01";
    camTarget.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {1, 2, 3})}});
    k.nodes.push_back(camTarget);

    w::Node omniNode;
    omniNode.kind = w::NodeKind::Light;
    omniNode.id = 6;
    omniNode.name = "Omni01";
    omniNode.parent = 4;
    omniNode.tracks.push_back({w::TrackKind::Color, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1})}});
    k.nodes.push_back(omniNode);

    w::Node spotNode;
    spotNode.kind = w::NodeKind::Spot;
    spotNode.id = 7;
    spotNode.name = "Spot01";
    spotNode.tracks.push_back({w::TrackKind::Roll, w::TrackMode::Once, {w::scalarKey(0, 15)}});
    k.nodes.push_back(spotNode);

    w::Node spotTarget;
    spotTarget.kind = w::NodeKind::LightTarget;
    spotTarget.id = 8;
    spotTarget.name = "Spot01";
    k.nodes.push_back(spotTarget);

    s.keyframer = k;
    return s;
}

std::vector<uint8_t> wrapFile(const std::vector<uint8_t>& editor,
                              const std::vector<uint8_t>& keyframer, uint8_t version) {
    w::ChunkWriter c;
    w::beginFile(c, 3, version);
    c.bytes(editor.data(), editor.size());
    c.end();
    c.bytes(keyframer.data(), keyframer.size());
    c.end();
    return c.data();
}

std::vector<uint8_t> trackScene(const std::vector<w::Track>& tracks, uint32_t end) {
    w::Scene3ds s;
    w::Mesh m;
    m.vertices = {{0, 0, 0}};
    s.objects.push_back({"A", m});
    w::Keyframer k;
    k.end = end;
    w::Node n = w::objectNode("A", 0);
    n.tracks = tracks;
    k.nodes.push_back(n);
    s.keyframer = k;
    return w::build3ds(s);
}

orin_object_tracks* firstObjectTracks(const Loaded& l) {
    if (!l.scene || !l.scene->nodes || l.scene->nodes->type != ORIN_KF_OBJECT) return nullptr;
    return static_cast<orin_object_tracks*>(l.scene->nodes->tracks);
}

}  // namespace scenetest
