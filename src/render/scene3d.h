// scene3d.h: one 3D scene of the presentation and its renderer.
//
// Made once at start: the constructor allocates the colour-and-depth buffer;
// load(), setDirectory(), loadMaterials() and bindMaterials() read the 3DS
// file, pick the camera "Camera01", size the work arrays and build the
// material table. Then per frame the timeline calls clear(), render(frame)
// and draw(), and uses the colour half of `buffer` as a frame.
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

#include "render/pixmap.h"
#include "render/render_vertex.h"
#include "scene/orin.h"

namespace marrow {

struct RenderMaterial {
    uint8_t red = 0, green = 0, blue = 0;  // the diffuse colour times 255
    int32_t shading = 0;  // 0 colour, 1 texture, 2 reflection, 3/4 their perspective forms
    Pixmap texture;       // 256x256 for shadings 1 to 4
};

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
    // load or has no camera "Camera01", and a texture that is missing or not
    // 256x256, end the process with a message naming the file (status 1).
    void load(const char* path);
    void setDirectory(const char* dir);
    void loadMaterials();
    void bindMaterials();
    // All of it as the presentation does at start: work arrays of
    // `capacity` times the meshes' sizes, the scene file at `path`, its
    // textures from `dir`.
    void setUp(const char* path, const char* dir, int32_t capacity);
    // The material table's shadings and colours as loadMaterials makes
    // them, without reading any texture (for tools that only measure).
    void classifyMaterials();

    // Renders every frame of the scene's segment and returns the largest
    // work-array use of any mesh, as a multiple of its source counts: the
    // capacity factor the scene needs. Set up with a generous factor first.
    float measureCapacity();

    // Every colour pixel 0, every depth 0xFFFFFFFF (the farthest).
    void clear();
    void render(int32_t keyframe);
    void draw();

    void fillShaded(const RenderFace& face);
    void fillTextured(const RenderFace& face);
    void fillTexturedPerspective(const RenderFace& face);

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
};

}  // namespace marrow
