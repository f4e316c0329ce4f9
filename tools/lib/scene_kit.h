// scene_kit.h: the building blocks of the generated 3DS scenes: triangle
// meshes made from code (boxes, spheres, cylinders, a torus knot, grids and
// terrain, flat text cards, triangles), material and keyframer helpers.
//
// Space: everything here is FILE space (Z up, right-handed), the space
// 3D Studio writes and our writer takes as is. A face (a, b, c) is
// counter-clockwise seen from its front, so (b - a) x (c - a) points out of
// the front. Written that way, the scene library (which exchanges y and z and
// computes normals as (a - b) x (b - c) in its own space) ends up with
// normals pointing into the surface, which is exactly what its lighting rule
// wants (a vertex is lit when the direction from the light to the vertex
// agrees with the normal), and the renderer's back-face test keeps the front.
//
// Units are scene units; the renderer's depth is z x 65536 in 32 bits, so
// every scene keeps what the camera sees well below 32768 units away.
// Mapping coordinates: u to the right, v downward (v = 0 is the top row of
// the texture); 1.0 is one texture width.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "writer3ds.h"

namespace marrow::scenes {

using w3ds::Key;
using w3ds::Spline;
using w3ds::Uv;
using w3ds::Vec3;

inline Vec3 v3(float x, float y, float z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 cross(Vec3 a, Vec3 b);
float dot(Vec3 a, Vec3 b);
float length(Vec3 a);
Vec3 normalise(Vec3 a);
inline Vec3 unit(float x, float y, float z) { return normalise(Vec3{x, y, z}); }

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

// Face flags of the file: 7 = all edges visible; 0x08 = the mapping wraps
// in u across the face (the renderer then shifts the low side by one width).
constexpr uint16_t kEdges = 7;
constexpr uint16_t kWrapU = 0x08;

// A triangle mesh under construction.
struct Geo {
    std::vector<Vec3> v;
    std::vector<Uv> uv;
    std::vector<w3ds::Face> f;

    uint16_t vertex(Vec3 p, Uv t = {});
    void tri(int a, int b, int c, uint16_t flags = kEdges);
    // Quad a-b-c-d counter-clockwise from the front: faces (a,b,c), (a,c,d).
    void quad(int a, int b, int c, int d, uint16_t flags = kEdges);
    // Appends another mesh, its points mapped through `xf`.
    void append(const Geo& g, const std::function<Vec3(Vec3)>& xf = nullptr);
    // Flips every face (front becomes back).
    void flip();
    // Every vertex mapped through `xf`.
    void transform(const std::function<Vec3(Vec3)>& xf);
};

// Axis-aligned box centred on the origin; each side maps the whole texture
// (u scaled by `uRepeat` across, v by `vRepeat` down the sides).
Geo box(Vec3 half, float uRepeat = 1, float vRepeat = 1);

// Sphere of radius r: nu segments round the z axis, nv from pole to pole.
// With `wrapU` the seam shares its vertices and every face carries the
// u-wrap flag (the renderer repairs the faces that straddle the seam);
// otherwise the seam column is duplicated with u = 1.
Geo sphere(float r, int nu, int nv, bool wrapU, float uRepeat = 1, float vRepeat = 1);

// A general grid surface s(u, v), u round (closing on itself when wrapU,
// the joining faces marked u-wrapping when also flagWrap), v from top to
// bottom; the front is the side where u runs right and v runs down.
// Surfaces of the same nu, nv, wrapU share their vertex and face layout
// (morph shapes).
Geo surface(int nu, int nv, bool wrapU, bool flagWrap, const std::function<Vec3(float, float)>& s);

// Closed sphere without mapping seams (shared seam vertices, no wrap
// flags): smooth normals all round, for reflective and plain materials.
Geo ball(float r, int nu, int nv);

// Regular octahedron of circumradius r.
Geo octahedron(float r);

// Open cylinder round the z axis from z0 to z1, n sides, u-wrapping seam.
Geo cylinder(float r, float z0, float z1, int n, float vRepeat = 1);

// A (p, q) torus knot tube: curve radius R, curve amplitude a, tube radius
// tr; nu samples along the curve, nv round the tube. Closed in both
// directions (no seam vertices), no mapping (for reflective materials).
Geo torusKnot(int p, int q, float R, float a, float tr, int nu, int nv);

// A regular grid in the xy plane, x in [x0, x1], y in [y0, y1], height from
// `h(x, y)`, facing +z; mapping repeats every `uvSize` units.
Geo terrain(float x0, float x1, float y0, float y1, int nx, int ny, const std::function<float(float, float)>& h,
            float uvSize);

// A flat card in the xz plane facing -y (towards a viewer looking along
// +y), width w and height h, centred on the origin, showing the texture
// rectangle u0..u1, v0..v1 upright. With `twoSided` a back side (separate
// vertices, mirrored mapping so it reads the same way) is added.
Geo card(float w, float h, float u0, float v0, float u1, float v1, bool twoSided = false);

// ---- materials --------------------------------------------------------------------------

w3ds::Material colourMaterial(const std::string& name, float r, float g, float b);
w3ds::Material textureMaterial(const std::string& name, const std::string& file, bool twoSided = false);
// Reflection map: `file` in scenes/ ("chrome.jpg", a whole studio
// surround, or "envmap2.jpg", the glow sprite: a bright centre on black).
w3ds::Material reflectMaterial(const std::string& name, const std::string& file, bool twoSided = false);

// One material for every face of the mesh. `matrix` (file space axes and
// origin) places the vertices; they are written already placed, the reader
// takes them back to object space.
w3ds::Object meshObject(const std::string& name, const Geo& g, const std::string& material);
w3ds::Object placedMeshObject(const std::string& name, Geo g, const std::string& material, Vec3 axisX, Vec3 axisY,
                              Vec3 axisZ, Vec3 origin);

w3ds::Object cameraObject(const std::string& name, Vec3 pos, Vec3 target, float lens);
w3ds::Object omniObject(const std::string& name, Vec3 pos, float r, float g, float b, float inner, float outer);
w3ds::Object spotObject(const std::string& name, Vec3 pos, Vec3 target, float hotspot, float falloff, float r,
                        float g, float b, float inner, float outer);

// ---- keyframer ----------------------------------------------------------------------------

// Builds the node list with consecutive node numbers.
class Keys {
public:
    explicit Keys(uint32_t end) { kf.end = end; kf.animLength = end; }

    // Object node (mesh or "$$$DUMMY" with `instance`); a unit scale track is
    // added unless the node gets its own (an object without a scale track
    // collapses onto its position). Returns the node number.
    int object(const std::string& name, int parent, Vec3 pos, const std::string& instance = "");
    int dummy(const std::string& instance, int parent, Vec3 pos) { return object("$$$DUMMY", parent, pos, instance); }
    int camera(const std::string& name, int parent, std::vector<Key> pos);
    int cameraTarget(const std::string& name, int parent, std::vector<Key> pos);
    int omni(const std::string& name, int parent, std::vector<Key> pos);
    int spot(const std::string& name, int parent, std::vector<Key> pos);
    int lightTarget(const std::string& name, int parent, std::vector<Key> pos);
    int ambient(std::vector<Key> colour);

    // Tracks replace any earlier track of the same kind on the node.
    void track(int node, w3ds::TrackKind kind, w3ds::TrackMode mode, std::vector<Key> keys);
    void pivot(int node, Vec3 p) { kf.nodes[static_cast<size_t>(node)].pivot = p; }

    w3ds::Keyframer kf;

private:
    int add(w3ds::NodeKind kind, const std::string& name, int parent);
};

// Whole turns about `axis` over [0, length] as a loop: `turns` x 4 keys of a
// quarter turn each (negative turns spin the other way).
std::vector<Key> spinKeys(uint32_t length, int turns, Vec3 axis);

// Position keys sampled from a closed curve f(t), t in [0, 1), `n` keys over
// [0, length], the last equal to the first (for loop tracks).
std::vector<Key> loopPath(uint32_t length, int n, const std::function<Vec3(float)>& f);

// Position keys sampled from an open curve f(t), t in [0, 1], n keys.
std::vector<Key> path(uint32_t length, int n, const std::function<Vec3(float)>& f, Spline s = {});

}  // namespace marrow::scenes
