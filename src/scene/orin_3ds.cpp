/* orin_3ds.cpp: the 3DS reader. One table-driven recursive chunk walker runs
 * two passes over the same file: the world pass (meshes, materials,
 * cameras, lights) and the motion pass (keyframer nodes, hierarchy, pivots,
 * segment, tracks; the track readers live in orin_track.cpp). Chunks
 * missing from a pass's table are skipped by their length, so files from
 * other tools (other chunk orders, extra chunks) load.
 *
 * Hostile files: every chunk must be at least a header long and lie inside
 * its parent; every read stays inside its chunk; nesting is capped at
 * ORIN_MAX_DEPTH; counts are checked against the bytes that could hold them
 * and against each other before anything is allocated or indexed; every
 * handler checks the kind of `current` before writing to it. Each of these
 * fails the pass with ORIN_ERR_READ.
 *
 * Lenient reading (ORIN_LENIENT): what other tools' exporters write and the
 * default reading refuses or misreads is read the careful way instead, and
 * each case leaves a warning naming the chunk and its offset (orin_warn):
 *  - a file without the usual version chunks at its head: the version byte
 *    at offset 28 is then just some other chunk's data, so it is not checked;
 *  - a keyframer object node whose name is empty or matches no mesh (the
 *    group and root nodes of other exporters): an unnamed dummy, so its
 *    children and tracks load; a camera or light node naming nothing: left
 *    out with its tracks (a dummy object cannot stand in for a camera);
 *  - an object node's object starts at scale 1 (no warning: a scale track
 *    still sets it): files that write no scale track would otherwise leave
 *    the mesh collapsed to a point;
 *  - a material group naming a material that comes later in the file (other
 *    writers put materials after meshes): read once the world is read; one
 *    naming no material at all: its faces keep no material;
 *  - a morph key naming no record: the morph track is left out;
 *  - mapping coordinates or a mesh matrix before the vertex list, which the
 *    default reading skips silently: still skipped, with a warning;
 *  - keyframer data without a segment chunk: a warning (the range stays
 *    empty, so orin_set_frame refuses every frame; orin_update still works).
 * Faces before their vertex list, counts beyond their arrays and every other
 * structural fault fail in both readings.
 *
 * Cost: linear in the file size; the mesh matrix and pivot touch each vertex
 * once.
 */
#include <stdlib.h>
#include <string.h>

#include "scene/orin_internal.h"

/* ---- bounded reads ---------------------------------------------------------------- */

long orin_read_left(const orin_reader *r) { return r->limit - r->pos; }

int32_t orin_read_bytes(orin_reader *r, void *dst, long n) {
    if (n < 0 || n > r->limit - r->pos) return ORIN_ERR_READ;
    if (n == 0) return ORIN_OK;
    if (fread(dst, 1, (size_t)n, r->file) != (size_t)n) return ORIN_ERR_READ;
    r->pos += n;
    return ORIN_OK;
}

int32_t orin_read_u8(orin_reader *r, uint8_t *v) { return orin_read_bytes(r, v, 1); }

int32_t orin_read_u16(orin_reader *r, uint16_t *v) {
    uint8_t b[2];
    int32_t rc = orin_read_bytes(r, b, 2);
    if (rc) return rc;
    *v = (uint16_t)(b[0] | (b[1] << 8));
    return ORIN_OK;
}

int32_t orin_read_s16(orin_reader *r, int16_t *v) {
    uint16_t u;
    int32_t rc = orin_read_u16(r, &u);
    if (rc) return rc;
    *v = (int16_t)u;
    return ORIN_OK;
}

