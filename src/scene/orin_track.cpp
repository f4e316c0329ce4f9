/* orin_track.cpp: keyframe tracks. Reads the track chunks of the keyframer
 * data into orin_track records, prepares the Kochanek-Bartels (tension,
 * continuity, bias) Hermite tangents of every key once at load time,
 * attaches each track to its keyframer node, and evaluates position, scale,
 * colour, FOV, roll, hide and morph tracks at any real frame >= 0.
 * Rotation tracks share the header, key, search and ease rules here; their
 * quaternion spline is in orin_rotation.cpp.
 *
 * Precision: key values and tangents are single precision; the spline
 * arithmetic runs in double and is rounded to single precision where the
 * animation data was made that way (the four tangent weights of a key, t^2
 * and t^3 of the cubic, the ease sum).
 *
 * Cost per evaluation: a forward search from the cached cursor (frames
 * normally advance, so it is usually zero or one step), one ease mapping
 * and one cubic per component.
 */
#include <math.h>
#include <stdlib.h>

#include "scene/orin_internal.h"

/* ---- keys and tracks --------------------------------------------------------------------- */

int32_t orin_add_key(orin_track *track, orin_key *key, int32_t frame) {
    if (!track || !key) return ORIN_ERR_NULL;
    key->frame = (float)frame;
    key->next = NULL;
    /* While keys are being added the cursor is the tail. */
    orin_key *tail = track->cursor;
    if (!tail || tail->next) {
        tail = track->keys;
        while (tail && tail->next) tail = tail->next;
    }
    if (tail)
        tail->next = key;
    else
        track->keys = key;
    key->prev = tail;
    track->last_frame = key->frame;
    track->num_keys += 1;
    track->cursor = key;
    return ORIN_OK;
}

void orin_free_track(orin_track *track) {
    if (!track) return;
    orin_key *k = track->keys;
    while (k) {
        orin_key *next = k->next;
        free(k);
        k = next;
    }
    free(track);
}

/* The slot of a node's track set that takes a track type, or NULL when the
 * node type takes none of that type. */
static orin_track **track_slot(orin_kf_node *node, int32_t track_type) {
    if (!node->tracks) return NULL;
    switch (node->type) {
    case ORIN_KF_CAMERA: {
        orin_camera_tracks *t = (orin_camera_tracks *)node->tracks;
        if (track_type == ORIN_TRACK_POSITION) return &t->position;
        if (track_type == ORIN_TRACK_FOV) return &t->fov;
        if (track_type == ORIN_TRACK_ROLL) return &t->roll;
        return NULL;
    }
    case ORIN_KF_CAMERA_TARGET:
    case ORIN_KF_LIGHT_TARGET: {
        orin_target_tracks *t = (orin_target_tracks *)node->tracks;
        return track_type == ORIN_TRACK_POSITION ? &t->position : NULL;
    }
    case ORIN_KF_LIGHT: {
        orin_light_tracks *t = (orin_light_tracks *)node->tracks;
        if (track_type == ORIN_TRACK_POSITION) return &t->position;
        if (track_type == ORIN_TRACK_COLOR) return &t->color;
        return NULL;
    }
    case ORIN_KF_SPOTLIGHT: {
        orin_spot_tracks *t = (orin_spot_tracks *)node->tracks;
        if (track_type == ORIN_TRACK_POSITION) return &t->position;
        if (track_type == ORIN_TRACK_COLOR) return &t->color;
        if (track_type == ORIN_TRACK_ROLL) return &t->roll;
        return NULL;
    }
    case ORIN_KF_OBJECT: {
        orin_object_tracks *t = (orin_object_tracks *)node->tracks;
        switch (track_type) {
        case ORIN_TRACK_POSITION: return &t->position;
        case ORIN_TRACK_SCALE: return &t->scale;
        case ORIN_TRACK_ROTATION: return &t->rotation;
        case ORIN_TRACK_MORPH: return &t->morph;
        case ORIN_TRACK_HIDE: return &t->hide;
        default: return NULL;
        }
    }
    case ORIN_KF_AMBIENT: {
        orin_ambient_tracks *t = (orin_ambient_tracks *)node->tracks;
        return track_type == ORIN_TRACK_COLOR ? &t->color : NULL;
    }
    default: return NULL;
    }
}

