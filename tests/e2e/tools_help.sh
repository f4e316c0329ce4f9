#!/usr/bin/env bash
# Every executable answers --help on standard output with status 0, and the
# tools say plainly what is missing: a 3DS file that is not there, a
# directory with no data set (pointing at --data).
set -u
source "$(dirname "$0")/e2e.bash"
cd "$work"

for tool in marrow marrow-capture marrow-scene marrow-assets marrow-webdata; do
    out=$("$build/$tool" --help 2>help.err)
    rc=$?
    # Each usage names the tool, and nothing goes to standard error.
    if [[ $rc -eq 0 && $out == *"$tool"* && ! -s help.err ]]; then
        ok "$tool --help"
    else
        fail "$tool --help: status $rc, stdout '${out:0:60}', stderr '$(head -c 60 help.err)'"
    fi
done

"$build/marrow-scene" missing.3ds >scene.out 2>scene.err
rc=$?
[[ $rc -eq 1 ]] && grep -qx "marrow-scene: missing.3ds: no such file" scene.err && ok "marrow-scene: no such file" ||
    fail "marrow-scene missing.3ds: status $rc, $(cat scene.err)"

mkdir empty
(cd empty && "$build/marrow-capture" --at 1 >../capture.out 2>../capture.err)
rc=$?
[[ $rc -eq 1 ]] && grep -q -- "--data DIR" capture.err && ok "marrow-capture: no data set names --data" ||
    fail "marrow-capture outside a data set: status $rc, $(cat capture.err)"

finish tools_help
