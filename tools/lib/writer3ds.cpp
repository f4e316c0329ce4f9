// writer3ds.cpp: lays out 3DS chunks in the order 3D Studio writes them.
#include "writer3ds.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace marrow::w3ds {

// ---- ChunkWriter ------------------------------------------------------------------------

void ChunkWriter::begin(uint16_t id) {
    open_.push_back(data_.size());
    u16(id);
    u32(0);  // length, patched by end()
}

void ChunkWriter::end() {
    size_t start = open_.back();
    open_.pop_back();
    uint32_t len = static_cast<uint32_t>(data_.size() - start);
    for (int i = 0; i < 4; ++i) data_[start + 2 + i] = static_cast<uint8_t>(len >> (8 * i));
}

void ChunkWriter::u8(uint8_t v) { data_.push_back(v); }

void ChunkWriter::u16(uint16_t v) {
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
}

void ChunkWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ChunkWriter::f32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof(u));
    u32(u);
}

void ChunkWriter::str(const std::string& s) {
    bytes(s.data(), s.size());
    u8(0);
}

void ChunkWriter::bytes(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + n);
}

void ChunkWriter::leaf(uint16_t id, const std::vector<uint8_t>& payload) {
    begin(id);
    bytes(payload.data(), payload.size());
    end();
}

// ---- editor data ------------------------------------------------------------------------------

static void writeColor(ChunkWriter& w, uint16_t parent, const Rgb& c, ColorFormat format) {
    w.begin(parent);
    if (format == ColorFormat::Float) {
        w.begin(0x0010);
        w.f32(c.r);
        w.f32(c.g);
        w.f32(c.b);
        w.end();
    } else {
        auto byte = [](float v) {
            // Round to the nearest of the 256 steps; out-of-range values clamp.
            float s = v * 255.0f + 0.5f;
            return static_cast<uint8_t>(s <= 0 ? 0 : s >= 255 ? 255 : static_cast<int>(s));
        };
        w.begin(0x0011);
        w.u8(byte(c.r));
        w.u8(byte(c.g));
        w.u8(byte(c.b));
        w.end();
    }
    w.end();
}

static void writePercent(ChunkWriter& w, uint16_t parent, uint16_t percent) {
    w.begin(parent);
    w.begin(0x0030);
    w.u16(percent);
    w.end();
    w.end();
}

static void writeMap(ChunkWriter& w, uint16_t id, const MapSlot& m) {
    if (m.file.empty()) return;
    w.begin(id);
    w.begin(0x0030);
    w.s16(m.percent);
    w.end();
    w.begin(0xA300);
    w.str(m.file);
    w.end();
    w.begin(0xA351);
    w.u16(m.tiling);
    w.end();
    const struct {
        uint16_t id;
        float v;
    } reals[] = {{0xA354, m.uScale}, {0xA356, m.vScale}, {0xA358, m.uOffset}, {0xA35A, m.vOffset},
                 {0xA35C, m.rotation}};
    for (const auto& r : reals) {
        w.begin(r.id);
        w.f32(r.v);
        w.end();
    }
    w.end();
}

void writeMaterial(ChunkWriter& w, const Material& m) {
    w.begin(0xAFFF);
    w.begin(0xA000);
    w.str(m.name);
    w.end();
    writeColor(w, 0xA010, m.ambient, m.colorFormat);
    writeColor(w, 0xA020, m.diffuse, m.colorFormat);
    writeColor(w, 0xA030, m.specular, m.colorFormat);
    writePercent(w, 0xA040, m.shininess);
    writePercent(w, 0xA041, m.shinStrength);
    writePercent(w, 0xA050, m.transparency);
    writePercent(w, 0xA052, m.transFalloff);
    writePercent(w, 0xA053, m.reflBlur);
    writePercent(w, 0xA084, m.selfIllum);
    w.begin(0xA100);
    w.u16(m.shading);
    w.end();
    const struct {
        bool on;
        uint16_t id;
    } flags[] = {{m.twoSided, 0xA081}, {m.soft, 0xA08C}, {m.wire, 0xA085}, {m.additive, 0xA083}};
    for (const auto& f : flags) {
        if (!f.on) continue;
        w.begin(f.id);
        w.end();
    }
    writeMap(w, 0xA200, m.texture);
    writeMap(w, 0xA230, m.bump);
    writeMap(w, 0xA220, m.reflection);
    w.end();
}

