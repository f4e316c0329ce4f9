/* orin_update.cpp: the keyframer update and the normal computation.
 *
 * orin_update brings the active scene to its frame: evaluates every track
 * into its record, builds each object's matrix from its (unnormalised)
 * rotation quaternion, scale and translation, applies the node hierarchy
 * in list order, computes every keyframed camera's view matrix and
 * projection scales, and transforms mesh vertices, normals and lights into
 * world and camera space. Vertex results are always recomputed from the
 * object-space `local` positions, so frames may be visited in any order.
 *
 * Spaces: library space is Y-up; camera space has z pointing forward from
 * the eye (camera z is the distance along the view). No perspective
 * division, clipping or culling happens here.
 *
 * Cost per update: linear in nodes, vertices and faces; one 3x4 matrix per
 * object composed once and applied per vertex. Nothing is allocated.
 */
#include <math.h>

#include "scene/orin_internal.h"
#include "common/mathfn.h"

/* Camera roll, degrees to radians in double precision, with pi written to
 * eleven decimals (3.14159265359 / 180), a hair above pi / 180. The
 * renderer's spotlight cones use a shorter single-precision factor of their
 * own (0.0174532f). Each is part of how its angle is defined, and the frames
 * follow from both, so neither becomes the exact pi / 180. */
static const double ORIN_ROLL_DEGREES_TO_RADIANS = 3.14159265359 / 180.0; /* 0.017453292519944444 */

/* ---- small vector and matrix helpers (single precision) ------------------------------- */

/* p mapped by m: row_i . (p, 1). */
static orin_vector apply_point(const orin_matrix *m, const orin_vector *p) {
    orin_vector r;
    r.x = m->m[0][0] * p->x + m->m[0][1] * p->y + m->m[0][2] * p->z + m->m[0][3];
    r.y = m->m[1][0] * p->x + m->m[1][1] * p->y + m->m[1][2] * p->z + m->m[1][3];
    r.z = m->m[2][0] * p->x + m->m[2][1] * p->y + m->m[2][2] * p->z + m->m[2][3];
    return r;
}

/* v through the 3x3 part only (directions). */
static orin_vector apply_dir(const orin_matrix *m, const orin_vector *v) {
    orin_vector r;
    r.x = m->m[0][0] * v->x + m->m[0][1] * v->y + m->m[0][2] * v->z;
    r.y = m->m[1][0] * v->x + m->m[1][1] * v->y + m->m[1][2] * v->z;
    r.z = m->m[2][0] * v->x + m->m[2][1] * v->y + m->m[2][2] * v->z;
    return r;
}

/* out = a x b as affine maps (b first, then a). out may alias b. */
static void mat_mul(orin_matrix *out, const orin_matrix *a, const orin_matrix *b) {
    orin_matrix r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a->m[i][0] * b->m[0][j] + a->m[i][1] * b->m[1][j] + a->m[i][2] * b->m[2][j];
        r.m[i][3] += a->m[i][3];
    }
    *out = r;
}

/* m with the linear part of each row scaled to unit length (a zero row
 * stays as it is): turns normals without the object's scale. */
static void normalise_rows(orin_matrix *out, const orin_matrix *m) {
    *out = *m;
    for (int i = 0; i < 3; ++i) {
        double len = sqrt((double)m->m[i][0] * m->m[i][0] + (double)m->m[i][1] * m->m[i][1] +
                          (double)m->m[i][2] * m->m[i][2]);
        double f = len != 0.0 ? 1.0 / len : 1.0;
        for (int j = 0; j < 3; ++j) out->m[i][j] = (float)(m->m[i][j] * f);
    }
}

/* ---- object matrix ------------------------------------------------------------------------ */

/* Rotation of q (used as it is, not normalised: the zero quaternion of an
 * object without a rotation track gives the identity), columns scaled by
 * s, translation t. */
static void object_matrix(orin_object *o) {
    const orin_quat *q = &o->rotate;
    float x2 = q->x * 2.0f, y2 = q->y * 2.0f, z2 = q->z * 2.0f;
    float wx = x2 * q->w, wy = y2 * q->w, wz = z2 * q->w;
    float xx = x2 * q->x, xy = y2 * q->x, xz = z2 * q->x;
    float yy = y2 * q->y, yz = z2 * q->y, zz = z2 * q->z;
    float r[3][3] = {
        {1.0f - (yy + zz), xy - wz, xz + wy},
        {xy + wz, 1.0f - (xx + zz), yz - wx},
        {xz - wy, yz + wx, 1.0f - (xx + yy)},
    };
    const float s[3] = {o->scale.x, o->scale.y, o->scale.z};
    const float t[3] = {o->translate.x, o->translate.y, o->translate.z};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) o->matrix.m[i][j] = r[i][j] * s[j];
        o->matrix.m[i][3] = t[i];
    }
}

