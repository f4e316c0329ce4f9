/* orin_index.cpp: the motion pass's lookup index.
 *
 * Every node header names a world record and gives a parent number, and
 * every track goes to the last node with the current number. Walking the
 * world and keyframer lists for each of these makes the pass quadratic in
 * the node count; the index answers each in about constant time. It is
 * built once when the motion pass starts, from the lists as they are then,
 * kept up to date as the pass adds records and nodes and renames objects
 * (instance names), and freed when the pass ends.
 *
 * Answers are exactly those of the list walks: lists of equal keys are kept
 * in list order, and a name lookup still checks each candidate's current
 * name and kind, so an entry left under a record's old name is skipped. If
 * the index cannot grow (out of memory) it stops answering and the callers
 * walk the lists again.
 *
 * Layout: three multimaps from a key (name bytes, node number, record
 * address) to lists of entries; groups of equal keys in an open-addressing
 * table, entries linked by array index, key bytes in one pool. All arrays
 * grow by doubling.
 */
#include <stdlib.h>
#include <string.h>

#include "scene/orin_internal.h"

typedef struct orin_ix_entry {
    void *item;     /* orin_world_node * or orin_kf_node * */
    uint32_t order; /* place in its list (world: 0, 1, ... from the head) */
    int32_t next;   /* next entry with the same key, in list order; -1 ends */
} orin_ix_entry;

typedef struct orin_ix_group {
    uint32_t hash;
    uint32_t key_at, key_len; /* bytes in the key pool */
    int32_t first, last;      /* entries; -1 when empty */
} orin_ix_group;

typedef struct orin_ix_map {
    int32_t *slots; /* group index or -1; the slot count is a power of two */
    uint32_t slot_mask;
    orin_ix_group *groups;
    int32_t group_count;
    size_t group_cap;
    orin_ix_entry *entries;
    int32_t entry_count;
    size_t entry_cap;
    unsigned char *keys;
    size_t key_used, key_cap;
} orin_ix_map;

