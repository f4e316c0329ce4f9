/* orin.h: the scene library. Reads 3DS scene files into plain records
 * (a world list of meshes, materials, cameras, lights, and a keyframer list
 * of animated nodes with their tracks) over library-wide state: one active
 * scene, one active camera, option flags and the reader state; evaluates
 * the tracks at any frame (Kochanek-Bartels splines, quaternion squad,
 * stepwise hide and morph) and transforms the meshes into world and camera
 * space (orin_update). It never projects or draws.
 *
 * C-style on purpose: plain structs, functions with the orin_ prefix,
 * integer result codes (ORIN_OK = 0). Nothing throws. Every record is
 * zero-filled when allocated (calloc) and owns its name and arrays.
 *
 * Units and spaces:
 *  - Reals are IEEE single precision, integers 32-bit signed unless said.
 *  - Library space is Y-up: x = file x, y = file z, z = file y. The reader
 *    exchanges y and z of every position, direction, axis and pivot.
 *  - Camera FOV and roll, spotlight hotspot/falloff/roll are degrees;
 *    rotation keys are radians. Colours are r, g, b in 0..1.
 *  - Ids: world records (meshes, lights, cameras, materials) take the next
 *    value of a per-file counter from 0 in file order; records made from
 *    keyframer data (dummies, the ambient record) take node number + 1024.
 *
 * Single-threaded: loads and updates must not overlap.
 *
 * How to use (a C or C++ program; link with `pkg-config --cflags --libs orin`):
 *
 *   orin_init(ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH | ORIN_TRANSFORM);
 *   orin_scene *scene;
 *   orin_alloc_scene(&scene);
 *   orin_load_world("model.3ds", scene);   meshes, materials, cameras, lights
 *   orin_load_motion("model.3ds", scene);  keyframer nodes and tracks
 *   orin_set_scene(scene);
 *   orin_set_camera(camera or NULL);        NULL: world space only
 *   orin_set_frame(f); orin_update();       per frame; then read the records
 *   orin_free_scene(scene); orin_done();
 *
 * One scene and one camera are active at a time, library-wide: select both
 * before every orin_set_frame / orin_update when a program holds several
 * scenes. The loaders leave the previously active scene active.
 *
 * Ownership: a scene owns its two lists; every record owns its name and
 * arrays; a keyframer node owns its tracks and a track its keys. Pointers
 * into a scene stay valid until it is loaded again or freed. The library
 * never keeps a pointer to a caller's string.
 *
 * Results: the loaders and the scene, frame, lookup and track calls return
 * ORIN_OK (0) or one of the ORIN_ERR_* codes below (each declaration says
 * which); orin_result_name gives a code's name and orin_describe_stop where
 * in the file a failed load stopped. A failed load frees what it built.
 *
 * Reading modes: by default the reader follows the presentation's rules
 * exactly: a keyframer node, material group or morph key that names a
 * missing record fails the load with ORIN_ERR_LOOKUP. With the option flag
 * ORIN_LENIENT it reads what other tools' exporters write instead: group
 * and root nodes that name no mesh become unnamed dummies; camera and light
 * nodes naming nothing are left out; materials written after the meshes
 * are found, missing materials and morph targets are left out; a file
 * without the usual version chunks is not version-checked; objects without
 * a scale track keep scale 1. It records a warning for each (except the
 * scale): orin_warning_count / orin_warning. Damaged files (bad lengths,
 * short data, counts past their arrays) fail in both modes.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- result codes ------------------------------------------------------ */
enum {
    ORIN_OK = 0,
    ORIN_ERR_NO_MEMORY = 1,  /* an allocation failed */
    ORIN_ERR_OPEN = 2,       /* the file cannot be opened for reading */
    ORIN_ERR_READ = 3,       /* short read, bad chunk, inconsistent data */
    ORIN_ERR_VERSION = 4,    /* version byte at file offset 28 below 2 */
    ORIN_ERR_FRAME = 6,      /* frame outside the range (or negative) */
    ORIN_ERR_NO_FRAMES = 8,  /* frame_end - frame_start is 0 */
    ORIN_ERR_NOT_LOADED = 9, /* no active scene, or the needed list is empty */
    ORIN_ERR_NULL = 10,      /* NULL argument, missing track, nothing to free */
    ORIN_ERR_LOOKUP = 256    /* a name or node number was not found */
};