/* ---- step 1: tracks ------------------------------------------------------------------------- */

static void eval_node(orin_kf_node *n, float f) {
    if (!n->tracks || !n->object) return;
    /* Result codes are ignored: a missing track leaves its field as it was. */
    switch (n->type) {
    case ORIN_KF_CAMERA: {
        orin_camera_tracks *t = (orin_camera_tracks *)n->tracks;
        orin_camera *c = (orin_camera *)n->object;
        orin_eval_vector(t->position, f, &c->pos);
        orin_eval_scalar(t->fov, f, &c->fov);
        orin_eval_scalar(t->roll, f, &c->roll);
        break;
    }
    case ORIN_KF_CAMERA_TARGET:
        orin_eval_vector(((orin_target_tracks *)n->tracks)->position, f, &((orin_camera *)n->object)->target);
        break;
    case ORIN_KF_LIGHT: {
        orin_light_tracks *t = (orin_light_tracks *)n->tracks;
        orin_light *l = (orin_light *)n->object;
        orin_eval_vector(t->position, f, &l->pos);
        orin_eval_color(t->color, f, &l->color);
        break;
    }
    case ORIN_KF_SPOTLIGHT: {
        orin_spot_tracks *t = (orin_spot_tracks *)n->tracks;
        orin_light *l = (orin_light *)n->object;
        orin_eval_vector(t->position, f, &l->pos);
        orin_eval_color(t->color, f, &l->color);
        orin_eval_scalar(t->roll, f, &l->roll);
        break;
    }
    case ORIN_KF_LIGHT_TARGET:
        orin_eval_vector(((orin_target_tracks *)n->tracks)->position, f, &((orin_light *)n->object)->target);
        break;
    case ORIN_KF_OBJECT: {
        orin_object_tracks *t = (orin_object_tracks *)n->tracks;
        orin_object *o = (orin_object *)n->object;
        orin_eval_vector(t->position, f, &o->translate);
        orin_eval_vector(t->scale, f, &o->scale);
        orin_eval_rotation(t->rotation, f, &o->rotate);
        int32_t hidden = 0;
        orin_eval_hide(t->hide, f, &hidden);
        int32_t morph = orin_eval_morph(t->morph, f, &o->morph_from, &o->morph_to, &o->morph_alpha);
        if (morph == ORIN_OK)
            o->flags |= ORIN_OBJ_MORPH;
        else
            o->flags &= ~ORIN_OBJ_MORPH;
        if (hidden)
            o->flags |= ORIN_OBJ_HIDDEN;
        else
            o->flags &= ~ORIN_OBJ_HIDDEN;
        object_matrix(o);
        break;
    }
    case ORIN_KF_AMBIENT:
        orin_eval_color(((orin_ambient_tracks *)n->tracks)->color, f, &((orin_ambient *)n->object)->color);
        break;
    default: break;
    }
}

/* ---- step 2: hierarchy ----------------------------------------------------------------------- */

static void apply_hierarchy(orin_kf_node *n) {
    if (!n->object) return;
    if (n->type == ORIN_KF_OBJECT) {
        /* A copy: a node listed as its own child would change M as it goes. */
        orin_matrix m = ((orin_object *)n->object)->matrix;
        for (orin_kf_node *c = n->child; c; c = c->brother) {
            if (!c->object) continue;
            switch (c->type) {
            case ORIN_KF_OBJECT: {
                orin_object *o = (orin_object *)c->object;
                mat_mul(&o->matrix, &m, &o->matrix);
                break;
            }
            case ORIN_KF_CAMERA: {
                orin_camera *cam = (orin_camera *)c->object;
                cam->pos = apply_point(&m, &cam->pos);
                break;
            }
            case ORIN_KF_CAMERA_TARGET: {
                orin_camera *cam = (orin_camera *)c->object;
                cam->target = apply_point(&m, &cam->target);
                break;
            }
            case ORIN_KF_LIGHT:
            case ORIN_KF_SPOTLIGHT: {
                orin_light *l = (orin_light *)c->object;
                l->pos = apply_point(&m, &l->pos);
                break;
            }
            case ORIN_KF_LIGHT_TARGET: {
                orin_light *l = (orin_light *)c->object;
                l->target = apply_point(&m, &l->target);
                break;
            }
            default: break;
            }
        }
    } else if (n->type == ORIN_KF_CAMERA) {
        /* Lights carried by a camera move with its position only. */
        const orin_camera *cam = (const orin_camera *)n->object;
        for (orin_kf_node *c = n->child; c; c = c->brother) {
            if (!c->object || (c->type != ORIN_KF_LIGHT && c->type != ORIN_KF_SPOTLIGHT)) continue;
            orin_light *l = (orin_light *)c->object;
            l->pos.x = cam->pos.x + l->pos.x;
            l->pos.y = cam->pos.y + l->pos.y;
            l->pos.z = cam->pos.z + l->pos.z;
        }
    }
}

