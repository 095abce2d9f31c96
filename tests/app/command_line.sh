#!/usr/bin/env bash
# The program's command line is understood before a display is needed: without any window system,
# a mistyped option or a stray argument prints the usage and ends with status 2, and --help and
# --version answer. Window-system options pass through to the GUI application.
#   command_line.sh PROGRAM
set -euo pipefail
bin="$1"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$out" >&2; exit 1; }
export ASAN_OPTIONS=detect_leaks=0
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

for args in "--bogus" "-bogus" "stray" "--version extra"; do
  status=0
  # shellcheck disable=SC2086 # each case is a list of words
  "${headless[@]}" "$bin" $args >"$out" 2>&1 || status=$?
  [ "$status" -eq 2 ] || fail "'$args' ended with $status, not 2"
  grep -q '^Usage: ' "$out" || fail "'$args' printed no usage"
  grep -q -- '--version' "$out" || fail "'$args' printed no option list"
done
"${headless[@]}" "$bin" --bogus >"$out" 2>&1 || true
grep -q "Unknown option 'bogus'" "$out" || fail "the unknown option is not named"
grep -q "^Usage: glintwork " "$out" || fail "the usage does not name the program"
"${headless[@]}" "$bin" stray >"$out" 2>&1 || true
grep -q "Unexpected argument 'stray'" "$out" || fail "the stray argument is not named"

[ "$("${headless[@]}" "$bin" --version)" = "glintwork $2" ] || fail "--version"
"${headless[@]}" "$bin" --help >"$out" || fail "--help ended with an error"
grep -q -- '--help' "$out" || fail "--help lists no options"
grep -q -- 'platform' "$out" && fail "--help lists the window system's options"

status=0
"${headless[@]}" "$bin" >"$out" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q 'no display found' "$out" || fail "without a display: status $status"

# A window-system option is not refused: the program gets as far as the window system.
status=0
"${headless[@]}" "$bin" -platform offscreen --version >"$out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "-platform offscreen --version ended with $status"
echo "command line ok"
