#!/usr/bin/env bash
# Installs the build tree $1 into a scratch DESTDIR and checks what a desktop needs: the
# program, a valid desktop entry, and PNG icons that show exactly the program's own icon
# pictures (the XPM data in the source tree $2, which lacks the "/* XPM */" line).
set -euo pipefail
build=$1
source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
test -x "$root/usr/bin/plandis"
desktop-file-validate --no-hints "$root/usr/share/applications/plandis.desktop"
grep -qx 'Icon=plandis' "$root/usr/share/applications/plandis.desktop"
for size in 16 32; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/plandis.png
  [ "$(identify -format '%m %wx%h' "$png")" = "PNG ${size}x${size}" ]
  { echo '/* XPM */'; cat "$source/app/icons/icon128_$size.xpm"; } >"$root/icon.xpm"
  compare -metric AE "$png" "$root/icon.xpm" null: 2>"$root/differing"
  [ "$(cat "$root/differing")" = 0 ]
done
echo "install_test: ok"
