#!/usr/bin/env bash
# The Debian package of a build: made by CPack, unpacked into a scratch root, the program, its
# desktop entry and icon in place, its dependencies worked out, and the program starting from it.
#   deb_install.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb="${debs[0]}"
case "$(basename "$deb")" in glintwork_*_*.deb) ;; *) fail "package file name $(basename "$deb")" ;; esac

depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6network6 libqt6serialport6 qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# The logos are drawn at build time: the program loads no SVG renderer while it starts.
grep -q "libqt6svg6" <<<"$depends" && fail "Depends names libqt6svg6: $depends"

recommends="$(dpkg-deb -f "$deb" Recommends)"
grep -q 'xdg-utils' <<<"$recommends" || fail "Recommends lacks xdg-utils (Help opens the guide with it): $recommends"
# Debian's own checks of a package; what they call an error or a warning is one here.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/test installs it)"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian"; }

root="$work/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin/glintwork"
desktop="$root/usr/share/applications/glintwork.desktop"
[ -x "$bin" ] || fail "no program at /usr/bin/glintwork"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/glintwork.svg" ] || fail "no scalable icon"
for size in 16 32 48 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/glintwork.png"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "icon $icon"
done
[ -f "$root/usr/share/doc/glintwork/copyright" ] || fail "no /usr/share/doc/glintwork/copyright"
zcat "$root/usr/share/man/man1/glintwork.1.gz" | grep -q '^\.TH GLINTWORK 1' || fail "no manual page"
[ -f "$desktop" ] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -qx 'Exec=glintwork' "$desktop" && grep -qx 'Icon=glintwork' "$desktop" || fail "desktop entry names"

export ASAN_OPTIONS=detect_leaks=0
version="$("$bin" --version)"
[ "$version" = "glintwork 2.2.0" ] || fail "--version said: $version"
"$bin" --help | grep -q -- "--version" || fail "--help"
if QT_QPA_PLATFORM=offscreen "$bin" --no-such-option >"$work/unknown.log" 2>&1; then
  fail "an unknown option was accepted"
fi
grep -q "Unknown option 'no-such-option'" "$work/unknown.log" || fail "unknown option: $(cat "$work/unknown.log")"

# The command-line program beside it: its manual page and completion, no Qt GUI in what it links,
# and it runs without a display.
cli="$root/usr/bin/glintwork-cli"
[ -x "$cli" ] || fail "no program at /usr/bin/glintwork-cli"
zcat "$root/usr/share/man/man1/glintwork-cli.1.gz" | grep -q '^\.TH GLINTWORK-CLI 1' || fail "no manual page for glintwork-cli"
completion="$root/usr/share/bash-completion/completions/glintwork-cli"
bash -n "$completion" || fail "bash completion for glintwork-cli"
if objdump -p "$cli" | grep -E 'NEEDED +libQt6(Gui|Widgets)'; then fail "glintwork-cli links Qt GUI libraries"; fi
cli_version="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" --version)"
[ "$cli_version" = "glintwork-cli 2.2.0" ] || fail "glintwork-cli --version said: $cli_version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" search --help | grep -q -- "--port" || fail "glintwork-cli search --help"
status=0
env -u DISPLAY "$cli" no-such-command 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "glintwork-cli: an unknown command ended with $status, not 2"

# The window opens and the program keeps running. Where possible in a network namespace of its
# own, so it does not take this machine's UDP port 49150.
wrap=()
unshare -n true 2>/dev/null && wrap=(unshare -n)
QT_QPA_PLATFORM=offscreen "${wrap[@]}" "$bin" >"$work/run.log" 2>&1 &
app_pid=$!
sleep 4
kill -0 "$app_pid" 2>/dev/null || { cat "$work/run.log" >&2; fail "the program did not keep running"; }
echo "package ok: $(basename "$deb")"
