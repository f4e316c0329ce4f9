// Motion pass: keyframer nodes, numbering, hierarchy, dummies, pivots.
#include <gtest/gtest.h>

#include <cstdio>

#include "scene_util.h"

using namespace scenetest;

namespace {

// A world with meshes A, B, C, D (one vertex each) and the given keyframer.
std::vector<uint8_t> meshesWith(const w::Keyframer& k) {
    w::Scene3ds s;
    for (const char* name : {"A", "B", "C", "D"}) {
        w::Mesh m;
        m.vertices = {{1, 2, 3}};
        s.objects.push_back({name, m});
    }
    s.keyframer = k;
    return w::build3ds(s);
}

w::Node plainNode(const std::string& name, int16_t parent = -1) {
    w::Node n = w::objectNode(name, 0, parent);
    n.id.reset();
    return n;
}

}  // namespace

TEST(Motion, SampleSceneNodes) {
    Loaded l(w::build3ds(sampleScene()));
    ASSERT_EQ(l.world, ORIN_OK);
    ASSERT_EQ(l.motion, ORIN_OK);
    EXPECT_EQ(l.scene->frame_start, 0.0f);
    EXPECT_EQ(l.scene->frame_end, 200.0f);

    auto nodes = l.kfNodes();
    ASSERT_EQ(nodes.size(), 9u);
    const int32_t types[] = {ORIN_KF_AMBIENT,        ORIN_KF_OBJECT, ORIN_KF_OBJECT,
                             ORIN_KF_OBJECT,         ORIN_KF_CAMERA, ORIN_KF_CAMERA_TARGET,
                             ORIN_KF_LIGHT,          ORIN_KF_SPOTLIGHT, ORIN_KF_LIGHT_TARGET};
    for (size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i]->type, types[i]) << i;
        EXPECT_EQ(nodes[i]->id, static_cast<int32_t>(i));
        EXPECT_NE(nodes[i]->tracks, nullptr);
        EXPECT_EQ(nodes[i]->prev, i ? nodes[i - 1] : nullptr);
    }

    // The ambient node made an ambient record at the end of the world list.
    auto* amb = static_cast<orin_ambient*>(nodes[0]->object);
    EXPECT_STREQ(amb->name, "$AMBIENT$");
    EXPECT_EQ(amb->id, 1024);
    EXPECT_EQ(l.find("$AMBIENT$")->type, ORIN_AMBIENT);

    // The dummy takes its name from the instance-name chunk.
    auto* dummy = static_cast<orin_object*>(nodes[1]->object);
    EXPECT_STREQ(dummy->name, "Pivot");
    EXPECT_EQ(dummy->id, 1 + 1024);
    EXPECT_EQ(dummy->flags, ORIN_OBJ_DUMMY);
    EXPECT_EQ(dummy->vertices, nullptr);
    EXPECT_EQ(dummy->num_faces, 0);

    auto* box = l.record<orin_object>("Box");
    EXPECT_EQ(nodes[2]->object, box);
    // The update run by the load at frame 0 adds the morph flag (its morph
    // track has a key); the hide track's first key is at 20.
    EXPECT_EQ(box->flags, ORIN_OBJ_NODE_0800 | ORIN_OBJ_MORPH);
    EXPECT_EQ(nodes[3]->object, l.record<orin_object>("Tri"));
    EXPECT_EQ(nodes[4]->object, l.record<orin_camera>("Camera01"));
    EXPECT_EQ(nodes[5]->object, l.record<orin_camera>("Camera01"));
    EXPECT_EQ(nodes[6]->object, l.record<orin_light>("Omni01"));
    EXPECT_EQ(nodes[7]->object, l.record<orin_light>("Spot01"));
    EXPECT_EQ(nodes[8]->object, l.record<orin_light>("Spot01"));

    // Pivot (1, 2, 3) in the file is (1, 3, 2) here and leaves the vertices.
    EXPECT_EQ(box->pivot.x, 1.0f);
    EXPECT_EQ(box->pivot.y, 3.0f);
    EXPECT_EQ(box->pivot.z, 2.0f);
    EXPECT_EQ(box->vertices[3].local.x, 0.0f - 1.0f);  // file (0, 2, 3)
    EXPECT_EQ(box->vertices[3].local.y, 3.0f - 3.0f);
    EXPECT_EQ(box->vertices[3].local.z, 2.0f - 2.0f);

    // Hierarchy: dummy -> Box -> Tri; camera -> omni light.
    EXPECT_EQ(nodes[2]->parent, nodes[1]);
    EXPECT_EQ(nodes[1]->child, nodes[2]);
    EXPECT_EQ(nodes[3]->parent, nodes[2]);
    EXPECT_EQ(nodes[2]->child, nodes[3]);
    EXPECT_EQ(nodes[6]->parent, nodes[4]);
    EXPECT_EQ(nodes[4]->child, nodes[6]);
    EXPECT_EQ(nodes[0]->parent, nullptr);
    EXPECT_EQ(nodes[8]->child, nullptr);
}