static void writeMesh(ChunkWriter& w, const Mesh& m) {
    w.begin(0x4100);
    w.begin(0x4110);
    w.u16(static_cast<uint16_t>(m.vertices.size()));
    for (const Vec3& v : m.vertices) w.vec(v);
    w.end();
    if (!m.mapping.empty()) {
        w.begin(0x4140);
        w.u16(static_cast<uint16_t>(m.mapping.size()));
        for (const Uv& t : m.mapping) {
            w.f32(t.u);
            w.f32(t.v);
        }
        w.end();
    }
    if (m.matrix) {
        w.begin(0x4160);
        w.vec(m.matrix->x);
        w.vec(m.matrix->y);
        w.vec(m.matrix->z);
        w.vec(m.matrix->origin);
        w.end();
    }
    w.begin(0x4120);
    w.u16(static_cast<uint16_t>(m.faces.size()));
    for (const Face& f : m.faces) {
        w.u16(f.a);
        w.u16(f.b);
        w.u16(f.c);
        w.u16(f.flags);
    }
    for (const MaterialGroup& g : m.groups) {
        w.begin(0x4130);
        w.str(g.material);
        w.u16(static_cast<uint16_t>(g.faces.size()));
        for (uint16_t f : g.faces) w.u16(f);
        w.end();
    }
    if (m.smoothing) {
        w.begin(0x4150);
        for (const Face& f : m.faces) w.u32(f.smoothing);
        w.end();
    }
    w.end();
    w.end();
}

static void writeCamera(ChunkWriter& w, const Camera& c) {
    w.begin(0x4700);
    w.vec(c.pos);
    w.vec(c.target);
    w.f32(c.roll);
    w.f32(c.lens);
    w.end();
}

static void writeLight(ChunkWriter& w, const Light& l) {
    w.begin(0x4600);
    w.vec(l.pos);
    w.begin(0x0010);
    w.f32(l.color.r);
    w.f32(l.color.g);
    w.f32(l.color.b);
    w.end();
    if (l.spot) {
        w.begin(0x4610);
        w.vec(l.spot->target);
        w.f32(l.spot->hotspot);
        w.f32(l.spot->falloff);
        w.end();
    }
    if (l.innerRange) {
        w.begin(0x4659);
        w.f32(*l.innerRange);
        w.end();
    }
    if (l.outerRange) {
        w.begin(0x465A);
        w.f32(*l.outerRange);
        w.end();
    }
    w.end();
}

void writeObject(ChunkWriter& w, const Object& o) {
    w.begin(0x4000);
    w.str(o.name);
    if (const Mesh* m = std::get_if<Mesh>(&o.body)) writeMesh(w, *m);
    if (const Camera* c = std::get_if<Camera>(&o.body)) writeCamera(w, *c);
    if (const Light* l = std::get_if<Light>(&o.body)) writeLight(w, *l);
    w.end();
}

// ---- keyframer ------------------------------------------------------------------------------------

static void writeKeyHeader(ChunkWriter& w, const Key& k) {
    w.u32(k.frame);
    const float params[5] = {k.spline.tension, k.spline.continuity, k.spline.bias, k.spline.easeTo,
                             k.spline.easeFrom};
    uint16_t flags = 0;
    for (int i = 0; i < 5; ++i)
        if (params[i] != 0) flags = static_cast<uint16_t>(flags | (1u << i));
    w.u16(flags);
    for (int i = 0; i < 5; ++i)
        if (params[i] != 0) w.f32(params[i]);
}

