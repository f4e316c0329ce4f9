#!/usr/bin/env bash
# End-to-end check of the console window with the real marrow: the window
# "Console Output" appears, Save writes debug.txt (newest line first), Exit
# closes only the console, and later log lines still arrive. Keeps one
# screenshot in $MARROW_BUILD_DIR/artifacts/console.png.
#
# Needs xvfb-run, xdotool and ImageMagick. Runs on an X server of its own,
# even when DISPLAY is set: other tests open console windows with the same
# title, and one of them mapped over ours would catch the clicks. Exits
# non-zero when any check fails.
set -u

if [ -z "${MARROW_CONSOLE_E2E_OWN_X:-}" ]; then
    export MARROW_CONSOLE_E2E_OWN_X=1
    # A random first display number keeps parallel xvfb-run calls apart.
    exec xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi

BUILD="${MARROW_BUILD_DIR:?set MARROW_BUILD_DIR to the build directory}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
check() { # check DESCRIPTION COMMAND...
    local what="$1"; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
    echo "e2e console: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}

# wait_for SECONDS COMMAND...: polls every 0.1 s until COMMAND succeeds.
wait_for() {
    local tenths=$(($1 * 10)); shift
    while [ "$tenths" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tenths=$((tenths - 1))
    done
    return 1
}

work="$(mktemp -d /tmp/marrow-e2e-console-XXXXXX)"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    rm -rf "$work"
}
trap cleanup EXIT

if ! "$BUILD/marrow-assets" "$work" --music-seconds 8 >"$work/assets.log" 2>&1; then
    cat "$work/assets.log"
    fail "marrow-assets writes the data set"
    finish
fi

(cd "$work" && exec "$BUILD/marrow" 2>"$work/stderr.txt" >/dev/null) &
pid=$!

# Windows of this marrow only: tests running beside this one may show
# console windows of their own on the same X server.
console_window() {
    xdotool search --all --onlyvisible --pid "$pid" --name '^Console Output$' 2>/dev/null | head -1
}
display_window() {
    xdotool search --all --onlyvisible --pid "$pid" --name '^Nightjar Video GFX System$' 2>/dev/null | head -1
}
has_console() { [ -n "$(console_window)" ]; }
no_console() { [ -z "$(console_window)" ]; }
logged() { grep -qF -- "$1" "$work/stderr.txt"; }

if ! wait_for 30 has_console; then
    fail "window 'Console Output' appears"
    cat "$work/stderr.txt"
    finish
fi
pass "window 'Console Output' appears"
wid="$(console_window)"

check "start-up reaches the music" wait_for 60 logged "Loading & Playing Music.."
check "marrow is running" kill -0 "$pid"

# Bring the console above the presentation window (there is no window
# manager under Xvfb), so both the screenshot and the clicks reach it.
xdotool windowraise "$wid"
sleep 0.3
mkdir -p "$BUILD/artifacts"
rm -f "$BUILD/artifacts/console.png"
import -window "$wid" "$BUILD/artifacts/console.png" 2>/dev/null
check "screenshot of the console saved" test -s "$BUILD/artifacts/console.png"
size="$(identify -format '%wx%h' "$BUILD/artifacts/console.png" 2>/dev/null)"
check "console is 377x374 pixels (got $size)" test "$size" = "377x374"
# The log view is white with dark text: its mean brightness is far from
# black (an unpainted or covered window grabs as black).
mean="$(convert "$BUILD/artifacts/console.png" -crop 370x320+2+2 -format '%[fx:int(mean*100)]' info: 2>/dev/null)"
check "the log view is painted (mean brightness ${mean:-?}%)" test "${mean:-0}" -ge 60

# Button centres, from the dialog layout: Save spans x 180..270, Exit
# 270..360, both y 341..366.
test ! -e "$work/debug.txt" || fail "no debug.txt before Save"
xdotool mousemove --window "$wid" 225 353 click 1
check "Save writes debug.txt" wait_for 10 test -f "$work/debug.txt"
check "Save is reported in the log" wait_for 5 logged "Saved console output to debug.txt."
if [ -f "$work/debug.txt" ]; then
    first="$(head -n 1 "$work/debug.txt")"
    last="$(tail -n 1 "$work/debug.txt")"
    check "debug.txt starts with the newest line" test "$first" = $'Loading & Playing Music..\r'
    check "debug.txt ends with the banner" \
        test "$last" = $'and anyone who helped in the development (you know who you are)\r'
fi

xdotool mousemove --window "$wid" 315 353 click 1
check "Exit closes the console" wait_for 10 no_console
check "marrow keeps running after Exit" kill -0 "$pid"

# Logging after Exit must not wait for the closed window: a space logs the
# music time, then any other key ends the presentation.
sdl="$(display_window)"
if [ -n "$sdl" ] && kill -0 "$pid" 2>/dev/null; then
    xdotool windowfocus "$sdl" 2>/dev/null
    xdotool key space
    check "a space after Exit is still logged" wait_for 10 logged "time "
    xdotool key q
fi
if wait_for 20 bash -c "! kill -0 $pid 2>/dev/null"; then
    wait "$pid"
    status=$?
    pid=""
    check "marrow ends with status 1 (got $status)" test "$status" -eq 1
else
    fail "marrow ends after a key press"
fi

# A second run that ends while the console is still open: the console
# thread is never joined, so the process must still end cleanly with 1.
rm -f "$work/debug.txt"
(cd "$work" && exec "$BUILD/marrow" 2>"$work/stderr.txt" >/dev/null) &
pid=$!
if wait_for 30 has_console && wait_for 60 logged "Loading & Playing Music.."; then
    sdl="$(display_window)"
    [ -n "$sdl" ] && xdotool windowfocus "$sdl" 2>/dev/null
    xdotool key q
    if wait_for 20 bash -c "! kill -0 $pid 2>/dev/null"; then
        wait "$pid"
        status=$?
        pid=""
        check "ending with the console open gives status 1 (got $status)" test "$status" -eq 1
    else
        fail "marrow ends with the console open"
    fi
else
    fail "second run reaches the music with the console open"
    cat "$work/stderr.txt"
fi

finish
