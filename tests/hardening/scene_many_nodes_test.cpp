// Scenes with very many keyframer nodes: the motion pass must give each node
// its record and parent exactly as the list definitions say (first record of
// the node's kind with the name, in world order; every node with the parent
// number adopts the node), however many there are, and names that repeat or
// change in the middle of the pass must resolve as they would in a plain
// walk of the lists.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bad_input.h"
#include "writer3ds.h"

using namespace hardening;
namespace w = marrow::w3ds;

namespace {

// A mesh with one vertex: enough to be a record, small enough for 100000.
void pointMesh(w::ChunkWriter& c, const std::string& name) {
    c.begin(0x4000);
    c.str(name);
    c.begin(0x4100);
    c.begin(0x4110);
    c.u16(1);
    c.f32(0), c.f32(0), c.f32(0);
    c.end();
    c.end();
    c.end();
}

void camera(w::ChunkWriter& c, const std::string& name) {
    c.begin(0x4000);
    c.str(name);
    c.begin(0x4700);
    for (int i = 0; i < 6; ++i) c.f32(0);
    c.f32(0), c.f32(50);
    c.end();
    c.end();
}


// A scene with a keyframer of frames 0 to 100.
std::vector<uint8_t> file(const SceneBody& editor, const SceneBody& keyframer) {
    return sceneFile(editor, [&keyframer](w::ChunkWriter& c) {
        c.begin(0xB008);
        c.u32(0), c.u32(100);
        c.end();
        keyframer(c);
    });
}

// Node i (numbered i by counting, as no node has a number chunk) hangs
// under node (i - 1) % 1000: parent numbers stay within the file's 16 bits,
// and the first 1000 nodes get about a hundred children each.
int parentOf(int i) { return i == 0 ? -1 : (i - 1) % 1000; }

}  // namespace

TEST(SceneManyNodes, AHundredThousandNodesFindTheirRecordsAndParents) {
    constexpr int kNodes = 100000;
    SceneLoad l(file(
        [](w::ChunkWriter& c) {
            for (int i = 0; i < kNodes; ++i) pointMesh(c, "O" + std::to_string(i));
        },
        [](w::ChunkWriter& c) {
            // Nodes in reverse world order, so a front-to-back search of the
            // world would walk nearly all of it for each node.
            for (int i = 0; i < kNodes; ++i)
                node(c, 0xB002, "O" + std::to_string(kNodes - 1 - i), static_cast<int16_t>(parentOf(i)));
        }));
    ASSERT_EQ(l.world, ORIN_OK);
    ASSERT_EQ(l.motion, ORIN_OK);

    std::vector<orin_kf_node*> byNumber;
    for (orin_kf_node* n = l.scene->nodes; n; n = n->next) byNumber.push_back(n);
    ASSERT_EQ(byNumber.size(), static_cast<size_t>(kNodes));
    std::vector<int> children(kNodes, 0);
    for (int i = 0; i < kNodes; ++i) {
        const orin_kf_node* n = byNumber[i];
        ASSERT_EQ(n->id, i);
        ASSERT_EQ(n->type, ORIN_KF_OBJECT);
        const auto* o = static_cast<const orin_object*>(n->object);
        ASSERT_NE(o, nullptr);
        ASSERT_STREQ(o->name, ("O" + std::to_string(kNodes - 1 - i)).c_str());
        // Meshes are numbered 0.. in world order.
        ASSERT_EQ(o->id, kNodes - 1 - i);
        if (parentOf(i) < 0) {
            ASSERT_EQ(n->parent, nullptr);
        } else {
            ASSERT_EQ(n->parent, byNumber[parentOf(i)]) << i;
            ++children[parentOf(i)];
        }
    }
    // Each parent's children, newest first through `brother`.
    for (int p = 0; p < 1000; ++p) {
        int count = 0, last = kNodes;
        for (const orin_kf_node* k = byNumber[p]->child; k; k = k->brother) {
            ASSERT_EQ(k->parent, byNumber[p]);
            ASSERT_LT(k->id, last);
            last = k->id;
            ++count;
        }
        EXPECT_EQ(count, children[p]) << p;
    }
}

// Names that repeat, kinds that share a name, and instance names that rename
// a record in the middle of the pass: each node gets what a walk of the
// world list at that moment would give.
TEST(SceneManyNodes, RepeatedAndChangingNamesResolveAsInAWalkOfTheList) {
    SceneLoad l(file(
        [](w::ChunkWriter& c) {
            pointMesh(c, "Twin");  // id 0
            pointMesh(c, "Twin");  // id 1
            pointMesh(c, "Cam");   // id 2: a mesh named like the camera
            camera(c, "Cam");      // id 3
            pointMesh(c, "Solo");  // id 4
        },
        [](w::ChunkWriter& c) {
            node(c, 0xB002, "Twin", -1, 10, "Moved");  // the first Twin, renamed "Moved"
            node(c, 0xB002, "Twin", -1, 11);            // now the second Twin
            node(c, 0xB002, "Moved", -1, 12);           // the first Twin by its new name
            node(c, 0xB003, "Cam", -1, 13);             // the camera, not the earlier mesh
            node(c, 0xB002, "Cam", -1, 14);             // the mesh
            node(c, 0xB002, "$$$DUMMY", -1, 15, "Solo");  // a dummy added behind "Solo"
            node(c, 0xB002, "Solo", -1, 16);            // still the mesh: it comes first
            node(c, 0xB002, "Moved", -1, 17, "Twin");   // renamed back
            node(c, 0xB002, "Twin", -1, 18);            // first in world order again
            // Numbers that repeat: both 10s adopt the node, the last one in
            // list order ends up as its parent; tracks go to the last 10.
            node(c, 0xB002, "Solo", -1, 10);
            node(c, 0xB002, "Solo", 10, 19);
        }));
    ASSERT_EQ(l.world, ORIN_OK);
    ASSERT_EQ(l.motion, ORIN_OK);
    std::vector<orin_kf_node*> nodes;
    for (orin_kf_node* n = l.scene->nodes; n; n = n->next) nodes.push_back(n);
    ASSERT_EQ(nodes.size(), 11u);
    auto objectId = [&](size_t k) { return static_cast<const orin_object*>(nodes[k]->object)->id; };
    EXPECT_EQ(objectId(0), 0);
    EXPECT_EQ(objectId(1), 1);
    EXPECT_EQ(objectId(2), 0);
    EXPECT_EQ(static_cast<const orin_camera*>(nodes[3]->object)->id, 3);
    EXPECT_EQ(objectId(4), 2);
    EXPECT_EQ(objectId(5), 15 + 1024);  // dummies are numbered node number + 1024
    EXPECT_EQ(objectId(6), 4);
    EXPECT_EQ(objectId(7), 0);
    EXPECT_EQ(objectId(8), 0);
    EXPECT_STREQ(static_cast<const orin_object*>(nodes[0]->object)->name, "Twin");
    EXPECT_EQ(nodes[10]->parent, nodes[9]);
    EXPECT_EQ(nodes[0]->child, nodes[10]);
    EXPECT_EQ(nodes[9]->child, nodes[10]);
    EXPECT_EQ(nodes[10]->brother, nullptr);
}
