// scene_kit.cpp: meshes, materials and keyframer helpers of the generated
// scenes (see scene_kit.h for the space and winding rules).
#include "scene_kit.h"

#include <cmath>

namespace marrow::scenes {

Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalise(Vec3 a) {
    float l = length(a);
    return l > 0 ? a * (1.0f / l) : a;
}

// ---- Geo -----------------------------------------------------------------------------------

uint16_t Geo::vertex(Vec3 p, Uv t) {
    v.push_back(p);
    uv.push_back(t);
    return static_cast<uint16_t>(v.size() - 1);
}

void Geo::tri(int a, int b, int c, uint16_t flags) {
    w3ds::Face face;
    face.a = static_cast<uint16_t>(a);
    face.b = static_cast<uint16_t>(b);
    face.c = static_cast<uint16_t>(c);
    face.flags = flags;
    f.push_back(face);
}

void Geo::quad(int a, int b, int c, int d, uint16_t flags) {
    tri(a, b, c, flags);
    tri(a, c, d, flags);
}

void Geo::append(const Geo& g, const std::function<Vec3(Vec3)>& xf) {
    const uint16_t base = static_cast<uint16_t>(v.size());
    for (size_t i = 0; i < g.v.size(); ++i) vertex(xf ? xf(g.v[i]) : g.v[i], g.uv[i]);
    for (w3ds::Face face : g.f) {
        face.a = static_cast<uint16_t>(face.a + base);
        face.b = static_cast<uint16_t>(face.b + base);
        face.c = static_cast<uint16_t>(face.c + base);
        f.push_back(face);
    }
}

void Geo::flip() {
    for (w3ds::Face& face : f) std::swap(face.b, face.c);
}

void Geo::transform(const std::function<Vec3(Vec3)>& xf) {
    for (Vec3& p : v) p = xf(p);
}

// ---- shapes ----------------------------------------------------------------------------------

// One flat side: centre c, half-extents along `right` and `up` (right x up
// is the outward normal), whole texture rectangle u0..u1, v0..v1.
static void side(Geo& g, Vec3 c, Vec3 right, Vec3 up, float u0, float v0, float u1, float v1) {
    int bl = g.vertex(c - right - up, {u0, v1});
    int br = g.vertex(c + right - up, {u1, v1});
    int tr = g.vertex(c + right + up, {u1, v0});
    int tl = g.vertex(c - right + up, {u0, v0});
    g.quad(bl, br, tr, tl);
}

Geo box(Vec3 h, float uRepeat, float vRepeat) {
    Geo g;
    const float su = uRepeat, sv = vRepeat;
    side(g, {h.x, 0, 0}, {0, h.y, 0}, {0, 0, h.z}, 0, 0, su, sv);
    side(g, {-h.x, 0, 0}, {0, -h.y, 0}, {0, 0, h.z}, 0, 0, su, sv);
    side(g, {0, h.y, 0}, {-h.x, 0, 0}, {0, 0, h.z}, 0, 0, su, sv);
    side(g, {0, -h.y, 0}, {h.x, 0, 0}, {0, 0, h.z}, 0, 0, su, sv);
    side(g, {0, 0, h.z}, {h.x, 0, 0}, {0, h.y, 0}, 0, 0, su, su);
    side(g, {0, 0, -h.z}, {h.x, 0, 0}, {0, -h.y, 0}, 0, 0, su, su);
    return g;
}

Geo card(float w, float h, float u0, float v0, float u1, float v1, bool twoSided) {
    Geo g;
    side(g, {0, 0, 0}, {w * 0.5f, 0, 0}, {0, 0, h * 0.5f}, u0, v0, u1, v1);
    if (twoSided) side(g, {0, 0, 0}, {-w * 0.5f, 0, 0}, {0, 0, h * 0.5f}, u0, v0, u1, v1);
    return g;
}

// A grid of (nu) x (nv + 1) points over a surface s(u, v), u and v in 0..1,
// u closing on itself (the last column joins the first, the joining faces
// marked u-wrapping) when `wrapU`, else nu + 1 columns with a duplicated
// seam. Faces run (i, j) -> (i + 1, j) -> (i + 1, j + 1) -> (i, j + 1) with
// v growing down the surface and u to the right, seen from the front.
static Geo grid(int nu, int nv, bool wrapU, float uRepeat, float vRepeat, const std::function<Vec3(float, float)>& s,
                bool flagWrap = true) {
    Geo g;
    const int cols = wrapU ? nu : nu + 1;
    for (int i = 0; i <= nv; ++i) {
        const float v = static_cast<float>(i) / static_cast<float>(nv);
        for (int j = 0; j < cols; ++j) {
            const float u = static_cast<float>(j) / static_cast<float>(nu);
            g.vertex(s(u, v), {u * uRepeat, v * vRepeat});
        }
    }
    const uint16_t flags = wrapU && flagWrap ? static_cast<uint16_t>(kEdges | kWrapU) : kEdges;
    for (int i = 0; i < nv; ++i) {
        for (int j = 0; j < nu; ++j) {
            const int j1 = wrapU ? (j + 1) % nu : j + 1;
            g.quad(i * cols + j, (i + 1) * cols + j, (i + 1) * cols + j1, i * cols + j1, flags);
        }
    }
    return g;
}

Geo surface(int nu, int nv, bool wrapU, bool flagWrap, const std::function<Vec3(float, float)>& s) {
    return grid(nu, nv, wrapU, 1.0f, 1.0f, s, flagWrap);
}

Geo sphere(float r, int nu, int nv, bool wrapU, float uRepeat, float vRepeat) {
    return grid(nu, nv, wrapU, wrapU ? 1.0f : uRepeat, vRepeat, [r](float u, float v) {
        const float th = v * kPi, ph = u * kTwoPi;
        return Vec3{r * std::sin(th) * std::cos(ph), r * std::sin(th) * std::sin(ph), r * std::cos(th)};
    });
}

Geo ball(float r, int nu, int nv) {
    return grid(nu, nv, true, 1.0f, 1.0f, [r](float u, float v) {
        const float th = v * kPi, ph = u * kTwoPi;
        return Vec3{r * std::sin(th) * std::cos(ph), r * std::sin(th) * std::sin(ph), r * std::cos(th)};
    }, false);
}

Geo octahedron(float r) {
    Geo g;
    const Vec3 p[6] = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
    // Each face counter-clockwise seen from outside.
    const int faces[8][3] = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    for (const auto& f : faces) {
        int a = g.vertex(p[f[0]]), b = g.vertex(p[f[1]]), c = g.vertex(p[f[2]]);
        g.tri(a, b, c);
    }
    return g;
}

Geo cylinder(float r, float z0, float z1, int n, float vRepeat) {
    return grid(n, 1, true, 1.0f, vRepeat, [=](float u, float v) {
        const float ph = u * kTwoPi;
        return Vec3{r * std::cos(ph), r * std::sin(ph), z1 + (z0 - z1) * v};
    });
}

Geo torusKnot(int p, int q, float R, float a, float tr, int nu, int nv) {
    auto curve = [=](float t) {
        const float rr = R + a * std::cos(static_cast<float>(q) * t);
        return Vec3{rr * std::cos(static_cast<float>(p) * t), rr * std::sin(static_cast<float>(p) * t),
                    a * std::sin(static_cast<float>(q) * t)};
    };
    Geo g;
    std::vector<Vec3> centres;
    for (int i = 0; i < nu; ++i) {
        const float t = kTwoPi * static_cast<float>(i) / static_cast<float>(nu);
        const float e = 0.01f;
        Vec3 c = curve(t), prev = curve(t - e), next = curve(t + e);
        Vec3 tangent = normalise(next - prev);
        Vec3 n = normalise(next + prev - c * 2.0f);  // towards the centre of curvature
        Vec3 b = cross(tangent, n);
        for (int j = 0; j < nv; ++j) {
            const float ph = kTwoPi * static_cast<float>(j) / static_cast<float>(nv);
            g.vertex(c + (n * std::cos(ph) + b * std::sin(ph)) * tr);
        }
        centres.push_back(c);
    }
    for (int i = 0; i < nu; ++i)
        for (int j = 0; j < nv; ++j) {
            const int i1 = (i + 1) % nu, j1 = (j + 1) % nv;
            g.quad(i * nv + j, i1 * nv + j, i1 * nv + j1, i * nv + j1);
        }
    // The frame's handedness decides which way the quads face: turn them
    // outward if the first one looks into the tube.
    const w3ds::Face& f0 = g.f[0];
    Vec3 n0 = cross(g.v[f0.b] - g.v[f0.a], g.v[f0.c] - g.v[f0.a]);
    if (dot(n0, g.v[f0.a] - centres[0]) < 0) g.flip();
    return g;
}

Geo terrain(float x0, float x1, float y0, float y1, int nx, int ny, const std::function<float(float, float)>& h,
            float uvSize) {
    Geo g;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            const float x = x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(nx);
            const float y = y0 + (y1 - y0) * static_cast<float>(j) / static_cast<float>(ny);
            g.vertex({x, y, h(x, y)}, {(x - x0) / uvSize, (y - y0) / uvSize});
        }
    const int cols = nx + 1;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            g.quad(j * cols + i, j * cols + i + 1, (j + 1) * cols + i + 1, (j + 1) * cols + i);
    return g;
}

