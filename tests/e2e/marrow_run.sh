#!/usr/bin/env bash
# The real marrow, end to end: a short soundtrack under a virtual X server
# with SDL's dummy audio. It plays to the end and exits 1; space logs a
# "time ..." line; another key ends it at once; with no display it says why.
set -u
build=${MARROW_BUILD_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok()   { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
export SDL_AUDIODRIVER=dummy

"$build/marrow-assets" "$work" --only music --music-seconds 3 >/dev/null 2>&1 ||
    "$build/marrow-assets" "$work" --music-seconds 3 >/dev/null || { echo "FAIL: marrow-assets"; exit 1; }
# Any resources the presentation loads come from the generated data set.
if [[ -d "$build/demo/pixmaps" ]]; then cp -r "$build/demo/pixmaps" "$build/demo/scenes" "$work"/ 2>/dev/null; fi
cd "$work"

# 1. Plays the whole 3-second soundtrack, exits 1.
start=$(date +%s%N)
timeout 60 "$build/marrow" 2>run1.err
rc=$?
elapsed=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
[[ $rc -eq 1 ]] && ok "plays and exits 1" || fail "exit status $rc (want 1)"
awk -v e="$elapsed" 'BEGIN { exit !(e >= 2.5 && e < 40) }' && ok "ran for the soundtrack (${elapsed}s)" ||
    fail "ran ${elapsed}s for a 3 s soundtrack"
grep -q "Loading & Playing Music.." run1.err && ok "start-up log on stderr" || fail "no start-up log"

# Waits for the presentation window (by its title) to appear.
wait_window() {
    for _ in $(seq 1 200); do
        if id=$(xdotool search --onlyvisible --name "Nightjar Video GFX System" 2>/dev/null | head -1) && [[ -n "$id" ]]; then
            echo "$id"; return 0
        fi
        sleep 0.05
    done
    return 1
}

# 2. Space logs the time; the run goes on to the end.
"$build/marrow-assets" "$work" --only music --music-seconds 4 >/dev/null 2>&1 ||
    "$build/marrow-assets" "$work" --music-seconds 4 >/dev/null
timeout 60 "$build/marrow" 2>run2.err &
pid=$!
if win=$(wait_window); then
    sleep 0.5
    xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key space
    wait $pid; rc=$?
    grep -qE "^time [0-9]+\.[0-9]{6}" run2.err && ok "space logs a time line" || fail "no time line after space"
    [[ $rc -eq 1 ]] && ok "exits 1 after space" || fail "exit status $rc after space"
else
    kill $pid 2>/dev/null; fail "presentation window never appeared"
fi

# 3. Another key ends it at once.
"$build/marrow-assets" "$work" --only music --music-seconds 30 >/dev/null 2>&1 ||
    "$build/marrow-assets" "$work" --music-seconds 30 >/dev/null
timeout 60 "$build/marrow" 2>run3.err &
pid=$!
if win=$(wait_window); then
    sleep 0.5
    start=$(date +%s)
    xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key q
    wait $pid; rc=$?
    took=$(( $(date +%s) - start ))
    [[ $rc -eq 1 && $took -lt 10 ]] && ok "q ends it at once (${took}s)" || fail "q: status $rc after ${took}s"
else
    kill $pid 2>/dev/null; fail "presentation window never appeared"
fi

# 4. No display at all: exit 1 with the reason.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$build/marrow" 2>run4.err
rc=$?
[[ $rc -eq 1 ]] && ok "no display: exits 1" || fail "no display: status $rc"
grep -q "Could not open the display" run4.err && ok "no display: reason on stderr" || fail "no display: no reason"

echo "e2e marrow: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
