#!/usr/bin/env bash
# checkdeb.sh <scanvy_*.deb>
# Checks a built package of scanvy (run by scripts/package): shows its fields
# and contents, wants every shared library the program links and the Qt TIFF
# plugin it loads covered by Depends, every dependency resolvable by apt on
# this system, nothing but /usr in it, a stripped program, a valid desktop
# entry and metadata, and no lintian errors (warnings are shown).
set -u
deb=$(readlink -f "$1")
fail=0
problem() { echo "checkdeb: $*"; fail=1; }

dpkg-deb -I "$deb" || exit 1
dpkg-deb -c "$deb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"

depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/([^)]*)//; s/^ *//; s/ *$//')
needs() { # <package> <why>
  grep -qx "$1" <<<"$depends" || problem "Depends lacks $1 ($2)"
}
exe=$work/root/usr/bin/scanvy
[ -x "$exe" ] || problem "no /usr/bin/scanvy"
for lib in $(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  path=$(ldconfig -p | awk -v l="$lib" '$1 == l { print $NF; exit }')
  [ -n "$path" ] || { problem "$lib is not installed here"; continue; }
  owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)
  [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1)
  case "$owner" in libc6 | libgcc-s1 | libstdc++6) ;; *) needs "$owner" "links $lib" ;; esac
done
plugins=$(qmake -query QT_INSTALL_PLUGINS 2>/dev/null || qtpaths --plugin-dir)
tiff=$(dpkg -S "$plugins/imageformats/libqtiff.so" 2>/dev/null | cut -d: -f1)
[ -n "$tiff" ] && needs "$tiff" "loads the TIFF image plugin"

# The recognition languages offered in the settings.
recommends=$(dpkg-deb -f "$deb" Recommends | tr ',|' '\n\n' | sed 's/([^)]*)//; s/^ *//; s/ *$//')
for data in tesseract-ocr-chi-sim tesseract-ocr-chi-tra tesseract-ocr-eng; do
  grep -qx "$data" <<<"$recommends" || problem "Recommends lacks $data (recognition data)"
done
grep -q '^libtesseract' <<<"$depends" || problem "Depends lacks the text recognition library"

apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log"
  problem "apt cannot resolve the dependencies"
}

outside=$(cd "$work/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || problem "files outside /usr: $outside"
file "$exe" | grep -q ', stripped' || problem "the program is not stripped"
for f in "$work"/root/usr/share/applications/*.desktop; do
  desktop-file-validate "$f" || problem "invalid desktop entry $f"
done
appstreamcli validate-tree --no-net "$work/root/usr" || problem "invalid AppStream metadata"

if command -v lintian >/dev/null; then
  lintian --info --display-info "$deb" | tee "$work/lintian.log"
  grep -q '^E: ' "$work/lintian.log" && problem "lintian reports errors"
else
  echo "checkdeb: lintian not installed (scripts/bootstrap --package)"
fi
[ $fail -eq 0 ] && echo "checkdeb: $(basename "$deb") is sound"
exit $fail
