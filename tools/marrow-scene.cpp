// marrow-scene: inspects a 3DS file as the presentation's scene library
// reads it.
//
//   marrow-scene FILE.3ds [--json] [--at FRAME] [--strict]
//
// Loads world and motion the way the demo does (orin_init with all four
// options, world pass, motion pass on the same file, then the camera named
// "Camera01"), but in the library's lenient reading, so files that other
// tools' exporters write load with the reader's warnings; --strict reads
// with the presentation's rules instead. It and prints the world list (objects, materials, cameras,
// lights), the keyframer nodes as a tree with their tracks and every key
// (frame, value, spline parameters), the frame range and warnings (the
// reader's first, then the inspector's own). With
// --json it prints one JSON object instead. Vectors are in library space
// (y and z exchanged from the file).
//
// --at FRAME sets the frame and updates the scene as the renderer does
// (Camera01 active, with the demo's 320 x 200 screen and aspect 0.75) and
// adds what the update made of every object (translate, rotate, scale,
// matrix, hidden), camera (pos, target, fov, roll) and light (pos, target,
// colour): the "evaluated" member in JSON.
//
// Exit status: 0 when both passes load (and the frame is in the scene's
// range); 1 when one fails or the frame is refused (the message names the
// file and the result code; the report of what loaded is still printed);
// 2 for a bad command line.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/demo_init.h"
#include "render/scene3d.h"
#include "scene/orin.h"