int32_t orin_read_u32(orin_reader *r, uint32_t *v) {
    uint8_t b[4];
    int32_t rc = orin_read_bytes(r, b, 4);
    if (rc) return rc;
    *v = (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
    return ORIN_OK;
}

int32_t orin_read_float(orin_reader *r, float *v) {
    uint32_t u;
    int32_t rc = orin_read_u32(r, &u);
    if (rc) return rc;
    memcpy(v, &u, sizeof(*v));
    return ORIN_OK;
}

int32_t orin_read_string(orin_reader *r) {
    int n = 0;
    for (;;) {
        uint8_t c;
        if (orin_read_u8(r, &c)) return ORIN_ERR_READ;
        if (c == 0) break;
        /* Longer names are read to their terminator and cut to what fits. */
        if (n < ORIN_NAME_MAX) r->name_buffer[n++] = (char)c;
    }
    r->name_buffer[n] = 0;
    return ORIN_OK;
}

char *orin_copy_name(const orin_reader *r) {
    size_t len = strlen(r->name_buffer);
    char *s = (char *)malloc(len + 1);
    if (s) memcpy(s, r->name_buffer, len + 1);
    return s;
}

static int32_t read_floats(orin_reader *r, float *v, int n) {
    for (int i = 0; i < n; ++i) {
        int32_t rc = orin_read_float(r, &v[i]);
        if (rc) return rc;
    }
    return ORIN_OK;
}

/* The file is Z-up, the library Y-up: y and z exchange. */
static orin_vector file_vector(const float *v) {
    orin_vector out = {v[0], v[2], v[1]};
    return out;
}

static int32_t seek_to(orin_reader *r, long pos) {
    if (fseek(r->file, pos, SEEK_SET) != 0) return ORIN_ERR_READ;
    r->pos = pos;
    return ORIN_OK;
}

/* ---- the walker ---------------------------------------------------------------------- */

static const orin_chunk_row *find_row(const orin_chunk_row *table, int rows, uint16_t id) {
    for (int i = 0; i < rows; ++i)
        if (table[i].id == id) return &table[i];
    return NULL;
}

static int32_t walk(orin_reader *r, const orin_chunk_row *table, int rows, long end,
                    uint16_t parent) {
    r->depth++;
    r->parent_id = parent;
    int32_t rc = ORIN_OK;
    long start = r->pos;
    uint16_t id = 0;
    while (r->pos < end) {
        /* Level n of the walk reads chunks nested n deep: a chunk deeper
         * than ORIN_MAX_DEPTH is refused, which also bounds the recursion. */
        if (r->depth > ORIN_MAX_DEPTH) {
            rc = ORIN_ERR_READ;
            break;
        }
        start = r->pos;
        id = 0;
        uint32_t length;
        r->limit = end;
        if ((rc = orin_read_u16(r, &id)) != ORIN_OK) break;
        if ((rc = orin_read_u32(r, &length)) != ORIN_OK) break;
        /* A chunk shorter than its header would not advance the walk; one
         * longer than its parent would let handlers read a sibling's data. */
        if (length < 6 || (long)length > end - start) {
            rc = ORIN_ERR_READ;
            break;
        }
        long chunk_end = start + (long)length;
        const orin_chunk_row *row = find_row(table, rows, id);
        if (row) {
            r->limit = chunk_end;
            r->chunk_start = start;
            r->chunk_id = id;
            if (row->handler && (rc = row->handler(r)) != ORIN_OK) break;
            if (row->descend && (rc = walk(r, table, rows, chunk_end, id)) != ORIN_OK) break;
        }
        if ((rc = seek_to(r, chunk_end)) != ORIN_OK) break;
        if (row) r->last_id = id;
        if (ferror(r->file)) {
            rc = ORIN_ERR_READ;
            break;
        }
    }
    /* The deepest level that fails records its chunk; the levels above it
     * only pass the code on. */
    if (rc != ORIN_OK && r->stop_offset < 0) {
        r->stop_offset = start;
        r->stop_id = id;
    }
    r->depth--;
    return rc;
}

/* Whether the file starts the usual way, main chunk, version chunk, editor
 * chunk, mesh version chunk, which puts the mesh version's low byte at
 * offset 28. */
static int usual_head(FILE *file) {
    uint8_t head[24];
    if (fseek(file, 0, SEEK_SET) != 0 || fread(head, 1, sizeof head, file) != sizeof head) return 0;
    return head[0] == 0x4D && head[1] == 0x4D && head[6] == 0x02 && head[7] == 0x00 &&
           head[16] == 0x3D && head[17] == 0x3D && head[22] == 0x3E && head[23] == 0x3D;
}

int32_t orin_run_pass(FILE *file, const orin_chunk_row *table, int rows, int32_t first_id) {
    orin_reader *r = &orin_lib.reader;
    memset(r, 0, sizeof(*r));
    r->file = file;
    r->next_id = first_id;
    r->current = NULL;
    r->current_type = 0;
    /* A failure before the walk is a failure at the version byte. */
    r->stop_offset = 28;
    if (fseek(file, 0, SEEK_END) != 0) return ORIN_ERR_READ;
    r->size = ftell(file);
    if (r->size < 0) return ORIN_ERR_READ;
    /* Version byte: the low byte of the mesh version in a file laid out the
     * usual way (main chunk, version chunk, editor chunk, mesh version). */
    if (r->size < 29 || fseek(file, 28, SEEK_SET) != 0) return ORIN_ERR_READ;
    int version = fgetc(file);
    if (version == EOF) return ORIN_ERR_READ;
    if (orin_lenient() && !usual_head(file)) {
        /* Offset 28 holds some other chunk's data. The motion pass reads
         * the same file: the world pass's warning says it once. */
        if (first_id == 0)
            orin_warn("no mesh version chunk (0x3D3E) at offset 22: the version byte at offset 28 "
                      "is not checked");
    } else if (version < 2) {
        return ORIN_ERR_VERSION;
    }
    r->stop_offset = -1;
    if (seek_to(r, 0) != ORIN_OK) return ORIN_ERR_READ;
    return walk(r, table, rows, r->size, 0);
}

/* ---- record creation ---------------------------------------------------------------- */

/* Appends a record to the active world list, freeing it when that fails. */
static int32_t add_record(orin_reader *r, int32_t type, void *record, int make_current) {
    int32_t rc = orin_add_world(type, record);
    if (rc != ORIN_OK) {
        orin_free_record(type, record);
        return rc;
    }
    if (make_current) {
        r->current = record;
        r->current_type = type;
    }
    return ORIN_OK;
}

/* printf arguments naming the chunk being read, for warnings. */
#define AT_CHUNK "chunk 0x%04X at offset %ld"
#define AT_CHUNK_ARGS(r) (unsigned)(r)->chunk_id, (r)->chunk_start

#define CURRENT(type, kind) ((r->current && r->current_type == (kind)) ? (type *)r->current : NULL)

/* ---- world handlers ------------------------------------------------------------------ */

static int32_t h_named_object(orin_reader *r) { return orin_read_string(r); }

static int32_t h_new_mesh(orin_reader *r) {
    orin_object *o = (orin_object *)calloc(1, sizeof(orin_object));
    if (!o) return ORIN_ERR_NO_MEMORY;
    o->name = orin_copy_name(r);
    if (!o->name) {
        free(o);
        return ORIN_ERR_NO_MEMORY;
    }
    o->id = r->next_id++;
    return add_record(r, ORIN_OBJECT, o, 1);
}

static int32_t h_vertices(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o || o->vertices || (o->flags & ORIN_OBJ_DUMMY)) return ORIN_ERR_READ;
    uint16_t n;
    if (orin_read_u16(r, &n)) return ORIN_ERR_READ;
    /* Checked before allocating: the chunk must hold n vertices. */
    if ((long)n * 12 > orin_read_left(r)) return ORIN_ERR_READ;
    /* One element at least, so an empty list still marks "vertices read". */
    o->vertices = (orin_vertex *)calloc(n ? n : 1, sizeof(orin_vertex));
    if (!o->vertices) return ORIN_ERR_NO_MEMORY;
    o->num_vertices = n;
    for (int i = 0; i < n; ++i) {
        float v[3];
        if (read_floats(r, v, 3)) return ORIN_ERR_READ;
        o->vertices[i].local = file_vector(v);
    }
    return ORIN_OK;
}

