// Library interface: result codes and list operations.
#include <gtest/gtest.h>

#include "scene_util.h"

using namespace scenetest;

TEST(Interface, FrameRange) {
    Loaded l(w::build3ds(sampleScene()));
    ASSERT_EQ(l.motion, ORIN_OK);
    float start = -1, end = -1;
    EXPECT_EQ(orin_get_frames(&start, &end), ORIN_OK);
    EXPECT_EQ(start, 0.0f);
    EXPECT_EQ(end, 200.0f);
    EXPECT_EQ(orin_set_frame(200.0f), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_set_frame(-0.5f), ORIN_ERR_FRAME);
    EXPECT_EQ(orin_set_frame(0.0f), ORIN_OK);
    EXPECT_EQ(orin_set_frame(199.5f), ORIN_OK);
    EXPECT_EQ(l.scene->frame, 199.5f);
    l.scene->frame_end = l.scene->frame_start;
    EXPECT_EQ(orin_get_frames(&start, &end), ORIN_ERR_NO_FRAMES);
    EXPECT_EQ(orin_set_frame(0.0f), ORIN_ERR_NO_FRAMES);
}

TEST(Interface, NeedsAnActiveSceneWithLists) {
    orin_init(15);
    float a, b;
    orin_world_node* node = reinterpret_cast<orin_world_node*>(1);
    EXPECT_EQ(orin_get_frames(&a, &b), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_set_frame(0), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_find_object("x", &node), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_find_object_by_id(0, &node), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_add_world(ORIN_OBJECT, nullptr), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_add_node(ORIN_KF_OBJECT, 0, -1, nullptr, nullptr), ORIN_ERR_NOT_LOADED);
    EXPECT_EQ(orin_set_scene(nullptr), ORIN_ERR_NULL);
    // A world without keyframer data has no frames.
    w::Scene3ds s;
    s.objects.push_back({"Camera01", w::Camera{}});
    Loaded l(w::build3ds(s));
    EXPECT_EQ(orin_get_frames(&a, &b), ORIN_ERR_NOT_LOADED);
}

TEST(Interface, FindObject) {
    Loaded l(w::build3ds(sampleScene()));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_world_node* node = reinterpret_cast<orin_world_node*>(1);
    EXPECT_EQ(orin_find_object("Nothing", &node), ORIN_OK);
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(orin_find_object("camera01", &node), ORIN_OK);  // case-sensitive
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(orin_find_object("Camera01", &node), ORIN_OK);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->type, ORIN_CAMERA);
    EXPECT_EQ(orin_find_object("Pivot", &node), ORIN_OK);  // a renamed dummy
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(orin_record_id(node), 1025);
    EXPECT_EQ(orin_find_object_by_id(3, &node), ORIN_OK);
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(orin_record_name(node), "Tri");
    EXPECT_EQ(orin_find_object_by_id(999, &node), ORIN_OK);
    EXPECT_EQ(node, nullptr);
}

TEST(Interface, FreeingTwiceReturnsNull) {
    Loaded l(w::build3ds(sampleScene()));
    ASSERT_EQ(l.motion, ORIN_OK);
    EXPECT_EQ(orin_free_motion(l.scene), ORIN_OK);
    EXPECT_EQ(orin_free_motion(l.scene), ORIN_ERR_NULL);
    EXPECT_EQ(orin_free_world(l.scene), ORIN_OK);
    EXPECT_EQ(orin_free_world(l.scene), ORIN_ERR_NULL);
    EXPECT_EQ(l.scene->world_last, nullptr);
    EXPECT_EQ(orin_free_world(nullptr), ORIN_ERR_NULL);
    EXPECT_EQ(orin_free_motion(nullptr), ORIN_ERR_NULL);
}

TEST(Interface, LoadersKeepThePreviousActiveScene) {
    std::string path = tempFile(w::build3ds(sampleScene()));
    orin_init(15);
    orin_scene *a = nullptr, *b = nullptr;
    ASSERT_EQ(orin_alloc_scene(&a), ORIN_OK);
    ASSERT_EQ(orin_alloc_scene(&b), ORIN_OK);
    orin_set_scene(a);
    EXPECT_EQ(orin_load_world(path.c_str(), b), ORIN_OK);
    EXPECT_EQ(orin_get_scene(), a);
    EXPECT_EQ(orin_load_motion(path.c_str(), b), ORIN_OK);
    EXPECT_EQ(orin_get_scene(), a);
    EXPECT_EQ(a->world, nullptr);
    // Loading a world again replaces the old lists (no leak under ASan).
    EXPECT_EQ(orin_load_world(path.c_str(), b), ORIN_OK);
    EXPECT_EQ(b->nodes, nullptr);
    EXPECT_NE(b->world, nullptr);
    EXPECT_EQ(orin_load_world("/nonexistent/dir/x.3ds", b), ORIN_ERR_OPEN);
    EXPECT_EQ(b->world, nullptr);
    EXPECT_EQ(orin_get_scene(), a);
    orin_free_scene(a);
    orin_free_scene(b);
    orin_done();
}

TEST(Interface, MotionNeedsAWorld) {
    std::vector<uint8_t> bad = w::build3ds(sampleScene());
    bad[28] = 1;
    std::string path = tempFile(bad);
    Loaded l(path);
    EXPECT_EQ(l.world, ORIN_ERR_VERSION);
    EXPECT_EQ(l.motion, ORIN_ERR_NOT_LOADED);
    // The file is not even opened: a missing file gives 9 as well.
    EXPECT_EQ(orin_load_motion("/nonexistent/dir/x.3ds", l.scene), ORIN_ERR_NOT_LOADED);
}

TEST(Interface, CameraAndFlags) {
    orin_init(ORIN_HIERARCHY | ORIN_MORPH);
    EXPECT_EQ(orin_get_flags(), ORIN_HIERARCHY | ORIN_MORPH);
    EXPECT_EQ(orin_get_camera(), nullptr);
    orin_camera cam{};
    EXPECT_EQ(orin_set_camera(&cam), ORIN_OK);
    EXPECT_EQ(orin_get_camera(), &cam);
    orin_done();
    EXPECT_EQ(orin_get_flags(), 0);
    EXPECT_EQ(orin_get_camera(), &cam);  // only init and set_camera change it
    EXPECT_EQ(orin_set_camera(nullptr), ORIN_OK);
    EXPECT_EQ(orin_get_camera(), nullptr);
}

TEST(Interface, AddNodeSelfParent) {
    orin_scene* s = nullptr;
    orin_alloc_scene(&s);
    orin_init(15);
    orin_set_scene(s);
    ASSERT_EQ(orin_add_node(ORIN_KF_OBJECT, 5, 5, nullptr, nullptr), ORIN_OK);
    EXPECT_EQ(s->nodes->parent, s->nodes);
    EXPECT_EQ(s->nodes->child, s->nodes);
    EXPECT_EQ(s->nodes->brother, nullptr);
    orin_free_scene(s);
    EXPECT_EQ(orin_get_scene(), nullptr);
}

TEST(Interface, ResultNames) {
    EXPECT_STREQ(orin_result_name(ORIN_ERR_READ), "ORIN_ERR_READ");
    EXPECT_STREQ(orin_result_name(ORIN_ERR_LOOKUP), "ORIN_ERR_LOOKUP");
    EXPECT_STREQ(orin_result_name(5), "ORIN_ERR_UNKNOWN");
}