int32_t orin_place_track(int32_t track_type, int32_t node_number, orin_track *track,
                         int *placed) {
    if (placed) *placed = 0;
    orin_scene *s = orin_lib.scene;
    if (!s || !s->nodes) return ORIN_ERR_NOT_LOADED;
    /* The last node with the number: tracks follow their node's header, so
     * where numbers repeat (a second motion load appends its nodes) the
     * latest is the one being read. */
    orin_pass_index *index = orin_active_index();
    orin_kf_node *node = index ? orin_index_last_node(index, node_number) : s->nodes_last;
    while (node && node->id != node_number) node = node->prev;
    if (!node) return ORIN_ERR_LOOKUP;
    orin_track **slot = track_slot(node, track_type);
    if (!slot || !track) return ORIN_OK;
    /* A second track of the same kind replaces the first; the node owned
     * the first, so it goes. */
    orin_track *old = *slot;
    *slot = track;
    if (old && old != track) orin_free_track(old);
    if (placed) *placed = 1;
    return ORIN_OK;
}

int32_t orin_assign_track(int32_t track_type, int32_t node_number, orin_track *track) {
    return orin_place_track(track_type, node_number, track, NULL);
}

/* ---- tangents -------------------------------------------------------------------------- */

/* x / y, or 0 where the keys sit on the same frame and the quotient would
 * be no number (only a hand-made file puts two keys on one frame). */
static double ratio(double x, double y) { return y != 0.0 ? x / y : 0.0; }

/* Kochanek-Bartels tangents of K between P and N; half, a and b measure the
 * spacing of the three keys (they differ at the joined ends of a loop). */
static void kb_tangents(orin_key *k, const orin_key *p, const orin_key *n, double half, double a_num,
                        double b_num) {
    double a = ratio(a_num, half), b = ratio(b_num, half);
    double C = fabs((double)k->continuity);
    double adj_in = C + a - C * a;
    double adj_out = C + b - C * b;
    double T = (1.0 - k->tension) * 0.5;
    double c = k->continuity, s = k->bias;
    /* The four weights are kept in single precision, as the tracks were
     * authored with them. */
    float w_a = (float)(adj_in * T * (1.0 - c) * (1.0 + s));
    float w_b = (float)(adj_in * T * (1.0 + c) * (1.0 - s));
    float w_c = (float)(adj_out * T * (1.0 + c) * (1.0 + s));
    float w_d = (float)(adj_out * T * (1.0 - c) * (1.0 - s));
    for (int i = 0; i < 4; ++i) {
        double g1 = (double)k->value.f[i] - p->value.f[i];
        double g2 = (double)n->value.f[i] - k->value.f[i];
        k->tangent_in[i] = (float)(w_a * g1 + w_b * g2);
        k->tangent_out[i] = (float)(w_c * g1 + w_d * g2);
    }
}

/* The open end of a track of three or more keys: the tangent of `end`
 * from the two keys next to it (k1 adjacent, k2 beyond). The differences
 * run forward in time: from the end key on at the first key (D = K2 - K0,
 * E = K1 - K0), towards the end key at the last (D = Kn - Kn-2,
 * E = Kn - Kn-1), so a track played backwards mirrors its curve. The
 * spacing term k depends on frame distances only and reads the same
 * either way. `dir` is +1 at the first key, -1 at the last. */
static void end_tangent(const orin_key *end, const orin_key *k1, const orin_key *k2, double dir,
                        float *out) {
    double k = 0.25 - ratio((double)k1->frame - end->frame, 2.0 * ((double)k2->frame - end->frame));
    for (int i = 0; i < 4; ++i) {
        double D = dir * ((double)k2->value.f[i] - end->value.f[i]);
        double E = dir * ((double)k1->value.f[i] - end->value.f[i]);
        out[i] = (float)((1.0 - end->tension) * (D / 2.0 + 1.5 * (E - D / 2.0) + k * D));
    }
}