// ---- materials and objects ---------------------------------------------------------------------

w3ds::Material colourMaterial(const std::string& name, float r, float g, float b) {
    w3ds::Material m;
    m.name = name;
    m.ambient = {r * 0.3f, g * 0.3f, b * 0.3f};
    m.diffuse = {r, g, b};
    m.shininess = 40;
    m.shinStrength = 30;
    return m;
}

w3ds::Material textureMaterial(const std::string& name, const std::string& file, bool twoSided) {
    w3ds::Material m = colourMaterial(name, 1, 1, 1);
    m.texture.file = file;
    m.twoSided = twoSided;
    return m;
}

w3ds::Material reflectMaterial(const std::string& name, const std::string& file, bool twoSided) {
    w3ds::Material m = colourMaterial(name, 0.8f, 0.8f, 0.8f);
    m.shading = 4;  // metal
    m.shininess = 90;
    m.shinStrength = 80;
    m.reflection.file = file;
    m.twoSided = twoSided;
    return m;
}

w3ds::Object meshObject(const std::string& name, const Geo& g, const std::string& material) {
    w3ds::Mesh m;
    m.vertices = g.v;
    m.mapping = g.uv;
    m.faces = g.f;
    w3ds::MaterialGroup group;
    group.material = material;
    for (size_t i = 0; i < g.f.size(); ++i) group.faces.push_back(static_cast<uint16_t>(i));
    m.groups.push_back(group);
    return w3ds::Object{name, m};
}

