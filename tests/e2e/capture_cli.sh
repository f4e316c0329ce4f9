#!/usr/bin/env bash
# marrow-capture from the command line: help, bad arguments, PNGs at chosen
# instants, and hashes that are the same on every run.
set -u
source "$(dirname "$0")/e2e.bash"
cap="$build/marrow-capture"
data="$build/demo"

"$cap" --help | grep -q "usage: marrow-capture" && ok "--help" || fail "--help"
"$cap" --fps nonsense --hashes >/dev/null 2>&1; [[ $? -eq 2 ]] && ok "bad --fps: status 2" || fail "bad --fps"
"$cap" >/dev/null 2>&1; [[ $? -eq 2 ]] && ok "nothing to do: status 2" || fail "no mode"
"$cap" --threads 0 --hashes >/dev/null 2>"$work/err"; rc=$?
[[ $rc -eq 2 ]] && grep -q -- "--threads wants" "$work/err" && ok "bad --threads: status 2" || fail "bad --threads ($rc)"
"$cap" --data /no/such/dir --hashes --to 0.1 >/dev/null 2>"$work/err"; rc=$?
[[ $rc -eq 1 ]] && grep -q "/no/such/dir" "$work/err" && ok "missing data dir named" || fail "missing data dir ($rc)"

"$cap" --data "$data" --fps 30 --at 0.5 2.25 --out "$work/png" 2>/dev/null
[[ -s "$work/png/frame-0.5.png" && -s "$work/png/frame-2.25.png" ]] && ok "--at writes PNGs" || fail "--at"
size=$(od -An -tu1 -j16 -N8 "$work/png/frame-0.5.png" | tr -s ' ')
[[ "$size" == " 0 0 1 64 0 0 0 200" ]] && ok "PNG is 320x200" || fail "PNG size"

"$cap" --data "$data" --fps 30 --to 3 --hashes 2>/dev/null >"$work/h1"
"$cap" --data "$data" --fps 30 --to 3 --hashes 2>/dev/null >"$work/h2"
lines=$(wc -l <"$work/h1")
[[ $lines -eq 91 ]] && ok "one hash per frame ($lines)" || fail "$lines hash lines for 0..3 s at 30 fps"
cmp -s "$work/h1" "$work/h2" && ok "hashes are deterministic" || fail "hashes differ between runs"

# On a terminal, long work shows its progress in one line and ends naming
# what it wrote; elsewhere (as above) standard error has neither.
if command -v script >/dev/null 2>&1; then
    script -qec "'$cap' --data '$data' --fps 30 --to 3 --at 2.5 --out '$work/tty' >/dev/null" /dev/null |
        tr '\r' '\n' >"$work/tty.txt"
    grep -qE "^[0-9]+/76 frames  t = +[0-9.]+ s .* frames/s .* left" "$work/tty.txt" &&
        grep -q "^marrow-capture: wrote 1 picture in $work/tty (76 frames" "$work/tty.txt" &&
        ok "progress and a last line on a terminal" || fail "no progress on a terminal: $(tail -n 3 "$work/tty.txt")"
    "$cap" --data "$data" --fps 30 --to 3 --at 2.5 --out "$work/tty" 2>"$work/quiet.txt" >/dev/null
    ! grep -qE "frames/s|marrow-capture: wrote" "$work/quiet.txt" && ok "quiet off a terminal" ||
        fail "progress written off a terminal"
fi

# --video needs ffmpeg; without it, a clear message and status 1.
if ! command -v ffmpeg >/dev/null 2>&1; then
    "$cap" --data "$data" --video "$work/v.mp4" --to 1 >/dev/null 2>"$work/verr"; rc=$?
    [[ $rc -eq 1 ]] && grep -q "needs the ffmpeg program" "$work/verr" && ok "--video without ffmpeg: clear message" ||
        fail "--video without ffmpeg: status $rc"
fi

finish capture
