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
