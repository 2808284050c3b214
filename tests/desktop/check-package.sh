#!/usr/bin/env bash
# The Debian package as CPack builds it from the build folder (the binary
# already built is reused): its fields, computed library dependencies,
# recommends, and a file list that keeps to /usr and holds everything a
# desktop needs.
# usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
debs=("$tmp"/tqx_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single tqx_*.deb: ${debs[*]}"
deb=${debs[0]}
[[ $(basename "$deb") == tqx_1.0.0_$(dpkg --print-architecture).deb ]] || fail "file name $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tqx ] || fail "Package: $(field Package)"
[ "$(field Section)" = hamradio ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no maintainer or description"
depends=$(field Depends)
# Computed from the binary's and the receiver module's libraries, with versions.
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6multimedia6 libqt6serialport6 libqt6network6 libhamlib4; do
  grep -qF ", $lib (>= " <<<", $depends" || fail "Depends lacks $lib: $depends"
done
recommends=$(field Recommends)
for prog in xdg-utils pulseaudio-utils "pavucontrol | pavucontrol-qt"; do
  grep -qF "$prog" <<<"$recommends" || fail "Recommends lacks $prog: $recommends"
done

dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/files"
outside=$(grep -vE '^\./(usr/.*)?$' "$tmp/files"; grep -E '^\./usr/local(/|$)' "$tmp/files") || true
[ -z "$outside" ] || fail "files outside /usr or in /usr/local: $outside"
for f in usr/bin/tqx usr/share/tqx/TQX.wav usr/share/tqx/licence.txt usr/share/tqx/help/Overview.htm \
  usr/share/applications/org.tqx.TQX.desktop usr/share/metainfo/org.tqx.TQX.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/org.tqx.TQX.svg usr/share/icons/hicolor/48x48/apps/org.tqx.TQX.png \
  usr/share/man/man1/tqx.1.gz usr/share/man/man1/tqx-cli.1.gz usr/bin/tqx-cli \
  usr/share/doc/tqx/copyright usr/lib/tqx/libtqxrighamlib.so; do
  grep -qx "\./$f" "$tmp/files" || fail "not packaged: $f"
done
grep -E 'tst_|bench_|fuzz' "$tmp/files" && fail "test programs packaged"

# The packaged entry runs the program from PATH, and the binary is stripped.
dpkg-deb -x "$deb" "$tmp/root"
grep -qx 'Exec=tqx' "$tmp/root/usr/share/applications/org.tqx.TQX.desktop" || fail "packaged entry: wrong Exec"
file "$tmp/root/usr/bin/tqx" | grep -q ', stripped' || fail "binary not stripped"
# Hamlib is loaded with the receiver module, not at start.
readelf -d "$tmp/root/usr/bin/tqx" | grep -q 'NEEDED.*libhamlib' && fail "the program links Hamlib"
echo "package $(basename "$deb") checked"