static int32_t h_faces(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o || o->faces || (o->flags & ORIN_OBJ_DUMMY)) return ORIN_ERR_READ;
    uint16_t n;
    if (orin_read_u16(r, &n)) return ORIN_ERR_READ;
    if ((long)n * 8 > orin_read_left(r)) return ORIN_ERR_READ;
    o->faces = (orin_face *)calloc(n ? n : 1, sizeof(orin_face));
    if (!o->faces) return ORIN_ERR_NO_MEMORY;
    o->num_faces = n;
    for (int i = 0; i < n; ++i) {
        uint16_t idx[3], flags;
        for (int k = 0; k < 3; ++k) {
            if (orin_read_u16(r, &idx[k])) return ORIN_ERR_READ;
            /* Also refuses faces that come before the vertex list. */
            if (idx[k] >= o->num_vertices) return ORIN_ERR_READ;
        }
        if (orin_read_u16(r, &flags)) return ORIN_ERR_READ;
        orin_face *f = &o->faces[i];
        f->a = idx[0];
        f->b = idx[1];
        f->c = idx[2];
        f->pa = &o->vertices[idx[0]];
        f->pb = &o->vertices[idx[1]];
        f->pc = &o->vertices[idx[2]];
        f->material_id = 0;
        f->flags = ((flags & 0x08) ? ORIN_FACE_WRAP_U : 0) | ((flags & 0x10) ? ORIN_FACE_WRAP_V : 0);
    }
    return ORIN_OK;
}

/* The face list of a material group (after its name): every index is
 * checked; with a material, the faces get it. */
static int32_t read_group_faces(orin_reader *r, orin_object *o, orin_material *m) {
    uint16_t n;
    if (orin_read_u16(r, &n)) return ORIN_ERR_READ;
    if ((long)n * 2 > orin_read_left(r)) return ORIN_ERR_READ;
    for (int i = 0; i < n; ++i) {
        uint16_t f;
        if (orin_read_u16(r, &f)) return ORIN_ERR_READ;
        if (f >= o->num_faces) return ORIN_ERR_READ;
        if (!m) continue;
        o->faces[f].material_id = m->id;
        o->faces[f].material = m;
    }
    return ORIN_OK;
}

/* Only materials: a mesh or light sharing the name must not end up behind
 * a face's material pointer. */
static orin_material *find_material(const char *name) {
    orin_world_node *node = orin_find_record(name, ORIN_MATERIAL);
    return node ? (orin_material *)node->object : NULL;
}

/* Remembers a group whose material is not there yet: other writers put
 * the materials after the meshes. */
static int32_t defer_group(orin_reader *r, orin_object *o, long name_at) {
    if (r->num_pending == r->max_pending) {
        int max = r->max_pending ? r->max_pending * 2 : 8;
        void *grown = realloc(r->pending, (size_t)max * sizeof(orin_pending_group));
        if (!grown) return ORIN_ERR_NO_MEMORY;
        r->pending = (orin_pending_group *)grown;
        r->max_pending = max;
    }
    orin_pending_group *p = &r->pending[r->num_pending++];
    p->object = o;
    p->name_at = name_at;
    p->end = r->limit;
    p->chunk = r->chunk_start;
    return ORIN_OK;
}

static int32_t h_material_group(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o) return ORIN_ERR_READ;
    long name_at = r->pos;
    if (orin_read_string(r)) return ORIN_ERR_READ;
    orin_material *m = find_material(r->name_buffer);
    if (!m && !orin_lenient()) return ORIN_ERR_LOOKUP;
    if (!m) {
        int32_t rc = defer_group(r, o, name_at);
        if (rc) return rc;
    }
    return read_group_faces(r, o, m);
}

/* The deferred groups, once the whole world is read: a material found now
 * came later in the file; one still missing leaves the faces without. */