w3ds::Object placedMeshObject(const std::string& name, Geo g, const std::string& material, Vec3 ax, Vec3 ay,
                              Vec3 az, Vec3 origin) {
    // Vertices are stored placed: p' = X p.x + Y p.y + Z p.z + origin; the
    // reader multiplies by the rows X, Y, Z (over their squared lengths)
    // after subtracting the origin, which undoes this for orthonormal axes.
    g.transform([&](Vec3 p) { return ax * p.x + ay * p.y + az * p.z + origin; });
    w3ds::Object o = meshObject(name, g, material);
    std::get<w3ds::Mesh>(o.body).matrix = w3ds::MeshMatrix{ax, ay, az, origin};
    return o;
}

w3ds::Object cameraObject(const std::string& name, Vec3 pos, Vec3 target, float lens) {
    w3ds::Camera c;
    c.pos = pos;
    c.target = target;
    c.lens = lens;
    return w3ds::Object{name, c};
}

w3ds::Object omniObject(const std::string& name, Vec3 pos, float r, float g, float b, float inner, float outer) {
    w3ds::Light l;
    l.pos = pos;
    l.color = {r, g, b};
    l.innerRange = inner;
    l.outerRange = outer;
    return w3ds::Object{name, l};
}

w3ds::Object spotObject(const std::string& name, Vec3 pos, Vec3 target, float hotspot, float falloff, float r,
                        float g, float b, float inner, float outer) {
    w3ds::Light l;
    l.pos = pos;
    l.color = {r, g, b};
    l.spot = w3ds::Spot{target, hotspot, falloff};
    l.innerRange = inner;
    l.outerRange = outer;
    return w3ds::Object{name, l};
}

// ---- keyframer -----------------------------------------------------------------------------------

