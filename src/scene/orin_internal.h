/* orin_internal.h: library-wide state of the scene library and the reader
 * primitives its chunk handlers share. Private to src/scene.
 *
 * Every read is bounded by `limit` (the end of the chunk whose data is being
 * read, or of the level being walked): a handler can never read into the
 * next chunk, and a read that would pass the limit fails with ORIN_ERR_READ.
 */
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "scene/orin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Deepest chunk nesting the walker follows; a file nesting deeper is
 * refused rather than recursing without bound. */
#define ORIN_MAX_DEPTH 64
/* Names keep at most this many bytes (longer strings are read to their
 * terminator and cut). */
#define ORIN_NAME_MAX 63
/* Warning texts kept per load, and the size of each (longer ones are cut). */
#define ORIN_WARNINGS_KEPT 64
#define ORIN_WARNING_SIZE 192

/* A material group whose material was not found when it was read (lenient
 * reading): looked up again once the whole world is read. */
typedef struct orin_pending_group {
    orin_object *object;
    long name_at; /* file offset of the group's material name */
    long end;     /* end of the group chunk */
    long chunk;   /* file offset of the group chunk */
} orin_pending_group;

typedef struct orin_reader {
    FILE *file;
    long pos;   /* our copy of the stream position (no ftell per read) */
    long size;  /* file size */
    long limit; /* reads stop here: end of the current chunk or level */
    int depth;  /* walk levels entered */
    /* Id of the enclosing chunk: set on entry to each walk level and not
     * restored when a deeper level returns (the colour, percentage and map
     * chunks pick their target by it). */
    uint16_t parent_id;
    uint16_t last_id; /* id of the last table chunk whose handling completed */
    char name_buffer[ORIN_NAME_MAX + 1]; /* last string read */
    int32_t next_id; /* world: id counter; motion: current node number */
    /* The record later chunks refer to, and its world node type (0: none).
     * Reset at the start of each pass. */
    void *current;
    int32_t current_type;
    /* Where the pass stopped on an error (orin_get_stop): file offset of
     * the chunk being read and its id (0 when its header could not be read
     * or the version check failed). stop_offset is -1 until a pass fails. */
    long stop_offset;
    uint16_t stop_id;
    /* The chunk whose handler is running (lenient warnings name it). */
    long chunk_start;
    uint16_t chunk_id;
    int seen_segment; /* the motion pass met a segment chunk (0xB008) */
    orin_pending_group *pending; /* heap array, freed by the world pass */
    int num_pending, max_pending;
} orin_reader;

typedef struct orin_pass_index orin_pass_index;

typedef struct orin_library {
    orin_scene *scene;   /* active scene */
    orin_camera *camera; /* active camera */
    int32_t flags;       /* ORIN_HIERARCHY | ORIN_NORMALS | ... */
    orin_reader reader;
    orin_pass_index *index; /* lookups of the running motion pass, or NULL */
    /* Warnings of the loads since orin_init or the last orin_load_world:
     * the first ORIN_WARNINGS_KEPT texts, and how many there were. */
    char warnings[ORIN_WARNINGS_KEPT][ORIN_WARNING_SIZE];
    int32_t num_warnings;
} orin_library;

extern orin_library orin_lib;

/* Chunk handler: reads its chunk's own data from the reader. */
typedef int32_t (*orin_chunk_handler)(orin_reader *r);

typedef struct orin_chunk_row {
    uint16_t id;
    int descend; /* walk the rest of the chunk as sub-chunks */
    orin_chunk_handler handler; /* NULL: nothing to read */
} orin_chunk_row;

