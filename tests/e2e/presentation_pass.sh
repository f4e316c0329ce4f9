#!/usr/bin/env bash
# A whole headless pass over the presentation with the generated data set:
# every frame from 0 to 262 s at 30 frames a second is composed, no frame of
# a shown interval is entirely black (only the fade at the very end reaches
# black), and three passes give the same frames. The first runs on one
# thread; the second forces glibc's SSE2 variants of its maths functions (no
# FMA, no AVX2): the frames must not depend on the processor the program runs
# on; the third shares each frame's work among three threads: the frames must
# not depend on how many draw them.
set -u
source "$(dirname "$0")/e2e.bash"

# FNV-1a of 256000 zero bytes: the hash capture prints for an all-black frame.
black=03702d99714c4325

for run in 1 2 3; do
    variant="" threads=1
    [[ $run -eq 2 ]] && variant=glibc.cpu.hwcaps=-FMA,-AVX2
    [[ $run -eq 3 ]] && threads=3
    GLIBC_TUNABLES=$variant "$build/marrow-capture" --data "$build/demo" --fps 30 --from 0 --to 262 --hashes \
        --threads $threads >"$work/pass$run" 2>"$work/err$run"
    rc=$?
    [[ $rc -eq 0 ]] && ok "pass $run ran (status 0)" || { fail "pass $run status $rc"; tail -5 "$work/err$run"; }
done

frames=$(wc -l <"$work/pass1")
[[ $frames -eq 7861 ]] && ok "every frame composed ($frames)" || fail "$frames frames for 0..262 s at 30 fps"
cmp -s "$work/pass1" "$work/pass2" && ok "two passes (FMA and SSE2 maths variants) give identical frames" ||
    fail "passes differ: $(diff "$work/pass1" "$work/pass2" | grep -c '^<') frames"
cmp -s "$work/pass1" "$work/pass3" && ok "one thread and three threads give identical frames" ||
    fail "one and three threads differ: $(diff "$work/pass1" "$work/pass3" | grep -c '^<') frames"

# Black frames before 259.99 s (where the fade's weight reaches 255).
blacks=$(awk -v b="$black" '$2 == b && $1 < 259.99 { print $1 }' "$work/pass1")
if [[ -z "$blacks" ]]; then
    ok "no black frame in a shown interval"
else
    fail "black frames at: $(echo $blacks | head -c 400)"
fi

finish presentation
