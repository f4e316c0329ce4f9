#!/usr/bin/env bash
# The presentation window on an X server with no window manager (as in a
# bare X session or a kiosk): the whole 4:3 picture is drawn, letterboxed,
# into the window's real size, and follows a later resize. Checked on
# screenshots of the window: the picture's one-pixel black border, scaled,
# must lie exactly where the letterbox puts the picture, on all four sides.
set -u
source "$(dirname "$0")/e2e.bash"

on_display "$0" "$@"

demo_data 30
cd "$work"

# check_picture SHOT W H: the non-black part of the screenshot SHOT of a
# W x H window is the 320x200 picture's inside (its one-pixel border is
# black), scaled into the 4:3 letterbox of W x H. Linear filtering softens
# the edges, so each edge may be off by two pixels.
check_picture() {
    local shot=$1 w=$2 h=$3 what=$4
    local bw bh bx by
    if (( w * 3 >= h * 4 )); then bh=$h; bw=$(( h * 4 / 3 )); else bw=$w; bh=$(( w * 3 / 4 )); fi
    bx=$(( (w - bw) / 2 )); by=$(( (h - bh) / 2 ))
    # The picture's inside: the border is 1/320 of the width, 1/200 of the height.
    local want
    want=$(awk -v bx="$bx" -v by="$by" -v bw="$bw" -v bh="$bh" 'BEGIN {
        printf "%.1f %.1f %.1f %.1f", bx + bw / 320, by + bh / 200, bx + bw - bw / 320, by + bh - bh / 200 }')
    # ImageMagick's trim box of everything that is not black: WxH+X+Y.
    local geom
    geom=$(convert "$shot" -fuzz 4% -trim -format '%w %h %X %Y %W %H' info: 2>/dev/null)
    read -r tw th tx ty pw ph <<<"$geom"
    tx=${tx#+}; ty=${ty#+}
    if [[ "$pw" != "$w" || "$ph" != "$h" ]]; then
        fail "$what: screenshot is ${pw}x${ph}, the window ${w}x${h}"
        return
    fi
    if awk -v want="$want" -v x0="$tx" -v y0="$ty" -v x1="$((tx + tw))" -v y1="$((ty + th))" 'BEGIN {
            split(want, e, " ")
            d = 0
            if ((x0 - e[1]) ^ 2 > 4 || (y0 - e[2]) ^ 2 > 4 || (x1 - e[3]) ^ 2 > 4 || (y1 - e[4]) ^ 2 > 4) d = 1
            exit d }'; then
        ok "$what: whole picture at ${tx},${ty} to $((tx + tw)),$((ty + th)) in ${w}x${h} (want $want)"
    else
        fail "$what: picture at ${tx},${ty} to $((tx + tw)),$((ty + th)) in ${w}x${h}, want $want"
    fi
}

window_size() {
    xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'
}

timeout 120 "$build/marrow" 2>run.err &
pid=$!
# SDL replaces its first window when it sets up OpenGL, so the window is
# looked up once frames are being shown.
win=""
for _ in $(seq 1 200); do
    grep -q "Loading & Playing Music" run.err && sleep 1.5 &&
        win=$(xdotool search --onlyvisible --name "Nightjar Video GFX System" 2>/dev/null | tail -1)
    [[ -n "$win" ]] && break
    sleep 0.1
done
if [[ -z "$win" ]]; then
    kill $pid 2>/dev/null
    fail "presentation window never appeared"
    finish window_letterbox
fi

# 1. Full screen without a window manager: the window covers the screen
#    and the picture is letterboxed in it.
read -r w h < <(window_size "$win")
[[ "$w" == 1280 && "$h" == 1024 ]] && ok "the window covers the 1280x1024 screen" ||
    fail "window is ${w}x${h} on a 1280x1024 screen"
import -window "$win" full.png 2>/dev/null
check_picture full.png "$w" "$h" "full screen"

# 2. A later resize (a wide window: bars left and right).
xdotool windowsize "$win" 800 400
sleep 1
read -r w h < <(window_size "$win")
import -window "$win" wide.png 2>/dev/null
check_picture wide.png "$w" "$h" "resized to 800x400"

# 3. A tall window: bars above and below.
xdotool windowsize "$win" 500 700
sleep 1
read -r w h < <(window_size "$win")
import -window "$win" tall.png 2>/dev/null
check_picture tall.png "$w" "$h" "resized to 500x700"

xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key q
wait $pid
rc=$?
[[ $rc -eq 1 ]] && ok "ends with status 1" || fail "exit status $rc (want 1)"

# The make targets' wrapper: the presentation's ordinary status 1 is
# success, anything else (here a crash) fails under a line naming it.
"$MARROW_SOURCE_DIR/scripts/play" bash -c 'echo "Loading & Playing Music.." >&2; exit 1' 2>/dev/null &&
    ok "play: status 1 after the start is the ordinary end" ||
    fail "play: status 1 failed the target"
"$MARROW_SOURCE_DIR/scripts/play" bash -c 'kill -SEGV $$' 2>play.err
rc=$?
[[ $rc -eq 139 ]] && grep -q "signal 11" play.err && ok "play: a crash fails with its signal named" ||
    fail "play: a crash gave status $rc: $(cat play.err)"

finish window_letterbox
