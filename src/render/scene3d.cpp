// scene3d.cpp: a scene's buffers, its set-up from a 3DS file and its
// drawing. The per-frame pipeline is in frame_pipeline.cpp.
#include "render/scene3d.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/framebuffer.h"
#include "console/console_log.h"
#include "common/numeric.h"
#include "render/rasteriser.h"

namespace marrow {

namespace {

// Ends the start-up as a missing image does: the message on standard error
// and in the console log, exit status 1.
[[noreturn]] void fail(const std::string& message) {
    logText(message.c_str());
    std::exit(1);
}

std::string withSlashes(const char* path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

// Texture files named in 3DS files are often upper-case 8.3 names while the
// files on disk are lower case: the exact name first, then any file in the
// directory that matches it ignoring case. Empty when there is none.
std::string findTexture(const std::string& directory, const std::string& name) {
    std::string exact = directory + name;
    if (FILE* f = std::fopen(exact.c_str(), "rb")) {
        std::fclose(f);
        return exact;
    }
    std::string found;
    if (DIR* d = opendir(directory.empty() ? "." : directory.c_str())) {
        while (dirent* e = readdir(d))
            if (strcasecmp(e->d_name, name.c_str()) == 0) {
                found = directory + e->d_name;
                break;
            }
        closedir(d);
    }
    return found;
}

}  // namespace

Scene3D::Scene3D() : buffer(static_cast<uint32_t*>(std::calloc(2 * kFramePixels, sizeof(uint32_t)))) {}

Scene3D::~Scene3D() {
    if (scene) {
        orin_free_world(scene);
        orin_free_motion(scene);
        orin_done();
        orin_free_scene(scene);
    }
    for (int32_t i = 0; i < meshCount; ++i) {
        delete[] meshes[i].vertices;
        delete[] meshes[i].faces;
    }
    delete[] meshes;
    delete[] materials;
    delete[] omniLights;
    delete[] spotLights;
    std::free(buffer);
}

void Scene3D::load(const char* path) {
    path_ = path;
    meshCount = 0;
    int32_t materialNodes = 0, omniNodes = 0, spotNodes = 0;
    orin_init(ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH | ORIN_TRANSFORM);
    orin_alloc_scene(&scene);
    const std::string file = withSlashes(path);
    int32_t result = orin_load_world(file.c_str(), scene);
    if (result == ORIN_OK) result = orin_load_motion(file.c_str(), scene);
    if (result != ORIN_OK) {
        char where[96];  // where the reader stopped, when it read the file
        orin_describe_stop(result, where, sizeof where);
        fail(std::string(path) + ": " +
             (result == ORIN_ERR_OPEN ? std::string("cannot be opened")
                                      : std::string("cannot be read as a 3DS scene (") + orin_result_name(result) + ")") +
             (where[0] ? std::string("; ") + where : std::string()));
    }
    orin_set_scene(scene);

    orin_world_node* node = nullptr;
    orin_find_object("Camera01", &node);
    if (!node || node->type != ORIN_CAMERA) fail(std::string(path) + ": has no camera named \"Camera01\"");
    camera = static_cast<orin_camera*>(node->object);
    camera->size_x = 320.0f;
    camera->size_y = 200.0f;
    camera->aspect = 0.75f;

    float start = 0, end = 0;
    orin_get_frames(&start, &end);
    lastFrame = end;
    orin_set_camera(camera);
    orin_set_frame(start);
    orin_update();

    for (orin_world_node* n = scene->world; n; n = n->next) {
        if (n->type == ORIN_OBJECT) ++meshCount;
        if (n->type == ORIN_MATERIAL) ++materialNodes;
        if (n->type == ORIN_LIGHT) {
            const auto* light = static_cast<const orin_light*>(n->object);
            if (light->type == ORIN_LIGHT_OMNI) ++omniNodes;
            if (light->type == ORIN_LIGHT_SPOT) ++spotNodes;
        }
    }
    meshes = new RenderMesh[meshCount]();
    materials = new RenderMaterial[materialNodes]();
    materialCount = materialNodes;
    omniLights = new OmniLight[omniNodes]();
    spotLights = new SpotLight[spotNodes]();
    omniCapacity = omniNodes;
    spotCapacity = spotNodes;

    int32_t n = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_OBJECT) continue;
        const auto* object = static_cast<const orin_object*>(w->object);
        RenderMesh& mesh = meshes[n++];
        mesh.source = object;
        mesh.sourceVertexCount = object->num_vertices;
        mesh.sourceFaceCount = object->num_faces;
        mesh.vertices = new RenderVertex[static_cast<size_t>(capacityFactor) * object->num_vertices]();
        mesh.faces = new RenderFace[static_cast<size_t>(capacityFactor) * object->num_faces]();
    }
}

void Scene3D::setDirectory(const char* dir) { std::snprintf(directory, sizeof directory, "%s/", dir); }