namespace {

// The option flags every load of this tool uses: the demo's four, and the
// lenient reading unless --strict.
// The presentation's options, plus the lenient reading unless --strict.
constexpr int32_t kDemoFlags = marrow::kPresentationLibraryFlags;
int32_t readFlags = kDemoFlags | ORIN_LENIENT;

const char* const kUsage =
    "usage: marrow-scene FILE.3ds [--json] [--at FRAME] [--strict]\n"
    "\n"
    "Shows a 3DS file as the presentation's scene library reads it: objects, materials and maps,\n"
    "cameras, lights, the keyframer tree and its tracks, the frame range and warnings.\n"
    "  --json       print one JSON object instead of text\n"
    "  --at FRAME   evaluate the animation at FRAME, as the renderer does\n"
    "  --strict     read with the presentation's own rules (default: leniently, with warnings)\n"
    "Exit status: 0 when the file loads, 1 when it does not, 2 for a bad command line.\n";

// ---- small output helpers ---------------------------------------------------------------

// Text shows six significant digits; JSON nine, enough to give back the
// exact single-precision value.
std::string fmtNum(double v, int digits = 6) {
    if (!std::isfinite(v)) return v != v ? "nan" : (v > 0 ? "inf" : "-inf");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

std::string jsonNum(double v) {
    // JSON has no NaN or infinity: they become null.
    if (!std::isfinite(v)) return "null";
    return fmtNum(v, 9);
}

std::string jsonStr(const char* s) {
    if (!s) return "null";
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        unsigned char c = *p;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Names are raw bytes of unknown encoding: escape anything not
            // plain ASCII so the output is always valid JSON.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string textStr(const char* s) {
    if (!s) return "-";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if (*p < 0x20 || *p >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", *p);
            out += buf;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return "\"" + out + "\"";
}

std::string jsonVec(const orin_vector& v) {
    return "[" + jsonNum(v.x) + ", " + jsonNum(v.y) + ", " + jsonNum(v.z) + "]";
}
std::string jsonColor(const orin_color& c) {
    return "[" + jsonNum(c.r) + ", " + jsonNum(c.g) + ", " + jsonNum(c.b) + "]";
}
std::string textVec(const orin_vector& v) {
    return "(" + fmtNum(v.x) + ", " + fmtNum(v.y) + ", " + fmtNum(v.z) + ")";
}
std::string textColor(const orin_color& c) {
    return "(" + fmtNum(c.r) + ", " + fmtNum(c.g) + ", " + fmtNum(c.b) + ")";
}

const char* nodeKind(int32_t type) {
    switch (type) {
    case ORIN_KF_CAMERA: return "camera";
    case ORIN_KF_CAMERA_TARGET: return "camera_target";
    case ORIN_KF_LIGHT: return "light";
    case ORIN_KF_SPOTLIGHT: return "spotlight";
    case ORIN_KF_LIGHT_TARGET: return "light_target";
    case ORIN_KF_OBJECT: return "object";
    case ORIN_KF_AMBIENT: return "ambient";
    default: return "unknown";
    }
}

const char* shadingName(int32_t s) {
    switch (s) {
    case 0: return "wire";
    case 1: return "flat";
    case 2: return "gouraud";
    case 3: return "phong";
    case 4: return "metal";
    default: return "unknown";
    }
}

const char* modeName(int32_t m) {
    switch (m) {
    case ORIN_TRACK_ONCE: return "once";
    case ORIN_TRACK_REPEAT: return "repeat";
    case ORIN_TRACK_LOOP: return "loop";
    default: return "unknown";
    }
}

// ---- gathering ------------------------------------------------------------------------------

struct NamedTrack {
    const char* slot;
    const orin_track* track;
};

// The tracks a node holds, by slot name, in the order of its track set.
std::vector<NamedTrack> nodeTracks(const orin_kf_node* n) {
    std::vector<NamedTrack> out;
    if (!n->tracks) return out;
    auto add = [&](const char* slot, const orin_track* t) {
        if (t) out.push_back({slot, t});
    };
    switch (n->type) {
    case ORIN_KF_CAMERA: {
        auto* t = static_cast<const orin_camera_tracks*>(n->tracks);
        add("position", t->position);
        add("fov", t->fov);
        add("roll", t->roll);
        break;
    }
    case ORIN_KF_CAMERA_TARGET:
    case ORIN_KF_LIGHT_TARGET:
        add("position", static_cast<const orin_target_tracks*>(n->tracks)->position);
        break;
    case ORIN_KF_LIGHT: {
        auto* t = static_cast<const orin_light_tracks*>(n->tracks);
        add("position", t->position);
        add("color", t->color);
        break;
    }
    case ORIN_KF_SPOTLIGHT: {
        auto* t = static_cast<const orin_spot_tracks*>(n->tracks);
        add("position", t->position);
        add("color", t->color);
        add("roll", t->roll);
        break;
    }
    case ORIN_KF_OBJECT: {
        auto* t = static_cast<const orin_object_tracks*>(n->tracks);
        add("position", t->position);
        add("rotation", t->rotation);
        add("scale", t->scale);
        add("morph", t->morph);
        add("hide", t->hide);
        break;
    }
    case ORIN_KF_AMBIENT: add("color", static_cast<const orin_ambient_tracks*>(n->tracks)->color); break;
    default: break;
    }
    return out;
}

// The kind of value a slot's keys hold.
enum class KeyKind { Vector, Color, Scalar, Rotation, Morph, Hide };

KeyKind slotKind(const std::string& slot) {
    if (slot == "color") return KeyKind::Color;
    if (slot == "fov" || slot == "roll") return KeyKind::Scalar;
    if (slot == "rotation") return KeyKind::Rotation;
    if (slot == "morph") return KeyKind::Morph;
    if (slot == "hide") return KeyKind::Hide;
    return KeyKind::Vector;
}

// Name of the world record with this id (morph targets), or null.
const char* recordNameById(int32_t id) {
    orin_world_node* n = nullptr;
    orin_find_object_by_id(id, &n);
    return n ? orin_record_name(n) : nullptr;
}

std::string jsonQuat(const orin_quat& q) {
    return "[" + jsonNum(q.w) + ", " + jsonNum(q.x) + ", " + jsonNum(q.y) + ", " + jsonNum(q.z) + "]";
}
std::string textQuat(const orin_quat& q) {
    return "(" + fmtNum(q.w) + ", " + fmtNum(q.x) + ", " + fmtNum(q.y) + ", " + fmtNum(q.z) + ")";
}
std::string jsonF3(const float* v) { return "[" + jsonNum(v[0]) + ", " + jsonNum(v[1]) + ", " + jsonNum(v[2]) + "]"; }
std::string textF3(const float* v) { return "(" + fmtNum(v[0]) + ", " + fmtNum(v[1]) + ", " + fmtNum(v[2]) + ")"; }

std::string jsonKeyValue(KeyKind kind, const orin_key* k) {
    switch (kind) {
    case KeyKind::Vector:
    case KeyKind::Color: return jsonF3(k->value.f);
    case KeyKind::Scalar: return jsonNum(k->value.f[0]);
    case KeyKind::Rotation:
        return "{\"spin\": " + jsonNum(k->value.f[0]) + ", \"axis\": " + jsonF3(k->value.f + 1) +
               ", \"quat\": " + jsonQuat(k->quat) + "}";
    case KeyKind::Morph:
        return "{\"id\": " + std::to_string(k->value.i[0]) + ", \"name\": " + jsonStr(recordNameById(k->value.i[0])) + "}";
    case KeyKind::Hide: return k->value.i[0] ? "true" : "false";
    }
    return "null";
}

std::string textKeyValue(KeyKind kind, const orin_key* k) {
    switch (kind) {
    case KeyKind::Vector:
    case KeyKind::Color: return textF3(k->value.f);
    case KeyKind::Scalar: return fmtNum(k->value.f[0]);
    case KeyKind::Rotation:
        return "spin " + fmtNum(k->value.f[0]) + " axis " + textF3(k->value.f + 1) + " quat " + textQuat(k->quat);
    case KeyKind::Morph: return "-> " + textStr(recordNameById(k->value.i[0])) + " (id " + std::to_string(k->value.i[0]) + ")";
    case KeyKind::Hide: return k->value.i[0] ? "hidden" : "shown";
    }
    return "?";
}

// The keys of a track in list order; a hostile file cannot make the list
// loop (keys are appended), but the walk stops at num_keys all the same.
std::vector<const orin_key*> trackKeys(const orin_track* t) {
    std::vector<const orin_key*> out;
    for (const orin_key* k = t->keys; k && static_cast<int32_t>(out.size()) < t->num_keys; k = k->next) out.push_back(k);
    return out;
}

std::string jsonKeys(const NamedTrack& t) {
    KeyKind kind = slotKind(t.slot);
    std::string out = "[";
    bool first = true;
    for (const orin_key* k : trackKeys(t.track)) {
        out += first ? "" : ", ";
        first = false;
        out += "{\"frame\": " + jsonNum(k->frame) + ", \"value\": " + jsonKeyValue(kind, k);
        if (kind != KeyKind::Hide)
            out += ", \"tension\": " + jsonNum(k->tension) + ", \"continuity\": " + jsonNum(k->continuity) +
                   ", \"bias\": " + jsonNum(k->bias) + ", \"ease_to\": " + jsonNum(k->ease_to) +
                   ", \"ease_from\": " + jsonNum(k->ease_from);
        out += "}";
    }
    return out + "]";
}

// Name of the record a keyframer node drives.
const char* nodeName(const orin_kf_node* n) {
    if (!n->object) return nullptr;
    switch (n->type) {
    case ORIN_KF_CAMERA:
    case ORIN_KF_CAMERA_TARGET: return static_cast<const orin_camera*>(n->object)->name;
    case ORIN_KF_LIGHT:
    case ORIN_KF_SPOTLIGHT:
    case ORIN_KF_LIGHT_TARGET: return static_cast<const orin_light*>(n->object)->name;
    case ORIN_KF_OBJECT: return static_cast<const orin_object*>(n->object)->name;
    case ORIN_KF_AMBIENT: return static_cast<const orin_ambient*>(n->object)->name;
    default: return nullptr;
    }
}

// The keyframer list as a tree: roots in list order, each followed by the
// nodes whose parent it is (list order), indented. Nodes no root reaches (a
// node numbered as its own parent) follow at the end, marked detached. Each
// node is printed once, so odd links cannot loop.
struct TreeLine {
    const orin_kf_node* node;
    int depth;
    bool detached;
};

std::vector<TreeLine> nodeTree(const orin_scene* s) {
    std::vector<const orin_kf_node*> all;
    std::unordered_map<const orin_kf_node*, size_t> index;
    for (const orin_kf_node* n = s->nodes; n; n = n->next) {
        index[n] = all.size();
        all.push_back(n);
    }
    // Children of each node in list order (a node that is its own parent is
    // nobody's child here).
    std::vector<std::vector<size_t>> children(all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        auto p = all[i]->parent ? index.find(all[i]->parent) : index.end();
        if (p != index.end() && p->second != i) children[p->second].push_back(i);
    }
    std::vector<bool> done(all.size(), false);
    std::vector<TreeLine> out;
    // Depth-first with an explicit stack: a hostile file may chain thousands
    // of nodes.
    std::vector<std::pair<size_t, int>> stack;
    for (size_t root = 0; root < all.size(); ++root) {
        if (all[root]->parent) continue;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            auto [i, depth] = stack.back();
            stack.pop_back();
            if (done[i]) continue;
            done[i] = true;
            out.push_back({all[i], depth, false});
            for (auto c = children[i].rbegin(); c != children[i].rend(); ++c) stack.push_back({*c, depth + 1});
        }
    }
    for (size_t i = 0; i < all.size(); ++i)
        if (!done[i]) out.push_back({all[i], 0, true});
    return out;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// True for an absolute name and for one with a ".." component ("/" or "\\"
// separated): joined to the scene's directory it would name a file elsewhere.
bool leavesDirectory(const std::string& name) {
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    if (name.size() >= 2 && name[1] == ':') return true;  // a drive letter, as in C:\MAPS\X.JPG
    size_t begin = 0;
    while (begin <= name.size()) {
        size_t end = name.find_first_of("/\\", begin);
        if (end == std::string::npos) end = name.size();
        if (name.compare(begin, end - begin, "..") == 0) return true;
        begin = end + 1;
    }
    return false;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

template <class T>
std::vector<const T*> recordsOf(const orin_scene* s, int32_t type) {
    std::vector<const T*> out;
    for (const orin_world_node* n = s->world; n; n = n->next)
        if (n->type == type && n->object) out.push_back(static_cast<const T*>(n->object));
    return out;
}

std::vector<std::string> gatherWarnings(const orin_scene* s, const std::string& path, int32_t world) {
    // What the reader warned about while loading (lenient reading only).
    std::vector<std::string> w;
    int32_t count = orin_warning_count();
    for (int32_t i = 0; i < count; ++i) {
        const char* text = orin_warning(i);
        if (!text) {
            w.push_back("... and " + std::to_string(count - i) + " more reader warnings");
            break;
        }
        w.push_back(text);
    }
    if (world != ORIN_OK) return w;
    if (!marrow::findPresentationCamera()) w.push_back("no camera named \"Camera01\"");
    // The renderer loads the texture map, or failing that the reflection
    // map, from the scene's directory joined with the name as stored.
    std::string dir = directoryOf(path);
    for (const orin_material* m : recordsOf<orin_material>(s, ORIN_MATERIAL)) {
        const struct {
            const char* slot;
            const char* file;
        } maps[] = {{"texture", m->texture.file}, {"reflection", m->reflection.file}};
        for (const auto& map : maps) {
            if (!map.file) continue;
            // Maps are read only from inside the scene's directory: a name
            // that is absolute or climbs out with ".." is reported and never
            // looked up.
            if (leavesDirectory(map.file))
                w.push_back("material " + textStr(m->name) + ": " + map.slot + " file " +
                            textStr(map.file) + " is outside the scene directory");
            else if (!fileExists(dir + "/" + map.file))
                w.push_back("material " + textStr(m->name) + ": " + map.slot + " file " +
                            textStr(map.file) + " not found in " + dir);
        }
    }
    // A light without a usable range (outer not above inner; files without
    // range chunks have both 0) is drawn with no distance fall-off.
    for (const orin_light* l : recordsOf<orin_light>(s, ORIN_LIGHT))
        if (!(l->outer_range > l->inner_range))
            w.push_back("light " + textStr(l->name) + ": outer range " + jsonNum(l->outer_range) +
                        " is not above inner range " + jsonNum(l->inner_range) + ": no distance fall-off");
    return w;
}

// The work-array capacity the scene needs over its whole animation, as the
// renderer measures it (0 when the scene cannot be rendered: no Camera01,
// no keyframes), on a copy loaded the presentation's way with the
// inspector's library options.
float measureCapacity(const std::string& path, int32_t libraryFlags) {
    float start = 0, end = 0;
    if (!marrow::findPresentationCamera() || orin_get_frames(&start, &end) != ORIN_OK) return 0;
    marrow::Scene3D s;
    s.capacityFactor = 64;  // room enough that nothing is left out while measuring
    if (!s.load(path.c_str(), libraryFlags).ok()) return 0;
    s.setDirectory(directoryOf(path).c_str());
    s.classifyMaterials();
    s.bindMaterials();
    return s.measureCapacity();
}

// What the presentation's strict reading makes of a file the lenient reading
// loaded with warnings: the first failing result, and where it stopped. The
// inspector's own scene is made active again afterwards (the library-wide
// warnings of the lenient load are gone by then).
int32_t strictResult(orin_scene* own, const std::string& path, std::string& where) {
    orin_init(kDemoFlags);
    orin_scene* trial = nullptr;
    int32_t result = orin_alloc_scene(&trial);
    if (result == ORIN_OK) result = orin_load_world(path.c_str(), trial);
    if (result == ORIN_OK) result = orin_load_motion(path.c_str(), trial);
    char text[96];
    where = orin_describe_stop(result, text, sizeof text);
    orin_free_scene(trial);
    orin_init(readFlags);
    orin_set_scene(own);
    return result;
}

std::string fileStem(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    return name.substr(0, name.rfind('.'));
}

// ---- the evaluated scene (--at) ---------------------------------------------------------------

// What one update made of the scene at `frame`, read from the records.
struct Evaluated {
    float frame = 0;
};

std::string jsonMatrix(const orin_matrix& m) {
    std::string out = "[";
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) out += (i || j ? ", " : "") + jsonNum(m.m[i][j]);
    return out + "]";
}

std::string jsonEvaluated(const orin_scene* s, const Evaluated& ev) {
    std::string o = "{\n    \"frame\": " + jsonNum(ev.frame) + ",\n    \"objects\": [";
    bool first = true;
    for (const orin_object* x : recordsOf<orin_object>(s, ORIN_OBJECT)) {
        o += first ? "\n      " : ",\n      ";
        first = false;
        o += "{\"name\": " + jsonStr(x->name) + ", \"translate\": " + jsonVec(x->translate) +
             ", \"rotate\": " + jsonQuat(x->rotate) + ", \"scale\": " + jsonVec(x->scale) +
             ", \"matrix\": " + jsonMatrix(x->matrix) +
             ", \"hidden\": " + ((x->flags & ORIN_OBJ_HIDDEN) ? "true" : "false") + "}";
    }
    o += first ? "],\n    \"cameras\": [" : "\n    ],\n    \"cameras\": [";
    first = true;
    for (const orin_camera* c : recordsOf<orin_camera>(s, ORIN_CAMERA)) {
        o += first ? "\n      " : ",\n      ";
        first = false;
        o += "{\"name\": " + jsonStr(c->name) + ", \"pos\": " + jsonVec(c->pos) + ", \"target\": " + jsonVec(c->target) +
             ", \"fov\": " + jsonNum(c->fov) + ", \"roll\": " + jsonNum(c->roll) + "}";
    }
    o += first ? "],\n    \"lights\": [" : "\n    ],\n    \"lights\": [";
    first = true;
    for (const orin_light* l : recordsOf<orin_light>(s, ORIN_LIGHT)) {
        o += first ? "\n      " : ",\n      ";
        first = false;
        o += "{\"name\": " + jsonStr(l->name) + ", \"pos\": " + jsonVec(l->pos) + ", \"target\": " + jsonVec(l->target) +
             ", \"color\": " + jsonColor(l->color) + "}";
    }
    o += first ? "]\n  }" : "\n    ]\n  }";
    return o;
}

void printEvaluatedText(const orin_scene* s, const Evaluated& ev) {
    std::printf("\nevaluated at frame %s\n", fmtNum(ev.frame).c_str());
    for (const orin_object* x : recordsOf<orin_object>(s, ORIN_OBJECT)) {
        std::printf("  object %-20s translate %s  rotate %s  scale %s%s\n", textStr(x->name).c_str(),
                    textVec(x->translate).c_str(), textQuat(x->rotate).c_str(), textVec(x->scale).c_str(),
                    (x->flags & ORIN_OBJ_HIDDEN) ? "  hidden" : "");
        for (int i = 0; i < 3; ++i)
            std::printf("         matrix %s %s %s | %s\n", fmtNum(x->matrix.m[i][0]).c_str(), fmtNum(x->matrix.m[i][1]).c_str(),
                        fmtNum(x->matrix.m[i][2]).c_str(), fmtNum(x->matrix.m[i][3]).c_str());
    }
    for (const orin_camera* c : recordsOf<orin_camera>(s, ORIN_CAMERA))
        std::printf("  camera %-20s pos %s  target %s  fov %s  roll %s\n", textStr(c->name).c_str(),
                    textVec(c->pos).c_str(), textVec(c->target).c_str(), fmtNum(c->fov).c_str(), fmtNum(c->roll).c_str());
    for (const orin_light* l : recordsOf<orin_light>(s, ORIN_LIGHT))
        std::printf("  light  %-20s pos %s  target %s  colour %s\n", textStr(l->name).c_str(), textVec(l->pos).c_str(),
                    textVec(l->target).c_str(), textColor(l->color).c_str());
}

// ---- printing ----------------------------------------------------------------------------------

// The work-array capacity: what the scene needs over its animation, and
// what the presentation gives it (0 for a file it does not load).
struct Capacity {
    float needed = 0;
    int32_t factor = 0;
};

const char* readingName() { return (readFlags & ORIN_LENIENT) ? "lenient" : "strict"; }

void printText(const std::string& path, const orin_scene* s, int32_t world, int32_t motion,
               const std::vector<std::string>& warnings, const Evaluated* ev, const Capacity& cap) {
    std::printf("%s\n", path.c_str());
    std::printf("  world: %s  motion: %s\n", orin_result_name(world),
                motion < 0 ? "not loaded" : orin_result_name(motion));
    std::printf("  frames: %s .. %s\n", fmtNum(s->frame_start).c_str(), fmtNum(s->frame_end).c_str());
    std::printf("  reading: %s\n", readingName());
    if (cap.needed > 0) {
        std::printf("  capacity needed: %.2f", cap.needed);
        if (cap.factor > 0) std::printf(" (the presentation gives %d)", cap.factor);
        std::printf("\n");
    }

    auto objects = recordsOf<orin_object>(s, ORIN_OBJECT);
    std::printf("\nobjects (%zu)\n", objects.size());
    for (const orin_object* o : objects) {
        std::printf("  [%d] %-20s %5d vertices %5d faces  flags 0x%x%s  pivot %s\n", o->id,
                    textStr(o->name).c_str(), o->num_vertices, o->num_faces, o->flags,
                    (o->flags & ORIN_OBJ_DUMMY) ? " (dummy)" : "", textVec(o->pivot).c_str());
    }

    auto materials = recordsOf<orin_material>(s, ORIN_MATERIAL);
    std::printf("\nmaterials (%zu)\n", materials.size());
    for (const orin_material* m : materials) {
        std::string flags;
        if (m->flags & ORIN_MAT_TWO_SIDED) flags += " two-sided";
        if (m->flags & ORIN_MAT_SOFT) flags += " soft";
        if (m->flags & ORIN_MAT_WIRE) flags += " wire";
        if (m->flags & ORIN_MAT_ADDITIVE) flags += " additive";
        std::printf("  [%d] %-20s diffuse %s  flags 0x%x%s  shading %d (%s)\n", m->id,
                    textStr(m->name).c_str(), textColor(m->diffuse).c_str(), m->flags, flags.c_str(),
                    m->shading, shadingName(m->shading));
        std::printf("       texture %s  reflection %s  bump %s\n", textStr(m->texture.file).c_str(),
                    textStr(m->reflection.file).c_str(), textStr(m->bump.file).c_str());
    }

    auto cameras = recordsOf<orin_camera>(s, ORIN_CAMERA);
    std::printf("\ncameras (%zu)\n", cameras.size());
    for (const orin_camera* c : cameras) {
        std::printf("  [%d] %-20s pos %s  target %s  fov %s  roll %s\n", c->id,
                    textStr(c->name).c_str(), textVec(c->pos).c_str(), textVec(c->target).c_str(),
                    fmtNum(c->fov).c_str(), fmtNum(c->roll).c_str());
    }

    auto lights = recordsOf<orin_light>(s, ORIN_LIGHT);
    std::printf("\nlights (%zu)\n", lights.size());
    for (const orin_light* l : lights) {
        std::printf("  [%d] %-20s %s  pos %s  colour %s  ranges %s .. %s\n", l->id,
                    textStr(l->name).c_str(), l->type == ORIN_LIGHT_SPOT ? "spot" : "omni",
                    textVec(l->pos).c_str(), textColor(l->color).c_str(),
                    fmtNum(l->inner_range).c_str(), fmtNum(l->outer_range).c_str());
        if (l->type == ORIN_LIGHT_SPOT)
            std::printf("       target %s  hotspot %s  falloff %s\n", textVec(l->target).c_str(),
                        fmtNum(l->hotspot).c_str(), fmtNum(l->falloff).c_str());
    }

    std::vector<TreeLine> tree = nodeTree(s);
    std::printf("\nkeyframer nodes (%zu)\n", tree.size());
    for (const TreeLine& line : tree) {
        const orin_kf_node* n = line.node;
        // Indentation stops growing at 32 levels so a deep chain stays readable.
        std::string indent(2 + 2 * static_cast<size_t>(std::min(line.depth, 32)), ' ');
        std::string tracks;
        for (const NamedTrack& t : nodeTracks(n)) {
            tracks += tracks.empty() ? "  " : ", ";
            tracks += std::string(t.slot) + " " + std::to_string(t.track->num_keys) + " keys " +
                      modeName(t.track->mode);
        }
        std::printf("%s#%d %s %s%s%s\n", indent.c_str(), n->id, nodeKind(n->type),
                    textStr(nodeName(n)).c_str(), line.detached ? " (detached)" : "",
                    tracks.empty() ? "  (no tracks)" : tracks.c_str());
        for (const NamedTrack& t : nodeTracks(n)) {
            KeyKind kind = slotKind(t.slot);
            std::printf("%s    %s (%s, last frame %s)\n", indent.c_str(), t.slot, modeName(t.track->mode),
                        fmtNum(t.track->last_frame).c_str());
            for (const orin_key* k : trackKeys(t.track)) {
                std::string spline;
                const struct {
                    const char* name;
                    float v;
                } params[] = {{"tension", k->tension}, {"continuity", k->continuity}, {"bias", k->bias},
                              {"ease_to", k->ease_to}, {"ease_from", k->ease_from}};
                for (const auto& p : params)
                    if (p.v != 0) spline += std::string("  ") + p.name + " " + fmtNum(p.v);
                std::printf("%s      frame %s: %s%s\n", indent.c_str(), fmtNum(k->frame).c_str(),
                            textKeyValue(kind, k).c_str(), spline.c_str());
            }
        }
    }

    std::printf("\nwarnings (%zu)\n", warnings.size());
    for (const std::string& w : warnings) std::printf("  %s\n", w.c_str());
    if (ev) printEvaluatedText(s, *ev);
}

void printJson(const std::string& path, const orin_scene* s, int32_t world, int32_t motion,
               const std::vector<std::string>& warnings, const Evaluated* ev, const Capacity& cap) {
    std::string o = "{\n";
    o += "  \"file\": " + jsonStr(path.c_str()) + ",\n";
    o += "  \"result\": {\"world\": " + std::to_string(world) +
         ", \"motion\": " + (motion < 0 ? std::string("null") : std::to_string(motion)) + "},\n";
    o += "  \"reading\": \"" + std::string(readingName()) + "\",\n";
    o += "  \"frames\": {\"start\": " + jsonNum(s->frame_start) + ", \"end\": " + jsonNum(s->frame_end) +
         "},\n";
    o += "  \"capacity\": {\"needed\": " + jsonNum(cap.needed) + ", \"factor\": " +
         (cap.factor > 0 ? std::to_string(cap.factor) : std::string("null")) + "},\n";

    auto list = [&](const char* key, const std::vector<std::string>& items, bool last = false) {
        o += std::string("  \"") + key + "\": [";
        for (size_t i = 0; i < items.size(); ++i) o += (i ? ",\n    " : "\n    ") + items[i];
        o += items.empty() ? "]" : "\n  ]";
        o += last ? "\n" : ",\n";
    };

    std::vector<std::string> items;
    for (const orin_object* x : recordsOf<orin_object>(s, ORIN_OBJECT))
        items.push_back("{\"name\": " + jsonStr(x->name) + ", \"id\": " + std::to_string(x->id) +
                        ", \"vertices\": " + std::to_string(x->num_vertices) +
                        ", \"faces\": " + std::to_string(x->num_faces) +
                        ", \"flags\": " + std::to_string(x->flags) + ", \"pivot\": " + jsonVec(x->pivot) +
                        "}");
    list("objects", items);

    items.clear();
    for (const orin_material* m : recordsOf<orin_material>(s, ORIN_MATERIAL))
        items.push_back("{\"name\": " + jsonStr(m->name) + ", \"id\": " + std::to_string(m->id) +
                        ", \"diffuse\": " + jsonColor(m->diffuse) + ", \"ambient\": " +
                        jsonColor(m->ambient) + ", \"specular\": " + jsonColor(m->specular) +
                        ", \"flags\": " + std::to_string(m->flags) +
                        ", \"shading\": " + std::to_string(m->shading) +
                        ", \"texture\": " + jsonStr(m->texture.file) +
                        ", \"reflection\": " + jsonStr(m->reflection.file) +
                        ", \"bump\": " + jsonStr(m->bump.file) + "}");
    list("materials", items);

    items.clear();
    for (const orin_camera* c : recordsOf<orin_camera>(s, ORIN_CAMERA))
        items.push_back("{\"name\": " + jsonStr(c->name) + ", \"id\": " + std::to_string(c->id) +
                        ", \"pos\": " + jsonVec(c->pos) + ", \"target\": " + jsonVec(c->target) +
                        ", \"fov\": " + jsonNum(c->fov) + ", \"roll\": " + jsonNum(c->roll) + "}");
    list("cameras", items);

    items.clear();
    for (const orin_light* l : recordsOf<orin_light>(s, ORIN_LIGHT))
        items.push_back("{\"name\": " + jsonStr(l->name) + ", \"id\": " + std::to_string(l->id) +
                        ", \"type\": " + std::to_string(l->type) + ", \"pos\": " + jsonVec(l->pos) +
                        ", \"target\": " + jsonVec(l->target) + ", \"color\": " + jsonColor(l->color) +
                        ", \"hotspot\": " + jsonNum(l->hotspot) + ", \"falloff\": " + jsonNum(l->falloff) +
                        ", \"inner_range\": " + jsonNum(l->inner_range) +
                        ", \"outer_range\": " + jsonNum(l->outer_range) + "}");
    list("lights", items);

    items.clear();
    for (const orin_kf_node* n = s->nodes; n; n = n->next) {
        std::string tracks;
        for (const NamedTrack& t : nodeTracks(n)) {
            tracks += tracks.empty() ? "" : ", ";
            tracks += std::string("\"") + t.slot + "\": {\"keys\": " + std::to_string(t.track->num_keys) +
                      ", \"mode\": " + std::to_string(t.track->mode) +
                      ", \"last_frame\": " + jsonNum(t.track->last_frame) + ", \"key_list\": " + jsonKeys(t) + "}";
        }
        items.push_back("{\"id\": " + std::to_string(n->id) + ", \"type\": " + std::to_string(n->type) +
                        ", \"kind\": \"" + nodeKind(n->type) + "\", \"name\": " + jsonStr(nodeName(n)) +
                        ", \"parent\": " + (n->parent ? std::to_string(n->parent->id) : "null") +
                        ", \"tracks\": {" + tracks + "}}");
    }
    list("nodes", items);

    items.clear();
    for (const std::string& w : warnings) items.push_back(jsonStr(w.c_str()));
    list("warnings", items, ev == nullptr);
    if (ev) o += "  \"evaluated\": " + jsonEvaluated(s, *ev) + "\n";
    o += "}\n";
    std::fputs(o.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    bool json = false, bad = false, at = false;
    float atFrame = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--strict") == 0) {
            readFlags = kDemoFlags;
        } else if (std::strcmp(argv[i], "--at") == 0) {
            if (i + 1 >= argc) {
                bad = true;
                break;
            }
            char* end = nullptr;
            double v = std::strtod(argv[++i], &end);
            // A frame is a finite number, nothing after it.
            if (end == argv[i] || *end != 0 || !std::isfinite(v)) bad = true;
            atFrame = static_cast<float>(v);
            at = true;
        } else if (path.empty()) {
            path = argv[i];
        } else {
            bad = true;
        }
    }
    if (path.empty() || bad) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The library reports any file it cannot open as ORIN_ERR_OPEN: say what
    // the system says when the file is not there or not a file at all.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "marrow-scene: %s: %s\n", path.c_str(),
                     errno == ENOENT ? "no such file" : std::strerror(errno));
        return 1;
    }
    if (!S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "marrow-scene: %s: not a file\n", path.c_str());
        return 1;
    }

    orin_init(readFlags);
    orin_scene* scene = nullptr;
    if (orin_alloc_scene(&scene) != ORIN_OK) {
        std::fprintf(stderr, "marrow-scene: %s: out of memory\n", path.c_str());
        return 1;
    }
    int32_t world = orin_load_world(path.c_str(), scene);
    int32_t motion = world == ORIN_OK ? orin_load_motion(path.c_str(), scene) : -1;
    orin_set_scene(scene);

    std::vector<std::string> warnings = gatherWarnings(scene, path, world);
    // The presentation reads strictly: say when it would refuse what the
    // lenient reading accepted (its scene set-up, which measures the
    // capacity, would end the process on such a file).
    bool strictLoads = true;
    if (world == ORIN_OK && motion == ORIN_OK && orin_warning_count() > 0) {
        std::string where;
        int32_t strict = strictResult(scene, path, where);
        if (strict != ORIN_OK) {
            strictLoads = false;
            warnings.push_back(std::string("the presentation's strict reading refuses this file: ") +
                               orin_result_name(strict) + (where.empty() ? "" : "; " + where));
        }
    }
    Capacity capacity;
    if (world == ORIN_OK && motion == ORIN_OK && strictLoads) {
        capacity.needed = measureCapacity(path, readFlags);
        // The library's state is shared with the measuring copy: select our
        // own scene and options again for the report and --at.
        orin_init(readFlags);
        orin_set_scene(scene);
        capacity.factor = marrow::presentationCapacityFactor(fileStem(path).c_str());
        if (capacity.factor > 0 && capacity.needed > static_cast<float>(capacity.factor))
            warnings.push_back("the scene needs work arrays " + jsonNum(capacity.needed) +
                               " times its meshes' sizes, but the presentation gives it " +
                               std::to_string(capacity.factor) + ": faces will be left out");
    }

    // --at: the renderer's per-frame calls, with the demo's camera set-up.
    int32_t frameResult = ORIN_OK;
    Evaluated evaluated;
    bool haveEvaluated = false;
    if (at && world == ORIN_OK && motion == ORIN_OK) {
        orin_camera* camera = marrow::findPresentationCamera();
        if (camera) marrow::fitToFrame(*camera);
        orin_set_camera(camera);
        frameResult = orin_set_frame(atFrame);
        if (frameResult == ORIN_OK) {
            orin_update();
            evaluated.frame = scene->frame;
            haveEvaluated = true;
        }
    }

    const Evaluated* ev = haveEvaluated ? &evaluated : nullptr;
    if (json)
        printJson(path, scene, world, motion, warnings, ev, capacity);
    else
        printText(path, scene, world, motion, warnings, ev, capacity);

    int status = 0;
    if (world != ORIN_OK || motion != ORIN_OK) {
        int32_t code = world != ORIN_OK ? world : motion;
        // Where the reader stopped: the chunk it was in and its file offset
        // (nothing for a file that cannot be opened, or a motion pass
        // refused for want of a world: neither started reading).
        char where[96];
        orin_describe_stop(code, where, sizeof where);
        std::fprintf(stderr, "marrow-scene: %s: %s pass failed: %s (%d)%s%s\n", path.c_str(),
                     world != ORIN_OK ? "world" : "motion", orin_result_name(code), code, where[0] ? "; " : "",
                     where);
        status = 1;
    } else if (frameResult != ORIN_OK) {
        std::fprintf(stderr, "marrow-scene: %s: frame %s refused: %s (%d); the scene runs from %s to %s\n",
                     path.c_str(), fmtNum(atFrame).c_str(), orin_result_name(frameResult), frameResult,
                     fmtNum(scene->frame_start).c_str(), fmtNum(scene->frame_end).c_str());
        status = 1;
    }
    orin_free_scene(scene);
    orin_done();
    return status;
}