/* ---- step 3: cameras ------------------------------------------------------------------------- */

static void camera_matrix(orin_camera *c) {
    double dx = (double)c->target.x - c->pos.x;
    double dy = (double)c->target.y - c->pos.y;
    double dz = (double)c->target.z - c->pos.z;
    double len = sqrt(dx * dx + dy * dy + dz * dz);
    if (len == 0.0) len = 1.0; /* eye on its target: look along +z */

    /* Half the horizontal field of view in radians (1/180 as a single). */
    double h = marrow::mathfn::tan(c->fov * 0.5 * (double)0.0055555557f * 3.14159265359);
    c->persp_x = (float)(c->size_x * 0.5 / h);
    c->persp_y = (float)(c->size_y * 0.5 / c->aspect / h);

    double yaw = -marrow::mathfn::atan2(dx, dz);
    /* dy / len is within [-1, 1] for finite positions; the clamp keeps
     * rounding at the poles from asking asin for no number. */
    double sin_pitch = dy / len;
    if (sin_pitch > 1.0) sin_pitch = 1.0;
    if (sin_pitch < -1.0) sin_pitch = -1.0;
    double pitch = marrow::mathfn::asin(sin_pitch);
    double r = -c->roll * ORIN_ROLL_DEGREES_TO_RADIANS;
    double sy = marrow::mathfn::sin(yaw), cy = marrow::mathfn::cos(yaw);
    double sp = marrow::mathfn::sin(pitch), cp = marrow::mathfn::cos(pitch);
    double sr = marrow::mathfn::sin(r), cr = marrow::mathfn::cos(r);

    double rows[3][3] = {
        {cr * cy + sr * sp * sy, sr * cp, cr * sy - sr * sp * cy},
        {cr * sp * sy - sr * cy, cr * cp, -cr * sp * cy - sr * sy},
        {-cp * sy, sp, cp * cy},
    };
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) c->matrix.m[i][j] = (float)rows[i][j];
        c->matrix.m[i][3] =
            (float)-(rows[i][0] * c->pos.x + rows[i][1] * c->pos.y + rows[i][2] * c->pos.z);
    }
}

/* ---- step 4: transform ------------------------------------------------------------------------- */

/* The morph targets of `o` when both are meshes with at least o's vertex
 * count (anything else is not blended: its vertices could not be read). */
static int morph_targets(const orin_object *o, const orin_object **a, const orin_object **b) {
    orin_world_node *na = NULL, *nb = NULL;
    orin_find_object_by_id(o->morph_from, &na);
    orin_find_object_by_id(o->morph_to, &nb);
    if (!na || !nb || na->type != ORIN_OBJECT || nb->type != ORIN_OBJECT) return 0;
    *a = (const orin_object *)na->object;
    *b = (const orin_object *)nb->object;
    if (!*a || !*b || !(*a)->vertices || !(*b)->vertices) return 0;
    return (*a)->num_vertices >= o->num_vertices && (*b)->num_vertices >= o->num_vertices;
}

static void transform_object(orin_object *o, const orin_camera *cam, int32_t flags) {
    if (!o->vertices || o->num_vertices <= 0) return;
    orin_matrix co, nco, no;
    if (cam)
        mat_mul(&co, &cam->matrix, &o->matrix);
    else
        co = o->matrix;
    normalise_rows(&nco, &co);
    normalise_rows(&no, &o->matrix);

    const orin_object *a = NULL, *b = NULL;
    if ((flags & ORIN_MORPH) && (o->flags & ORIN_OBJ_MORPH) && morph_targets(o, &a, &b)) {
        float alpha = o->morph_alpha;
        for (int i = 0; i < o->num_vertices; ++i) {
            const orin_vector *pa = &a->vertices[i].local, *pb = &b->vertices[i].local;
            orin_vector p = {pa->x + (pb->x - pa->x) * alpha, pa->y + (pb->y - pa->y) * alpha,
                             pa->z + (pb->z - pa->z) * alpha};
            o->vertices[i].camera = apply_point(&co, &p);
            o->vertices[i].world = apply_point(&o->matrix, &p);
        }
    } else {
        for (int i = 0; i < o->num_vertices; ++i) {
            orin_vertex *v = &o->vertices[i];
            v->camera = apply_point(&co, &v->local);
            v->world = apply_point(&o->matrix, &v->local);
        }
    }

    if (flags & ORIN_NORMALS) {
        for (int i = 0; i < o->num_vertices; ++i) {
            orin_vertex *v = &o->vertices[i];
            v->camera_normal = apply_dir(&nco, &v->normal);
            v->world_normal = apply_dir(&no, &v->normal);
        }
        for (int i = 0; i < o->num_faces; ++i) {
            orin_face *f = &o->faces[i];
            f->camera_normal = apply_dir(&nco, &f->normal);
            f->world_normal = apply_dir(&no, &f->normal);
        }
    }
}

