#!/usr/bin/env bash
# The real marrow, end to end: a short soundtrack under a virtual X server
# with SDL's dummy audio. It plays to the end and exits 1; space logs a
# "time ..." line; another key ends it at once; with no display it says why.
set -u
source "$(dirname "$0")/e2e.bash"
play=$(cd "$(dirname "$0")/../../scripts" && pwd)/play

on_display "$0" "$@"

demo_data 3
cd "$work"

# 1. Plays the whole 3-second soundtrack, exits 1.
start=$(date +%s%N)
timeout 60 "$build/marrow" 2>run1.err
rc=$?
elapsed=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
[[ $rc -eq 1 ]] && ok "plays and exits 1" || fail "exit status $rc (want 1)"
awk -v e="$elapsed" 'BEGIN { exit !(e >= 2.5 && e < 40) }' && ok "ran for the soundtrack (${elapsed}s)" ||
    fail "ran ${elapsed}s for a 3 s soundtrack"
# The start-up log in order, from the banner's last line to the music (the
# console shows the same lines newest first). Lines are glob patterns:
# "\\" is a backslash, "*" the frame count.
expected='and anyone who helped in the development (you know who you are)
Initializing Demo..
Init blend..
Loading pixmaps/start.jpg
Loading pixmaps/start1_1.jpg
RotoZoomer, Invert, MotionBlur, Mix, Plasma..
initializing bump map effect, perlin, dusk..
Loading pixmaps/part1_1.jpg
Loading pixmaps/part1_2.jpg
Loading pixmaps/still0.jpg
Loading pixmaps/text1.jpg
Loading pixmaps/text2.jpg
Init 3d scene
Loading scenes\\scene1.3ds..
scenes\\scene1.3ds, frames *
Loading pixmaps/rstar1.jpg
Loading pixmaps/tex1.jpg
Loading scenes\\scene2.3ds..
scenes\\scene2.3ds, frames *
Loading scenes\\scene3.3ds..
scenes\\scene3.3ds, frames *
Loading scenes\\scene4.3ds..
scenes\\scene4.3ds, frames *
Loading scenes\\scene5.3ds..
scenes\\scene5.3ds, frames *
Loading scenes\\credits.3ds..
scenes\\credits.3ds, frames *
Loading scenes\\greets.3ds..
scenes\\canyon.3ds, frames *
Loading scenes\\greets.3ds..
scenes\\triangle.3ds, frames *
Loading scenes\\greets.3ds..
scenes\\neki.3ds, frames *
Loading scenes\\greets.3ds..
scenes\\greets.3ds, frames *
Loading scenes\\greets.3ds..
scenes\\scene6.3ds, frames *
ttex
Starting Demo..
Opening Video Display..
Loading & Playing Music..'
got=$(sed -n '/^and anyone who helped/,/^Loading & Playing Music/p' run1.err | tr -d '\r')
matches=1
while IFS= read -r want && IFS= read -r have <&3; do
    # shellcheck disable=SC2053
    [[ "$have" == $want ]] || { matches=0; echo "  want: $want"; echo "  have: $have"; break; }
done <<<"$expected" 3<<<"$got"
[[ $matches -eq 1 && $(wc -l <<<"$got") -eq $(wc -l <<<"$expected") ]] &&
    ok "start-up log in order" || fail "start-up log differs"

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
    # On a loaded machine the console window can be mapped after this one
    # and take the focus, so the key is sent again (while the presentation
    # still runs) until a time line shows it arrived.
    for attempt in 1 2 3 4 5; do
        xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key space
        sleep 0.4
        grep -qE "^time [0-9]+\.[0-9]{6}" run2.err && break
        kill -0 $pid 2>/dev/null || break
    done
    wait $pid; rc=$?
    grep -qE "^time [0-9]+\.[0-9]{6}" run2.err && ok "space logs a time line" || fail "no time line after space"
    [[ $rc -eq 1 ]] && ok "exits 1 after space" || fail "exit status $rc after space"
else
    kill $pid 2>/dev/null; fail "presentation window never appeared"
fi

# 3. Shift alone and Alt+Tab do not end it; another key ends it at once.
"$build/marrow-assets" "$work" --only music --music-seconds 30 >/dev/null 2>&1 ||
    "$build/marrow-assets" "$work" --music-seconds 30 >/dev/null
timeout 60 "$build/marrow" 2>run3.err &
pid=$!
if win=$(wait_window); then
    sleep 0.5
    xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key shift; xdotool key alt+Tab; xdotool key super
    sleep 1
    kill -0 $pid 2>/dev/null && ok "Shift, Alt+Tab and Super do not end it" || fail "a modifier or Alt+Tab ended it"
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

# 5. An image of the wrong size is refused at start, naming it.
cp pixmaps/still0.jpg still0.keep && cp pixmaps/start.jpg pixmaps/still0.jpg
env -u DISPLAY timeout 60 "$build/marrow" 2>run5.err
rc=$?
[[ $rc -eq 1 ]] && grep -q "pixmaps/still0.jpg: the image is 256x256, but it must be 320x200" run5.err &&
    ok "wrong image size: named and refused" || fail "wrong image size: status $rc"
mv still0.keep pixmaps/still0.jpg

# 6. scripts/play (make run) tells the ordinary end from a failed start:
# the ordinary end is success, a start that never reached the presentation
# fails with the program's own message as the last line.
"$build/marrow-assets" "$work" --only music --music-seconds 1 >/dev/null 2>&1 ||
    "$build/marrow-assets" "$work" --music-seconds 1 >/dev/null
timeout 60 "$play" "$build/marrow" 2>play1.err
rc=$?
[[ $rc -eq 0 ]] && ok "play: the ordinary end is success" || fail "play: ordinary end gave status $rc"
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$play" "$build/marrow" 2>play2.err
rc=$?
[[ $rc -eq 1 && $(tail -n 1 play2.err) == "Could not open the display:"* ]] &&
    ok "play: no display fails with the reason last" || fail "play: no display gave status $rc, last line: $(tail -n 1 play2.err)"
head -c 2000 /dev/urandom >music/demo.mp3
timeout 60 "$play" "$build/marrow" 2>play3.err
rc=$?
[[ $rc -eq 1 ]] && grep -q "did not start" play3.err && ok "play: a broken soundtrack fails" ||
    fail "play: broken soundtrack gave status $rc"

finish marrow