void Scene3D::classifyMaterials() {
    defaultMaterial.red = defaultMaterial.green = defaultMaterial.blue = 255;
    defaultMaterial.shading = 0;
    int32_t index = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_MATERIAL) continue;
        const auto* m = static_cast<const orin_material*>(w->object);
        RenderMaterial& r = materials[index++];
        // The texture map wins over the reflection map; the perspective
        // forms only for materials whose flags are exactly "two-sided".
        if (m->texture.file) r.shading = m->flags == ORIN_MAT_TWO_SIDED ? 3 : 1;
        else if (m->reflection.file) r.shading = m->flags == ORIN_MAT_TWO_SIDED ? 4 : 2;
        else r.shading = 0;
        r.red = static_cast<uint8_t>(truncToInt32(m->diffuse.r * 255.0f));
        r.green = static_cast<uint8_t>(truncToInt32(m->diffuse.g * 255.0f));
        r.blue = static_cast<uint8_t>(truncToInt32(m->diffuse.b * 255.0f));
    }
}

void Scene3D::loadMaterials() {
    classifyMaterials();
    int32_t index = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_MATERIAL) continue;
        const auto* m = static_cast<const orin_material*>(w->object);
        RenderMaterial& r = materials[index++];
        const char* file = m->texture.file ? m->texture.file : m->reflection.file;
        if (!file) continue;
        // Textures are read from the scene directory only.
        if (std::strchr(file, '/') || std::strchr(file, '\\') || std::strstr(file, ".."))
            fail(std::string(path_) + ": texture name \"" + file + "\" holds a path; textures are read from " +
                 directory + " only");
        std::string found = findTexture(directory, file);
        if (found.empty()) found = std::string(directory) + file;  // load_jpeg reports it missing
        r.texture.load_jpeg(found.c_str());
        if (r.texture.width != 256 || r.texture.height != 256)
            fail(found + ": the texture is " + std::to_string(r.texture.width) + "x" +
                 std::to_string(r.texture.height) + ", but it must be 256x256");
    }
}

float Scene3D::measureCapacity() {
    float needed = 0;
    float start = 0, end = 0;
    orin_set_scene(scene);
    orin_get_frames(&start, &end);
    for (int32_t f = truncToInt32(start); static_cast<float>(f) < end; ++f) {
        render(f);
        needed = std::max(needed, capacityNeeded);
    }
    return needed;
}

void Scene3D::setUp(const char* path, const char* dir, int32_t capacity) {
    capacityFactor = capacity;
    load(path);
    setDirectory(dir);
    loadMaterials();
    bindMaterials();
}

void Scene3D::bindMaterials() {
    // Faces name their material by record; its entry is the material's
    // position among the material nodes of the world list (the library's
    // ids count meshes, lights and cameras too, so they can run past the
    // table).
    auto entryOf = [&](const orin_material* m) -> RenderMaterial* {
        if (!m) return &defaultMaterial;
        int32_t index = 0;
        for (orin_world_node* w = scene->world; w; w = w->next) {
            if (w->type != ORIN_MATERIAL) continue;
            if (w->object == m) return &materials[index];
            ++index;
        }
        return &defaultMaterial;
    };
    int32_t n = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_OBJECT) continue;
        const auto* object = static_cast<const orin_object*>(w->object);
        RenderMesh& mesh = meshes[n++];
        const orin_material* previous = nullptr;
        RenderMaterial* previousEntry = &defaultMaterial;
        for (int32_t k = 0; k < mesh.sourceFaceCount; ++k) {
            const orin_face& f = object->faces[k];
            if (f.material != previous || k == 0) {
                previous = f.material;
                previousEntry = entryOf(f.material);
            }
            mesh.faces[k].material = previousEntry;
            mesh.faces[k].wrap = f.flags;
        }
        // A mesh without faces has no face 0 to take its material from.
        mesh.material = mesh.sourceFaceCount > 0 ? mesh.faces[0].material : &defaultMaterial;
        const double scale = mesh.material->shading == 1 ? 16777216.0 : mesh.material->shading == 3 ? 4294967296.0 : 0;
        if (scale != 0)
            for (int32_t i = 0; i < mesh.sourceVertexCount; ++i) {
                mesh.vertices[i].u = static_cast<float>(object->vertices[i].u * scale);
                mesh.vertices[i].v = static_cast<float>(object->vertices[i].v * scale);
            }
    }
}

void Scene3D::clear() {
    std::memset(buffer, 0, kFrameBytes);
    std::memset(buffer + kFramePixels, 0xFF, kFrameBytes);
}

void Scene3D::draw() {
    for (int32_t m = 0; m < meshCount; ++m) {
        const RenderMesh& mesh = meshes[m];
        if (!mesh.visible) continue;
        for (int32_t k = 0; k < mesh.faceCount; ++k) {
            const RenderFace& face = mesh.faces[k];
            if (!face.visible) continue;
            switch (face.material->shading) {
                case 0: fillShaded(face); break;
                case 1:
                case 2: fillTextured(face); break;
                case 3:
                case 4: fillTexturedPerspective(face); break;
                default: break;  // not a shading any filler draws
            }
        }
    }
}

void Scene3D::fillShaded(const RenderFace& face) {
    const RenderMaterial& m = *face.material;
    fillShadedTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], m.red, m.green, m.blue, buffer);
}

void Scene3D::fillTextured(const RenderFace& face) {
    if (!face.material->texture.pixels) return;
    fillTexturedTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], face.material->texture.pixels, buffer);
}

void Scene3D::fillTexturedPerspective(const RenderFace& face) {
    if (!face.material->texture.pixels) return;
    fillPerspectiveTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], face.material->texture.pixels, buffer);
}

}  // namespace marrow