/* ---- option flags (orin_init) ------------------------------------------ */
enum {
    ORIN_HIERARCHY = 1, /* the update applies the node hierarchy */
    ORIN_NORMALS = 2,   /* normals computed after loading, transformed by the update */
    ORIN_MORPH = 4,     /* morphing objects are blended between their targets */
    ORIN_TRANSFORM = 8, /* the update transforms vertices, normals and lights */
    ORIN_LENIENT = 16   /* read other exporters' files with warnings (see the top) */
};

/* ---- world node types --------------------------------------------------- */
enum {
    ORIN_CAMERA = 1,
    ORIN_LIGHT = 2,
    ORIN_OBJECT = 4,
    ORIN_MATERIAL = 8,
    ORIN_AMBIENT = 16
};

/* ---- keyframer node types ------------------------------------------------ */
enum {
    ORIN_KF_CAMERA = 1,
    ORIN_KF_CAMERA_TARGET = 2,
    ORIN_KF_LIGHT = 4, /* omni light */
    ORIN_KF_SPOTLIGHT = 8,
    ORIN_KF_LIGHT_TARGET = 16,
    ORIN_KF_OBJECT = 32,
    ORIN_KF_AMBIENT = 64
};

/* ---- track types ----------------------------------------------------------- */
enum {
    ORIN_TRACK_POSITION = 1,
    ORIN_TRACK_ROTATION = 2,
    ORIN_TRACK_SCALE = 3,
    ORIN_TRACK_FOV = 4,
    ORIN_TRACK_ROLL = 5,
    ORIN_TRACK_COLOR = 6,
    ORIN_TRACK_MORPH = 7,
    ORIN_TRACK_HIDE = 8
};

/* orin_object.flags */
enum {
    ORIN_OBJ_HIDDEN = 1,  /* hidden at the current frame (hide track) */
    ORIN_OBJ_NODE_0800 = 2, /* bit 0x0800 of the node header's first flag word */
    ORIN_OBJ_DUMMY = 4,   /* a "$$$DUMMY" hierarchy node without geometry */
    ORIN_OBJ_MORPH = 8    /* morphing at the current frame */
};

/* orin_material.flags (set by presence chunks) */
enum {
    ORIN_MAT_TWO_SIDED = 1, /* 0xA081 */
    ORIN_MAT_SOFT = 2,      /* 0xA08C */
    ORIN_MAT_WIRE = 4,      /* 0xA085 */
    ORIN_MAT_ADDITIVE = 8   /* 0xA083 */
};

/* orin_face.flags */
enum {
    ORIN_FACE_WRAP_U = 1, /* file face flag 0x08 */
    ORIN_FACE_WRAP_V = 2  /* file face flag 0x10 */
};

/* orin_light.type */
enum { ORIN_LIGHT_OMNI = 1, ORIN_LIGHT_SPOT = 2 };

/* orin_track.mode */
enum { ORIN_TRACK_ONCE = 0, ORIN_TRACK_REPEAT = 1, ORIN_TRACK_LOOP = 2 };

/* ---- basic types ---------------------------------------------------------------- */
typedef struct orin_vector { float x, y, z; } orin_vector;
typedef struct orin_quat { float w, x, y, z; } orin_quat; /* w is the scalar part */
/* Three rows of four: columns 0..2 the linear part, column 3 the
 * translation; p maps to row_i . (p.x, p.y, p.z, 1). */
typedef struct orin_matrix { float m[3][4]; } orin_matrix;
typedef struct orin_color { float r, g, b; } orin_color;

