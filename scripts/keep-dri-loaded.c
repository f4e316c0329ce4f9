/* keep-dri-loaded.c: preloaded in the sanitizer run only (make sanitize).
 *
 * Mesa's DRI driver (swrast_dri.so, loaded through GLX when SDL probes or
 * uses OpenGL on the virtual X server) keeps two linked 56-byte blocks in
 * its own globals and never frees them. When SDL unloads GL at exit the
 * driver is unmapped with them, so LeakSanitizer sees blocks nothing points
 * at, allocated from a module it can no longer name ("<unknown module>"),
 * and no suppression can match them.
 *
 * This dlclose leaves Mesa's DRI drivers mapped until the process ends, so
 * the leak check still scans their globals (the blocks are reachable, as
 * they were while the program ran) and anything they do leak is reported
 * under the driver's name, which scripts/lsan.supp names. Every other
 * library is closed as usual. The file calls no allocator, so it may come
 * before the sanitizer runtime in the preload list.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <string.h>

static int is_dri_driver(const char *path) {
    size_t n = strlen(path);
    return strstr(path, "/dri/") != NULL && n > 7 && strcmp(path + n - 7, "_dri.so") == 0;
}

int dlclose(void *handle) {
    static int (*real_dlclose)(void *);
    if (!real_dlclose) real_dlclose = (int (*)(void *))dlsym(RTLD_NEXT, "dlclose");
    struct link_map *map = NULL;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && is_dri_driver(map->l_name))
        return 0;
    return real_dlclose ? real_dlclose(handle) : -1;
}