static int32_t resolve_deferred_groups(orin_reader *r) {
    for (int i = 0; i < r->num_pending; ++i) {
        const orin_pending_group *p = &r->pending[i];
        r->chunk_id = 0x4130;
        r->chunk_start = p->chunk;
        r->limit = p->end;
        if (seek_to(r, p->name_at) || orin_read_string(r)) return ORIN_ERR_READ;
        const char *mesh = p->object->name ? p->object->name : "";
        orin_material *m = find_material(r->name_buffer);
        if (m)
            orin_warn("mesh \"%s\": material group names \"%s\", a material that comes later in the "
                      "file (" AT_CHUNK "): read after the world",
                      mesh, r->name_buffer, AT_CHUNK_ARGS(r));
        else
            orin_warn("mesh \"%s\": material group names \"%s\", which no material has (" AT_CHUNK
                      "): its faces keep no material",
                      mesh, r->name_buffer, AT_CHUNK_ARGS(r));
        int32_t rc = read_group_faces(r, p->object, m);
        if (rc) {
            r->stop_offset = p->chunk;
            r->stop_id = 0x4130;
            return rc;
        }
    }
    return ORIN_OK;
}

/* A mesh chunk that comes before the vertex list has nothing to apply to and
 * is skipped; the lenient reading says so. */
static int32_t skipped_before_vertices(orin_reader *r, const orin_object *o, const char *what) {
    if (orin_lenient())
        orin_warn("mesh \"%s\": %s before the vertex list (" AT_CHUNK "): skipped",
                  o->name ? o->name : "", what, AT_CHUNK_ARGS(r));
    return ORIN_OK;
}

static int32_t h_mapping(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o) return ORIN_ERR_READ;
    /* Other tools may write mapping before the vertices: nothing to map yet. */
    if (!o->vertices) return skipped_before_vertices(r, o, "mapping coordinates");
    uint16_t n;
    if (orin_read_u16(r, &n)) return ORIN_ERR_READ;
    if (n > o->num_vertices) return ORIN_ERR_READ;
    if ((long)n * 8 > orin_read_left(r)) return ORIN_ERR_READ;
    for (int i = 0; i < n; ++i) {
        float uv[2];
        if (read_floats(r, uv, 2)) return ORIN_ERR_READ;
        o->vertices[i].u = uv[0];
        o->vertices[i].v = uv[1];
    }
    return ORIN_OK;
}

static int32_t h_mesh_matrix(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o) return ORIN_ERR_READ;
    if (!o->vertices) return skipped_before_vertices(r, o, "mesh matrix");
    float v[12];
    if (read_floats(r, v, 12)) return ORIN_ERR_READ;
    /* Rows X, Y, Z of the mesh's axes; exchanging columns 1 and 2 and then
     * rows 1 and 2 puts the matrix into library space. */
    float a[3][3];
    for (int i = 0; i < 3; ++i) {
        int row = i == 1 ? 2 : i == 2 ? 1 : 0;
        a[row][0] = v[i * 3 + 0];
        a[row][1] = v[i * 3 + 2];
        a[row][2] = v[i * 3 + 1];
    }
    /* Dividing each row by its squared length inverts the placement (axes as
     * columns) when the axes are orthogonal, which is how 3DS writes them. */
    int degenerate = 0;
    float len2[3];
    for (int i = 0; i < 3; ++i) {
        len2[i] = a[i][0] * a[i][0] + a[i][1] * a[i][1] + a[i][2] * a[i][2];
        if (len2[i] == 0.0f) degenerate = 1;
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            if (degenerate)
                a[i][j] = i == j ? 1.0f : 0.0f;
            else
                a[i][j] = a[i][j] / len2[i];
        }
    /* Origin in library space. */
    float tx = v[9], ty = v[11], tz = v[10];
    for (int i = 0; i < o->num_vertices; ++i) {
        orin_vector *p = &o->vertices[i].local;
        float x = p->x - tx, y = p->y - ty, z = p->z - tz;
        p->x = a[0][0] * x + a[0][1] * y + a[0][2] * z;
        p->y = a[1][0] * x + a[1][1] * y + a[1][2] * z;
        p->z = a[2][0] * x + a[2][1] * y + a[2][2] * z;
    }
    return ORIN_OK;
}

static int32_t h_new_light(orin_reader *r) {
    float v[3];
    if (read_floats(r, v, 3)) return ORIN_ERR_READ;
    orin_light *l = (orin_light *)calloc(1, sizeof(orin_light));
    if (!l) return ORIN_ERR_NO_MEMORY;
    l->name = orin_copy_name(r);
    if (!l->name) {
        free(l);
        return ORIN_ERR_NO_MEMORY;
    }
    l->id = r->next_id++;
    l->type = ORIN_LIGHT_OMNI;
    l->pos = file_vector(v);
    return add_record(r, ORIN_LIGHT, l, 1);
}

static int32_t h_spotlight(orin_reader *r) {
    orin_light *l = CURRENT(orin_light, ORIN_LIGHT);
    if (!l) return ORIN_ERR_READ;
    float v[5];
    if (read_floats(r, v, 5)) return ORIN_ERR_READ;
    l->target = file_vector(v);
    l->hotspot = v[3];
    l->falloff = v[4];
    l->type = ORIN_LIGHT_SPOT;
    l->roll = 0.0f;
    return ORIN_OK;
}

static int32_t h_light_inner(orin_reader *r) {
    orin_light *l = CURRENT(orin_light, ORIN_LIGHT);
    if (!l) return ORIN_ERR_READ;
    return orin_read_float(r, &l->inner_range);
}

static int32_t h_light_outer(orin_reader *r) {
    orin_light *l = CURRENT(orin_light, ORIN_LIGHT);
    if (!l) return ORIN_ERR_READ;
    return orin_read_float(r, &l->outer_range);
}