int32_t orin_prepare_spline(orin_track *track) {
    if (!track) return ORIN_ERR_NULL;
    orin_key *first = track->keys;
    if (!first || !first->next) return ORIN_OK; /* one key: tangents stay 0 */
    orin_key *last = first;
    while (last->next) last = last->next;

    if (!first->next->next) {
        /* Two keys: straight from one to the other, scaled by tension. */
        for (int i = 0; i < 4; ++i) {
            double d = (double)last->value.f[i] - first->value.f[i];
            first->tangent_in[i] = 0.0f;
            first->tangent_out[i] = (float)(d * (1.0 - first->tension));
            last->tangent_in[i] = (float)(d * (1.0 - last->tension));
            last->tangent_out[i] = 0.0f;
        }
        return ORIN_OK;
    }

    for (orin_key *k = first->next; k != last; k = k->next) {
        double fp = k->prev->frame, fk = k->frame, fn = k->next->frame;
        kb_tangents(k, k->prev, k->next, (fn - fp) / 2.0, fk - fp, fn - fk);
    }

    if (track->mode == ORIN_TRACK_LOOP) {
        /* The ends join: the first key's predecessor is the key before the
         * last (the last key stands on the same frame of the cycle as the
         * first), and the last key's successor is the second key. */
        double L = track->last_frame;
        orin_key *p = last->prev, *n = first->next;
        double fp = p->frame, fn = n->frame;
        double fk = first->frame;
        kb_tangents(first, p, n, (fn - fp + L) / 2.0, fk - fp + L, fn - fk);
        fk = last->frame;
        kb_tangents(last, p, n, (fn - fp + L) / 2.0, fk - fp, fn - fk + L);
    } else {
        end_tangent(first, first->next, first->next->next, 1.0, first->tangent_out);
        end_tangent(last, last->prev, last->prev->prev, -1.0, last->tangent_in);
        for (int i = 0; i < 4; ++i) {
            first->tangent_in[i] = 0.0f;
            last->tangent_out[i] = 0.0f;
        }
    }
    return ORIN_OK;
}

/* ---- search, ease, cubic ---------------------------------------------------------------- */

orin_key *orin_track_search(orin_track *track, float frame) {
    /* Starting at the cursor only when the frame lies past it gives the
     * same key as a search from the first key: a frame equal to the
     * cursor's own frame belongs to the segment before it. That keeps the
     * result independent of the frames visited before. */
    orin_key *k = (track->cursor && frame > track->cursor->frame) ? track->cursor : track->keys;
    while (k->next && frame > k->next->frame) k = k->next;
    track->cursor = k;
    return k;
}

double orin_track_param(const orin_key *k0, const orin_key *k1, float frame) {
    double span = (double)k1->frame - k0->frame;
    /* Two keys on one frame: the frame is the later key's. */
    double t = span != 0.0 ? ((double)frame - k0->frame) / span : 1.0;

    float e_from = k0->ease_from, e_to = k1->ease_to;
    float sum = e_from + e_to;
    if (sum > 1.0f) {
        /* Eases that together pass the whole segment share it in their
         * proportion. */
        e_from = e_from / sum;
        e_to = e_to / sum;
    }
    if (sum == 0.0f) return t;
    double k = 1.0 / (2.0 - e_from - e_to);
    if (t < e_from)
        t = (k / e_from) * t * t;
    else if (t < 1.0 - e_to)
        t = k * (2.0 * t - e_from);
    else if (e_to != 0.0f)
        t = 1.0 - (k / e_to) * (1.0 - t) * (1.0 - t);
    else
        /* Only reached at t = 1 (the key's own frame) with no ease into the
         * key: the branch's limit, where k / e_to * 0 would be no number. */
        t = 1.0;
    return t;
}

static float hermite(double t, float p0, float p1, float r0, float r1) {
    float t2 = (float)(t * t);
    float t3 = (float)(t * t * t);
    double h1 = 2.0 * t3 - 3.0 * t2 + 1.0;
    double h2 = 3.0 * t2 - 2.0 * t3;
    double h3 = t3 - 2.0 * t2 + t;
    double h4 = (double)t3 - t2;
    return (float)(h1 * p0 + h2 * p1 + h3 * r0 + h4 * r1);
}

/* The first n value slots of a spline track at frame (already wrapped). */
static void spline_at(orin_track *track, float frame, float *out, int n) {
    const orin_key *src = track->keys;
    /* Written so that a frame that is no number (a wrap by a last frame of
     * 0) gives the first key. */
    if (src->next && frame >= src->frame) {
        orin_key *k0 = orin_track_search(track, frame);
        orin_key *k1 = k0->next;
        if (k1 && frame >= k0->frame) {
            double t = orin_track_param(k0, k1, frame);
            for (int i = 0; i < n; ++i)
                out[i] = hermite(t, k0->value.f[i], k1->value.f[i], k0->tangent_out[i], k1->tangent_in[i]);
            return;
        }
        src = k0;
    }
    for (int i = 0; i < n; ++i) out[i] = src->value.f[i];
}

