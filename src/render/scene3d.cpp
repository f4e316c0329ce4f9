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

#include "common/frame_workers.h"

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "render/rasteriser.h"

namespace marrow {

namespace {

LoadResult refused(const std::string& message) { return LoadResult::failure(LoadResult::Status::Refused, message); }

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

orin_camera* findPresentationCamera() {
    orin_world_node* node = nullptr;
    orin_find_object("Camera01", &node);
    return node && node->type == ORIN_CAMERA ? static_cast<orin_camera*>(node->object) : nullptr;
}

void fitToFrame(orin_camera& camera) {
    camera.size_x = static_cast<float>(kFrameWidth);
    camera.size_y = static_cast<float>(kFrameHeight);
    camera.aspect = 0.75f;
}

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

void Scene3D::activate() const {
    orin_init(libraryFlags_);
    orin_set_scene(scene);  // a null scene leaves none active, as orin_init did
    orin_set_camera(camera);
}

LoadResult Scene3D::load(const char* path, int32_t libraryFlags) {
    path_ = path;
    libraryFlags_ = libraryFlags;
    meshCount = 0;
    int32_t materialNodes = 0, omniNodes = 0, spotNodes = 0;
    activate();
    orin_alloc_scene(&scene);
    const std::string file = withSlashes(path);
    int32_t result = orin_load_world(file.c_str(), scene);
    if (result == ORIN_OK) result = orin_load_motion(file.c_str(), scene);
    if (result != ORIN_OK) {
        char where[96];  // where the reader stopped, when it read the file
        orin_describe_stop(result, where, sizeof where);
        return refused(std::string(path) + ": " +
                       (result == ORIN_ERR_OPEN
                            ? std::string("cannot be opened")
                            : std::string("cannot be read as a 3DS scene (") + orin_result_name(result) + ")") +
                       (where[0] ? std::string("; ") + where : std::string()));
    }
    activate();

    camera = findPresentationCamera();
    if (!camera) return refused(std::string(path) + ": has no camera named \"Camera01\"");
    fitToFrame(*camera);

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
    return {};
}

void Scene3D::setDirectory(const char* dir) { std::snprintf(directory, sizeof directory, "%s/", dir); }

void Scene3D::classifyMaterials() {
    defaultMaterial.red = defaultMaterial.green = defaultMaterial.blue = 255;
    defaultMaterial.shading = Shading::Flat;
    int32_t index = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_MATERIAL) continue;
        const auto* m = static_cast<const orin_material*>(w->object);
        RenderMaterial& r = materials[index++];
        // The texture map wins over the reflection map; the perspective
        // forms only for materials whose flags are exactly "two-sided".
        const bool perspective = m->flags == ORIN_MAT_TWO_SIDED;
        if (m->texture.file) r.shading = perspective ? Shading::TexturedPerspective : Shading::Textured;
        else if (m->reflection.file) r.shading = perspective ? Shading::ReflectionPerspective : Shading::Reflection;
        else r.shading = Shading::Flat;
        r.red = static_cast<uint8_t>(truncToInt32(m->diffuse.r * 255.0f));
        r.green = static_cast<uint8_t>(truncToInt32(m->diffuse.g * 255.0f));
        r.blue = static_cast<uint8_t>(truncToInt32(m->diffuse.b * 255.0f));
    }
}

LoadResult Scene3D::loadMaterials(TextureCache* textures) {
    classifyMaterials();
    TextureCache own;
    TextureCache& decoded = textures ? *textures : own;
    static constexpr ImageSize kTextureSize{kTextureSide, kTextureSide};
    LoadResult loaded;
    int32_t index = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type != ORIN_MATERIAL) continue;
        const auto* m = static_cast<const orin_material*>(w->object);
        RenderMaterial& r = materials[index++];
        const char* file = m->texture.file ? m->texture.file : m->reflection.file;
        if (!file) continue;
        // Textures are read from the scene directory only.
        if (std::strchr(file, '/') || std::strchr(file, '\\') || std::strstr(file, ".."))
            return refused(std::string(path_) + ": texture name \"" + file + "\" holds a path; textures are read from " +
                           directory + " only");
        std::string found = findTexture(directory, file);
        if (found.empty()) found = std::string(directory) + file;  // reported missing under the name as given
        std::shared_ptr<const Pixmap>& shared = decoded[found];
        if (!shared) {
            auto texture = std::make_shared<Pixmap>();
            LoadResult read = texture->read(found.c_str(), &kTextureSize, "texture");
            loaded.warnings.insert(loaded.warnings.end(), read.warnings.begin(), read.warnings.end());
            if (!read.ok()) {
                decoded.erase(found);
                read.warnings = std::move(loaded.warnings);
                return read;
            }
            shared = std::move(texture);
        }
        r.texture = shared;
    }
    return loaded;
}