/* Horizontal field of view of a 35 mm lens; the usual lenses come from a
 * table, anything else from 15 / lens x 160. */
static float lens_to_fov(float lens) {
    static const float table[][2] = {
        {15.0f, 115.0f}, {20.0f, 94.28571f}, {24.0f, 84.0f},  {28.0f, 76.36364f}, {35.0f, 63.0f},
        {50.0f, 46.0f},  {85.0f, 28.0f},     {135.0f, 18.0f}, {200.0f, 12.0f},
    };
    for (const auto &row : table)
        if (lens == row[0]) return row[1];
    return 15.0f / lens * 160.0f;
}

static int32_t h_new_camera(orin_reader *r) {
    float v[8];
    if (read_floats(r, v, 8)) return ORIN_ERR_READ;
    orin_camera *c = (orin_camera *)calloc(1, sizeof(orin_camera));
    if (!c) return ORIN_ERR_NO_MEMORY;
    c->name = orin_copy_name(r);
    if (!c->name) {
        free(c);
        return ORIN_ERR_NO_MEMORY;
    }
    c->id = r->next_id++;
    c->pos = file_vector(v);
    c->target = file_vector(v + 3);
    c->roll = v[6];
    c->fov = lens_to_fov(v[7]);
    return add_record(r, ORIN_CAMERA, c, 1);
}

static int32_t h_new_material(orin_reader *r) {
    orin_material *m = (orin_material *)calloc(1, sizeof(orin_material));
    if (!m) return ORIN_ERR_NO_MEMORY;
    m->id = r->next_id++;
    return add_record(r, ORIN_MATERIAL, m, 1);
}

static int32_t h_material_name(orin_reader *r) {
    orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
    if (!m) return ORIN_ERR_READ;
    if (orin_read_string(r)) return ORIN_ERR_READ;
    char *name = orin_copy_name(r);
    if (!name) return ORIN_ERR_NO_MEMORY;
    free(m->name);
    m->name = name;
    return ORIN_OK;
}

static int32_t set_material_flag(orin_reader *r, int32_t flag) {
    orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
    if (!m) return ORIN_ERR_READ;
    m->flags |= flag;
    return ORIN_OK;
}
static int32_t h_two_sided(orin_reader *r) { return set_material_flag(r, ORIN_MAT_TWO_SIDED); }
static int32_t h_soft(orin_reader *r) { return set_material_flag(r, ORIN_MAT_SOFT); }
static int32_t h_wire(orin_reader *r) { return set_material_flag(r, ORIN_MAT_WIRE); }
static int32_t h_additive(orin_reader *r) { return set_material_flag(r, ORIN_MAT_ADDITIVE); }

static int32_t h_shading(orin_reader *r) {
    orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
    if (!m) return ORIN_ERR_READ;
    uint16_t v;
    if (orin_read_u16(r, &v)) return ORIN_ERR_READ;
    m->shading = v;
    return ORIN_OK;
}

/* The map a map chunk belongs to, chosen by the enclosing chunk. *map is
 * NULL (data dropped) under any other parent; a known parent with anything
 * but a material current is an error. */
static int32_t pick_map(orin_reader *r, orin_map **map) {
    *map = NULL;
    if (r->parent_id != 0xA200 && r->parent_id != 0xA220 && r->parent_id != 0xA230)
        return ORIN_OK;
    orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
    if (!m) return ORIN_ERR_READ;
    *map = r->parent_id == 0xA200 ? &m->texture : r->parent_id == 0xA220 ? &m->reflection : &m->bump;
    return ORIN_OK;
}

static int32_t h_map_file(orin_reader *r) {
    orin_map *map;
    if (pick_map(r, &map)) return ORIN_ERR_READ;
    if (orin_read_string(r)) return ORIN_ERR_READ;
    if (!map) return ORIN_OK;
    char *name = orin_copy_name(r);
    if (!name) return ORIN_ERR_NO_MEMORY;
    free(map->file);
    map->file = name;
    return ORIN_OK;
}

static int32_t h_map_tiling(orin_reader *r) {
    orin_map *map;
    if (pick_map(r, &map)) return ORIN_ERR_READ;
    uint16_t v;
    if (orin_read_u16(r, &v)) return ORIN_ERR_READ;
    if (map) map->tiling = v;
    return ORIN_OK;
}

/* Map reals: which field is given by the chunk id's offset from 0xA354. */
static int32_t map_real(orin_reader *r, int field) {
    orin_map *map;
    if (pick_map(r, &map)) return ORIN_ERR_READ;
    float v;
    if (orin_read_float(r, &v)) return ORIN_ERR_READ;
    if (!map) return ORIN_OK;
    switch (field) {
    case 0: map->u_scale = v; break;
    case 1: map->v_scale = v; break;
    case 2: map->u_offset = v; break;
    case 3: map->v_offset = v; break;
    default: map->rotation = v; break;
    }
    return ORIN_OK;
}
static int32_t h_map_u_scale(orin_reader *r) { return map_real(r, 0); }
static int32_t h_map_v_scale(orin_reader *r) { return map_real(r, 1); }
static int32_t h_map_u_offset(orin_reader *r) { return map_real(r, 2); }
static int32_t h_map_v_offset(orin_reader *r) { return map_real(r, 3); }
static int32_t h_map_rotation(orin_reader *r) { return map_real(r, 4); }

/* Colour target by the enclosing chunk: the light, or one of the material's
 * three colours; under any other parent the colour is read and dropped. */
