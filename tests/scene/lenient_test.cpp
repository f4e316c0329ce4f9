// The lenient reading (ORIN_LENIENT): files laid out the way other tools'
// exporters write them, by hand. Each case is read both ways: the default
// reading keeps refusing what it always refused, the lenient one loads the
// rest and says what it did, naming the chunk and its offset (found here by
// searching the file's bytes, not by asking the reader).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "scene_util.h"

using namespace scenetest;

namespace {

// Another exporter's layout: no version or mesh version chunk, the editor
// data, then keyframer data without a segment chunk. Nodes carry node
// numbers only when the caller sets them.
std::vector<uint8_t> exporterFile(const std::vector<w::Material>& materials, const std::vector<w::Object>& objects,
                                  const std::vector<w::Node>& nodes) {
    w::ChunkWriter c;
    c.begin(0x4D4D);
    c.begin(0x3D3D);
    for (const w::Material& m : materials) w::writeMaterial(c, m);
    for (const w::Object& o : objects) w::writeObject(c, o);
    c.end();
    c.begin(0xB000);
    for (const w::Node& n : nodes) w::writeNode(c, n);
    c.end();
    c.end();
    return c.data();
}

w::Node node(const std::string& name, int16_t parent, w::NodeKind kind = w::NodeKind::Object) {
    w::Node n;
    n.kind = kind;
    n.name = name;
    n.parent = parent;
    return n;
}

// A first material whose name covers offset 28 (the name starts at 24), so
// the default reading's version check passes on another exporter's file.
w::Material paint() {
    w::Material m;
    m.name = "Paint";
    return m;
}

w::Mesh triangle(const std::string& material = "") {
    w::Mesh m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.faces = {{0, 1, 2}};
    if (!material.empty()) m.groups = {{material, {0}}};
    return m;
}

// File offset of the chunk `id` whose data starts with the string `name`.
long chunkOffset(const std::vector<uint8_t>& bytes, uint16_t id, const std::string& name) {
    for (size_t i = 0; i + 6 + name.size() < bytes.size(); ++i) {
        if (bytes[i] != (id & 0xFF) || bytes[i + 1] != (id >> 8)) continue;
        if (std::memcmp(&bytes[i + 6], name.c_str(), name.size() + 1) == 0) return static_cast<long>(i);
    }
    return -1;
}

std::vector<std::string> warnings() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < orin_warning_count(); ++i)
        if (const char* w = orin_warning(i)) out.push_back(w);
    return out;
}

bool anyHas(const std::vector<std::string>& list, const std::string& part) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return s.find(part) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& s : list) out += s + "\n";
    return out;
}

orin_object* objectOf(const orin_kf_node* n) { return static_cast<orin_object*>(n->object); }

}  // namespace