static void transform_scene(orin_scene *s, const orin_camera *cam, int32_t flags) {
    for (orin_world_node *n = s->world; n; n = n->next) {
        if (!n->object) continue;
        if (n->type == ORIN_OBJECT) {
            transform_object((orin_object *)n->object, cam, flags);
        } else if (n->type == ORIN_LIGHT) {
            orin_light *l = (orin_light *)n->object;
            l->camera_pos = cam ? apply_point(&cam->matrix, &l->pos) : l->pos;
        }
    }
}

int32_t orin_update(void) {
    orin_scene *s = orin_lib.scene;
    if (!s || !s->world || !s->nodes) return ORIN_ERR_NOT_LOADED;
    float f = s->frame;
    for (orin_kf_node *n = s->nodes; n; n = n->next) eval_node(n, f);
    /* List order: a grandchild gets its grandparent's matrix through its
     * parent only when the parent comes later in the list than the
     * grandparent, as keyframer data is written. */
    if (orin_lib.flags & ORIN_HIERARCHY)
        for (orin_kf_node *n = s->nodes; n; n = n->next) apply_hierarchy(n);
    for (orin_kf_node *n = s->nodes; n; n = n->next)
        if (n->type == ORIN_KF_CAMERA && n->object) camera_matrix((orin_camera *)n->object);
    if (orin_lib.flags & ORIN_TRANSFORM) transform_scene(s, orin_lib.camera, orin_lib.flags);
    return ORIN_OK;
}

/* ---- normals ----------------------------------------------------------------------------------- */

/* v / |v|, a zero vector stays zero. */
static orin_vector unit(orin_vector v) {
    double len = sqrt((double)v.x * v.x + (double)v.y * v.y + (double)v.z * v.z);
    if (len == 0.0) return v;
    orin_vector r = {(float)(v.x / len), (float)(v.y / len), (float)(v.z / len)};
    return r;
}

static void object_normals(orin_object *o) {
    if (!o->vertices || !o->faces) return;
    for (int i = 0; i < o->num_faces; ++i) {
        orin_face *f = &o->faces[i];
        const orin_vector *a = &f->pa->local, *b = &f->pb->local, *c = &f->pc->local;
        orin_vector u = {a->x - b->x, a->y - b->y, a->z - b->z};
        orin_vector v = {b->x - c->x, b->y - c->y, b->z - c->z};
        orin_vector n = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        f->normal = unit(n);
    }
    /* Vertex normals: the plain average of the normals of the faces that
     * use the vertex (each face once, not weighted by area), made unit.
     * The sums run in face order, one pass over the faces; `world_normal`
     * holds the running sum and `camera_normal.x` the count until the
     * division (both are rewritten by every update). */
    for (int i = 0; i < o->num_vertices; ++i) {
        orin_vertex *v = &o->vertices[i];
        v->world_normal.x = v->world_normal.y = v->world_normal.z = 0.0f;
        v->camera_normal.x = 0.0f;
    }
    for (int i = 0; i < o->num_faces; ++i) {
        const orin_face *f = &o->faces[i];
        const uint32_t idx[3] = {f->a, f->b, f->c};
        for (int k = 0; k < 3; ++k) {
            if ((k > 0 && idx[k] == idx[0]) || (k > 1 && idx[k] == idx[1])) continue;
            orin_vertex *v = &o->vertices[idx[k]];
            v->world_normal.x += f->normal.x;
            v->world_normal.y += f->normal.y;
            v->world_normal.z += f->normal.z;
            v->camera_normal.x += 1.0f;
        }
    }
    for (int i = 0; i < o->num_vertices; ++i) {
        orin_vertex *v = &o->vertices[i];
        float count = v->camera_normal.x;
        if (count > 0.0f) {
            orin_vector avg = {v->world_normal.x / count, v->world_normal.y / count,
                               v->world_normal.z / count};
            v->normal = unit(avg);
        }
        v->world_normal.x = v->world_normal.y = v->world_normal.z = 0.0f;
        v->camera_normal.x = 0.0f;
    }
}

void orin_compute_normals(void) {
    orin_scene *s = orin_lib.scene;
    if (!s) return;
    for (orin_world_node *n = s->world; n; n = n->next)
        if (n->type == ORIN_OBJECT && n->object) object_normals((orin_object *)n->object);
}
