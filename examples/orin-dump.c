/* orin-dump: loads a 3DS file with the orin scene library, evaluates one
 * frame and prints each object's world matrix.
 *
 *   cc orin-dump.c $(pkg-config --cflags --libs orin) -o orin-dump
 *   ./orin-dump model.3ds [FRAME] [--strict]
 *
 * Reads leniently (files from other exporters load, with warnings on
 * standard error) unless --strict. FRAME defaults to the scene's first
 * frame; a scene without a frame range is shown as loaded. Exit status 0,
 * or 1 when the file does not load or the frame is outside the range.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <orin.h>

static int fail(const char *path, const char *what, int32_t code) {
    char where[96];
    orin_describe_stop(code, where, sizeof where);
    fprintf(stderr, "orin-dump: %s: %s: %s%s%s\n", path, what, orin_result_name(code),
            where[0] ? "; " : "", where);
    return 1;
}

int main(int argc, char **argv) {
    const char *path = NULL, *frame_text = NULL;
    int32_t flags = ORIN_HIERARCHY | ORIN_MORPH | ORIN_TRANSFORM | ORIN_LENIENT;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--strict") == 0) flags &= ~ORIN_LENIENT;
        else if (!path) path = argv[i];
        else frame_text = argv[i];
    }
    if (!path) {
        fprintf(stderr, "usage: orin-dump FILE.3ds [FRAME] [--strict]\n");
        return 2;
    }

    orin_init(flags);
    orin_scene *scene = NULL;
    if (orin_alloc_scene(&scene) != ORIN_OK) return fail(path, "scene", ORIN_ERR_NO_MEMORY);
    int32_t rc = orin_load_world(path, scene);
    if (rc != ORIN_OK) return fail(path, "world", rc);
    rc = orin_load_motion(path, scene);
    if (rc != ORIN_OK) return fail(path, "motion", rc);
    for (int32_t i = 0; i < orin_warning_count(); ++i)
        if (orin_warning(i)) fprintf(stderr, "orin-dump: %s: warning: %s\n", path, orin_warning(i));

    /* Everything below works on the active scene; no camera: world space. */
    orin_set_scene(scene);
    orin_set_camera(NULL);
    float start, end;
    if (orin_get_frames(&start, &end) == ORIN_OK) {
        float frame = frame_text ? strtof(frame_text, NULL) : start;
        rc = orin_set_frame(frame);
        if (rc != ORIN_OK) return fail(path, "frame", rc);
    }
    orin_update();

    printf("frame %g\n", scene->frame);
    for (const orin_world_node *n = scene->world; n; n = n->next) {
        if (n->type != ORIN_OBJECT) continue;
        const orin_object *o = (const orin_object *)n->object;
        const char *name = o->name ? o->name : "-";
        printf("%s (id %d)%s\n", name, (int)o->id, (o->flags & ORIN_OBJ_HIDDEN) ? " hidden" : "");
        for (int r = 0; r < 3; ++r)
            printf("  %g %g %g %g\n", o->matrix.m[r][0], o->matrix.m[r][1], o->matrix.m[r][2],
                   o->matrix.m[r][3]);
    }

    orin_free_scene(scene);
    orin_done();
    return 0;
}
