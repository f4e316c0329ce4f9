/* orin_lib.cpp: the scene library's public operations over its
 * library-wide state: init, scene allocation, the two loaders, active scene
 * and camera, frame range, lookups, the world and keyframer lists, freeing.
 */
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "scene/orin_internal.h"

orin_library orin_lib;

int32_t orin_init(int32_t flags) {
    orin_lib.scene = NULL;
    orin_lib.camera = NULL;
    orin_lib.flags = flags;
    orin_lib.num_warnings = 0;
    return ORIN_OK;
}

void orin_done(void) {
    orin_lib.scene = NULL;
    orin_lib.flags = 0;
}

int32_t orin_alloc_scene(orin_scene **scene) {
    if (!scene) return ORIN_ERR_NULL;
    orin_scene *s = (orin_scene *)calloc(1, sizeof(orin_scene));
    if (!s) return ORIN_ERR_NO_MEMORY;
    *scene = s;
    return ORIN_OK;
}

void orin_free_scene(orin_scene *scene) {
    if (!scene) return;
    orin_free_motion(scene);
    orin_free_world(scene);
    if (orin_lib.scene == scene) orin_lib.scene = NULL;
    free(scene);
}

/* ---- warnings ----------------------------------------------------------- */

int orin_lenient(void) { return (orin_lib.flags & ORIN_LENIENT) != 0; }

void orin_warn(const char *format, ...) {
    int32_t n = orin_lib.num_warnings;
    if (n < ORIN_WARNINGS_KEPT) {
        va_list args;
        va_start(args, format);
        vsnprintf(orin_lib.warnings[n], ORIN_WARNING_SIZE, format, args);
        va_end(args);
        /* Names come from the file: control bytes become '?' so a warning
         * printed to a terminal or a log stays one plain line. */
        for (char *c = orin_lib.warnings[n]; *c; ++c)
            if ((unsigned char)*c < 0x20 || *c == 0x7F) *c = '?';
    }
    /* Counted past the kept ones, so a caller can say how many it misses;
     * a file cannot make more warnings than it has chunks, far below 2^31. */
    orin_lib.num_warnings = n + 1;
}

int32_t orin_warning_count(void) { return orin_lib.num_warnings; }

const char *orin_warning(int32_t index) {
    if (index < 0 || index >= orin_lib.num_warnings || index >= ORIN_WARNINGS_KEPT) return NULL;
    return orin_lib.warnings[index];
}

/* ---- record helpers ------------------------------------------------------ */

const char *orin_record_name(const orin_world_node *node) {
    if (!node || !node->object) return NULL;
    switch (node->type) {
    case ORIN_CAMERA: return ((const orin_camera *)node->object)->name;
    case ORIN_LIGHT: return ((const orin_light *)node->object)->name;
    case ORIN_OBJECT: return ((const orin_object *)node->object)->name;
    case ORIN_MATERIAL: return ((const orin_material *)node->object)->name;
    case ORIN_AMBIENT: return ((const orin_ambient *)node->object)->name;
    default: return NULL;
    }
}

int32_t orin_record_id(const orin_world_node *node) {
    if (!node || !node->object) return -1;
    switch (node->type) {
    case ORIN_CAMERA: return ((const orin_camera *)node->object)->id;
    case ORIN_LIGHT: return ((const orin_light *)node->object)->id;
    case ORIN_OBJECT: return ((const orin_object *)node->object)->id;
    case ORIN_MATERIAL: return ((const orin_material *)node->object)->id;
    case ORIN_AMBIENT: return ((const orin_ambient *)node->object)->id;
    default: return -1;
    }
}

void orin_free_record(int32_t type, void *record) {
    if (!record) return;
    switch (type) {
    case ORIN_CAMERA: free(((orin_camera *)record)->name); break;
    case ORIN_LIGHT: free(((orin_light *)record)->name); break;
    case ORIN_AMBIENT: free(((orin_ambient *)record)->name); break;
    case ORIN_OBJECT: {
        orin_object *o = (orin_object *)record;
        free(o->name);
        free(o->vertices);
        free(o->faces);
        break;
    }
    case ORIN_MATERIAL: {
        orin_material *m = (orin_material *)record;
        free(m->name);
        free(m->texture.file);
        free(m->bump.file);
        free(m->reflection.file);
        break;
    }
    default: break;
    }
    free(record);
}

orin_world_node *orin_find_record(const char *name, int32_t type_mask) {
    if (!orin_lib.scene || !name) return NULL;
    orin_pass_index *index = orin_active_index();
    if (index) return orin_index_find_record(index, name, type_mask);
    for (orin_world_node *n = orin_lib.scene->world; n; n = n->next) {
        if (!(n->type & type_mask)) continue;
        const char *rn = orin_record_name(n);
        if (rn && strcmp(rn, name) == 0) return n;
    }
    return NULL;
}