/* 32-bit FNV-1a. */
static uint32_t hash_bytes(const void *key, size_t len) {
    const unsigned char *p = (const unsigned char *)key;
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < len; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

/* `array` with room for `need` items of `size` bytes (the capacity
 * doubles, from 64); NULL when that cannot be had, the old array kept. Item
 * counts stay below 2^31, so entries can be linked by int32_t index. */
static void *grow(void *array, size_t *cap, size_t need, size_t size) {
    if (need <= *cap) return array;
    size_t want = *cap ? *cap : 64;
    while (want < need) want *= 2;
    if (want > (size_t)INT32_MAX) return NULL;
    void *grown = realloc(array, want * size);
    if (grown) *cap = want;
    return grown;
}

static void map_free(orin_ix_map *m) {
    free(m->slots);
    free(m->groups);
    free(m->entries);
    free(m->keys);
    memset(m, 0, sizeof(*m));
}

static int map_rehash(orin_ix_map *m, uint32_t slot_count) {
    int32_t *slots = (int32_t *)malloc(slot_count * sizeof(int32_t));
    if (!slots) return -1;
    for (uint32_t i = 0; i < slot_count; ++i) slots[i] = -1;
    for (int32_t g = 0; g < m->group_count; ++g) {
        uint32_t s = m->groups[g].hash & (slot_count - 1);
        while (slots[s] != -1) s = (s + 1) & (slot_count - 1);
        slots[s] = g;
    }
    free(m->slots);
    m->slots = slots;
    m->slot_mask = slot_count - 1;
    return 0;
}

/* The group of `key`; with `create`, a new empty one when there is none.
 * -1 when there is none (or it could not be made: then *failed is set). */
static int32_t map_group(orin_ix_map *m, const void *key, size_t len, int create, int *failed) {
    uint32_t h = hash_bytes(key, len);
    if (m->slots) {
        for (uint32_t s = h & m->slot_mask; m->slots[s] != -1; s = (s + 1) & m->slot_mask) {
            const orin_ix_group *g = &m->groups[m->slots[s]];
            if (g->hash == h && g->key_len == len && memcmp(m->keys + g->key_at, key, len) == 0)
                return m->slots[s];
        }
    }
    if (!create) return -1;
    /* Keep the table at most half full, so probes stay short. */
    uint32_t slot_count = m->slots ? m->slot_mask + 1 : 0;
    if ((uint32_t)(m->group_count + 1) * 2 > slot_count) {
        if (slot_count >= 0x40000000u || map_rehash(m, slot_count ? slot_count * 2 : 256)) {
            *failed = 1;
            return -1;
        }
    }
    orin_ix_group *groups =
        (orin_ix_group *)grow(m->groups, &m->group_cap, (size_t)m->group_count + 1, sizeof(orin_ix_group));
    if (groups) m->groups = groups;
    unsigned char *keys = (unsigned char *)grow(m->keys, &m->key_cap, m->key_used + len, 1);
    if (keys) m->keys = keys;
    if (!groups || !keys) {
        *failed = 1;
        return -1;
    }
    orin_ix_group *g = &m->groups[m->group_count];
    g->hash = h;
    g->key_at = (uint32_t)m->key_used;
    g->key_len = (uint32_t)len;
    g->first = g->last = -1;
    memcpy(m->keys + m->key_used, key, len);
    m->key_used += len;
    uint32_t s = h & m->slot_mask;
    while (m->slots[s] != -1) s = (s + 1) & m->slot_mask;
    m->slots[s] = m->group_count;
    return m->group_count++;
}

/* Adds an entry to group g at its place by `order` (at the end when it is
 * not smaller than the last one's, as for everything appended to a list). */
static int map_insert(orin_ix_map *m, int32_t g, void *item, uint32_t order) {
    orin_ix_entry *entries =
        (orin_ix_entry *)grow(m->entries, &m->entry_cap, (size_t)m->entry_count + 1, sizeof(orin_ix_entry));
    if (!entries) return -1;
    m->entries = entries;
    int32_t e = m->entry_count++;
    m->entries[e].item = item;
    m->entries[e].order = order;
    orin_ix_group *gr = &m->groups[g];
    if (gr->last == -1 || m->entries[gr->last].order <= order) {
        m->entries[e].next = -1;
        if (gr->last == -1)
            gr->first = e;
        else
            m->entries[gr->last].next = e;
        gr->last = e;
        return 0;
    }
    if (m->entries[gr->first].order > order) {
        m->entries[e].next = gr->first;
        gr->first = e;
        return 0;
    }
    int32_t at = gr->first;
    while (m->entries[at].next != -1 && m->entries[m->entries[at].next].order <= order) at = m->entries[at].next;
    m->entries[e].next = m->entries[at].next;
    m->entries[at].next = e;
    return 0;
}

/* The group of `key`, or -1 when there is none. */
static int32_t map_find(orin_ix_map *m, const void *key, size_t len) {
    int failed = 0;
    return map_group(m, key, len, 0, &failed);
}

static int map_add(orin_ix_map *m, const void *key, size_t len, void *item, uint32_t order) {
    int failed = 0;
    int32_t g = map_group(m, key, len, 1, &failed);
    if (g < 0) return -1;
    return map_insert(m, g, item, order);
}

struct orin_pass_index {
    orin_scene *scene;
    orin_ix_map names;   /* record name -> world nodes */
    orin_ix_map records; /* record address -> world nodes (to follow renames) */
    orin_ix_map numbers; /* node number -> keyframer nodes */
    uint32_t next_order; /* order of the next world node appended */
    uint32_t next_node;  /* order of the next keyframer node appended */
    int failed;          /* could not keep up: answer nothing */
};

/* Indexes a world node under its record's address and its current name. */
static int add_world(orin_pass_index *x, orin_world_node *n, uint32_t order) {
    if (n->object && map_add(&x->records, &n->object, sizeof(n->object), n, order)) return -1;
    const char *name = orin_record_name(n);
    if (name && map_add(&x->names, name, strlen(name), n, order)) return -1;
    return 0;
}

orin_pass_index *orin_index_build(orin_scene *scene) {
    if (!scene) return NULL;
    orin_pass_index *x = (orin_pass_index *)calloc(1, sizeof(orin_pass_index));
    if (!x) return NULL;
    x->scene = scene;
    for (orin_world_node *n = scene->world; n; n = n->next) {
        if (add_world(x, n, x->next_order++)) {
            orin_index_free(x);
            return NULL;
        }
    }
    for (orin_kf_node *k = scene->nodes; k; k = k->next) {
        if (map_add(&x->numbers, &k->id, sizeof(k->id), k, x->next_node++)) {
            orin_index_free(x);
            return NULL;
        }
    }
    return x;
}

void orin_index_free(orin_pass_index *index) {
    if (!index) return;
    map_free(&index->names);
    map_free(&index->records);
    map_free(&index->numbers);
    free(index);
}

orin_pass_index *orin_active_index(void) {
    orin_pass_index *x = orin_lib.index;
    return x && !x->failed && x->scene == orin_lib.scene ? x : NULL;
}

void orin_index_world_added(orin_world_node *node) {
    orin_pass_index *x = orin_active_index();
    if (x && add_world(x, node, x->next_order++)) x->failed = 1;
}

void orin_index_renamed(const void *record) {
    orin_pass_index *x = orin_active_index();
    if (!x || !record) return;
    int32_t g = map_find(&x->records, &record, sizeof(record));
    if (g < 0) return; /* not a world record: no name lookup can reach it */
    /* The entries under the old name stay; lookups skip them by name. */
    for (int32_t e = x->records.groups[g].first; e != -1; e = x->records.entries[e].next) {
        orin_world_node *n = (orin_world_node *)x->records.entries[e].item;
        const char *name = orin_record_name(n);
        if (name && map_add(&x->names, name, strlen(name), n, x->records.entries[e].order)) {
            x->failed = 1;
            return;
        }
    }
}

void orin_index_node_added(orin_kf_node *node) {
    orin_pass_index *x = orin_active_index();
    if (x && map_add(&x->numbers, &node->id, sizeof(node->id), node, x->next_node++)) x->failed = 1;
}

orin_world_node *orin_index_find_record(orin_pass_index *x, const char *name, int32_t type_mask) {
    int32_t g = map_find(&x->names, name, strlen(name));
    if (g < 0) return NULL;
    for (int32_t e = x->names.groups[g].first; e != -1; e = x->names.entries[e].next) {
        orin_world_node *n = (orin_world_node *)x->names.entries[e].item;
        if (!(n->type & type_mask)) continue;
        const char *rn = orin_record_name(n);
        if (rn && strcmp(rn, name) == 0) return n;
    }
    return NULL;
}

orin_kf_node *orin_index_next_node(orin_pass_index *x, int32_t number, int32_t *cursor) {
    if (*cursor == -1) {
        int32_t g = map_find(&x->numbers, &number, sizeof(number));
        if (g < 0) return NULL;
        *cursor = x->numbers.groups[g].first;
    } else {
        *cursor = x->numbers.entries[*cursor].next;
    }
    return *cursor == -1 ? NULL : (orin_kf_node *)x->numbers.entries[*cursor].item;
}

orin_kf_node *orin_index_last_node(orin_pass_index *x, int32_t number) {
    int32_t g = map_find(&x->numbers, &number, sizeof(number));
    if (g < 0 || x->numbers.groups[g].last == -1) return NULL;
    return (orin_kf_node *)x->numbers.entries[x->numbers.groups[g].last].item;
}