int Keys::add(w3ds::NodeKind kind, const std::string& name, int parent) {
    w3ds::Node n;
    n.kind = kind;
    n.id = static_cast<uint16_t>(kf.nodes.size());
    n.name = name;
    n.parent = static_cast<int16_t>(parent);
    kf.nodes.push_back(n);
    return static_cast<int>(kf.nodes.size() - 1);
}

void Keys::track(int node, w3ds::TrackKind kind, w3ds::TrackMode mode, std::vector<Key> keys) {
    auto& tracks = kf.nodes[static_cast<size_t>(node)].tracks;
    for (auto it = tracks.begin(); it != tracks.end(); ++it)
        if (it->kind == kind) {
            tracks.erase(it);
            break;
        }
    tracks.push_back(w3ds::Track{kind, mode, std::move(keys)});
}

int Keys::object(const std::string& name, int parent, Vec3 pos, const std::string& instance) {
    int n = add(w3ds::NodeKind::Object, name, parent);
    if (!instance.empty()) kf.nodes.back().instance = instance;
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, {w3ds::vecKey(0, pos)});
    track(n, w3ds::TrackKind::Scale, w3ds::TrackMode::Once, {w3ds::vecKey(0, {1, 1, 1})});
    return n;
}

int Keys::camera(const std::string& name, int parent, std::vector<Key> pos) {
    int n = add(w3ds::NodeKind::Camera, name, parent);
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, std::move(pos));
    return n;
}

int Keys::cameraTarget(const std::string& name, int parent, std::vector<Key> pos) {
    int n = add(w3ds::NodeKind::CameraTarget, name, parent);
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, std::move(pos));
    return n;
}

int Keys::omni(const std::string& name, int parent, std::vector<Key> pos) {
    int n = add(w3ds::NodeKind::Light, name, parent);
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, std::move(pos));
    return n;
}

int Keys::spot(const std::string& name, int parent, std::vector<Key> pos) {
    int n = add(w3ds::NodeKind::Spot, name, parent);
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, std::move(pos));
    return n;
}

int Keys::lightTarget(const std::string& name, int parent, std::vector<Key> pos) {
    int n = add(w3ds::NodeKind::LightTarget, name, parent);
    track(n, w3ds::TrackKind::Position, w3ds::TrackMode::Once, std::move(pos));
    return n;
}

int Keys::ambient(std::vector<Key> colour) {
    int n = add(w3ds::NodeKind::Ambient, "$AMBIENT$", -1);
    track(n, w3ds::TrackKind::Color, w3ds::TrackMode::Once, std::move(colour));
    return n;
}

std::vector<Key> spinKeys(uint32_t length, int turns, Vec3 axis) {
    const int quarters = 4 * (turns < 0 ? -turns : turns);
    const float step = turns < 0 ? -kPi * 0.5f : kPi * 0.5f;
    std::vector<Key> keys;
    for (int k = 0; k <= quarters; ++k) {
        const uint32_t frame = static_cast<uint32_t>(static_cast<uint64_t>(length) * static_cast<uint64_t>(k) /
                                                     static_cast<uint64_t>(quarters));
        keys.push_back(w3ds::rotKey(frame, k == 0 ? 0.0f : step, axis));
    }
    return keys;
}

std::vector<Key> loopPath(uint32_t length, int n, const std::function<Vec3(float)>& f) {
    std::vector<Key> keys;
    for (int k = 0; k <= n; ++k) {
        const uint32_t frame =
            static_cast<uint32_t>(static_cast<uint64_t>(length) * static_cast<uint64_t>(k) / static_cast<uint64_t>(n));
        keys.push_back(w3ds::vecKey(frame, f(k == n ? 0.0f : static_cast<float>(k) / static_cast<float>(n))));
    }
    return keys;
}

std::vector<Key> path(uint32_t length, int n, const std::function<Vec3(float)>& f, Spline s) {
    std::vector<Key> keys;
    for (int k = 0; k < n; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(n - 1);
        const uint32_t frame = static_cast<uint32_t>(static_cast<uint64_t>(length) * static_cast<uint64_t>(k) /
                                                     static_cast<uint64_t>(n - 1));
        keys.push_back(w3ds::vecKey(frame, f(t), s));
    }
    return keys;
}

}  // namespace marrow::scenes
