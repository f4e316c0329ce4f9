# e2e.bash: sourced by the end-to-end scripts (tests/e2e/*.sh; this file is
# not one of them). Sets `build` (MARROW_BUILD_DIR) and `work`, a scratch
# directory removed on exit, and keeps the tally of checks.
build=${MARROW_BUILD_DIR:?set MARROW_BUILD_DIR to the build directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok()   { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
# finish NAME: prints the tally; the script's status is 0 only when no check
# failed.
finish() {
    echo "e2e $1: $passed passed, $failed failed"
    [[ $failed -eq 0 ]]
    exit
}

# demo_data SECONDS: the generated data set's images and scenes in $work,
# with a soundtrack of SECONDS.
demo_data() {
    "$build/marrow-assets" "$work" --only music --music-seconds "$1" >/dev/null 2>&1 ||
        "$build/marrow-assets" "$work" --music-seconds "$1" >/dev/null || { echo "FAIL: marrow-assets"; exit 1; }
    if [[ -d "$build/demo/pixmaps" ]]; then cp -r "$build/demo/pixmaps" "$build/demo/scenes" "$work"/ 2>/dev/null; fi
}

# on_display "$0" "$@": with no X display, runs the calling script again
# under a virtual X server of its own; then sends sound to SDL's dummy
# driver.
on_display() {
    if [[ -z "${DISPLAY:-}" ]]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$@"
    fi
    export SDL_AUDIODRIVER=dummy
}
