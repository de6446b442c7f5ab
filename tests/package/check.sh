#!/usr/bin/env bash
# Makes the Debian package from an existing build and checks what it holds:
# the file list, the Depends, the desktop entry, the AppStream metainfo, the
# file type, the icons, and that the packaged velmora-cli runs.
# Usage: check.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$work/velmora_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work")"

# Every regular file, nothing more and nothing less.
share=usr/share
id=example.velmora.Velmora
expected=(
  usr/bin/velmora usr/bin/velmora-cli
  $share/applications/$id.desktop
  $share/metainfo/$id.metainfo.xml
  $share/mime/packages/velmora.xml
  $share/doc/velmora/README.md
  $share/icons/hicolor/scalable/apps/velmora.svg
)
# The operator's manual, every file of it.
while IFS= read -r f; do expected+=("$share/doc/velmora/manual/$f"); done \
  < <(cd "$(dirname "$0")/../../help/manual" && find . -type f -printf '%P\n')
sizes=(16 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("$share/icons/hicolor/${s}x$s/apps/velmora.png"); done
listing=$(dpkg-deb -c "$deb")
actual=$(awk '$1 ~ /^-/ { sub(/^\.\//, "", $6); print $6 }' <<<"$listing" | sort)
want=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$want" ] || fail "file list differs:
$(diff <(echo "$want") <(echo "$actual") || true)"

for f in velmora velmora-cli; do
  grep -q "^-rwxr-xr-x root/root .* \./usr/bin/$f\$" <<<"$listing" || fail "$f is not root's 0755"
done

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libc6 \
         fonts-arphic-uming fonts-arphic-ukai fonts-wqy-zenhei fonts-dejavu-core \
         qt6-translations-l10n; do
  [[ ",$depends," =~ [,\ ]$p[\ ,] ]] || fail "Depends lacks $p: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/$share/applications/$id.desktop"
grep -qx 'Exec=velmora %f' "$root/$share/applications/$id.desktop" || fail "Exec does not pass the file"
grep -qx 'MimeType=application/x-velmora-project;' "$root/$share/applications/$id.desktop" \
  || fail "the desktop entry does not take the project type"
appstreamcli validate --no-net "$root/$share/metainfo/$id.metainfo.xml"

# The type claims *.prj by name only: no content rule.
mime="$work/mime"
mkdir -p "$mime/packages"
cp "$root/$share/mime/packages/velmora.xml" "$mime/packages/"
update-mime-database "$mime" 2>/dev/null   # warns that the folder is not searched
grep -qx '50:application/x-velmora-project:\*\.prj' "$mime/globs2" || fail "no *.prj glob"
! grep -q 'velmora' "$mime/magic" 2>/dev/null || fail "the type claims content"

for s in "${sizes[@]}"; do
  file "$root/$share/icons/hicolor/${s}x$s/apps/velmora.png" | grep -q "PNG image data, $s x $s" \
    || fail "the ${s}px icon is not a $s x $s PNG"
done
file "$root/usr/bin/velmora" | grep -q 'ELF.*, stripped' || fail "velmora is not a stripped ELF"

cli="$root/usr/bin/velmora-cli"
"$cli" project new "$work/show.prj"
[ "$(stat -c %s "$work/show.prj")" = 1856 ] || fail "project new did not write 1856 bytes"
"$cli" project show "$work/show.prj" | grep -q . || fail "project show printed nothing"
echo "package ok: $(basename "$deb")"