// A root node without a name and a group node that names no mesh, as
// exporters write a scene graph; a mesh group naming a material that is not
// there. The default reading fails; the lenient one gives unnamed dummies
// that keep the hierarchy and the tracks below them.
TEST(Lenient, ExporterSceneGraphLoadsWithDummies) {
    w::Node wheel = node("Wheel", 1);
    wheel.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {5, 0, 0})}}};
    auto bytes = exporterFile({paint()}, {{"Body", triangle("Paint")}, {"Wheel", triangle("Chrome")}},
                              {node("", -1), node("car", 0), node("Body", 1), wheel});
    const long rootAt = chunkOffset(bytes, 0xB010, "");
    const long carAt = chunkOffset(bytes, 0xB010, "car");
    const long groupAt = chunkOffset(bytes, 0x4130, "Chrome");
    ASSERT_GT(rootAt, 0);

    {
        Loaded strict(bytes);
        EXPECT_EQ(strict.world, ORIN_ERR_LOOKUP);  // the material group
        EXPECT_EQ(orin_warning_count(), 0);
    }
    Loaded l(bytes, true, kLenient);
    ASSERT_EQ(l.world, ORIN_OK);
    ASSERT_EQ(l.motion, ORIN_OK);
    auto nodes = l.kfNodes();
    ASSERT_EQ(nodes.size(), 4u);
    // Nodes without number chunks count 0, 1, 2, 3; dummies take number + 1024.
    for (int i : {0, 1}) {
        const orin_object* d = objectOf(nodes[i]);
        EXPECT_EQ(d->flags & ORIN_OBJ_DUMMY, ORIN_OBJ_DUMMY) << i;
        EXPECT_EQ(d->name, nullptr) << i;
        EXPECT_EQ(d->id, 1024 + i);
        EXPECT_EQ(d->num_vertices, 0);
    }
    EXPECT_EQ(nodes[0]->parent, nullptr);
    EXPECT_EQ(nodes[1]->parent, nodes[0]);
    EXPECT_EQ(nodes[2]->parent, nodes[1]);
    EXPECT_EQ(nodes[3]->parent, nodes[1]);
    EXPECT_EQ(nodes[2]->object, l.record<orin_object>("Body"));

    // No scale track: scale 1, so the update leaves the meshes their size
    // (the default reading leaves 0). The wheel's position track was read
    // and evaluated by the load's update.
    const orin_object* body = l.record<orin_object>("Body");
    const orin_object* wheelObj = l.record<orin_object>("Wheel");
    EXPECT_EQ(body->scale.x, 1.0f);
    EXPECT_EQ(body->scale.z, 1.0f);
    EXPECT_EQ(wheelObj->translate.x, 5.0f);
    EXPECT_EQ(wheelObj->vertices[1].world.x, 6.0f);  // (1, 0, 0) moved by 5
    // Faces of the group naming the missing material have none.
    EXPECT_EQ(body->faces[0].material, l.record<orin_material>("Paint"));
    EXPECT_EQ(wheelObj->faces[0].material, nullptr);
    EXPECT_EQ(wheelObj->faces[0].material_id, 0);

    auto list = warnings();
    EXPECT_EQ(list.size(), 5u) << joined(list);
    const std::string expected[] = {
        "the version byte at offset 28 is not checked",
        "mesh \"Wheel\": material group names \"Chrome\", which no material has (chunk 0x4130 at offset " +
            std::to_string(groupAt) + ")",
        "keyframer node 0 \"\" (chunk 0xB010 at offset " + std::to_string(rootAt) +
            "): no mesh of that name; read as an unnamed dummy",
        "keyframer node 1 \"car\" (chunk 0xB010 at offset " + std::to_string(carAt) + ")",
        "without a segment chunk (0xB008)",
    };
    for (const std::string& e : expected) EXPECT_TRUE(anyHas(list, e)) << e << "\n" << joined(list);
}

// The same keyframer data after a world both readings accept: the default
// reading fails the motion pass at the unnamed root node, frees the
// keyframer list, keeps the world and warns about nothing.
TEST(Lenient, DefaultReadingStillFailsAtTheFirstUnknownNode) {
    auto bytes = exporterFile({paint()}, {{"Body", triangle()}}, {node("", -1), node("Body", 0)});
    Loaded strict(bytes);
    EXPECT_EQ(strict.world, ORIN_OK);
    EXPECT_EQ(strict.motion, ORIN_ERR_LOOKUP);
    EXPECT_EQ(strict.scene->nodes, nullptr);
    EXPECT_NE(strict.find("Body"), nullptr);
    EXPECT_EQ(orin_warning_count(), 0);
    uint16_t id = 0;
    long offset = 0;
    ASSERT_EQ(orin_get_stop(&id, &offset), ORIN_OK);
    EXPECT_EQ(id, 0xB010);
    EXPECT_EQ(offset, chunkOffset(bytes, 0xB010, ""));
}

// Without the usual head the byte at offset 28 is other data: here the
// second byte of the vertex list's length (0), which the default reading
// takes for version 0.
TEST(Lenient, VersionByteIsCheckedOnlyWhereTheUsualHeadPutsIt) {
    auto bytes = exporterFile({}, {{"", triangle()}}, {});
    ASSERT_EQ(bytes[26], 0x41);  // 0x4110 starts at offset 25
    ASSERT_EQ(bytes[28], 0);
    {
        Loaded strict(bytes, false);
        EXPECT_EQ(strict.world, ORIN_ERR_VERSION);
    }
    Loaded l(bytes, false, kLenient);
    EXPECT_EQ(l.world, ORIN_OK);
    EXPECT_EQ(l.worldNodes().size(), 1u);
    EXPECT_TRUE(anyHas(warnings(), "no mesh version chunk (0x3D3E) at offset 22")) << joined(warnings());
    // With the usual head a low version is refused in both readings.
    w::Scene3ds s;
    s.meshVersion = 1;
    s.objects.push_back({"Body", triangle()});
    Loaded old(w::build3ds(s), false, kLenient);
    EXPECT_EQ(old.world, ORIN_ERR_VERSION);
}

