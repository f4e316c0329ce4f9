#!/usr/bin/env bash
# The scene library as another program uses it: cmake --install into a
# temporary prefix, then build examples/orin-dump.c from C with pkg-config
# against the installed copy only (no path into the source tree) and run it
# on a scene of the default data set and on a model converted by assimp.
set -u
source "$(dirname "$0")/../e2e/e2e.bash"
source=${MARROW_SOURCE_DIR:?set MARROW_SOURCE_DIR to the source tree}
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
for f in lib/liborin.a include/orin.h lib/pkgconfig/orin.pc; do
    check "installed $f" test -f "$prefix/$f"
done

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cflags=$(pkg-config --cflags orin) libs=$(pkg-config --libs orin)
check "pkg-config names the temporary prefix" test "$(echo $cflags)" = "-I$prefix/include"
# A C compiler, C99, every warning an error; nothing from the source tree
# but the example itself.
if cc -std=c99 -pedantic -Wall -Wextra -Werror "$source/examples/orin-dump.c" $cflags $libs -o "$work/orin-dump" \
        2>"$work/cc.log"; then
    ok "the example builds against the installed copy"
else
    cat "$work/cc.log"
    fail "the example builds against the installed copy"
fi

# The data set's largest scene (32 objects, dummies, hierarchy) at frame
# 10: every object's world matrix, the same numbers marrow-scene gives for
# the project's own build.
scene=$build/demo/scenes/scene6.3ds
if [[ -x $work/orin-dump && -f $scene ]]; then
    "$work/orin-dump" "$scene" 10 >"$work/dump.txt" 2>"$work/dump.err"
    check "orin-dump reads $scene (exit 0)" test $? -eq 0
    "$build/marrow-scene" "$scene" --json --at 10 >"$work/scene.json" 2>/dev/null
    # Both as lines "NAME m00 m01 ... m23" (NAME "-" for an unnamed dummy),
    # compared number by number to a relative 1e-5 (orin-dump prints six
    # digits, marrow-scene nine).
    sed -n '/"evaluated"/,$p' "$work/scene.json" | grep -o '{"name": [^{]*"matrix": \[[^]]*\]' |
        sed -E 's/^\{"name": (null|"([^"]*)").*"matrix": \[([^]]*)\].*/\1|\3/; s/^null\|/-|/; s/^"([^"]*)"\|/\1|/; s/\|/ /; s/,//g' \
        >"$work/expected.txt"
    awk '/^[^ ]/ && !/^frame/ { if (line != "") print line; line = $1 } /^  / { line = line " " $0 } END { if (line != "") print line }' \
        "$work/dump.txt" >"$work/got.txt"
    if [[ -s $work/expected.txt ]] && paste -d'\n' "$work/expected.txt" "$work/got.txt" | awk '
        NR % 2 == 1 { split($0, e, " "); ne = NF; next }
        { if (NF != ne || $1 != e[1]) bad = 1
          for (i = 2; i <= NF; i++) { d = $i - e[i]; if (d < 0) d = -d; m = e[i] < 0 ? -e[i] : e[i]
                                      if (d > 1e-5 * (m > 1 ? m : 1)) bad = 1 } }
        END { exit bad }' && [[ $(wc -l <"$work/expected.txt") -eq $(wc -l <"$work/got.txt") ]]; then
        ok "world matrices at frame 10 agree with marrow-scene ($(wc -l <"$work/got.txt") objects)"
    else
        diff "$work/expected.txt" "$work/got.txt" | head -20
        fail "world matrices at frame 10 agree with marrow-scene"
    fi
else
    fail "orin-dump and $scene present"
fi

# Another exporter's file: a PLY square converted by assimp. The lenient
# reading loads it with a warning about the exporter's unnamed root node;
# with no tracks every object stays where it is: the identity matrix.
# --strict refuses it at that node.
printf 'ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n' \
    >"$work/square.ply"
if assimp export "$work/square.ply" "$work/square.3ds" >/dev/null 2>&1 && [[ -x $work/orin-dump ]]; then
    "$work/orin-dump" "$work/square.3ds" >"$work/square.txt" 2>"$work/square.err"
    check "orin-dump reads an assimp file (exit 0)" test $? -eq 0
    check "... with the unnamed root warning" grep -q 'keyframer node 0 "" (chunk 0xB010 at offset [0-9]*): no mesh of that name' "$work/square.err"
    check "... and identity matrices" test "$(grep -c '^  ' "$work/square.txt")" -gt 0 -a \
        "$(grep '^  ' "$work/square.txt" | sort -u | tr '\n' '|')" = "  0 0 1 0|  0 1 0 0|  1 0 0 0|"
    "$work/orin-dump" "$work/square.3ds" --strict >/dev/null 2>"$work/strict.err"
    check "--strict refuses it (exit 1)" test $? -eq 1
    check "... naming the lookup" grep -q "motion: ORIN_ERR_LOOKUP; stopped in chunk 0xB010" "$work/strict.err"
else
    fail "assimp converts a PLY file (scripts/install-deps installs assimp-utils)"
fi

finish "orin install"