float orin_track_wrap(const orin_track *track, float frame) {
    if (track->mode == ORIN_TRACK_ONCE) return frame;
    return (float)fmod((double)frame, (double)track->last_frame);
}

/* ---- evaluations ---------------------------------------------------------------------------- */

int32_t orin_eval_vector(orin_track *track, float frame, orin_vector *out) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!track || !track->keys || !out) return ORIN_ERR_NULL;
    float v[3];
    spline_at(track, orin_track_wrap(track, frame), v, 3);
    out->x = v[0];
    out->y = v[1];
    out->z = v[2];
    return ORIN_OK;
}

int32_t orin_eval_color(orin_track *track, float frame, orin_color *out) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!track || !track->keys || !out) return ORIN_ERR_NULL;
    float v[3];
    spline_at(track, frame, v, 3); /* colours hold at the end, whatever the mode */
    out->r = v[0];
    out->g = v[1];
    out->b = v[2];
    return ORIN_OK;
}

int32_t orin_eval_scalar(orin_track *track, float frame, float *out) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!track || !track->keys || !out) return ORIN_ERR_NULL;
    spline_at(track, orin_track_wrap(track, frame), out, 1);
    return ORIN_OK;
}

int32_t orin_eval_hide(orin_track *track, float frame, int32_t *hidden) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!hidden) return ORIN_ERR_NULL;
    if (!track || !track->keys) {
        *hidden = 0;
        return ORIN_ERR_NULL;
    }
    float f = orin_track_wrap(track, frame);
    if (f >= track->keys->frame)
        *hidden = orin_track_search(track, f)->value.i[0];
    else
        *hidden = 0;
    return ORIN_OK;
}

int32_t orin_eval_morph(orin_track *track, float frame, int32_t *from, int32_t *to, float *alpha) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!track || !track->keys || !from || !to || !alpha) return ORIN_ERR_NULL;
    orin_key *k0 = orin_track_search(track, frame);
    orin_key *k1 = k0->next;
    if (k1 && frame >= k0->frame) {
        *from = k0->value.i[0];
        *to = k1->value.i[0];
        *alpha = (float)orin_track_param(k0, k1, frame);
    } else {
        *from = k0->prev ? k0->prev->value.i[0] : k0->value.i[0];
        *to = k0->value.i[0];
        *alpha = 1.0f;
    }
    return ORIN_OK;
}

/* ---- reading ------------------------------------------------------------------------------------ */

/* Fewest bytes a key of each track type takes, to refuse a key count the
 * chunk cannot hold before anything is allocated. */
static long min_key_bytes(int32_t type) {
    switch (type) {
    case ORIN_TRACK_POSITION:
    case ORIN_TRACK_SCALE:
    case ORIN_TRACK_COLOR: return 6 + 12;
    case ORIN_TRACK_ROTATION: return 6 + 16;
    case ORIN_TRACK_FOV:
    case ORIN_TRACK_ROLL: return 6 + 4;
    case ORIN_TRACK_MORPH: return 6 + 1;
    default: return 6;
    }
}

static int32_t skip_bytes(orin_reader *r, long n) {
    uint8_t buf[8];
    while (n > 0) {
        long step = n < 8 ? n : 8;
        if (orin_read_bytes(r, buf, step)) return ORIN_ERR_READ;
        n -= step;
    }
    return ORIN_OK;
}

/* Key header: frame (low 16 bits of the file's 32-bit frame number), spline
 * flags, then one real per set flag bit. */
static int32_t read_key_header(orin_reader *r, orin_key *key, uint16_t *frame) {
    uint16_t high, flags;
    if (orin_read_u16(r, frame) || orin_read_u16(r, &high) || orin_read_u16(r, &flags))
        return ORIN_ERR_READ;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(flags & (1u << bit))) continue;
        float v;
        if (orin_read_float(r, &v)) return ORIN_ERR_READ;
        switch (bit) {
        case 0: key->tension = v; break;
        case 1: key->continuity = v; break;
        case 2: key->bias = v; break;
        case 3: key->ease_to = v; break;
        case 4: key->ease_from = v; break;
        default: break; /* parameters this library does not use */
        }
    }
    return ORIN_OK;
}

