# The set-up shared by play.sh and test.sh (and so by CI): the packages the
# build needs, then an incremental configure of build/. Sourced, not run.

TORVEK_PACKAGES=(cmake g++ pkg-config libsdl2-dev libsdl2-image-dev libgtest-dev libbenchmark-dev)
TORVEK_BUILD_DIR=build

# Prints the packages of TORVEK_PACKAGES that dpkg does not list as installed.
torvek_missing_packages() {
    local package
    for package in "${TORVEK_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}

torvek_apt_install() {
    local runner=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Please install, as root: apt-get install $*" >&2
            return 1
        fi
        runner=(sudo)
    fi
    echo "Installing: $*" >&2
    # A fresh machine may have no package lists yet: update and retry once.
    "${runner[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@" ||
        { "${runner[@]}" apt-get update && 
          "${runner[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"; }
}

# Without apt only the tools and libraries themselves can be checked.
torvek_check_without_apt() {
    if command -v cmake >/dev/null && command -v g++ >/dev/null && command -v pkg-config >/dev/null &&
        pkg-config --exists sdl2 SDL2_image; then
        return 0
    fi
    echo "Please install with your system's package manager: ${TORVEK_PACKAGES[*]}" >&2
    echo "(Debian names; GoogleTest and Google Benchmark are needed for ./test.sh)" >&2
    return 1
}

torvek_install_packages() {
    if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
        torvek_check_without_apt
        return
    fi
    local missing
    missing=$(torvek_missing_packages)
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2086
        torvek_apt_install $missing
    fi
}

# Configures build/ once; later runs only build, and CMake reconfigures by itself
# when a CMakeLists.txt changes.
torvek_configure() {
    if [ ! -f "$TORVEK_BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S . -B "$TORVEK_BUILD_DIR" "$@"
    fi
}

torvek_build() {
    cmake --build "$TORVEK_BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)" "$@"
}