/* ---- loaders --------------------------------------------------------------- */

int32_t orin_load_world(const char *path, orin_scene *scene) {
    if (!path || !scene) return ORIN_ERR_NULL;
    orin_scene *remembered = orin_lib.scene;
    /* Start from an empty scene. Releasing what it held (instead of just
     * zeroing it) keeps a reload from leaking the old lists; the keyframer
     * list goes too because its nodes point at the old world records. */
    orin_free_motion(scene);
    orin_free_world(scene);
    memset(scene, 0, sizeof(*scene));
    /* A new world starts a new list of warnings; its motion pass adds to it. */
    orin_lib.num_warnings = 0;

    FILE *f = fopen(path, "rb");
    if (!f) return ORIN_ERR_OPEN;
    orin_lib.scene = scene;
    int32_t rc = orin_world_pass(f);
    fclose(f);
    if (rc != ORIN_OK) {
        orin_lib.scene = remembered;
        orin_free_world(scene);
        return rc;
    }
    if (orin_lib.flags & ORIN_NORMALS) orin_compute_normals();
    orin_lib.scene = remembered;
    return ORIN_OK;
}

int32_t orin_load_motion(const char *path, orin_scene *scene) {
    if (!path || !scene) return ORIN_ERR_NULL;
    orin_scene *remembered = orin_lib.scene;
    if (!scene->world) return ORIN_ERR_NOT_LOADED;
    FILE *f = fopen(path, "rb");
    if (!f) return ORIN_ERR_OPEN;
    orin_lib.scene = scene;
    int32_t rc = orin_motion_pass(f);
    fclose(f);
    if (rc != ORIN_OK) {
        orin_lib.scene = remembered;
        orin_free_motion(scene);
        return rc;
    }
    /* Bring the scene to frame 0 (results ignored: 0 may lie outside the
     * segment, and then the update runs at the frame the scene had). */
    (void)orin_set_frame(0.0f);
    (void)orin_update();
    orin_lib.scene = remembered;
    return ORIN_OK;
}

/* ---- active scene, camera, frames ------------------------------------------------ */

int32_t orin_set_scene(orin_scene *scene) {
    if (!scene) return ORIN_ERR_NULL;
    orin_lib.scene = scene;
    return ORIN_OK;
}

int32_t orin_set_camera(orin_camera *camera) {
    orin_lib.camera = camera;
    return ORIN_OK;
}

orin_scene *orin_get_scene(void) { return orin_lib.scene; }
orin_camera *orin_get_camera(void) { return orin_lib.camera; }
int32_t orin_get_flags(void) { return orin_lib.flags; }

int32_t orin_get_frames(float *start, float *end) {
    orin_scene *s = orin_lib.scene;
    if (!s || !s->nodes) return ORIN_ERR_NOT_LOADED;
    if (s->frame_end - s->frame_start == 0.0f) return ORIN_ERR_NO_FRAMES;
    if (start) *start = s->frame_start;
    if (end) *end = s->frame_end;
    return ORIN_OK;
}

int32_t orin_set_frame(float frame) {
    orin_scene *s = orin_lib.scene;
    if (!s || !s->nodes) return ORIN_ERR_NOT_LOADED;
    if (s->frame_end - s->frame_start == 0.0f) return ORIN_ERR_NO_FRAMES;
    /* Written so that NaN fails too. */
    if (!(frame >= s->frame_start && frame < s->frame_end)) return ORIN_ERR_FRAME;
    s->frame = frame;
    return ORIN_OK;
}

/* ---- lookups ------------------------------------------------------------------------ */

int32_t orin_find_object(const char *name, orin_world_node **node) {
    if (!orin_lib.scene || !orin_lib.scene->world) return ORIN_ERR_NOT_LOADED;
    orin_world_node *found = orin_find_record(name, 0xFFFF);
    if (node) *node = found;
    return ORIN_OK;
}

int32_t orin_find_object_by_id(int32_t id, orin_world_node **node) {
    if (!orin_lib.scene || !orin_lib.scene->world) return ORIN_ERR_NOT_LOADED;
    orin_world_node *found = NULL;
    for (orin_world_node *n = orin_lib.scene->world; n; n = n->next) {
        if (n->object && orin_record_id(n) == id) {
            found = n;
            break;
        }
    }
    if (node) *node = found;
    return ORIN_OK;
}

/* ---- lists ------------------------------------------------------------------------------ */

int32_t orin_free_world(orin_scene *scene) {
    if (!scene || !scene->world) return ORIN_ERR_NULL;
    orin_world_node *n = scene->world;
    while (n) {
        orin_world_node *next = n->next;
        orin_free_record(n->type, n->object);
        free(n);
        n = next;
    }
    scene->world = scene->world_last = NULL;
    return ORIN_OK;
}

