#!/usr/bin/env bash
# The launcher entry, the AppStream metadata and the manual page as the
# desktop's own tools read them: no errors, no warnings.
# usage: check-metadata.sh PACKAGING_DIR VERSION
set -euo pipefail
dir=$1
version=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(desktop-file-validate --no-hints "$dir/org.tqx.TQX.desktop" 2>&1) || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"

# Infos only: the product site is served over plain http.
out=$(appstreamcli validate --no-net --format=text "$dir/org.tqx.TQX.metainfo.xml" 2>&1) || fail "metainfo: $out"
bad=$(grep -E '^[EW]:' <<<"$out" || true)
[ -z "$bad" ] || fail "metainfo: $bad"

# groff -ww reports every warning; -z renders nothing.
out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$dir/tqx.1" 2>&1) || fail "manual page: $out"
[ -z "$out" ] || fail "manual page: $out"
out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$dir/tqx-cli.1" 2>&1) || fail "manual page of tqx-cli: $out"
[ -z "$out" ] || fail "manual page of tqx-cli: $out"
# Rendered as plain text (no man-db needed), the options are there.
LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$dir/tqx.1" | grep -- '-t name' >/dev/null || fail "manual page does not render"

# One id names the entry, the metadata's launchable and the icon.
grep -qx 'Icon=org.tqx.TQX' "$dir/org.tqx.TQX.desktop" || fail "desktop entry names another icon"
grep -q '<launchable type="desktop-id">org.tqx.TQX.desktop</launchable>' "$dir/org.tqx.TQX.metainfo.xml" ||
  fail "metainfo launches another entry"
# The program's version has its release entry and its manual page.
grep -q "<release version=\"$version\" date=" "$dir/org.tqx.TQX.metainfo.xml" || fail "no release $version in metainfo"
grep -q "^\.TH TQX 1 .* \"TQX $version\"" "$dir/tqx.1" || fail "manual page not of version $version"
echo "metadata valid"
