#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from the build folder, unpacked into a
# scratch root, checked for its layout, its declared dependencies and lintian's verdict, and its
# quillon-render run from there on a real spool file. Safe to run any number of times: everything
# happens in a fresh temporary folder.
#
#   PackageTest.sh BUILD_DIR SPOOL_FILE
set -euo pipefail
build=$1
spool=$2
work=$(mktemp -d /tmp/quillon-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/quillon-print_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no quillon-print_VERSION_amd64.deb: $(ls "$work/out")"
deb=${debs[0]}
echo "package: $(basename "$deb")" >&2

# Declared dependencies: the toolkit, the print service's library and the fonts of the pages.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libcups2 fonts-liberation2 fonts-dejavu-core; do
  grep -qE "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
done
# Each package once: the declared list and the libraries dpkg-shlibdeps finds must not overlap.
twice=$(sed -E 's/ *\([^)]*\)//g; s/ *, */\n/g' <<<"$depends" | sort | uniq -d)
[ -z "$twice" ] || fail "Depends names $(tr '\n' ' ' <<<"$twice")more than once: $depends"
[ "$(dpkg-deb -f "$deb" Recommends)" = cups ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/quillon-render usr/lib/quillon-print/quillon-draw usr/lib/quillon-print/quillon-preview \
         usr/lib/cups/backend/quillon \
         usr/lib/quillon-print/quillon-backend-worker \
         usr/share/applications/quillon-print.desktop etc/xdg/autostart/quillon-print.desktop \
         usr/lib/systemd/user/quillon-watch.service \
         usr/share/man/man1/quillon-render.1.gz usr/share/man/man1/quillon-print.1.gz \
         usr/share/man/man8/quillon.8.gz \
         usr/share/icons/hicolor/scalable/apps/quillon-print.svg \
         usr/share/doc/quillon-print/copyright usr/share/doc/quillon-print/changelog.gz; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
for size in 16 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/quillon-print.png
  [ -f "$png" ] || fail "missing icon $size"
  [ "$(file -b "$png" | grep -o "$size x $size")" = "$size x $size" ] || fail "icon $size: $(file -b "$png")"
done
[ "$(stat -c %a "$root/usr/lib/cups/backend/quillon")" = 755 ] || fail "the backend must be 0755"
grep -qx 'ExecStart=/usr/bin/quillon-render --watch' "$root/usr/lib/systemd/user/quillon-watch.service" \
  || fail "the unit does not run the installed watcher"
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles)" = /etc/xdg/autostart/quillon-print.desktop ] \
  || fail "the autostart entry is not a conffile"
for entry in usr/share/applications/quillon-print.desktop etc/xdg/autostart/quillon-print.desktop; do
  desktop-file-validate "$root/$entry" || fail "desktop-file-validate /$entry"
done
# The manual pages format without warnings.
for page in man1/quillon-render.1 man1/quillon-print.1 man8/quillon.8; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/$page.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done

# The installed renderer, with the system's Qt and nothing borrowed from the build. The command
# itself loads no Qt: its store runs need none, and the runs that draw go to quillon-draw.
render=$root/usr/bin/quillon-render
draw=$root/usr/lib/quillon-print/quillon-draw
# Each tool's whole output is taken before it is searched: "grep -q" stops reading at its first
# match, and under pipefail the writer's broken pipe would fail the check.
! grep -q "libQt6" <<<"$(ldd "$render")" || fail "quillon-render loads Qt: $(ldd "$render")"
libraries=$(ldd "$draw")
grep -qE "libQt6Core.so.6 => (/usr)?/lib/" <<<"$libraries" || fail "Qt does not come from the system: $libraries"
! grep -q "not found" <<<"$libraries" || fail "unresolved libraries: $libraries"
for program in "$render" "$draw"; do
  dynamic=$(readelf -d "$program")
  ! grep -qE "RPATH|RUNPATH" <<<"$dynamic" || fail "$program keeps a library path: $(grep PATH <<<"$dynamic")"
done
env -u LD_LIBRARY_PATH HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  "$render" "$spool" -o "$work/out.pdf" || fail "the installed quillon-render failed"
grep -q "^Pages: *[1-9]" <<<"$(pdfinfo "$work/out.pdf")" || fail "no pages in the PDF"
grep -q "Zażółć gęślą jaźń" <<<"$(pdftotext -layout "$work/out.pdf" -)" || fail "the Polish text is not in the PDF"
env -u LD_LIBRARY_PATH HOME="$work/home" "$render" "$spool" -o "$work/out.vxr" || fail "the installed store run failed"
# The renderer draws no window: the window toolkit is the preview program's alone, and
# --preview finds that program where the package puts it.
! grep -q "libQt6Widgets" <<<"$libraries" || fail "quillon-draw loads Qt Widgets"
preview=$(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  XDG_DATA_HOME="$work/data" "$render" "$work/missing.vxr" --preview 2>&1 || true)
! grep -q "cannot be started" <<<"$preview" || fail "--preview: $preview"
grep -q "missing.vxr" <<<"$preview" || fail "the preview program did not read its input: $preview"
# The backend CUPS starts for every job loads no Qt; it finds its renderer where the package puts
# it, and the installed pair renders a job.
backend=$root/usr/lib/cups/backend/quillon
worker=$root/usr/lib/quillon-print/quillon-backend-worker
! grep -q "libQt6" <<<"$(ldd "$backend")" || fail "the backend loads Qt: $(ldd "$backend")"
grep -qx /usr/lib/quillon-print/quillon-backend-worker <<<"$(strings "$backend")" \
  || fail "the backend looks for its renderer elsewhere"
! grep -q "libQt6Widgets" <<<"$(ldd "$worker")" || fail "the backend's renderer loads Qt Widgets"
mkdir "$work/pdf" "$work/tmp"
for job in 1 2; do
  env -u LD_LIBRARY_PATH TMPDIR="$work/tmp" DEVICE_URI="quillon:/pdf$work/pdf" QUILLON_BACKEND_WORKER="$worker" \
    "$backend" $job jan raport 1 "" "$spool" 2>"$work/backend.log" || fail "the installed backend: $(cat "$work/backend.log")"
done
grep -q "^Pages: *[1-9]" <<<"$(pdfinfo "$work/pdf/1-raport.pdf")" || fail "no pages in the backend's PDF"
rm -rf "$work/tmp" # its renderer goes with its folder

usage=$(env -u LD_LIBRARY_PATH "$render" 2>&1 || true)
grep -q "usage: quillon-render" <<<"$usage" || fail "no usage text: $usage"

# lintian: errors fail the test, warnings are shown.
if command -v lintian >/dev/null; then
  lintian --allow-root --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  ! grep -q "^E: " "$work/lintian.log" || fail "lintian reports errors"
else
  fail "lintian is not installed (scripts/setup.sh installs it)"
fi
echo "package test passed"