/* ---- world records ------------------------------------------------------------- */
typedef struct orin_vertex {
    orin_vector local;         /* object space, after mesh-matrix and pivot corrections */
    orin_vector camera;        /* camera space (transform step) */
    orin_vector world;         /* world space (transform step) */
    orin_vector normal;        /* object-space unit normal */
    orin_vector camera_normal; /* normal rotated into camera space */
    orin_vector world_normal;  /* normal rotated into world space */
    float u, v;                /* mapping coordinates, 0 without mapping */
} orin_vertex;

struct orin_material;

typedef struct orin_face {
    uint32_t a, b, c;   /* vertex indices as stored in the file (always < num_vertices) */
    int32_t flags;      /* ORIN_FACE_WRAP_U | ORIN_FACE_WRAP_V */
    int32_t material_id; /* id of the face's material, 0 when no group names the face */
    orin_vertex *pa, *pb, *pc; /* vertices + a, + b, + c of the owning object */
    struct orin_material *material; /* NULL when no material group names the face */
    orin_vector normal;
    orin_vector camera_normal, world_normal;
} orin_face;

typedef struct orin_object {
    char *name; /* NULL for a dummy without an instance name */
    int32_t id;
    int32_t num_vertices, num_faces;
    int32_t flags; /* ORIN_OBJ_* */
    orin_vertex *vertices; /* NULL for a dummy */
    orin_face *faces;      /* NULL for a dummy */
    orin_vector pivot;     /* keyframer pivot, already subtracted from the vertices */
    orin_vector translate, scale; /* current values from the tracks */
    orin_quat rotate;             /* current absolute rotation */
    int32_t morph_from, morph_to; /* ids of the morph targets */
    float morph_alpha;            /* 0 = morph_from, 1 = morph_to */
    orin_matrix matrix;           /* object to world, rebuilt by every update */
} orin_object;

typedef struct orin_map {
    char *file;     /* map file name, NULL when the slot is empty */
    int32_t tiling; /* the file's 16-bit tiling flags */
    float u_scale, v_scale, u_offset, v_offset, rotation; /* as stored in the file */
} orin_map;

typedef struct orin_material {
    char *name;
    int32_t id;
    int32_t shading; /* 0 wire, 1 flat, 2 Gouraud, 3 Phong, 4 metal */
    int32_t flags;   /* ORIN_MAT_* */
    orin_color ambient, diffuse, specular;
    /* 0..1: the file's percentages times 0.01 */
    float shininess, shin_strength, transparency, trans_falloff, refl_blur, self_illum;
    orin_map texture, bump, reflection;
} orin_material;

typedef struct orin_camera {
    char *name;
    int32_t id;
    orin_vector pos, target;
    float fov;  /* horizontal field of view, degrees */
    float roll; /* degrees */
    float size_x, size_y; /* screen size in pixels, set by the caller */
    float aspect;         /* divides the vertical projection scale, set by the caller */
    float persp_x, persp_y; /* projection scales (update) */
    orin_matrix matrix;     /* world to camera space (update) */
} orin_camera;

typedef struct orin_light {
    char *name;
    int32_t id;
    int32_t type; /* ORIN_LIGHT_OMNI or ORIN_LIGHT_SPOT */
    orin_vector pos;        /* world position */
    orin_vector camera_pos; /* camera-space position (transform step) */
    orin_vector target;     /* spotlight aim point */
    float roll;             /* spotlight roll, degrees (only a track changes it) */
    float hotspot, falloff; /* spotlight cone angles, degrees */
    float inner_range, outer_range; /* attenuation ranges, 0 when absent */
    orin_color color;
} orin_light;

typedef struct orin_ambient {
    char *name;
    int32_t id;
    orin_color color; /* written only by its colour track */
} orin_ambient;

typedef struct orin_world_node {
    int32_t type; /* ORIN_CAMERA, ORIN_LIGHT, ORIN_OBJECT, ORIN_MATERIAL, ORIN_AMBIENT */
    void *object; /* the record, of the kind type names */
    struct orin_world_node *next, *prev;
} orin_world_node;

