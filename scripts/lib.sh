# Shared by the scripts: install what is missing, configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

install_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$ROOT/scripts/debian-packages.txt")
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build BUILD_DIR [extra cmake args...]; BUILD_TARGETS limits what is built, SOURCE_DIR
# builds another project than the checkout's (the fuzz targets).
configure_and_build() {
    local dir="$1"; shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Paths relative to the checkout, so another clone of it (CI's, a worktree) finds the same cache.
    export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=true
    cmake -S "${SOURCE_DIR:-$ROOT}" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
    local targets=()
    [ -n "${BUILD_TARGETS:-}" ] && targets=(--target $BUILD_TARGETS)
    cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
}