static int32_t pick_color(orin_reader *r, orin_color **color) {
    *color = NULL;
    switch (r->parent_id) {
    case 0x4600: {
        orin_light *l = CURRENT(orin_light, ORIN_LIGHT);
        if (!l) return ORIN_ERR_READ;
        *color = &l->color;
        return ORIN_OK;
    }
    case 0xA010:
    case 0xA020:
    case 0xA030: {
        orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
        if (!m) return ORIN_ERR_READ;
        *color = r->parent_id == 0xA010 ? &m->ambient : r->parent_id == 0xA020 ? &m->diffuse : &m->specular;
        return ORIN_OK;
    }
    default: return ORIN_OK;
    }
}

static int32_t h_color_float(orin_reader *r) {
    orin_color *c;
    if (pick_color(r, &c)) return ORIN_ERR_READ;
    float v[3];
    if (read_floats(r, v, 3)) return ORIN_ERR_READ;
    if (c) {
        c->r = v[0];
        c->g = v[1];
        c->b = v[2];
    }
    return ORIN_OK;
}

static int32_t h_color_bytes(orin_reader *r) {
    orin_color *c;
    if (pick_color(r, &c)) return ORIN_ERR_READ;
    uint8_t v[3];
    if (orin_read_bytes(r, v, 3)) return ORIN_ERR_READ;
    if (c) {
        /* 0..255 to 0..1 by the reciprocal, as a double product rounded to float. */
        const double k = 0.00392156862745098;
        c->r = (float)(v[0] * k);
        c->g = (float)(v[1] * k);
        c->b = (float)(v[2] * k);
    }
    return ORIN_OK;
}

static int32_t h_percent(orin_reader *r) {
    float *target = NULL;
    switch (r->parent_id) {
    case 0xA040:
    case 0xA041:
    case 0xA050:
    case 0xA052:
    case 0xA053:
    case 0xA084: {
        orin_material *m = CURRENT(orin_material, ORIN_MATERIAL);
        if (!m) return ORIN_ERR_READ;
        switch (r->parent_id) {
        case 0xA040: target = &m->shininess; break;
        case 0xA041: target = &m->shin_strength; break;
        case 0xA050: target = &m->transparency; break;
        case 0xA052: target = &m->trans_falloff; break;
        case 0xA053: target = &m->refl_blur; break;
        default: target = &m->self_illum; break;
        }
        break;
    }
    default: break;
    }
    uint16_t v;
    if (orin_read_u16(r, &v)) return ORIN_ERR_READ;
    if (target) *target = (float)(v * 0.01);
    return ORIN_OK;
}

static const orin_chunk_row world_table[] = {
    {0x4D4D, 1, NULL},           {0x3D3D, 1, NULL},           {0xC23D, 1, NULL},
    {0x3DAA, 1, NULL},           {0x4F00, 1, NULL},           {0x1200, 1, NULL},
    {0x2100, 1, NULL},           {0x4000, 1, h_named_object}, {0x4100, 1, h_new_mesh},
    {0x4110, 0, h_vertices},     {0x4111, 0, NULL},           {0x4120, 1, h_faces},
    {0x4130, 0, h_material_group}, {0x4140, 0, h_mapping},    {0x4150, 0, NULL},
    {0x4160, 0, h_mesh_matrix},  {0x4165, 0, NULL},           {0x4170, 0, NULL},
    {0x4600, 1, h_new_light},    {0x4610, 0, h_spotlight},    {0x4659, 0, h_light_inner},
    {0x465A, 0, h_light_outer},  {0x4700, 0, h_new_camera},   {0x7001, 0, NULL},
    {0xAFFF, 1, h_new_material}, {0xA000, 0, h_material_name}, {0xA010, 1, NULL},
    {0xA020, 1, NULL},           {0xA030, 1, NULL},           {0xA040, 1, NULL},
    {0xA041, 1, NULL},           {0xA050, 1, NULL},           {0xA052, 1, NULL},
    {0xA053, 1, NULL},           {0xA084, 1, NULL},           {0xA081, 0, h_two_sided},
    {0xA08C, 0, h_soft},         {0xA085, 0, h_wire},         {0xA083, 0, h_additive},
    {0xA100, 0, h_shading},      {0xA200, 1, NULL},           {0xA230, 1, NULL},
    {0xA220, 1, NULL},           {0xA300, 0, h_map_file},     {0xA351, 0, h_map_tiling},
    {0xA354, 0, h_map_u_scale},  {0xA356, 0, h_map_v_scale},  {0xA358, 0, h_map_u_offset},
    {0xA35A, 0, h_map_v_offset}, {0xA35C, 0, h_map_rotation}, {0x0010, 0, h_color_float},
    {0x0011, 0, h_color_bytes},  {0x0030, 0, h_percent},
};

int32_t orin_get_stop(uint16_t *chunk_id, long *offset) {
    if (!chunk_id || !offset) return ORIN_ERR_NULL;
    const orin_reader *r = &orin_lib.reader;
    if (!r->file || r->stop_offset < 0) return ORIN_ERR_NOT_LOADED; /* no pass yet, or no failure */
    *chunk_id = r->stop_id;
    *offset = r->stop_offset;
    return ORIN_OK;
}

