# Shared by the scripts: where things are, and installing the Debian packages the project needs.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# Build and test needs.
PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libgl-dev
          qt6-qpa-plugins fonts-dejavu-core iproute2 procps poppler-utils dpkg-dev file
          desktop-file-utils lintian)

# Fuzzing (scripts/fuzz): clang with libFuzzer's runtime, and the symbolizer for readable reports.
FUZZ_PACKAGES=(clang libclang-rt-dev llvm)

# Installs whichever of the given packages are missing; quick when all are there.
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "These Debian packages are missing, and installing them needs root. Ask an administrator to run:" >&2
      echo "  apt-get install ${missing[*]}" >&2
      exit 1
    fi
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir="$1"; shift
  [ -f "$dir/build.ninja" ] || echo "Building into $dir (the first build takes a few minutes)..."
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# True when a window can be opened: a display of X or Wayland, or a Qt platform chosen explicitly.
have_display() {
  [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]
}
