#!/usr/bin/env bash
# make web's data check: a data set the program would refuse at start is
# refused, naming the file and the problem; the generated one passes.
set -u
source "$(dirname "$0")/e2e.bash"
check=$(cd "$(dirname "$0")/../../scripts" && pwd)/check-data
cd "$work"
cp -r "$build/demo/pixmaps" "$build/demo/scenes" .

"$check" "$build/marrow-capture" "$work" 2>good.err && ok "the generated data set passes" ||
    fail "the generated data set is refused: $(cat good.err)"

convert -size 200x100 xc:orange pixmaps/start.jpg
"$check" "$build/marrow-capture" "$work" 2>bad.err
rc=$?
[[ $rc -eq 1 && $(tail -n 1 bad.err) == "pixmaps/start.jpg: the image is 200x100, but it must be 256x256" ]] &&
    ok "a wrong size is refused, naming the file" || fail "wrong size: status $rc, $(cat bad.err)"

cp "$build/demo/pixmaps/start.jpg" pixmaps/start.jpg
rm scenes/canyon.3ds
"$check" "$build/marrow-capture" "$work" 2>missing.err
rc=$?
[[ $rc -eq 1 ]] && tail -n 1 missing.err | grep -q "canyon" && ok "a missing scene is refused, naming it" ||
    fail "missing scene: status $rc, $(cat missing.err)"

finish data_check
