// scene3d.h: one 3D scene of the presentation and its renderer.
//
// Made once at start: the constructor allocates the colour-and-depth buffer;
// load(), setDirectory(), loadMaterials() and bindMaterials() read the 3DS
// file, pick the camera "Camera01", size the work arrays and build the
// material table. Then per frame the timeline calls clear(), render(frame)
// and draw(), and uses the colour half of `buffer` as a frame.
//
// The scene library keeps one active scene, one active camera and its option
// flags for all its callers. A Scene3D sets all three (activate()) before
// every load and every update it makes, so any number of scenes can live,
// render and be destroyed in any order; its destructor makes the library's
// teardown calls (free world, free motion, done).
//
// Loading reports: load(), loadMaterials() and setUp() return a LoadResult
// whose message names the file, and print nothing; the presentation's
// start-up decides to end the process.
//
// render() evaluates the scene at a keyframe number through the scene
// library, then lights, maps, clips, projects and culls every triangle into
// the work arrays; draw() fills them with the filler each face's material
// asks for, depth-tested. Nothing is allocated per frame: the work arrays
// hold capacityFactor times each mesh's vertices and faces, and faces whose
// wrap copies, clip vertices or split faces would not fit are left out for
// that frame (counted in droppedFaces).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "render/pixmap.h"
#include "render/rasteriser.h"
#include "render/render_vertex.h"
#include "render/shading.h"
#include "scene/orin.h"

namespace marrow {

// The scene library's options the presentation loads and renders with.
constexpr int32_t kPresentationLibraryFlags = ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH | ORIN_TRANSFORM;

// The camera the presentation looks through: the active scene's camera
// named "Camera01", or null when it has none.
orin_camera* findPresentationCamera();
// Gives a camera the presentation's screen: 320x200 pixels, aspect 0.75.
void fitToFrame(orin_camera& camera);

struct RenderMaterial {
    uint8_t red = 0, green = 0, blue = 0;  // the diffuse colour times 255
    Shading shading = Shading::Flat;
    // 256x256 for every shading but Flat; one decoded image is shared by
    // every material that names the same file.
    std::shared_ptr<const Pixmap> texture;

    const uint32_t* texels() const { return texture ? texture->pixels : nullptr; }
};

// Textures decoded so far, by the path they were read from: scenes that
// share a directory decode each file once and share its pixels. The
// materials hold their own references, so the cache may go when loading is
// done.
using TextureCache = std::map<std::string, std::shared_ptr<const Pixmap>>;

struct RenderFace {
    RenderVertex* vertex[3];
    int32_t index[3];
    int32_t visible;
    RenderMaterial* material;
    int32_t wrap;  // 1: the texture wraps in u across the face, 2: in v
};

struct RenderMesh {
    RenderVertex* vertices;  // capacityFactor x sourceVertexCount
    RenderFace* faces;       // capacityFactor x sourceFaceCount
    int32_t sourceVertexCount, sourceFaceCount;
    int32_t vertexCount, faceCount;  // in use this frame
    int32_t visible;
    RenderMaterial* material;  // decides how texture coordinates are made
    const orin_object* source;  // the scene library's object
};

struct OmniLight {
    orin_vector position;
    float innerRange, outerRange;
};

struct SpotLight {
    orin_vector position, target, direction;
    float innerRange, outerRange;
    float hotspot, falloff;  // radians
};

// A camera-space point is inside when a*x + b*y + c*z - d >= 0.
struct ClipPlane {
    float a, b, c, d;
};

class Scene3D {
public:
    Scene3D();
    ~Scene3D();
    Scene3D(const Scene3D&) = delete;
    Scene3D& operator=(const Scene3D&) = delete;

    // Scene set-up, in this order, once. A file that is missing, fails to
    // load or has no camera "Camera01" (load), and a texture that is
    // missing, unreadable, not 256x256 or named with a path (loadMaterials),
    // fail with a message naming the file; the set-up stops there and the
    // object can only be destroyed. `libraryFlags` are the scene library
    // options the scene is loaded and rendered with.
    LoadResult load(const char* path, int32_t libraryFlags = kPresentationLibraryFlags);
    void setDirectory(const char* dir);
    // `textures`: shared with the other scenes loaded from the same
    // directory; without one, the scene still decodes each file once.
    LoadResult loadMaterials(TextureCache* textures = nullptr);
    void bindMaterials();
    // All of it as the presentation does at start: work arrays of
    // `capacity` times the meshes' sizes, the scene file at `path`, its
    // textures from `dir`.
    LoadResult setUp(const char* path, const char* dir, int32_t capacity, TextureCache* textures = nullptr,
                     int32_t libraryFlags = kPresentationLibraryFlags);
    // The material table's shadings and colours as loadMaterials makes
    // them, without reading any texture (for tools that only measure).
    void classifyMaterials();

    // Renders every frame of the scene's segment and returns the largest
    // work-array use of any mesh, as a multiple of its source counts: the
    // capacity factor the scene needs. Set up with a generous factor first.
    float measureCapacity();

    // Makes this scene, its camera and its options the scene library's
    // state. render() and load() do it themselves; other callers that use
    // the library on this scene directly call it first.
    void activate() const;

    // Every colour pixel 0, every depth 0xFFFFFFFF (the farthest).
    void clear();
    void render(int32_t keyframe);
    void draw();

    // Lights, maps and clamps vertices begin..end-1 of a mesh.
    void lightAndMapVertices(RenderMesh& mesh, const orin_object& object, int32_t begin, int32_t end) const;
    void fillShaded(const RenderFace& face, RowBand rows) const;
    void fillTextured(const RenderFace& face, RowBand rows) const;
    void fillTexturedPerspective(const RenderFace& face, RowBand rows) const;

    orin_scene* scene = nullptr;
    orin_camera* camera = nullptr;
    char directory[256] = {};
    int32_t meshCount = 0;
    int32_t omniCount = 0, spotCount = 0;
    int32_t capacityFactor = 1;
    float lastFrame = 0;
    int32_t frame = 0;
    uint32_t* buffer = nullptr;  // 64000 colour pixels, then 64000 depths
    RenderMesh* meshes = nullptr;
    ClipPlane clipPlanes[5] = {};
    RenderMaterial defaultMaterial;
    RenderMaterial* materials = nullptr;
    OmniLight* omniLights = nullptr;
    SpotLight* spotLights = nullptr;

    int32_t materialCount = 0;
    int32_t omniCapacity = 0, spotCapacity = 0;
    // Faces left out of the last render because the work arrays were full.
    int32_t droppedFaces = 0;
    // The largest vertex or face use of any mesh in the last render, as a
    // multiple of its source count (what capacityFactor must cover).
    float capacityNeeded = 0;

    // The stages of render(), in its order; public so tests can run one
    // stage on arrays they filled themselves.
    void gather();
    void buildClipPlanes();
    void lightAndMap(RenderMesh& mesh, const orin_object& object);
    void wrapTextures(RenderMesh& mesh);
    void clip(const ClipPlane& plane, RenderMesh& mesh);
    void project(RenderMesh& mesh);
    void cull(RenderMesh& mesh);

private:
    const char* path_ = "";
    int32_t libraryFlags_ = kPresentationLibraryFlags;
};

}  // namespace marrow