void writeTrack(ChunkWriter& w, const Track& t) {
    w.begin(static_cast<uint16_t>(t.kind));
    w.u16(static_cast<uint16_t>(t.mode));
    w.u32(0);
    w.u32(0);
    w.u32(static_cast<uint32_t>(t.keys.size()));
    for (const Key& k : t.keys) {
        if (t.kind == TrackKind::Hide) {
            w.u32(k.frame);
            w.u16(0);
            continue;
        }
        writeKeyHeader(w, k);
        switch (t.kind) {
        case TrackKind::Position:
        case TrackKind::Scale: w.vec(k.v); break;
        case TrackKind::Color:
            w.f32(k.v.x);
            w.f32(k.v.y);
            w.f32(k.v.z);
            break;
        case TrackKind::Fov:
        case TrackKind::Roll: w.f32(k.v.x); break;
        case TrackKind::Rotation:
            w.f32(k.angle);
            w.vec(k.axis);
            break;
        case TrackKind::Morph: w.str(k.target); break;
        case TrackKind::Hide: break;
        }
    }
    w.end();
}

void writeNode(ChunkWriter& w, const Node& n) {
    w.begin(static_cast<uint16_t>(n.kind));
    if (n.id) {
        w.begin(0xB030);
        w.u16(*n.id);
        w.end();
    }
    w.begin(0xB010);
    w.str(n.name);
    w.u16(n.flags1);
    w.u16(n.flags2);
    w.s16(n.parent);
    w.end();
    if (n.instance) {
        w.begin(0xB011);
        w.str(*n.instance);
        w.end();
    }
    if (n.pivot) {
        w.begin(0xB013);
        w.vec(*n.pivot);
        w.end();
    }
    for (const Track& t : n.tracks) writeTrack(w, t);
    w.end();
}

void writeKeyframer(ChunkWriter& w, const Keyframer& k) {
    w.begin(0xB000);
    w.begin(0xB00A);
    w.u16(k.revision);
    w.str(k.fileName);
    w.u32(k.animLength);
    w.end();
    w.begin(0xB008);
    w.u32(k.start);
    w.u32(k.end);
    w.end();
    w.begin(0xB009);
    w.u32(k.current);
    w.end();
    for (const Node& n : k.nodes) writeNode(w, n);
    w.end();
}

// ---- whole file --------------------------------------------------------------------------------------

void beginFile(ChunkWriter& w, uint32_t version, uint32_t meshVersion) {
    w.begin(0x4D4D);
    w.begin(0x0002);
    w.u32(version);
    w.end();
    w.begin(0x3D3D);
    w.begin(0x3D3E);  // its value starts at file offset 28: the version byte
    w.u32(meshVersion);
    w.end();
}

std::vector<uint8_t> build3ds(const Scene3ds& s) {
    ChunkWriter w;
    beginFile(w, s.version, s.meshVersion);
    for (const Material& m : s.materials) writeMaterial(w, m);
    w.begin(0x0100);
    w.f32(s.masterScale);
    w.end();
    if (s.background) writeColor(w, 0x1200, *s.background, ColorFormat::Float);
    if (s.ambientLight) writeColor(w, 0x2100, *s.ambientLight, ColorFormat::Float);
    for (const Object& o : s.objects) writeObject(w, o);
    w.end();
    if (s.keyframer) writeKeyframer(w, *s.keyframer);
    w.end();
    return w.data();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) error = path + ": write failed";
    return ok;
}

bool write3ds(const std::string& path, const Scene3ds& scene, std::string& error) {
    return writeFile(path, build3ds(scene), error);
}

// ---- helpers -----------------------------------------------------------------------------------------

Node objectNode(const std::string& name, uint16_t id, int16_t parent) {
    Node n;
    n.kind = NodeKind::Object;
    n.id = id;
    n.name = name;
    n.parent = parent;
    return n;
}

Key vecKey(uint32_t frame, Vec3 v, Spline s) {
    Key k;
    k.frame = frame;
    k.v = v;
    k.spline = s;
    return k;
}

Key scalarKey(uint32_t frame, float v, Spline s) {
    Key k;
    k.frame = frame;
    k.v.x = v;
    k.spline = s;
    return k;
}

Key rotKey(uint32_t frame, float angle, Vec3 axis, Spline s) {
    Key k;
    k.frame = frame;
    k.angle = angle;
    k.axis = axis;
    k.spline = s;
    return k;
}

}  // namespace marrow::w3ds
