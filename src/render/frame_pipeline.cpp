// frame_pipeline.cpp: Scene3D::render, a scene's triangles for one frame.
//
// In order: evaluate the scene at the keyframe (scene library), gather the
// meshes and lights, build five clip planes from the camera, light and map
// every source vertex, duplicate vertices where a texture wraps across a
// face, clip plane by plane (appending vertices and faces), project to 16.16
// screen positions and 32-bit depths, and cull faces wound clockwise on the
// screen. Light is 8.24 fixed point (1.0 = 2^24) with no ambient term.
#include <cmath>

#include "common/frame_workers.h"
#include "common/numeric.h"
#include "render/scene3d.h"
#include "common/mathfn.h"

namespace marrow {

namespace {

inline orin_vector sub(const orin_vector& a, const orin_vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float dot(const orin_vector& a, const orin_vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(const orin_vector& a) { return std::sqrt(dot(a, a)); }

// Clamps to 0..1; NaN (a light with broken ranges) becomes 0.
inline float unit(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }

// 1 - (d - inner) / (outer - inner): the fall-off between two distances.
// A light whose outer range is not above its inner one (files without range
// chunks have both 0) would light nothing; it gets no distance fall-off.
inline float rangeFalloff(float d, float inner, float outer) {
    if (!(outer > inner)) return 1.0f;
    return 1.0f - (d - inner) / (outer - inner);
}

// The distance from a light at `light` to the point `at`, and the unit
// vector from the light towards it.
inline float fromLight(const orin_vector& at, const orin_vector& light, orin_vector& towards) {
    const orin_vector d = sub(at, light);
    const float dist = length(d);
    towards = {d.x / dist, d.y / dist, d.z / dist};
    return dist;
}

// Adds a light's share (1 = full) to an 8.24 intensity.
inline void addLight(RenderVertex& v, float share) {
    v.intensity = truncToInt32(static_cast<double>(v.intensity) + static_cast<double>(share) * kOne8_24);
}

// Spotlight cones come in degrees: turned to radians in single precision by
// pi/180 cut to six significant digits (0.0174532, short of pi/180 in the
// seventh), where the scene library turns the camera roll by a double
// factor (3.14159265359 / 180). The cone edges are defined by this shorter
// factor, so it is not replaced by the exact one.
constexpr float kSpotDegreesToRadians = 0.0174532f;

inline float distanceTo(const ClipPlane& p, const RenderVertex& v) { return p.a * v.x + p.b * v.y + p.c * v.z - p.d; }

// A new vertex on the edge from p (outside) to q (inside) where the plane
// cuts it; its screen fields are filled by the projection.
inline RenderVertex cut(const RenderVertex& p, const RenderVertex& q, float dp, float dq) {
    const float t = -dp / (dq - dp);
    RenderVertex n = p;
    n.x = p.x + t * (q.x - p.x);
    n.y = p.y + t * (q.y - p.y);
    n.z = p.z + t * (q.z - p.z);
    n.u = p.u + t * (q.u - p.u);
    n.v = p.v + t * (q.v - p.v);
    n.intensity = truncToInt32(static_cast<double>(p.intensity) +
                               static_cast<double>(t) * static_cast<double>(wrapSub(q.intensity, p.intensity)));
    return n;
}

}  // namespace

void Scene3D::render(int32_t keyframe) {
    activate();
    orin_set_frame(static_cast<float>(keyframe));
    orin_update();

    droppedFaces = 0;
    gather();
    buildClipPlanes();
    for (int32_t m = 0; m < meshCount; ++m)
        if (meshes[m].visible) lightAndMap(meshes[m], *meshes[m].source);
    for (const ClipPlane& plane : clipPlanes)
        for (int32_t m = 0; m < meshCount; ++m)
            if (meshes[m].visible) clip(plane, meshes[m]);
    capacityNeeded = 0;
    for (int32_t m = 0; m < meshCount; ++m) {
        RenderMesh& mesh = meshes[m];
        if (!mesh.visible) continue;
        project(mesh);
        cull(mesh);
        if (mesh.sourceVertexCount > 0)
            capacityNeeded = std::max(capacityNeeded, static_cast<float>(mesh.vertexCount) / mesh.sourceVertexCount);
        if (mesh.sourceFaceCount > 0)
            capacityNeeded = std::max(capacityNeeded, static_cast<float>(mesh.faceCount) / mesh.sourceFaceCount);
    }
}

void Scene3D::gather() {
    omniCount = spotCount = 0;
    int32_t n = 0;
    for (orin_world_node* w = scene->world; w; w = w->next) {
        if (w->type == ORIN_OBJECT) {
            if (n >= meshCount) continue;
            const auto* object = static_cast<const orin_object*>(w->object);
            RenderMesh& mesh = meshes[n++];
            mesh.visible = 1;
            mesh.vertexCount = mesh.sourceVertexCount;
            mesh.faceCount = mesh.sourceFaceCount;
            for (int32_t i = 0; i < mesh.sourceVertexCount; ++i) {
                RenderVertex& v = mesh.vertices[i];
                v.x = object->vertices[i].camera.x;
                v.y = object->vertices[i].camera.y;
                v.z = object->vertices[i].camera.z;
            }
            for (int32_t k = 0; k < mesh.sourceFaceCount; ++k) {
                const orin_face& f = object->faces[k];
                RenderFace& face = mesh.faces[k];
                const uint32_t corners[3] = {f.a, f.b, f.c};
                for (int c = 0; c < 3; ++c) {
                    face.index[c] = static_cast<int32_t>(corners[c]);
                    face.vertex[c] = &mesh.vertices[corners[c]];
                }
                face.visible = 1;
            }
        } else if (w->type == ORIN_LIGHT) {
            const auto* light = static_cast<const orin_light*>(w->object);
            if (light->type == ORIN_LIGHT_OMNI && omniCount < omniCapacity) {
                OmniLight& o = omniLights[omniCount++];
                o.position = light->pos;
                o.innerRange = light->inner_range;
                o.outerRange = light->outer_range;
            } else if (light->type == ORIN_LIGHT_SPOT && spotCount < spotCapacity) {
                SpotLight& s = spotLights[spotCount++];
                s.position = light->pos;
                s.target = light->target;
                const orin_vector d = sub(light->target, light->pos);
                const float len = length(d);
                // A spotlight aimed at its own position has no direction.
                s.direction = len > 0.0f ? orin_vector{d.x / len, d.y / len, d.z / len} : orin_vector{0, 0, 0};
                s.innerRange = light->inner_range;
                s.outerRange = light->outer_range;
                s.hotspot = light->hotspot * kSpotDegreesToRadians;
                s.falloff = light->falloff * kSpotDegreesToRadians;
            }
        }
    }
}

void Scene3D::buildClipPlanes() {
    // The side planes pass through the eye and bound the picture to x in
    // -161..161 and y in -101..101 around the centre, a hair inside.
    const float ax = static_cast<float>(mathfn::atan2(161.0, static_cast<double>(camera->persp_x)) - 0.0001);
    const float ay = static_cast<float>(mathfn::atan2(101.0, static_cast<double>(camera->persp_y)) - 0.0001);
    const float cx = static_cast<float>(mathfn::cos(static_cast<double>(ax)));
    const float sx = static_cast<float>(mathfn::sin(static_cast<double>(ax)));
    const float cy = static_cast<float>(mathfn::cos(static_cast<double>(ay)));
    const float sy = static_cast<float>(mathfn::sin(static_cast<double>(ay)));
    clipPlanes[0] = {cx, 0, sx, 0};
    clipPlanes[1] = {-cx, 0, sx, 0};
    clipPlanes[2] = {0, cy, sy, 0};
    clipPlanes[3] = {0, -cy, sy, 0};
    clipPlanes[4] = {0, 0, 1, -10};  // z >= -10
}

void Scene3D::lightAndMap(RenderMesh& mesh, const orin_object& source) {
    // Every vertex is lit and mapped on its own (lights in order, then the
    // mapping, then the clamp), so large meshes are shared out in spans of
    // vertices among the frame's threads; small ones are not worth the hand-over.
    constexpr int32_t kSharedFrom = 512;
    if (mesh.sourceVertexCount >= kSharedFrom)
        forSpans(mesh.sourceVertexCount, [&](int begin, int end) { lightAndMapVertices(mesh, source, begin, end); });
    else
        lightAndMapVertices(mesh, source, 0, mesh.sourceVertexCount);

    if (mesh.sourceFaceCount > 0 && (mesh.faces[0].wrap & 3) != 0) wrapTextures(mesh);
}

void Scene3D::lightAndMapVertices(RenderMesh& mesh, const orin_object& source, int32_t begin, int32_t end) const {
    const orin_object* object = &source;
    for (int32_t i = begin; i < end; ++i) mesh.vertices[i].intensity = 0;

    for (int32_t l = 0; l < omniCount; ++l) {
        const OmniLight& light = omniLights[l];
        for (int32_t i = begin; i < end; ++i) {
            const orin_vertex& src = object->vertices[i];
            orin_vector L;
            const float dist = fromLight(src.world, light.position, L);
            const float dp = dot(L, src.world_normal);
            const float att = dist < light.innerRange ? 1.0f : unit(rangeFalloff(dist, light.innerRange, light.outerRange));
            if (dp > 0.0f) addLight(mesh.vertices[i], dp * att);
        }
    }
    for (int32_t l = 0; l < spotCount; ++l) {
        const SpotLight& light = spotLights[l];
        for (int32_t i = begin; i < end; ++i) {
            const orin_vertex& src = object->vertices[i];
            orin_vector L;
            const float dist = fromLight(src.world, light.position, L);
            // Rounding can put the cosine a hair outside -1..1.
            const float cosine = std::max(-1.0f, std::min(1.0f, dot(L, light.direction)));
            const float angle = mathfn::acos(cosine);
            const float dp = dot(L, src.world_normal);
            float f = angle < light.hotspot ? 1.0f : 1.0f - (angle - light.hotspot) / (light.falloff - light.hotspot);
            if (dist > light.innerRange) f *= rangeFalloff(dist, light.innerRange, light.outerRange);
            f = unit(f);
            if (dp >= 0.0f) addLight(mesh.vertices[i], f * dp);
        }
    }

    // Reflection mapping: texture coordinates from the camera-space normal,
    // 127 - 128 n texels (16.16 for the affine filler, 8.24 for the
    // perspective one).
    const Shading shading = mesh.material->shading;
    if (isReflection(shading)) {
        const bool affine = shading == Shading::Reflection;
        const float centre = affine ? kReflectCentre16_16 : kReflectCentre8_24;
        const float scale = affine ? kReflectRadius16_16 : kReflectRadius8_24;
        for (int32_t i = begin; i < end; ++i) {
            mesh.vertices[i].u = centre - object->vertices[i].camera_normal.x * scale;
            mesh.vertices[i].v = centre - object->vertices[i].camera_normal.y * scale;
        }
    }
    for (int32_t i = begin; i < end; ++i)
        if (mesh.vertices[i].intensity > 0xFFFFFF) mesh.vertices[i].intensity = 0xFFFFFF;
}

void Scene3D::wrapTextures(RenderMesh& mesh) {
    // A face across which the texture wraps (its coordinates span more than
    // half the texture) gets copies of its low-side vertices moved one
    // texture width on, so the filler interpolates the short way round.
    const int32_t capacity = capacityFactor * mesh.sourceVertexCount;
    for (int32_t k = 0; k < mesh.sourceFaceCount; ++k) {
        RenderFace& face = mesh.faces[k];
        if (face.wrap != 1 && face.wrap != 2) continue;
        const bool inU = face.wrap == 1;
        float lo = 0, hi = 0;
        for (int c = 0; c < 3; ++c) {
            const float value = inU ? face.vertex[c]->u : face.vertex[c]->v;
            if (c == 0 || value < lo) lo = value;
            if (c == 0 || value > hi) hi = value;
        }
        if (!(hi - lo > 8388608.0f)) continue;
        for (int c = 0; c < 3; ++c) {
            const float value = inU ? face.vertex[c]->u : face.vertex[c]->v;
            if (!(value < 8388608.0f)) continue;
            if (mesh.vertexCount >= capacity) {
                face.visible = 0;  // no room for the copy: left out this frame
                ++droppedFaces;
                break;
            }
            RenderVertex& copy = mesh.vertices[mesh.vertexCount];
            copy = *face.vertex[c];
            (inU ? copy.u : copy.v) = value + 16777216.0f;
            face.vertex[c] = &copy;
            face.index[c] = mesh.vertexCount++;
        }
    }
}

void Scene3D::clip(const ClipPlane& plane, RenderMesh& mesh) {
    // Most meshes lie wholly on the inner side of most planes: then no face
    // can change and one pass over the vertices (fewer than the faces'
    // corners) settles it. NaN distances count as not inside.
    bool allInside = true;
    for (int32_t i = 0; i < mesh.vertexCount && allInside; ++i) allInside = distanceTo(plane, mesh.vertices[i]) >= 0;
    if (allInside) return;

    const int32_t vertexCapacity = capacityFactor * mesh.sourceVertexCount;
    const int32_t faceCapacity = capacityFactor * mesh.sourceFaceCount;
    const int32_t existing = mesh.faceCount;
    int32_t faceCount = mesh.faceCount;
    for (int32_t k = 0; k < existing; ++k) {
        RenderFace& face = mesh.faces[k];
        if (!face.visible) continue;
        float d[3];
        for (int c = 0; c < 3; ++c) d[c] = distanceTo(plane, mesh.vertices[face.index[c]]);
        if (d[0] >= 0 && d[1] >= 0 && d[2] >= 0) continue;
        if (d[0] < 0 && d[1] < 0 && d[2] < 0) {
            face.visible = 0;
            continue;
        }
        static constexpr int kRotations[3][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
        for (const auto& r : kRotations) {
            const int i = r[0], j = r[1], kk = r[2];
            if (d[i] < 0 && d[j] < 0 && d[kk] >= 0) {
                // Two corners out: both move along their edges to the plane.
                if (mesh.vertexCount + 2 > vertexCapacity) {
                    face.visible = 0;
                    ++droppedFaces;
                    break;
                }
                const RenderVertex& K = mesh.vertices[face.index[kk]];
                const int32_t ni = mesh.vertexCount++;
                mesh.vertices[ni] = cut(mesh.vertices[face.index[i]], K, d[i], d[kk]);
                const int32_t nj = mesh.vertexCount++;
                mesh.vertices[nj] = cut(mesh.vertices[face.index[j]], K, d[j], d[kk]);
                face.index[i] = ni;
                face.vertex[i] = &mesh.vertices[ni];
                face.index[j] = nj;
                face.vertex[j] = &mesh.vertices[nj];
                break;
            }
            if (d[i] < 0 && d[j] >= 0 && d[kk] >= 0) {
                // One corner out: the face becomes a quad, split in two.
                if (mesh.vertexCount + 2 > vertexCapacity || faceCount + 1 > faceCapacity) {
                    face.visible = 0;
                    ++droppedFaces;
                    break;
                }
                const RenderVertex& I = mesh.vertices[face.index[i]];
                const int32_t n1 = mesh.vertexCount++;
                mesh.vertices[n1] = cut(I, mesh.vertices[face.index[j]], d[i], d[j]);
                const int32_t n2 = mesh.vertexCount++;
                mesh.vertices[n2] = cut(I, mesh.vertices[face.index[kk]], d[i], d[kk]);
                const int32_t oldK = face.index[kk];
                face.index[i] = n1;
                face.vertex[i] = &mesh.vertices[n1];
                RenderFace& added = mesh.faces[faceCount++];
                added.index[i] = n1;
                added.index[j] = oldK;
                added.index[kk] = n2;
                for (int c = 0; c < 3; ++c) added.vertex[c] = &mesh.vertices[added.index[c]];
                added.visible = 1;
                added.material = face.material;
                added.wrap = face.wrap;
                break;
            }
        }
    }
    mesh.faceCount = faceCount;
}

void Scene3D::project(RenderMesh& mesh) {
    const bool perspective = isPerspective(mesh.material->shading);
    const float px = camera->persp_x, py = camera->persp_y;
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        RenderVertex& v = mesh.vertices[i];
        if (v.z == 0.0f) {
            v.sx = 160 * 65536;  // the screen centre
            v.sy = 100;
        } else {
            const float q = 1.0f / v.z;
            v.sx = wrapMul(wrapAdd(truncToInt32(v.x * q * px), 160), 65536);
            v.sy = wrapSub(100, truncToInt32(v.y * q * py));
        }
        v.depth = truncToInt32(static_cast<double>(v.z) * 65536.0);
        if (perspective) {
            v.uOverZ = v.u / v.z;
            v.vOverZ = v.v / v.z;
            v.invZ = (1.0f / v.z) * static_cast<float>(kOne8_24);
        }
    }
}

void Scene3D::cull(RenderMesh& mesh) {
    for (int32_t k = 0; k < mesh.faceCount; ++k) {
        RenderFace& face = mesh.faces[k];
        const RenderVertex& A = *face.vertex[0];
        const RenderVertex& B = *face.vertex[1];
        const RenderVertex& C = *face.vertex[2];
        // The z of the screen-space cross product, in 32-bit arithmetic:
        // negative for corners in clockwise order (y grows downward).
        const int32_t cross = wrapSub(wrapMul(wrapSub(B.sy, C.sy), wrapSub(B.sx, A.sx) >> 16),
                                      wrapMul(wrapSub(B.sy, A.sy), wrapSub(B.sx, C.sx) >> 16));
        if (cross < 0) face.visible = 0;
    }
}

}  // namespace marrow