/* ---- keyframer records ---------------------------------------------------------- */
typedef struct orin_key {
    float frame;
    float tension, bias, continuity, ease_to, ease_from; /* 0 when the file omits them */
    /* Position, scale, colour: f[0..2] = x, y, z (library order for vectors).
     * FOV, roll: f[0]. Rotation: f[0] the whole-number spin sum, f[1..3] the
     * axis in library space. Morph: i[0] the target object's id. Hide: i[0]
     * 1 = hidden, 0 = shown. */
    union { float f[4]; int32_t i[4]; } value;
    float tangent_in[4], tangent_out[4]; /* Hermite tangents (non-rotation tracks) */
    orin_quat quat_in, quat_out;         /* inner control quaternions (rotation tracks) */
    orin_quat quat;                      /* absolute rotation (rotation tracks) */
    struct orin_key *next, *prev;
} orin_key;

typedef struct orin_track {
    int32_t mode;     /* ORIN_TRACK_ONCE, _REPEAT or _LOOP */
    int32_t num_keys;
    float last_frame; /* frame of the last key */
    orin_key *keys;   /* first key */
    orin_key *cursor; /* last key after reading; where the last search stopped */
} orin_track;

/* Track sets, one per node kind; every slot is NULL when the file has no
 * such track. Owned by their keyframer node. */
typedef struct orin_camera_tracks { orin_track *position, *fov, *roll; } orin_camera_tracks;
typedef struct orin_target_tracks { orin_track *position; } orin_target_tracks;
typedef struct orin_light_tracks { orin_track *position, *color; } orin_light_tracks;
typedef struct orin_spot_tracks { orin_track *position, *color, *roll; } orin_spot_tracks;
typedef struct orin_object_tracks {
    orin_track *position, *scale, *rotation, *morph, *hide;
} orin_object_tracks;
typedef struct orin_ambient_tracks { orin_track *color; } orin_ambient_tracks;

typedef struct orin_kf_node {
    int32_t type; /* ORIN_KF_* */
    int32_t id;   /* node number of the keyframer data */
    /* The track set of the node's type: orin_camera_tracks (camera),
     * orin_target_tracks (camera and light targets), orin_light_tracks (omni),
     * orin_spot_tracks (spotlight), orin_object_tracks, orin_ambient_tracks. */
    void *tracks;
    /* The driven record: orin_camera (camera, camera target), orin_light
     * (lights, light target), orin_object, orin_ambient. */
    void *object;
    struct orin_kf_node *parent, *child, *brother; /* hierarchy */
    struct orin_kf_node *next, *prev;              /* list, file order */
} orin_kf_node;

typedef struct orin_scene {
    float frame_start, frame_end; /* animation segment (0 until motion is loaded) */
    float frame;                  /* current frame */
    orin_world_node *world, *world_last;
    orin_kf_node *nodes, *nodes_last;
} orin_scene;

/* ---- interface -------------------------------------------------------------------- */

/* Resets the library: no active scene, no active camera, flags := flags. */
int32_t orin_init(int32_t flags);
/* No active scene, flags := 0. */
void orin_done(void);

/* Allocates a zeroed scene; 0 or ORIN_ERR_NO_MEMORY. */
int32_t orin_alloc_scene(orin_scene **scene);
/* Frees the lists of the scene and the scene record itself (NULL: nothing).
 * The active scene is cleared when it was this one. */
void orin_free_scene(orin_scene *scene);

/* World pass: meshes, materials, cameras, lights. A scene already holding
 * data is emptied first. On failure the partial world is freed. Leaves the
 * previously active scene active. 0, 1, 2, 3, 4 or 256. */
int32_t orin_load_world(const char *path, orin_scene *scene);
/* Motion pass: keyframer nodes, hierarchy, pivots (appended to any earlier
 * keyframer list). Needs a loaded world (else 9, the file is not opened).
 * On failure the whole keyframer list is freed. 0, 1, 2, 3, 4, 9 or 256. */