/* Bounded reads (little-endian); 0 or ORIN_ERR_READ. */
int32_t orin_read_bytes(orin_reader *r, void *dst, long n);
int32_t orin_read_u8(orin_reader *r, uint8_t *v);
int32_t orin_read_u16(orin_reader *r, uint16_t *v);
int32_t orin_read_s16(orin_reader *r, int16_t *v);
int32_t orin_read_u32(orin_reader *r, uint32_t *v);
int32_t orin_read_float(orin_reader *r, float *v);
/* Reads a NUL-terminated string into name_buffer (first 63 bytes kept). */
int32_t orin_read_string(orin_reader *r);
/* Bytes left before the limit. */
long orin_read_left(const orin_reader *r);
/* A heap copy of name_buffer, or NULL. */
char *orin_copy_name(const orin_reader *r);

/* Walks a file with the given table: version check, then the chunk tree.
 * next_id starts at `first_id`; current is reset. */
int32_t orin_run_pass(FILE *file, const orin_chunk_row *table, int rows, int32_t first_id);

int32_t orin_world_pass(FILE *file);
int32_t orin_motion_pass(FILE *file);

/* First world node of the given types (mask of ORIN_CAMERA...) named `name`;
 * NULL when none or without an active scene. */
orin_world_node *orin_find_record(const char *name, int32_t type_mask);

/* The motion pass's lookup index (orin_index.cpp): built from the scene's
 * lists when the pass starts, kept up to date by the hooks below while it
 * is orin_lib.index, freed when the pass ends. Its answers are exactly those
 * of walking the lists. NULL from orin_index_build when out of memory. */
orin_pass_index *orin_index_build(orin_scene *scene);
void orin_index_free(orin_pass_index *index);
/* orin_lib.index while it serves the active scene and has kept up with
 * every change; NULL otherwise (callers then walk the lists). */
orin_pass_index *orin_active_index(void);
/* Hooks, called after the change: a world node appended, a world record's
 * name replaced, a keyframer node appended. No-ops without an index. */
void orin_index_world_added(orin_world_node *node);
void orin_index_renamed(const void *record);
void orin_index_node_added(orin_kf_node *node);
/* What orin_find_record gives. */
orin_world_node *orin_index_find_record(orin_pass_index *index, const char *name, int32_t type_mask);
/* Keyframer nodes numbered `number` in list order: start with *cursor = -1;
 * NULL after the last. */
orin_kf_node *orin_index_next_node(orin_pass_index *index, int32_t number, int32_t *cursor);
/* The last keyframer node numbered `number`, or NULL. */
orin_kf_node *orin_index_last_node(orin_pass_index *index, int32_t number);

/* Whether the option flags ask for the lenient reading (ORIN_LENIENT). */
int orin_lenient(void);
/* Adds a warning (printf-style) to the library's list; counted even when
 * the list is full. */
void orin_warn(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* Frees one world record with everything it owns. */
void orin_free_record(int32_t type, void *record);

/* Track chunk reader (0xB020..0xB029): reads the whole track of type
 * ORIN_TRACK_*, prepares it and attaches it to the keyframer node numbered
 * next_id. A track no node takes is freed. 0, 1, 3 or 256. */
int32_t orin_read_track(orin_reader *r, int32_t type);

/* Key search shared by the evaluations: the key K0 at or before `frame`
 * whose successor (if any) is at or after it; a frame equal to a key's
 * frame stops on the key before. Moves the track's cursor there. The
 * track must have keys. */
orin_key *orin_track_search(orin_track *track, float frame);
/* Eased segment parameter of `frame` between k0 and k1 (k0's ease_from,
 * k1's ease_to). */
double orin_track_param(const orin_key *k0, const orin_key *k1, float frame);
/* The frame a repeating or looping track is read at (fmod by last_frame;
 * no number when last_frame is 0, which every comparison then fails). */
float orin_track_wrap(const orin_track *track, float frame);

/* Fills a freshly read rotation key: its absolute quat (the key's relative
 * rotation applied after `prev`'s), its whole-number spin sum and its axis
 * in library space. `prev` is the track's previous key or NULL. */
void orin_rotation_key(orin_key *key, const orin_key *prev, float angle, float ax, float ay,
                       float az);

#ifdef __cplusplus
}
#endif
