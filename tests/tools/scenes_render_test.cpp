// The generated scenes as the presentation draws them: loaded through
// Scene3D from a scene folder (load, setDirectory("scenes"), loadMaterials,
// bindMaterials), rendered at the first, middle and last frame each
// stretch shows. Each frame must show a lit picture, every face must fit the
// work arrays with room to spare, and every depth must fit the renderer's
// 32-bit z x 65536.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/demo_init.h"
#include "render/scene3d.h"
#include "render/shade_table.h"
#include "scene_set.h"

using namespace marrow;
namespace fs = std::filesystem;

namespace {

class SceneRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir() = fs::temp_directory_path() / ("marrow-scene-render-" + std::to_string(getpid()));
        std::string error;
        ASSERT_TRUE(scenes::writeScenes(dir().string(), error)) << error;
        // The chrome objects also name the image set's glow map; a plain
        // white-centred stand-in is enough to draw them here.
        ASSERT_TRUE(writeStandInEnvmap(dir() / "scenes" / "envmap2.jpg"));
        initShadeTable();
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(dir(), ec);
    }
    static fs::path& dir() {
        static fs::path d;
        return d;
    }
    static bool writeStandInEnvmap(const fs::path& path) {
        // Reuse a scene texture of the right size: the test looks at light,
        // not at what the reflection shows.
        std::error_code ec;
        fs::copy_file(dir() / "scenes" / "chrome.jpg", path, fs::copy_options::overwrite_existing, ec);
        return !ec;
    }
};

// Share of pixels with some light in them.
double litShare(const uint32_t* colour) {
    int lit = 0;
    for (int i = 0; i < 64000; ++i) {
        const uint32_t p = colour[i];
        if (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) > 30) ++lit;
    }
    return lit / 64000.0;
}

}  // namespace

TEST_F(SceneRender, FirstMiddleAndLastShownFramesAreLit) {
    const std::string cwd = fs::current_path().string();
    ASSERT_EQ(chdir(dir().c_str()), 0);
    for (const scenes::SceneEntry& entry : scenes::sceneTable()) {
        SCOPED_TRACE(entry.name);
        Scene3D scene;
        const std::string path = std::string("scenes/") + entry.name + ".3ds";
        const int32_t factor = presentationCapacityFactor(entry.name);
        ASSERT_GT(factor, 0) << "the presentation does not load it";
        const LoadResult loaded = scene.setUp(path.c_str(), "scenes", factor);
        ASSERT_TRUE(loaded.ok()) << loaded.message;
        EXPECT_EQ(scene.lastFrame, static_cast<float>(entry.end));
        // Text scenes are mostly black around their letters.
        const bool text = std::string(entry.name) == "credits" || std::string(entry.name) == "greets";
        const double minimum = text ? 0.015 : 0.025;
        const double mid = (entry.firstShown + entry.lastShown) / 2;
        for (double f : {entry.firstShown, mid, entry.lastShown}) {
            const int frame = static_cast<int>(f);
            SCOPED_TRACE(frame);
            scene.clear();
            scene.render(frame);
            scene.draw();
            EXPECT_GT(litShare(scene.buffer), minimum);
            EXPECT_EQ(scene.droppedFaces, 0);
            // Room to spare in the work arrays.
            EXPECT_LT(scene.capacityNeeded, 0.75f * static_cast<float>(factor));
            for (orin_world_node* n = scene.scene->world; n; n = n->next) {
                if (n->type != ORIN_OBJECT) continue;
                const orin_object* o = static_cast<const orin_object*>(n->object);
                for (int i = 0; i < o->num_vertices; ++i) EXPECT_LT(o->vertices[i].camera.z, 32768.0f) << o->name;
            }
        }
    }
    ASSERT_EQ(chdir(cwd.c_str()), 0);
}

// The capacity check above only samples three frames; the work arrays must
// hold every frame a stretch shows.
TEST_F(SceneRender, EveryShownFrameFitsTheWorkArrays) {
    const std::string cwd = fs::current_path().string();
    ASSERT_EQ(chdir(dir().c_str()), 0);
    for (const scenes::SceneEntry& entry : scenes::sceneTable()) {
        SCOPED_TRACE(entry.name);
        Scene3D scene;
        const std::string path = std::string("scenes/") + entry.name + ".3ds";
        const int32_t factor = presentationCapacityFactor(entry.name);
        ASSERT_GT(factor, 0) << "the presentation does not load it";
        const LoadResult loaded = scene.setUp(path.c_str(), "scenes", factor);
        ASSERT_TRUE(loaded.ok()) << loaded.message;
        float worst = 0;
        int dropped = 0;
        for (int frame = static_cast<int>(entry.firstShown); frame <= static_cast<int>(entry.lastShown); frame += 3) {
            scene.clear();
            scene.render(frame);
            worst = std::max(worst, scene.capacityNeeded);
            dropped += scene.droppedFaces;
        }
        EXPECT_EQ(dropped, 0);
        EXPECT_LT(worst, 0.75f * static_cast<float>(factor));
    }
    ASSERT_EQ(chdir(cwd.c_str()), 0);
}