float Scene3D::measureCapacity() {
    float needed = 0;
    float start = 0, end = 0;
    activate();
    orin_get_frames(&start, &end);
    for (int32_t f = truncToInt32(start); static_cast<float>(f) < end; ++f) {
        render(f);
        needed = std::max(needed, capacityNeeded);
    }
    return needed;
}

LoadResult Scene3D::setUp(const char* path, const char* dir, int32_t capacity, TextureCache* textures,
                          int32_t libraryFlags) {
    capacityFactor = capacity;
    LoadResult result = load(path, libraryFlags);
    if (!result.ok()) return result;
    setDirectory(dir);
    result = loadMaterials(textures);
    if (!result.ok()) return result;
    bindMaterials();
    return result;
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
        // Mapping coordinates become texels in the filler's format; the
        // reflection shadings make theirs every frame from the normals.
        const Shading shading = mesh.material->shading;
        const double scale = shading == Shading::Textured              ? kMappingTo16_16
                             : shading == Shading::TexturedPerspective ? kMappingTo8_24
                                                                       : 0;
        if (scale != 0)
            for (int32_t i = 0; i < mesh.sourceVertexCount; ++i) {
                mesh.vertices[i].u = static_cast<float>(object->vertices[i].u * scale);
                mesh.vertices[i].v = static_cast<float>(object->vertices[i].v * scale);
            }
    }
}

// The frame's threads clear and draw bands of rows side by side: every
// band walks all faces in order, writing only its own rows, so each pixel
// sees the faces in the same order as when drawn whole.
void Scene3D::clear() {
    forRowBands(kFrameHeight, [this](int y0, int y1) {
        const size_t first = static_cast<size_t>(y0) * kFrameWidth;
        const size_t bytes = static_cast<size_t>(y1 - y0) * kFrameWidth * sizeof(uint32_t);
        std::memset(buffer + first, 0, bytes);
        std::memset(buffer + kFramePixels + first, 0xFF, bytes);
    });
}

void Scene3D::draw() {
    forRowBands(kFrameHeight, [this](int y0, int y1) {
        const RowBand rows{y0, y1};
        for (int32_t m = 0; m < meshCount; ++m) {
            const RenderMesh& mesh = meshes[m];
            if (!mesh.visible) continue;
            for (int32_t k = 0; k < mesh.faceCount; ++k) {
                const RenderFace& face = mesh.faces[k];
                if (!face.visible) continue;
                switch (face.material->shading) {
                    case Shading::Flat: fillShaded(face, rows); break;
                    case Shading::Textured:
                    case Shading::Reflection: fillTextured(face, rows); break;
                    case Shading::TexturedPerspective:
                    case Shading::ReflectionPerspective: fillTexturedPerspective(face, rows); break;
                }
            }
        }
    });
}

void Scene3D::fillShaded(const RenderFace& face, RowBand rows) const {
    const RenderMaterial& m = *face.material;
    fillShadedTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], m.red, m.green, m.blue, buffer, rows);
}

void Scene3D::fillTextured(const RenderFace& face, RowBand rows) const {
    const uint32_t* texels = face.material->texels();
    if (!texels) return;
    fillTexturedTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], texels, buffer, rows);
}

void Scene3D::fillTexturedPerspective(const RenderFace& face, RowBand rows) const {
    const uint32_t* texels = face.material->texels();
    if (!texels) return;
    fillPerspectiveTriangle(*face.vertex[0], *face.vertex[1], *face.vertex[2], texels, buffer, rows);
}

}  // namespace marrow