/* Frees a track set with its tracks; which slots exist follows the node type. */
static void free_tracks(int32_t node_type, void *tracks) {
    if (!tracks) return;
    switch (node_type) {
    case ORIN_KF_CAMERA: {
        orin_camera_tracks *t = (orin_camera_tracks *)tracks;
        orin_free_track(t->position);
        orin_free_track(t->fov);
        orin_free_track(t->roll);
        break;
    }
    case ORIN_KF_CAMERA_TARGET:
    case ORIN_KF_LIGHT_TARGET: orin_free_track(((orin_target_tracks *)tracks)->position); break;
    case ORIN_KF_LIGHT: {
        orin_light_tracks *t = (orin_light_tracks *)tracks;
        orin_free_track(t->position);
        orin_free_track(t->color);
        break;
    }
    case ORIN_KF_SPOTLIGHT: {
        orin_spot_tracks *t = (orin_spot_tracks *)tracks;
        orin_free_track(t->position);
        orin_free_track(t->color);
        orin_free_track(t->roll);
        break;
    }
    case ORIN_KF_OBJECT: {
        orin_object_tracks *t = (orin_object_tracks *)tracks;
        orin_free_track(t->position);
        orin_free_track(t->scale);
        orin_free_track(t->rotation);
        orin_free_track(t->morph);
        orin_free_track(t->hide);
        break;
    }
    case ORIN_KF_AMBIENT: orin_free_track(((orin_ambient_tracks *)tracks)->color); break;
    default: break;
    }
    free(tracks);
}

int32_t orin_free_motion(orin_scene *scene) {
    if (!scene || !scene->nodes) return ORIN_ERR_NULL;
    orin_kf_node *n = scene->nodes;
    while (n) {
        orin_kf_node *next = n->next;
        free_tracks(n->type, n->tracks);
        free(n);
        n = next;
    }
    scene->nodes = scene->nodes_last = NULL;
    return ORIN_OK;
}

int32_t orin_add_world(int32_t type, void *record) {
    orin_scene *s = orin_lib.scene;
    if (!s) return ORIN_ERR_NOT_LOADED;
    orin_world_node *n = (orin_world_node *)calloc(1, sizeof(orin_world_node));
    if (!n) return ORIN_ERR_NO_MEMORY;
    n->type = type;
    n->object = record;
    n->prev = s->world_last;
    if (s->world_last)
        s->world_last->next = n;
    else
        s->world = n;
    s->world_last = n;
    orin_index_world_added(n);
    return ORIN_OK;
}

int32_t orin_add_node(int32_t type, int32_t number, int32_t parent_number, void *tracks,
                      void *record) {
    orin_scene *s = orin_lib.scene;
    if (!s) return ORIN_ERR_NOT_LOADED;
    orin_kf_node *n = (orin_kf_node *)calloc(1, sizeof(orin_kf_node));
    if (!n) return ORIN_ERR_NO_MEMORY;
    n->type = type;
    n->id = number;
    n->tracks = tracks;
    n->object = record;
    n->prev = s->nodes_last;
    if (s->nodes_last)
        s->nodes_last->next = n;
    else
        s->nodes = n;
    s->nodes_last = n;
    orin_index_node_added(n);
    if (parent_number != -1) {
        /* Every node with the parent's number adopts the new one as its
         * first child; with several such nodes the last one in list order
         * ends up as `parent` (file order keeps parents before children).
         * During a motion pass the index lists those nodes in list order. */
        orin_pass_index *index = orin_active_index();
        int32_t cursor = -1;
        orin_kf_node *p = index ? orin_index_next_node(index, parent_number, &cursor) : s->nodes;
        while (p) {
            if (p->id == parent_number) {
                n->parent = p;
                n->brother = p->child;
                p->child = n;
            }
            p = index ? orin_index_next_node(index, parent_number, &cursor) : p->next;
        }
    }
    return ORIN_OK;
}

const char *orin_result_name(int32_t code) {
    switch (code) {
    case ORIN_OK: return "ORIN_OK";
    case ORIN_ERR_NO_MEMORY: return "ORIN_ERR_NO_MEMORY";
    case ORIN_ERR_OPEN: return "ORIN_ERR_OPEN";
    case ORIN_ERR_READ: return "ORIN_ERR_READ";
    case ORIN_ERR_VERSION: return "ORIN_ERR_VERSION";
    case ORIN_ERR_FRAME: return "ORIN_ERR_FRAME";
    case ORIN_ERR_NO_FRAMES: return "ORIN_ERR_NO_FRAMES";
    case ORIN_ERR_NOT_LOADED: return "ORIN_ERR_NOT_LOADED";
    case ORIN_ERR_NULL: return "ORIN_ERR_NULL";
    case ORIN_ERR_LOOKUP: return "ORIN_ERR_LOOKUP";
    default: return "ORIN_ERR_UNKNOWN";
    }
}