int32_t orin_load_motion(const char *path, orin_scene *scene);

int32_t orin_set_scene(orin_scene *scene);   /* 10 for NULL (unchanged) */
int32_t orin_set_camera(orin_camera *camera); /* NULL means no active camera */
orin_scene *orin_get_scene(void);
orin_camera *orin_get_camera(void);
int32_t orin_get_flags(void);

/* Frame range of the active scene: 9 (no scene / no keyframer list), 8
 * (empty range) or 0. */
int32_t orin_get_frames(float *start, float *end);
/* 9, 8 as above; 6 unless frame_start <= frame < frame_end; else 0. */
int32_t orin_set_frame(float frame);

/* First world node (list order) whose record's name is exactly `name`
 * (any record kind; records without a name never match). 9 without an
 * active scene or world; else 0 with *node (NULL when none). */
int32_t orin_find_object(const char *name, orin_world_node **node);
int32_t orin_find_object_by_id(int32_t id, orin_world_node **node);

/* 10 when scene is NULL or the list is empty; otherwise frees it, 0. */
int32_t orin_free_world(orin_scene *scene);
int32_t orin_free_motion(orin_scene *scene);

/* Used by the reader. 9 without an active scene, 1 on allocation failure. */
int32_t orin_add_world(int32_t type, void *record);
/* Appends a keyframer node; parent_number -1 means no parent, otherwise the
 * node becomes the first child of every node on the list (itself included)
 * with that number. The node owns `tracks` from then on. */
int32_t orin_add_node(int32_t type, int32_t number, int32_t parent_number, void *tracks,
                      void *record);

/* ---- tracks (evaluation at any frame) ----------------------------------------------
 *
 * All evaluations take a real frame >= 0 (else ORIN_ERR_FRAME, output
 * untouched) and a track with keys (else ORIN_ERR_NULL, output untouched;
 * orin_eval_hide then reports "shown"). A track in mode repeat or loop is
 * read at fmod(frame, last_frame), so last_frame is frame 0 again; colour
 * and morph tracks never wrap. Before the first key a track gives its first
 * value, after the last key (mode once) its last value. Each call moves the
 * track's cursor (a short forward search when frames advance). */

/* Appends `key` at the tail of `track`: key->frame := frame, last_frame :=
 * frame, num_keys += 1, cursor := key. ORIN_ERR_NULL for a NULL pointer.
 * The track owns the key from then on. */
int32_t orin_add_key(orin_track *track, orin_key *key, int32_t frame);
/* Hermite tangents of every key of a position, scale, colour, FOV or roll
 * track, from its keys' values, frames and spline parameters (mode loop
 * joins the ends). Run once after the last key is added. */
int32_t orin_prepare_spline(orin_track *track);
/* Inner control quaternions of every key of a rotation track whose keys
 * already hold their absolute `quat` and spin sums (the reader fills
 * them). Nothing to do for one key. */
int32_t orin_prepare_rotation(orin_track *track);
/* Stores `track` (type ORIN_TRACK_*) in its slot of the keyframer node
 * numbered `node_number` (the last such node in list order: the one whose
 * header was read last) of the active scene. 9 without an active scene or
 * keyframer list, 256 when no node has the number, otherwise 0, also when
 * the node type takes no track of that type. A stored track belongs to the node; a track it replaces is freed.
 * *placed (may be NULL) tells whether it was stored: when not, the caller
 * still owns it. */
int32_t orin_assign_track(int32_t track_type, int32_t node_number, orin_track *track);
int32_t orin_place_track(int32_t track_type, int32_t node_number, orin_track *track,
                         int *placed);
/* Frees a track and its keys (NULL: nothing). */
void orin_free_track(orin_track *track);

