// writer3ds.h: builds standard 3DS files (the chunk layout 3D Studio writes)
// from a plain scene description: meshes with mapping, face material groups,
// smoothing groups and a mesh matrix; materials with colours, percentages,
// shading, presence flags and the texture, bump and reflection maps;
// cameras; omni lights and spotlights with ranges and colour; and the
// keyframer: header, segment, nodes with node numbers, hierarchy, pivots,
// instance names and every track kind with per-key spline parameters.
//
// All vectors are in FILE space (Z up), written as given; our scene library
// reads them as (x, z, y). fromLibrary() converts a Y-up library vector.
//
// Low level: ChunkWriter appends little-endian values and nests chunks with
// begin()/end(), patching each length on end(); use it to hand-craft odd
// or broken files. High level: build3ds() lays out a whole Scene3ds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace marrow::w3ds {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
struct Rgb {
    float r = 0, g = 0, b = 0;
};
struct Uv {
    float u = 0, v = 0;
};

// Library space (Y up) to file space (Z up): exchanges y and z.
inline Vec3 fromLibrary(float x, float y, float z) { return Vec3{x, z, y}; }

// ---- low level --------------------------------------------------------------------------

class ChunkWriter {
public:
    // Opens a chunk; its length is written when the matching end() runs.
    void begin(uint16_t id);
    void end();
    void u8(uint8_t v);
    void u16(uint16_t v);
    void s16(int16_t v) { u16(static_cast<uint16_t>(v)); }
    void u32(uint32_t v);
    void f32(float v);
    void vec(const Vec3& v) {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
    void str(const std::string& s);  // bytes and a terminating 0
    void bytes(const void* data, size_t n);
    // A leaf chunk in one call: header and raw payload.
    void leaf(uint16_t id, const std::vector<uint8_t>& payload);
    size_t size() const { return data_.size(); }
    std::vector<uint8_t>& data() { return data_; }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    std::vector<uint8_t> data_;
    std::vector<size_t> open_;
};

// ---- editor data ---------------------------------------------------------------------------

struct MapSlot {
    std::string file;    // empty: slot not written
    int16_t percent = 100;  // map strength (0x0030 inside the map)
    uint16_t tiling = 0;
    float uScale = 1, vScale = 1, uOffset = 0, vOffset = 0, rotation = 0;
};

enum class ColorFormat { Float, Bytes };  // 0x0010 three reals, 0x0011 three bytes

struct Material {
    std::string name;
    Rgb ambient, diffuse{0.8f, 0.8f, 0.8f}, specular{1, 1, 1};
    ColorFormat colorFormat = ColorFormat::Float;
    // Percentages 0..100 (0x0030 chunks); the reader stores value x 0.01.
    uint16_t shininess = 0, shinStrength = 0, transparency = 0, transFalloff = 0, reflBlur = 0,
             selfIllum = 0;
    uint16_t shading = 2;  // 0 wire, 1 flat, 2 Gouraud, 3 Phong, 4 metal
    bool twoSided = false, soft = false, wire = false, additive = false;
    MapSlot texture, bump, reflection;
};

struct Face {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t flags = 7;  // edge visibility 1|2|4; 0x08 wrap u, 0x10 wrap v
    uint32_t smoothing = 1;
};

struct MaterialGroup {
    std::string material;
    std::vector<uint16_t> faces;
};

// Mesh placement (0x4160): axes X, Y, Z and origin, file space.
struct MeshMatrix {
    Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1}, origin;
};

struct Mesh {
    std::vector<Vec3> vertices;
    std::vector<Uv> mapping;  // empty: no 0x4140; else one per vertex
    std::vector<Face> faces;
    std::vector<MaterialGroup> groups;
    bool smoothing = true;               // write 0x4150
    std::optional<MeshMatrix> matrix = MeshMatrix{};  // 3D Studio always writes one
};

struct Camera {
    Vec3 pos, target{0, 1, 0};
    float roll = 0;
    float lens = 50;  // mm; the reader turns it into a field of view
};

struct Spot {
    Vec3 target;
    float hotspot = 30, falloff = 45;  // degrees
};

struct Light {
    Vec3 pos;
    Rgb color{1, 1, 1};
    std::optional<Spot> spot;
    std::optional<float> innerRange, outerRange;  // 0x4659, 0x465A
};