const char *orin_describe_stop(int32_t result, char *text, size_t size) {
    if (!text || size == 0) return "";
    text[0] = '\0';
    if (result == ORIN_OK || result == ORIN_ERR_OPEN || result == ORIN_ERR_NOT_LOADED ||
        result == ORIN_ERR_NULL)
        return text;
    uint16_t id;
    long offset;
    if (orin_get_stop(&id, &offset) != ORIN_OK) return text;
    if (id != 0)
        snprintf(text, size, "stopped in chunk 0x%04X at offset %ld", id, offset);
    else
        snprintf(text, size, "stopped at offset %ld", offset);
    return text;
}

int32_t orin_world_pass(FILE *file) {
    int32_t rc = orin_run_pass(file, world_table, (int)(sizeof(world_table) / sizeof(world_table[0])), 0);
    orin_reader *r = &orin_lib.reader;
    if (rc == ORIN_OK) rc = resolve_deferred_groups(r);
    free(r->pending);
    r->pending = NULL;
    r->num_pending = r->max_pending = 0;
    return rc;
}

/* ---- motion handlers ------------------------------------------------------------------- */

static int32_t h_segment(orin_reader *r) {
    uint32_t start, end;
    if (orin_read_u32(r, &start) || orin_read_u32(r, &end)) return ORIN_ERR_READ;
    orin_lib.scene->frame_start = (float)start;
    orin_lib.scene->frame_end = (float)end;
    r->seen_segment = 1;
    return ORIN_OK;
}

static int32_t h_node_number(orin_reader *r) {
    uint16_t v;
    if (orin_read_u16(r, &v)) return ORIN_ERR_READ;
    r->next_id = v;
    return ORIN_OK;
}

/* Node kind for the node chunk that encloses a header: keyframer node
 * type, the world record kind it drives and the size of its track set. */
typedef struct node_kind {
    uint16_t chunk;
    int32_t kf_type;
    int32_t record_type;
    size_t tracks_size;
} node_kind;

static const node_kind node_kinds[] = {
    {0xB001, ORIN_KF_AMBIENT, ORIN_AMBIENT, sizeof(orin_ambient_tracks)},
    {0xB002, ORIN_KF_OBJECT, ORIN_OBJECT, sizeof(orin_object_tracks)},
    {0xB003, ORIN_KF_CAMERA, ORIN_CAMERA, sizeof(orin_camera_tracks)},
    {0xB004, ORIN_KF_CAMERA_TARGET, ORIN_CAMERA, sizeof(orin_target_tracks)},
    {0xB005, ORIN_KF_LIGHT, ORIN_LIGHT, sizeof(orin_light_tracks)},
    {0xB006, ORIN_KF_LIGHT_TARGET, ORIN_LIGHT, sizeof(orin_target_tracks)},
    {0xB007, ORIN_KF_SPOTLIGHT, ORIN_LIGHT, sizeof(orin_spot_tracks)},
};

/* A hierarchy node without geometry or name for the current node,
 * numbered after it like the ambient record, added to the world list;
 * *out is set to it. */
static int32_t add_dummy(orin_reader *r, void **out) {
    orin_object *o = (orin_object *)calloc(1, sizeof(orin_object));
    if (!o) return ORIN_ERR_NO_MEMORY;
    o->id = r->next_id + 1024;
    o->flags = ORIN_OBJ_DUMMY;
    int32_t rc = add_record(r, ORIN_OBJECT, o, 0);
    if (rc) return rc;
    *out = o;
    return ORIN_OK;
}

static int32_t h_node_header(orin_reader *r) {
    /* A node number chunk just before sets the number; otherwise nodes
     * count up from the previous one. */
    if (r->last_id != 0xB030) r->next_id++;
    const node_kind *kind = NULL;
    for (const node_kind &k : node_kinds)
        if (k.chunk == r->parent_id) kind = &k;

    if (orin_read_string(r)) return ORIN_ERR_READ;
    void *record = NULL;
    int32_t record_type = 0;
    if (strcmp(r->name_buffer, "$AMBIENT$") == 0) {
        orin_ambient *a = (orin_ambient *)calloc(1, sizeof(orin_ambient));
        if (!a) return ORIN_ERR_NO_MEMORY;
        a->name = orin_copy_name(r);
        if (!a->name) {
            free(a);
            return ORIN_ERR_NO_MEMORY;
        }
        a->id = r->next_id + 1024;
        int32_t rc = add_record(r, ORIN_AMBIENT, a, 0);
        if (rc) return rc;
        record = a;
        record_type = ORIN_AMBIENT;
    } else if (strcmp(r->name_buffer, "$$$DUMMY") == 0) {
        int32_t rc = add_dummy(r, &record);
        if (rc) return rc;
        record_type = ORIN_OBJECT;
    } else {
        /* Only records of the kind the node drives are candidates, so a
         * camera node never ends up driving a mesh of the same name. */
        orin_world_node *found = orin_find_record(r->name_buffer, kind ? kind->record_type : 0xFFFF);
        if (found) {
            record = found->object;
            record_type = found->type;
        } else if (!orin_lenient()) {
            return ORIN_ERR_LOOKUP;
        } else if (kind && kind->kf_type == ORIN_KF_OBJECT) {
            orin_warn("keyframer node %d \"%s\" (" AT_CHUNK "): no mesh of that name; read as an "
                      "unnamed dummy",
                      (int)r->next_id, r->name_buffer, AT_CHUNK_ARGS(r));
            int32_t rc = add_dummy(r, &record);
            if (rc) return rc;
            record_type = ORIN_OBJECT;
        } else {
            orin_warn("keyframer node %d \"%s\" (" AT_CHUNK "): no record of its kind has that "
                      "name; left out with its tracks",
                      (int)r->next_id, r->name_buffer, AT_CHUNK_ARGS(r));
            kind = NULL; /* read the rest of the header, make no node */
        }
    }

    uint16_t flags1, flags2;
    int16_t parent;
    if (orin_read_u16(r, &flags1) || orin_read_u16(r, &flags2) || orin_read_s16(r, &parent))
        return ORIN_ERR_READ;
    if (!kind) return ORIN_OK; /* not inside a node chunk: no node */
    /* "$AMBIENT$" under an object node or "$$$DUMMY" under a camera node
     * would give the node a record of the wrong kind. */
    if (record_type != kind->record_type) return ORIN_ERR_READ;

    void *tracks = calloc(1, kind->tracks_size);
    if (!tracks) return ORIN_ERR_NO_MEMORY;
    int32_t rc = orin_add_node(kind->kf_type, r->next_id, parent, tracks, record);
    if (rc) {
        free(tracks);
        return rc;
    }
    if (kind->kf_type == ORIN_KF_OBJECT) {
        orin_object *o = (orin_object *)record;
        if (flags1 & 0x0800) o->flags |= ORIN_OBJ_NODE_0800;
        /* Without a scale track the scale would stay 0 and the object a
         * point; other exporters write no tracks at all. A scale track still
         * sets it at every update. */
        if (orin_lenient() && o->scale.x == 0.0f && o->scale.y == 0.0f && o->scale.z == 0.0f)
            o->scale.x = o->scale.y = o->scale.z = 1.0f;
        r->current = o;
        r->current_type = ORIN_OBJECT;
    }
    return ORIN_OK;
}

