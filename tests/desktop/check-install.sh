#!/usr/bin/env bash
# `cmake --install` into a prefix other than the configured one (as a user
# does with --prefix ~/.local): every file lands under that prefix, the
# launcher entry runs that copy, and the copy starts under Qt's offscreen
# platform, finds its data under the prefix and answers -h.
# usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; }

for f in bin/tqx bin/tqx-cli share/man/man1/tqx-cli.1.gz share/tqx/TQX.wav share/tqx/licence.txt share/tqx/help/Overview.htm \
  share/applications/org.tqx.TQX.desktop share/metainfo/org.tqx.TQX.metainfo.xml \
  share/icons/hicolor/scalable/apps/org.tqx.TQX.svg share/man/man1/tqx.1.gz share/doc/tqx/copyright \
  lib/tqx/libtqxrighamlib.so; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
for s in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${s}x$s/apps/org.tqx.TQX.png
  file "$png" | grep -q "PNG image data, $s x $s," || fail "icon at $s px: $(file "$png")"
done
# The data is found from the binary's folder, not beside it.
[ ! -e "$prefix/bin/TQX.wav" ] || fail "data beside the installed binary"

entry=$prefix/share/applications/org.tqx.TQX.desktop
grep -qx "Exec=$prefix/bin/tqx" "$entry" || fail "launcher entry runs $(grep '^Exec=' "$entry")"
desktop-file-validate --no-hints "$entry" || fail "installed entry invalid"
gzip -t "$prefix/share/man/man1/tqx.1.gz" || fail "manual page not gzip"

# A clean environment: private home and runtime folders, no build-tree hints.
mkdir -p "$tmp/home" "$tmp/run"
chmod 700 "$tmp/run"
run() {
  exec env -i PATH=/usr/bin:/bin HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/home/config" \
    QT_QPA_PLATFORM=offscreen "$prefix/bin/tqx" "$@"
}
# Waits up to 20 s for a pattern in a file while the program runs.
await() {
  for _ in $(seq 200); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# -h prints the usage, then shows it in a box until OK: nobody presses it here.
run -h >"$tmp/usage" 2>"$tmp/usage.err" &
pids+=($!)
await "$tmp/usage" "   t   TSV file name" || fail "no usage from -h: $(cat "$tmp/usage" "$tmp/usage.err")"
grep -qx "Usage: TQX \[-d\] \[-h\] \[-l\] \[-t\]" "$tmp/usage" || fail "usage: $(cat "$tmp/usage")"

# On a console (no display at all) -h and a refused option reach the
# terminal alone, with their exit codes, instead of Qt aborting.
console() { timeout 20 env -i PATH=/usr/bin:/bin HOME="$tmp/home" "$prefix/bin/tqx" "$@"; }
rc=0
console -h >"$tmp/c.out" 2>"$tmp/c.err" || rc=$?
[ $rc -eq 0 ] && cmp -s "$tmp/c.out" "$tmp/usage" || fail "-h on a console: rc $rc, $(cat "$tmp/c.out" "$tmp/c.err")"
rc=0
console -dx >"$tmp/c.out" 2>"$tmp/c.err" || rc=$?
[ $rc -eq 1 ] && [ "$(cat "$tmp/c.err")" = 'Error: "x" is not a valid option.' ] ||
  fail "-x on a console: rc $rc, $(cat "$tmp/c.out" "$tmp/c.err")"

# Without options the main window opens and stays; a missing library ends
# it at once. strace shows where it looked for its data folder: the template
# wave under the prefix, found at load.
strace -f -qq -e trace=%file -o "$tmp/trace" env -i PATH=/usr/bin:/bin HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" \
  XDG_CONFIG_HOME="$tmp/home/config" QT_QPA_PLATFORM=offscreen "$prefix/bin/tqx" >"$tmp/run.out" 2>"$tmp/run.err" &
pids+=($!)
await "$tmp/trace" "$prefix/bin/../share/tqx/TQX.wav\", F_OK) = 0" ||
  fail "data folder not found: $(grep TQX.wav "$tmp/trace"; cat "$tmp/run.err")"
sleep 2
tqx=$(pgrep -P "${pids[-1]}") || fail "the installed copy ended: $(cat "$tmp/run.err")"
pids=("$tqx" "${pids[@]}")
echo "installed copy in $prefix runs"