// A camera or light node naming nothing cannot become a dummy object: it is
// left out with its tracks, and the nodes after it load. A morph key naming
// nothing drops its morph track, not the node's other tracks.
TEST(Lenient, UnknownCameraNodesAndMorphTargetsAreLeftOut) {
    w::Node ghost = node("Ghost", -1, w::NodeKind::Camera);
    ghost.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {1, 2, 3})}}};
    w::Node body = node("Body", -1);
    w::Key morph;
    morph.target = "Missing";
    body.tracks = {{w::TrackKind::Morph, w::TrackMode::Once, {morph}},
                   {w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, 0, 7})}}};
    auto bytes = exporterFile({paint()}, {{"Body", triangle()}}, {ghost, body});
    {
        Loaded strict(bytes);
        EXPECT_EQ(strict.motion, ORIN_ERR_LOOKUP);
    }
    Loaded l(bytes, true, kLenient);
    ASSERT_EQ(l.motion, ORIN_OK);
    auto nodes = l.kfNodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->type, ORIN_KF_OBJECT);
    EXPECT_EQ(nodes[0]->id, 1);  // the ghost still took number 0
    auto* tracks = static_cast<orin_object_tracks*>(nodes[0]->tracks);
    EXPECT_EQ(tracks->morph, nullptr);
    ASSERT_NE(tracks->position, nullptr);
    EXPECT_EQ(l.record<orin_object>("Body")->translate.y, 7.0f);  // file z is library y
    auto list = warnings();
    EXPECT_TRUE(anyHas(list, "keyframer node 0 \"Ghost\" (chunk 0xB010 at offset " +
                                 std::to_string(chunkOffset(bytes, 0xB010, "Ghost")) + "): no record of its kind"))
        << joined(list);
    EXPECT_TRUE(anyHas(list, "morph track of keyframer node 1 (chunk 0xB026 at offset")) << joined(list);
    EXPECT_TRUE(anyHas(list, "a key names \"Missing\"")) << joined(list);
}

// Mapping coordinates and a mesh matrix written before the vertex list have
// nothing to apply to: skipped in both readings, with a warning in the
// lenient one.
TEST(Lenient, MeshChunksBeforeTheVerticesAreSkippedWithAWarning) {
    w::ChunkWriter c;
    c.begin(0x4000);
    c.str("Early");
    c.begin(0x4100);
    c.begin(0x4140);
    c.u16(1);
    c.f32(0.5f);
    c.f32(0.25f);
    c.end();
    c.begin(0x4160);
    for (int i = 0; i < 12; ++i) c.f32(i == 0 || i == 4 || i == 8 ? 2.0f : 0.0f);
    c.end();
    c.begin(0x4110);
    c.u16(1);
    c.f32(3);
    c.f32(0);
    c.f32(0);
    c.end();
    c.end();
    c.end();
    auto bytes = wrapFile(c.data());
    for (int32_t flags : {kStrict, kLenient}) {
        Loaded l(bytes, false, flags);
        ASSERT_EQ(l.world, ORIN_OK);
        const orin_object* o = l.record<orin_object>("Early");
        EXPECT_EQ(o->vertices[0].u, 0.0f);
        EXPECT_EQ(o->vertices[0].local.x, 3.0f);  // not halved by the early matrix
        EXPECT_EQ(orin_warning_count(), flags == kLenient ? 2 : 0);
    }
    EXPECT_TRUE(anyHas(warnings(), "mesh \"Early\": mapping coordinates before the vertex list")) << joined(warnings());
    EXPECT_TRUE(anyHas(warnings(), "mesh \"Early\": mesh matrix before the vertex list")) << joined(warnings());
}

