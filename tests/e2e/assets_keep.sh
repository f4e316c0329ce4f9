#!/usr/bin/env bash
# marrow-assets never overwrites a user's file: run again over a data set it
# made, it replaces only what is still exactly its own, brings back what was
# removed, and keeps (and names) a file the user put in its place.
set -u
source "$(dirname "$0")/e2e.bash"
cd "$work"

"$build/marrow-assets" data --music-seconds 1 >first.out 2>&1 || { fail "first run: $(cat first.out)"; finish assets_keep; }
[[ -s data/.marrow-assets ]] && ok "a manifest of what it wrote" || fail "no manifest"

# The user's picture in place of a default one; a default scene removed; the
# soundtrack is still the tool's own, and a longer one replaces it.
cp data/pixmaps/tex1.jpg data/pixmaps/start.jpg
cp data/pixmaps/start.jpg mine.jpg
rm data/scenes/scene1.3ds
old_music=$(stat -c %s data/music/demo.mp3)
"$build/marrow-assets" data --music-seconds 2 >second.out 2>&1
rc=$?
[[ $rc -eq 0 ]] && ok "second run succeeds" || fail "second run: status $rc: $(cat second.out)"
cmp -s mine.jpg data/pixmaps/start.jpg && ok "the user's start.jpg is kept" || fail "start.jpg was overwritten"
grep -qx "marrow-assets: keeping your pixmaps/start.jpg (remove it to get the default back)" second.out &&
    ok "says it keeps it" || fail "no line for the kept file: $(cat second.out)"
[[ $(grep -c keeping second.out) -eq 1 ]] && ok "and names nothing else" || fail "other files named: $(cat second.out)"
[[ -s data/scenes/scene1.3ds ]] && ok "a removed file comes back" || fail "scene1.3ds not made again"
[[ $(stat -c %s data/music/demo.mp3) -gt $old_music ]] && ok "its own soundtrack is replaced" ||
    fail "the tool's own soundtrack was kept"
[[ ! -e data/.marrow-assets-new ]] && ok "no staging folder left" || fail "staging folder left behind"

# Once the user's file is gone, the default comes back.
rm data/pixmaps/start.jpg
"$build/marrow-assets" data --only images >third.out 2>&1
[[ -s data/pixmaps/start.jpg ]] && ! cmp -s mine.jpg data/pixmaps/start.jpg && ok "the default returns when removed" ||
    fail "start.jpg not made again"

finish assets_keep