static int32_t read_key_data(orin_reader *r, int32_t type, orin_key *key, const orin_key *prev) {
    float v[4];
    switch (type) {
    case ORIN_TRACK_POSITION:
    case ORIN_TRACK_SCALE:
        if (orin_read_float(r, &v[0]) || orin_read_float(r, &v[1]) || orin_read_float(r, &v[2]))
            return ORIN_ERR_READ;
        /* File Z-up to library Y-up. */
        key->value.f[0] = v[0];
        key->value.f[1] = v[2];
        key->value.f[2] = v[1];
        return ORIN_OK;
    case ORIN_TRACK_COLOR:
        for (int i = 0; i < 3; ++i)
            if (orin_read_float(r, &key->value.f[i])) return ORIN_ERR_READ;
        return ORIN_OK;
    case ORIN_TRACK_FOV:
    case ORIN_TRACK_ROLL: return orin_read_float(r, &key->value.f[0]);
    case ORIN_TRACK_ROTATION:
        for (int i = 0; i < 4; ++i)
            if (orin_read_float(r, &v[i])) return ORIN_ERR_READ;
        orin_rotation_key(key, prev, v[0], v[1], v[2], v[3]);
        return ORIN_OK;
    case ORIN_TRACK_MORPH: {
        if (orin_read_string(r)) return ORIN_ERR_READ;
        orin_world_node *target = orin_find_record(r->name_buffer, 0xFFFF);
        if (!target) return ORIN_ERR_LOOKUP;
        key->value.i[0] = orin_record_id(target);
        return ORIN_OK;
    }
    default: return ORIN_ERR_READ;
    }
}

static int32_t read_keys(orin_reader *r, int32_t type, orin_track *t, uint16_t count) {
    for (int i = 0; i < count; ++i) {
        orin_key *key = (orin_key *)calloc(1, sizeof(orin_key));
        if (!key) return ORIN_ERR_NO_MEMORY;
        uint16_t frame;
        int32_t rc;
        if (type == ORIN_TRACK_HIDE) {
            /* Hide keys have no spline header: frame, then two values this
             * library does not use. Keys toggle from "hidden". */
            rc = orin_read_u16(r, &frame);
            if (!rc) rc = skip_bytes(r, 4);
            key->value.i[0] = (i % 2 == 0) ? 1 : 0;
        } else {
            rc = read_key_header(r, key, &frame);
            if (!rc) rc = read_key_data(r, type, key, t->cursor);
        }
        if (rc) {
            free(key);
            return rc;
        }
        orin_add_key(t, key, frame);
    }
    return ORIN_OK;
}

int32_t orin_read_track(orin_reader *r, int32_t type) {
    uint16_t flags, count, spare;
    /* Header: flags, 8 bytes this library does not use, key count, 16 more
     * bits (the key count's high half). */
    if (orin_read_u16(r, &flags) || skip_bytes(r, 8) || orin_read_u16(r, &count) ||
        orin_read_u16(r, &spare))
        return ORIN_ERR_READ;
    if ((long)count * min_key_bytes(type) > orin_read_left(r)) return ORIN_ERR_READ;

    orin_track *t = (orin_track *)calloc(1, sizeof(orin_track));
    if (!t) return ORIN_ERR_NO_MEMORY;
    t->mode = (flags & 3) == 3 ? ORIN_TRACK_LOOP : (flags & 2) ? ORIN_TRACK_REPEAT : ORIN_TRACK_ONCE;
    int32_t rc = read_keys(r, type, t, count);
    if (rc) {
        orin_free_track(t);
        return rc;
    }
    if (type == ORIN_TRACK_ROTATION)
        orin_prepare_rotation(t);
    else if (type != ORIN_TRACK_MORPH && type != ORIN_TRACK_HIDE)
        orin_prepare_spline(t);

    /* A track whose node number names no node, or whose node takes no
     * track of this kind, is dropped (the reader does not fail for it). */
    int placed = 0;
    orin_place_track(type, r->next_id, t, &placed);
    if (!placed) orin_free_track(t);
    return ORIN_OK;
}