// A file both readings accept reads the same way and makes no warning; the
// warnings of a load are counted past the ones kept, and a new world or
// orin_init starts a new list.
TEST(Lenient, WarningsBelongToTheLastWorld) {
    Loaded good(w::build3ds(sampleScene()), true, kLenient);
    EXPECT_EQ(good.world, ORIN_OK);
    EXPECT_EQ(good.motion, ORIN_OK);
    EXPECT_EQ(orin_warning_count(), 0);
    Loaded strict(w::build3ds(sampleScene()));
    EXPECT_EQ(good.worldNodes().size(), strict.worldNodes().size());
    EXPECT_EQ(good.kfNodes().size(), strict.kfNodes().size());

    w::Scene3ds s;
    s.objects.push_back({"Body", triangle()});
    w::Keyframer k;
    for (int i = 0; i < 70; ++i) k.nodes.push_back(w::objectNode("n" + std::to_string(i), static_cast<uint16_t>(i)));
    s.keyframer = k;
    Loaded many(w::build3ds(s), true, kLenient);
    ASSERT_EQ(many.motion, ORIN_OK);
    EXPECT_EQ(many.kfNodes().size(), 70u);
    EXPECT_EQ(orin_warning_count(), 70);
    ASSERT_NE(orin_warning(63), nullptr);
    EXPECT_NE(std::string(orin_warning(63)).find("keyframer node 63 \"n63\""), std::string::npos);
    EXPECT_EQ(orin_warning(64), nullptr);
    EXPECT_EQ(orin_warning(-1), nullptr);
    orin_scene* other = nullptr;
    ASSERT_EQ(orin_alloc_scene(&other), ORIN_OK);
    EXPECT_EQ(orin_load_world(many.ownedPath.c_str(), other), ORIN_OK);
    EXPECT_EQ(orin_warning_count(), 0);
    orin_free_scene(other);
    orin_init(kLenient);
    EXPECT_EQ(orin_warning_count(), 0);
}

// Names come from the file: a warning never carries its control bytes.
TEST(Lenient, WarningsCarryNoControlBytes) {
    auto bytes = exporterFile({paint()}, {{"Body", triangle()}}, {node("\x1b[2J\x07" "x\n", -1)});
    Loaded l(bytes, true, kLenient);
    ASSERT_EQ(l.motion, ORIN_OK);
    EXPECT_TRUE(anyHas(warnings(), "keyframer node 0 \"?[2J?x?\"")) << joined(warnings());
}

// Materials written after the meshes that use them: the default reading
// fails at the group; the lenient one finds the material once the world is
// read, and still checks the group's face indices.
TEST(Lenient, MaterialsAfterTheMeshesAreFound) {
    w::ChunkWriter c;
    w::beginFile(c);
    w::Mesh two = triangle("Late");
    two.vertices.push_back({1, 1, 0});
    two.faces.push_back({1, 3, 2});
    w::writeObject(c, {"Body", two});
    w::Material late;
    late.name = "Late";
    w::writeMaterial(c, late);
    c.end();
    c.end();
    auto bytes = c.data();
    {
        Loaded strict(bytes, false);
        EXPECT_EQ(strict.world, ORIN_ERR_LOOKUP);
    }
    {
        Loaded l(bytes, false, kLenient);
        ASSERT_EQ(l.world, ORIN_OK);
        const orin_object* body = l.record<orin_object>("Body");
        const orin_material* m = l.record<orin_material>("Late");
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(body->faces[0].material, m);
        EXPECT_EQ(body->faces[0].material_id, m->id);
        EXPECT_EQ(body->faces[1].material, nullptr);  // not in the group
        EXPECT_TRUE(anyHas(warnings(), "mesh \"Body\": material group names \"Late\", a material that comes later "
                                       "in the file (chunk 0x4130 at offset " +
                                           std::to_string(chunkOffset(bytes, 0x4130, "Late")) + ")"))
            << joined(warnings());
    }
    // A face index past the mesh's faces fails in both readings, found or not.
    const long group = chunkOffset(bytes, 0x4130, "Late");
    ASSERT_GT(group, 0);
    bytes[group + 6 + 5 + 2] = 9;  // header, "Late\0", count: the first index
    Loaded bad(bytes, false, kLenient);
    EXPECT_EQ(bad.world, ORIN_ERR_READ);
}