static int32_t h_instance_name(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o) return ORIN_ERR_READ;
    if (orin_read_string(r)) return ORIN_ERR_READ;
    char *name = orin_copy_name(r);
    if (!name) return ORIN_ERR_NO_MEMORY;
    free(o->name);
    o->name = name;
    orin_index_renamed(o);
    return ORIN_OK;
}

static int32_t h_pivot(orin_reader *r) {
    orin_object *o = CURRENT(orin_object, ORIN_OBJECT);
    if (!o) return ORIN_ERR_READ;
    float v[3];
    if (read_floats(r, v, 3)) return ORIN_ERR_READ;
    o->pivot = file_vector(v);
    for (int i = 0; i < o->num_vertices; ++i) {
        o->vertices[i].local.x -= o->pivot.x;
        o->vertices[i].local.y -= o->pivot.y;
        o->vertices[i].local.z -= o->pivot.z;
    }
    return ORIN_OK;
}

static int32_t h_track_position(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_POSITION); }
static int32_t h_track_rotation(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_ROTATION); }
static int32_t h_track_scale(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_SCALE); }
static int32_t h_track_fov(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_FOV); }
static int32_t h_track_roll(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_ROLL); }
static int32_t h_track_color(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_COLOR); }
static int32_t h_track_morph(orin_reader *r) {
    int32_t rc = orin_read_track(r, ORIN_TRACK_MORPH);
    /* The track reader has freed the track; name_buffer holds the name. */
    if (rc == ORIN_ERR_LOOKUP && orin_lenient()) {
        orin_warn("morph track of keyframer node %d (" AT_CHUNK "): a key names \"%s\", which no "
                  "record has; track left out",
                  (int)r->next_id, AT_CHUNK_ARGS(r), r->name_buffer);
        return ORIN_OK;
    }
    return rc;
}
static int32_t h_track_hide(orin_reader *r) { return orin_read_track(r, ORIN_TRACK_HIDE); }

static const orin_chunk_row motion_table[] = {
    {0x4D4D, 1, NULL},               {0xB000, 1, NULL},             {0xB001, 1, NULL},
    {0xB002, 1, NULL},               {0xB003, 1, NULL},             {0xB004, 1, NULL},
    {0xB005, 1, NULL},               {0xB006, 1, NULL},             {0xB007, 1, NULL},
    {0xB008, 0, h_segment},          {0xB030, 0, h_node_number},    {0xB010, 0, h_node_header},
    {0xB011, 0, h_instance_name},    {0xB013, 0, h_pivot},          {0xB020, 0, h_track_position},
    {0xB021, 0, h_track_rotation},   {0xB022, 0, h_track_scale},    {0xB023, 0, h_track_fov},
    {0xB024, 0, h_track_roll},       {0xB025, 0, h_track_color},    {0xB026, 0, h_track_morph},
    {0xB029, 0, h_track_hide},
};

int32_t orin_motion_pass(FILE *file) {
    /* Node headers look records up by name and parents by number; the
     * index keeps that near-linear in the node count. Without it (out of
     * memory) the lookups walk the lists and give the same answers. */
    orin_lib.index = orin_index_build(orin_lib.scene);
    int32_t rc = orin_run_pass(file, motion_table, (int)(sizeof(motion_table) / sizeof(motion_table[0])), -1);
    orin_index_free(orin_lib.index);
    orin_lib.index = NULL;
    if (rc == ORIN_OK && orin_lenient() && orin_lib.scene->nodes && !orin_lib.reader.seen_segment)
        orin_warn("keyframer data without a segment chunk (0xB008): the frame range is empty");
    return rc;
}