// A named object: one of the three kinds. Ids are given by the reader in
// file order: materials first (build3ds writes them first), then these.
struct Object {
    std::string name;
    std::variant<Mesh, Camera, Light> body;
};

// ---- keyframer ---------------------------------------------------------------------------------

struct Spline {
    float tension = 0, continuity = 0, bias = 0, easeTo = 0, easeFrom = 0;
};

// One key. Which members count depends on the track kind:
//   Position, Scale: v (x, y, z, file space); Color: v (r, g, b);
//   Fov, Roll: v.x (degrees); Rotation: angle (radians) about axis (file
//   space), relative to the previous key; Morph: target (object name);
//   Hide: only frame (keys toggle hidden/shown from "hidden").
struct Key {
    uint32_t frame = 0;
    Spline spline;
    Vec3 v;
    float angle = 0;
    Vec3 axis{0, 0, 1};
    std::string target;
};

enum class TrackKind : uint16_t {
    Position = 0xB020,
    Rotation = 0xB021,
    Scale = 0xB022,
    Fov = 0xB023,
    Roll = 0xB024,
    Color = 0xB025,
    Morph = 0xB026,
    Hide = 0xB029,
};

enum class TrackMode : uint16_t { Once = 0, Repeat = 2, Loop = 3 };  // header flag bits

struct Track {
    TrackKind kind = TrackKind::Position;
    TrackMode mode = TrackMode::Once;
    std::vector<Key> keys;
};

enum class NodeKind : uint16_t {
    Ambient = 0xB001,
    Object = 0xB002,
    Camera = 0xB003,
    CameraTarget = 0xB004,
    Light = 0xB005,
    LightTarget = 0xB006,
    Spot = 0xB007,
};

struct Node {
    NodeKind kind = NodeKind::Object;
    std::optional<uint16_t> id;  // 0xB030 node number; 3D Studio always writes it
    std::string name;            // record name, "$$$DUMMY" or "$AMBIENT$"
    uint16_t flags1 = 0x4000, flags2 = 0;
    int16_t parent = -1;         // parent's node number, -1 for none
    std::optional<std::string> instance;  // 0xB011 (dummies take their name from it)
    std::optional<Vec3> pivot;            // 0xB013, file space
    std::vector<Track> tracks;
};

struct Keyframer {
    std::string fileName = "MARROW";
    uint16_t revision = 5;
    uint32_t animLength = 100;  // 0xB00A
    uint32_t start = 0, end = 100;  // 0xB008 segment
    uint32_t current = 0;           // 0xB009
    std::vector<Node> nodes;
};

struct Scene3ds {
    uint32_t version = 3;      // 0x0002
    uint32_t meshVersion = 3;  // 0x3D3E: its low byte is the byte at file offset 28
    float masterScale = 1;
    std::optional<Rgb> background;    // 0x1200
    std::optional<Rgb> ambientLight;  // 0x2100
    std::vector<Material> materials;
    std::vector<Object> objects;
    std::optional<Keyframer> keyframer;
};

// Helpers for the most common shapes.
Node objectNode(const std::string& name, uint16_t id, int16_t parent = -1);
Key vecKey(uint32_t frame, Vec3 v, Spline s = {});
Key scalarKey(uint32_t frame, float v, Spline s = {});
Key rotKey(uint32_t frame, float angle, Vec3 axis, Spline s = {});

std::vector<uint8_t> build3ds(const Scene3ds& scene);
bool write3ds(const std::string& path, const Scene3ds& scene, std::string& error);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// The pieces build3ds uses, for hand-crafted files.
// Opens the main chunk (0x4D4D) with its version chunk and the editor chunk
// (0x3D3D) with its mesh version chunk, whose value starts at file offset
// 28; the editor's own chunks follow from offset 32. The caller ends the
// editor, may add a keyframer, and ends the main chunk.
void beginFile(ChunkWriter& w, uint32_t version = 3, uint32_t meshVersion = 3);
void writeMaterial(ChunkWriter& w, const Material& m);
void writeObject(ChunkWriter& w, const Object& o);
void writeKeyframer(ChunkWriter& w, const Keyframer& k);
void writeNode(ChunkWriter& w, const Node& n);
void writeTrack(ChunkWriter& w, const Track& t);

}  // namespace marrow::w3ds