/* Position, scale, camera and light targets: three components. */
int32_t orin_eval_vector(orin_track *track, float frame, orin_vector *out);
/* Colour: like a vector but never wraps (holds the last colour). */
int32_t orin_eval_color(orin_track *track, float frame, orin_color *out);
/* FOV and roll: the first value slot. */
int32_t orin_eval_scalar(orin_track *track, float frame, float *out);
/* Hide: *hidden 1 or 0 (0 before the first key, and 0 with code 10). */
int32_t orin_eval_hide(orin_track *track, float frame, int32_t *hidden);
/* Morph (never wraps): the two target ids and the eased blend factor
 * (0 = from, 1 = to). */
int32_t orin_eval_morph(orin_track *track, float frame, int32_t *from, int32_t *to, float *alpha);
/* Rotation: the absolute rotation, a Kochanek-Bartels quaternion spline
 * (squad) through the keys, with whole turns between keys kept. */
int32_t orin_eval_rotation(orin_track *track, float frame, orin_quat *out);

/* ---- keyframer update -------------------------------------------------------------------- */

/* Brings the active scene to its `frame`: evaluates every track into the
 * records, builds each object's matrix, applies the hierarchy
 * (ORIN_HIERARCHY), computes every keyframed camera's matrix and projection
 * scales, and (ORIN_TRANSFORM) transforms mesh vertices, normals
 * (ORIN_NORMALS) and light positions into world and camera space through
 * the active camera (world space again when none is active). Morphing
 * objects (ORIN_MORPH) blend their targets' vertices when both targets are
 * meshes with at least as many vertices. 0, or 9 without an active scene
 * or with an empty world or keyframer list. Call it after orin_set_scene,
 * orin_set_camera and orin_set_frame; it allocates nothing. */
int32_t orin_update(void);
/* Object-space unit normals of every face and vertex of every mesh of the
 * active scene (vertex normals: the plain average of the normals of the
 * faces that use the vertex). orin_load_world runs it with ORIN_NORMALS.
 * Cost: one pass over faces and vertices. */
void orin_compute_normals(void);

/* The record's name and id through a world node (NULL / -1 for an unknown
 * type). */
const char *orin_record_name(const orin_world_node *node);
int32_t orin_record_id(const orin_world_node *node);

/* Where the last load pass that read a file stopped on an error: the file
 * offset of the chunk it was reading and that chunk's id (0 when the chunk
 * header itself was cut short, and for the version byte at offset 28).
 * 0 with both filled in; ORIN_ERR_NOT_LOADED when that pass did not fail or
 * no pass has run; ORIN_ERR_NULL for a NULL argument. */
int32_t orin_get_stop(uint16_t *chunk_id, long *offset);
/* Where a load that returned `result` stopped, as text for its error
 * message: "stopped in chunk 0x4110 at offset 46", or "stopped at offset 28"
 * when the chunk id is 0. Empty when the load never read the file (ORIN_OK,
 * ORIN_ERR_OPEN, ORIN_ERR_NOT_LOADED, ORIN_ERR_NULL: the library-wide stop
 * belongs to an earlier pass) or orin_get_stop has nothing. Writes at most
 * `size` bytes with the terminator; returns `text` ("" when it is NULL or
 * size is 0). */
const char *orin_describe_stop(int32_t result, char *text, size_t size);

/* Warnings of the loads since orin_init or the last orin_load_world (a
 * motion load adds to them); only the lenient reading makes any. Each names
 * the record or node, and the chunk and its file offset: "keyframer node 0
 * "" (chunk 0xB010 at offset 894): no mesh of that name; read as an unnamed
 * dummy". orin_warning gives the text of warning `index` (valid until the
 * next load or orin_init), or NULL past the first 64 kept; the count
 * includes those not kept. */
int32_t orin_warning_count(void);
const char *orin_warning(int32_t index);

/* "ORIN_OK", "ORIN_ERR_READ", ...; "ORIN_ERR_UNKNOWN" for other codes. */
const char *orin_result_name(int32_t code);

#ifdef __cplusplus
}
#endif