TEST(Motion, NodesWithoutNumbersCountFromZero) {
    w::Keyframer k;
    k.nodes = {plainNode("A"), plainNode("B")};
    w::Node numbered = w::objectNode("C", 7);
    k.nodes.push_back(numbered);
    k.nodes.push_back(plainNode("D"));
    Loaded l(meshesWith(k));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto nodes = l.kfNodes();
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->id, 0);
    EXPECT_EQ(nodes[1]->id, 1);
    EXPECT_EQ(nodes[2]->id, 7);
    EXPECT_EQ(nodes[3]->id, 8);
}

// Several nodes share number 3: a new child of 3 becomes the first child of
// each of them, and its parent and brother come from the last one.
TEST(Motion, SharedParentNumber) {
    w::Keyframer k;
    k.nodes = {w::objectNode("A", 3), w::objectNode("B", 10, 3), w::objectNode("C", 3),
               w::objectNode("D", 11, 3)};
    Loaded l(meshesWith(k));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto n = l.kfNodes();
    ASSERT_EQ(n.size(), 4u);
    // B: only A had number 3 then.
    EXPECT_EQ(n[1]->parent, n[0]);
    EXPECT_EQ(n[1]->brother, nullptr);
    // D: A's first child was B, C had none; C is visited last.
    EXPECT_EQ(n[3]->parent, n[2]);
    EXPECT_EQ(n[3]->brother, nullptr);
    EXPECT_EQ(n[0]->child, n[3]);
    EXPECT_EQ(n[2]->child, n[3]);
}

TEST(Motion, SiblingsChainThroughBrother) {
    w::Keyframer k;
    k.nodes = {w::objectNode("A", 0), w::objectNode("B", 1, 0), w::objectNode("C", 2, 0)};
    Loaded l(meshesWith(k));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto n = l.kfNodes();
    EXPECT_EQ(n[0]->child, n[2]);
    EXPECT_EQ(n[2]->brother, n[1]);
    EXPECT_EQ(n[1]->brother, nullptr);
}

TEST(Motion, DummyWithoutInstanceNameHasNoName) {
    w::Keyframer k;
    k.nodes = {w::objectNode("$$$DUMMY", 4)};
    Loaded l(meshesWith(k));
    ASSERT_EQ(l.motion, ORIN_OK);
    auto* o = static_cast<orin_object*>(l.scene->nodes->object);
    EXPECT_EQ(o->name, nullptr);
    EXPECT_EQ(o->id, 4 + 1024);
    EXPECT_EQ(l.scene->world_last->object, o);
    // A record without a name never matches a lookup.
    EXPECT_EQ(l.find(""), nullptr);
}

TEST(Motion, MissingRecordFailsAndKeepsTheWorld) {
    w::Keyframer k;
    k.nodes = {w::objectNode("A", 0), w::objectNode("Nobody", 1)};
    Loaded l(meshesWith(k));
    EXPECT_EQ(l.world, ORIN_OK);
    EXPECT_EQ(l.motion, ORIN_ERR_LOOKUP);
    EXPECT_EQ(l.scene->nodes, nullptr);
    EXPECT_EQ(l.scene->nodes_last, nullptr);
    EXPECT_EQ(l.worldNodes().size(), 4u);
    EXPECT_NE(l.record<orin_object>("D"), nullptr);
}

// A node looks only at records of the kind it drives.
TEST(Motion, NodeLookupIsByKind) {
    w::Scene3ds s;
    w::Mesh m;
    m.vertices = {{0, 0, 0}};
    s.objects.push_back({"Same", m});
    s.objects.push_back({"Same", w::Camera{}});
    w::Keyframer k;
    w::Node cam;
    cam.kind = w::NodeKind::Camera;
    cam.name = "Same";
    w::Node light = cam;
    light.kind = w::NodeKind::Light;
    k.nodes = {cam};
    s.keyframer = k;
    {
        Loaded l(w::build3ds(s));
        ASSERT_EQ(l.motion, ORIN_OK);
        EXPECT_EQ(l.scene->nodes->object, l.worldNodes()[1]->object);
    }
    s.keyframer->nodes = {light};
    Loaded l(w::build3ds(s));
    EXPECT_EQ(l.motion, ORIN_ERR_LOOKUP);
}

TEST(Motion, SecondLoadAppends) {
    w::Keyframer k;
    w::Node a = w::objectNode("A", 0);
    a.tracks.push_back({w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {1, 2, 3})}});
    k.nodes = {a};
    std::string path = tempFile(meshesWith(k));
    Loaded l(path);
    ASSERT_EQ(l.motion, ORIN_OK);
    EXPECT_EQ(orin_load_motion(path.c_str(), l.scene), ORIN_OK);
    auto nodes = l.kfNodes();
    ASSERT_EQ(nodes.size(), 2u);
    // Each load's track went to the node it read, not to the first node
    // with the same number.
    for (orin_kf_node* n : nodes) EXPECT_NE(static_cast<orin_object_tracks*>(n->tracks)->position, nullptr);
    std::remove(path.c_str());
}

TEST(Motion, NoKeyframerDataLoadsEmpty) {
    w::Scene3ds s;
    s.objects.push_back({"Camera01", w::Camera{}});
    Loaded l(w::build3ds(s));
    EXPECT_EQ(l.motion, ORIN_OK);
    EXPECT_EQ(l.scene->nodes, nullptr);
}
