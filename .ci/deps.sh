# The libraries and tools of the Windows and web builds: the Debian packages
# each needs, and SDL2, SDL2_image (and GoogleTest for the Windows tests)
# built from Debian's own source packages, once, into a cache outside the
# build folders that every later build and test run reuses. Sourced, not run,
# after or without .ci/setup.sh (whose installing functions it uses).
#
#   torvek_deps_install windows|windows-tests|web|web-tests...
#   torvek_deps_windows   sets TORVEK_WINDOWS_PREFIX, TORVEK_WINDOWS_CMAKE_ARGS
#   torvek_deps_web       sets TORVEK_WEB_PREFIX, TORVEK_WEB_CMAKE_ARGS and
#                         exports what emcc needs (torvek_deps_web_env)
#
#   cmake -S . -B build-windows "${TORVEK_WINDOWS_CMAKE_ARGS[@]}"
#   emcmake cmake -S . -B build-web "${TORVEK_WEB_CMAKE_ARGS[@]}"
# and in CMake, for both: find_package(SDL2 CONFIG) gives SDL2::SDL2-static
# (and SDL2::SDL2main), find_package(SDL2_image CONFIG) gives
# SDL2_image::SDL2_image-static; for Windows find_package(GTest) gives
# GTest::gtest, GTest::gtest_main, GTest::gmock. pkg-config finds sdl2 and
# SDL2_image in the Windows prefix too. The licence texts are in each
# prefix's share/licenses/. Never emscripten's ports (-sUSE_SDL and the
# like): they download, and fail here.
#
# TORVEK_DEPS_CACHE (default ~/.cache/torvek-deps) holds the sources, one
# prefix per platform and the build logs. A prefix's folder is named by a
# hash of the source versions, the toolchain's versions and the recipe
# below, so a change of any of them builds afresh.

if ! declare -F torvek_install_packages >/dev/null; then
    # shellcheck source=setup.sh
    source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
fi

TORVEK_DEPS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TORVEK_DEPS_CACHE=${TORVEK_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/torvek-deps}
TORVEK_MINGW_TOOLCHAIN=$TORVEK_DEPS_ROOT/cmake/mingw-w64-x86_64.cmake

TORVEK_SDL2_VERSION=2.26.5
TORVEK_SDL2_IMAGE_VERSION=2.6.3
# Debian's source packages, and the suite they are taken from.
TORVEK_DEPS_SOURCES=(libsdl2 libsdl2-image)
TORVEK_DEPS_SUITE=bookworm

# dpkg-dev unpacks the source packages; googletest ships the sources of
# GoogleTest in /usr/src/googletest.
TORVEK_WINDOWS_PACKAGES=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 nsis zip cmake dpkg-dev googletest)
TORVEK_WINDOWS_TEST_PACKAGES=(xvfb xdotool imagemagick)
TORVEK_WEB_PACKAGES=(emscripten cmake dpkg-dev zip)
TORVEK_WEB_TEST_PACKAGES=(chromium chromium-driver zip)

# emcmake would run what it builds with node --experimental-wasm-threads, an
# option a newer node than Debian's refuses.
TORVEK_WEB_EMULATOR=(-DCMAKE_CROSSCOMPILING_EMULATOR=node)

# The recipe's own name for the job count: a prefix's key hashes the
# recipe's text (torvek_deps_key), and another name would build every prefix
# again.
torvek_deps_jobs() {
    torvek_jobs
}

# Installs what is missing of the lists named: windows, windows-tests, web,
# web-tests.
torvek_deps_install() {
    local packages=() list
    for list in "$@"; do
        case $list in
            windows) packages+=("${TORVEK_WINDOWS_PACKAGES[@]}") ;;
            windows-tests) packages+=("${TORVEK_WINDOWS_TEST_PACKAGES[@]}") ;;
            web) packages+=("${TORVEK_WEB_PACKAGES[@]}") ;;
            web-tests) packages+=("${TORVEK_WEB_TEST_PACKAGES[@]}") ;;
            *) echo "torvek_deps_install: unknown list '$list'" >&2; return 2 ;;
        esac
    done
    torvek_install_packages "${packages[@]}"
}

# ---------------------------------------------------------------- sources

# The mirror the system's own lists use for Debian's main archive, from its
# deb822 sources or the one-line list; Debian's own name when there is none.
torvek_deps_mirror() {
    if [ -n "${TORVEK_DEBIAN_MIRROR:-}" ]; then
        echo "$TORVEK_DEBIAN_MIRROR"
        return
    fi
    local mirror=
    if [ -r /etc/apt/sources.list.d/debian.sources ]; then
        mirror=$(awk '
            function stanza() { if (deb && uri != "" && suite && found == "") found = uri; deb = 0; uri = ""; suite = 0 }
            /^[[:space:]]*$/ { stanza(); next }
            /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb" || $i == "deb-src") deb = 1 }
            /^URIs:/ { uri = $2 }
            /^Suites:/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+$/) suite = 1 }
            END { stanza(); if (found != "") print found }' /etc/apt/sources.list.d/debian.sources)
    fi
    if [ -z "$mirror" ] && [ -r /etc/apt/sources.list ]; then
        mirror=$(awk '$1 == "deb" && $2 !~ /^\[/ && $3 ~ /^[a-z]+$/ { print $2; exit }
                      $1 == "deb" && $2 ~ /^\[/ { for (i = 3; i <= NF; i++) if ($i !~ /\]$/ && $i ~ /:\/\//) { print $i; exit } }' \
            /etc/apt/sources.list)
    fi
    echo "${mirror:-http://deb.debian.org/debian}"
}

# apt-get with a private sources list, lists folder and archives folder in
# the cache: the system's apt configuration and lists are left as they are.
torvek_deps_apt() {
    local apt=$TORVEK_DEPS_CACHE/apt
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg options=
    [ -r "$keyring" ] && options="[signed-by=$keyring] "
    echo "deb-src ${options}$(torvek_deps_mirror) $TORVEK_DEPS_SUITE main" >"$apt/sources.list"
    local sandbox=()
    # apt hands downloads to its own user, who cannot write into a root's cache.
    [ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
    apt-get -q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts" \
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Acquire::Languages=none \
        "${sandbox[@]}" "$@"
}

# Prints the unpacked tree of a fetched source package (libsdl2 or
# libsdl2-image), or nothing.
torvek_deps_source_dir() {
    local dir
    # Named NAME-VERSION: libsdl2-image-2.6.3 is not a version of libsdl2.
    for dir in "$TORVEK_DEPS_CACHE/src/$1-"[0-9]*/; do
        [ -f "$dir/debian/changelog" ] && { echo "${dir%/}"; return; }
    done
    return 0
}

# The version of an unpacked source package, from its changelog.
torvek_deps_source_version() {
    dpkg-parsechangelog -l "$1/debian/changelog" -S Version
}

# Fetches the source packages once into $TORVEK_DEPS_CACHE/src and checks
# that they are the upstream versions wanted (2.26.5+dfsg-1 is 2.26.5).
torvek_deps_fetch_sources() {
    local name wanted missing=()
    for name in "${TORVEK_DEPS_SOURCES[@]}"; do
        [ -n "$(torvek_deps_source_dir "$name")" ] || missing+=("$name")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        command -v dpkg-source >/dev/null || { echo "deps: dpkg-source is missing (Debian package: dpkg-dev)" >&2; return 1; }
        echo "deps: fetching the Debian sources of ${missing[*]}" >&2
        local partial=$TORVEK_DEPS_CACHE/src.partial
        rm -rf "$partial"
        mkdir -p "$partial" "$TORVEK_DEPS_CACHE/src"
        torvek_deps_apt update >"$TORVEK_DEPS_CACHE/apt-update.log" 2>&1 ||
            { cat "$TORVEK_DEPS_CACHE/apt-update.log" >&2; return 1; }
        (cd "$partial" && torvek_deps_apt source "${missing[@]}") >"$TORVEK_DEPS_CACHE/apt-source.log" 2>&1 ||
            { cat "$TORVEK_DEPS_CACHE/apt-source.log" >&2; return 1; }
        # The lists are only needed for this one fetch.
        rm -rf "$TORVEK_DEPS_CACHE/apt/lists" "$TORVEK_DEPS_CACHE/apt/cache"
        mv "$partial"/* "$TORVEK_DEPS_CACHE/src/"
        rmdir "$partial"
    fi
    local dir version
    for name in "${TORVEK_DEPS_SOURCES[@]}"; do
        case $name in
            libsdl2) wanted=$TORVEK_SDL2_VERSION ;;
            libsdl2-image) wanted=$TORVEK_SDL2_IMAGE_VERSION ;;
        esac
        dir=$(torvek_deps_source_dir "$name")
        version=$(torvek_deps_source_version "$dir")
        # Upstream version: no epoch, no Debian revision, no +dfsg repack mark.
        local upstream=${version#*:}
        upstream=${upstream%-*}
        upstream=${upstream%%+*}
        if [ "$upstream" != "$wanted" ]; then
            echo "deps: $name is version $version, not $wanted; remove $TORVEK_DEPS_CACHE/src to fetch again" >&2
            return 1
        fi
    done
}

# ---------------------------------------------------------------- building

# Writes a hash of the text on standard input.
torvek_deps_hash() {
    sha256sum | cut -c1-16
}

# What a prefix is built from: the sources' versions, this recipe and the
# named tools' versions (from dpkg where it knows the packages).
torvek_deps_key() {
    local platform=$1
    shift
    {
        echo "$platform"
        for name in "${TORVEK_DEPS_SOURCES[@]}"; do
            echo "$name $(torvek_deps_source_version "$(torvek_deps_source_dir "$name")")"
        done
        declare -f torvek_deps_cmake_build torvek_deps_save_checks "torvek_deps_options_$platform" \
            torvek_deps_build_sdl torvek_deps_write_image_pc torvek_deps_fix_image_config \
            torvek_deps_gtest_source "torvek_deps_build_$platform"
        declare -p TORVEK_WEB_EMULATOR
        cmake --version | sed -n 1p
        "$@"
    } | torvek_deps_hash
}

# Configures, builds and installs one CMake project into a prefix; the
# build folder is removed when all went well, the log is kept. With CHECKS
# set to a file name, the configure step starts from the results of SDL's
# checks saved there, and saves them there when there are none yet.
#   torvek_deps_cmake_build NAME SOURCE PREFIX LOG CONFIGURE-COMMAND... -- CMAKE-ARGS...
torvek_deps_cmake_build() {
    local name=$1 source=$2 prefix=$3 log=$4
    shift 4
    local configure=()
    while [ "$1" != -- ]; do
        configure+=("$1")
        shift
    done
    shift
    local build=$prefix.build/$name seeded=()
    [ -n "${CHECKS:-}" ] && [ -f "$CHECKS" ] && seeded=(-C "$CHECKS")
    rm -rf "$build"
    local start=$SECONDS configured
    if ! { "${configure[@]}" cmake "${seeded[@]}" -S "$source" -B "$build" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
           configured=$SECONDS &&
           cmake --build "$build" -j "$(torvek_deps_jobs)" &&
           cmake --install "$build"; } >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "deps: building $name failed; the whole log is $log" >&2
        return 1
    fi
    if [ -n "${CHECKS:-}" ] && [ "${#seeded[@]}" -eq 0 ]; then
        torvek_deps_save_checks "$build/CMakeCache.txt" >"$CHECKS.partial" && mv "$CHECKS.partial" "$CHECKS"
    fi
    rm -rf "$build"
    echo "deps: $name configured in $((configured - start)) s${seeded:+ (from the saved checks)}, built in $((SECONDS - configured)) s" >&2
}

# SDL's configure step checks, one compile-and-link at a time, each header
# and function of the C library; with emcc that takes minutes. The answers
# depend only on the compiler and its C library, so they are kept (in a file
# named by the toolchain's and SDL's versions) for the next build of other
# options. The file sets each answer, found or not, as the check would.
torvek_deps_save_checks() {
    sed -n -E 's/^((HAVE_[A-Za-z0-9_]+|LIBC_IS_GLIBC|STDC_HEADERS):INTERNAL=(.*))$/set(\2 "\3" CACHE INTERNAL "")/p' "$1"
}

torvek_deps_options_windows() {
    TORVEK_DEPS_CONFIGURE=()
    TORVEK_DEPS_SDL2_OPTIONS=(-DCMAKE_TOOLCHAIN_FILE="$TORVEK_MINGW_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_CCACHE=OFF -DSDL2_DISABLE_UNINSTALL=ON)
    TORVEK_DEPS_IMAGE_OPTIONS=(-DCMAKE_TOOLCHAIN_FILE="$TORVEK_MINGW_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release
        -DSDL2IMAGE_BACKEND_WIC=OFF)
}

# For the page only what the game uses: video with the software renderer,
# events, keys, pointer and touch, gamepads (and the virtual ones of the
# tests, which need the HIDAPI switch on; there is no HIDAPI on the web),
# timers, files. No audio, haptics, sensors, power, locale, threads, OpenGL.
torvek_deps_options_web() {
    TORVEK_DEPS_CONFIGURE=(emcmake)
    TORVEK_DEPS_SDL2_OPTIONS=("${TORVEK_WEB_EMULATOR[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG"
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_CCACHE=OFF -DSDL2_DISABLE_UNINSTALL=ON
        -DSDL_AUDIO=OFF -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF
        -DSDL_THREADS=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_OFFSCREEN=OFF
        -DSDL_HIDAPI=ON -DSDL_VIRTUAL_JOYSTICK=ON)
    TORVEK_DEPS_IMAGE_OPTIONS=("${TORVEK_WEB_EMULATOR[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG")
}

# SDL2 and then SDL2_image (PNG only, through its bundled stb_image, saving
# through its bundled miniz) into one prefix, both static.
#   torvek_deps_build_sdl PLATFORM PREFIX LOG [CHECKS-FILE]
torvek_deps_build_sdl() {
    local platform=$1 prefix=$2 log=$3 checks=${4:-}
    "torvek_deps_options_$platform"
    CHECKS=$checks torvek_deps_cmake_build SDL2 "$(torvek_deps_source_dir libsdl2)" "$prefix" "$log" \
        "${TORVEK_DEPS_CONFIGURE[@]}" -- "${TORVEK_DEPS_SDL2_OPTIONS[@]}" || return 1
    local format formats=()
    for format in AVIF BMP GIF JPG JXL LBM PCX PNM QOI SVG TGA TIF WEBP XCF XPM XV; do
        formats+=("-DSDL2IMAGE_$format=OFF")
    done
    torvek_deps_cmake_build SDL2_image "$(torvek_deps_source_dir libsdl2-image)" "$prefix" "$log" \
        "${TORVEK_DEPS_CONFIGURE[@]}" -- "${TORVEK_DEPS_IMAGE_OPTIONS[@]}" \
        -DCMAKE_FIND_ROOT_PATH="$prefix" -DSDL2_DIR="$prefix/lib/cmake/SDL2" \
        -DBUILD_SHARED_LIBS=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_DEPS_SHARED=OFF \
        -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF \
        "${formats[@]}" -DSDL2IMAGE_PNG=ON -DSDL2IMAGE_PNG_SAVE=ON || return 1
    torvek_deps_fix_image_config "$prefix" || return 1
    torvek_deps_write_image_pc "$prefix"
}

# SDL2_image installs its pkg-config file only beside a shared library; the
# static one needs nothing beyond SDL2 itself.
torvek_deps_write_image_pc() {
    local prefix=$1
    cat >"$prefix/lib/pkgconfig/SDL2_image.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SDL2_image
Description: image loading library for Simple DirectMedia Layer (PNG through stb_image; static)
Version: $TORVEK_SDL2_IMAGE_VERSION
Requires: sdl2 >= 2.0.9
Libs: -L\${libdir} -lSDL2_image
Cflags: -I\${includedir}/SDL2
PC
}

# SDL2_image's CMake package asks for libpng (and libjpeg) whenever PNG (or
# JPEG) is on, even when stb_image reads them and nothing links either.
torvek_deps_fix_image_config() {
    local config=$1/lib/cmake/SDL2_image/SDL2_imageConfig.cmake format
    for format in JPG PNG; do
        grep -q "^if(SDL2IMAGE_$format AND NOT SDL2IMAGE_VENDORED" "$config" || {
            echo "deps: $config: the test for $format's library is not where it was" >&2
            return 1
        }
        sed -i "s/^if(SDL2IMAGE_$format AND NOT SDL2IMAGE_VENDORED/if(SDL2IMAGE_$format AND NOT SDL2IMAGE_BACKEND_STB AND NOT SDL2IMAGE_VENDORED/" "$config"
    done
}

# GoogleTest from Debian's googletest package, for the test programs.
torvek_deps_gtest_source() {
    echo /usr/src/googletest
}

torvek_deps_build_windows() {
    local prefix=$1 log=$2
    torvek_deps_build_sdl windows "$prefix" "$log" || return 1
    # GoogleTest's own Windows threads, not winpthread's.
    torvek_deps_cmake_build GoogleTest "$(torvek_deps_gtest_source)" "$prefix" "$log" -- \
        -DCMAKE_TOOLCHAIN_FILE="$TORVEK_MINGW_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_STANDARD=20 -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON
}

torvek_deps_build_web() {
    local prefix=$1 log=$2 checks
    checks=$TORVEK_DEPS_CACHE/checks-web-sdl2-$({ torvek_deps_web_toolchain_versions
        torvek_deps_source_version "$(torvek_deps_source_dir libsdl2)"; } | torvek_deps_hash).cmake
    torvek_deps_build_sdl web "$prefix" "$log" "$checks"
}

# Builds a platform's prefix unless the one for this key is complete; then
# removes the prefixes of other keys. Prints the prefix.
#   torvek_deps_prefix PLATFORM KEY
torvek_deps_prefix() {
    local platform=$1 key=$2
    local prefix=$TORVEK_DEPS_CACHE/$platform-$key
    mkdir -p "$TORVEK_DEPS_CACHE"
    # One build of a platform at a time, should two runs share the cache.
    local lock
    exec {lock}>"$TORVEK_DEPS_CACHE/.$platform.lock"
    flock "$lock"
    if [ ! -f "$prefix/.complete" ]; then
        local log=$TORVEK_DEPS_CACHE/$platform-$key.log
        echo "deps: building SDL2 $TORVEK_SDL2_VERSION and SDL2_image $TORVEK_SDL2_IMAGE_VERSION for $platform into $prefix (log: $log)" >&2
        rm -rf "$prefix" "$prefix.build"
        mkdir -p "$prefix"
        : >"$log"
        local start=$SECONDS
        "torvek_deps_build_$platform" "$prefix" "$log" || { exec {lock}>&-; return 1; }
        rm -rf "$prefix.build"
        touch "$prefix/.complete"
        echo "deps: $platform prefix ready in $((SECONDS - start)) s" >&2
        local other
        for other in "$TORVEK_DEPS_CACHE/$platform-"*; do
            [ "$other" = "$prefix" ] || [ "$other" = "$log" ] || rm -rf "$other"
        done
    fi
    exec {lock}>&-
    echo "$prefix"
}

torvek_deps_windows_toolchain_versions() {
    x86_64-w64-mingw32-gcc-posix --version | sed -n 1p
    x86_64-w64-mingw32-gcc-posix -dumpmachine
    if command -v dpkg-query >/dev/null; then
        dpkg-query -W gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
            binutils-mingw-w64-x86-64 googletest 2>/dev/null || true
    fi
    # The toolchain file without its comments.
    grep -v '^[[:space:]]*#' "$TORVEK_MINGW_TOOLCHAIN" | sha256sum
    find "$(torvek_deps_gtest_source)" -type f -name '*.h' -o -type f -name '*.cc' | LC_ALL=C sort | xargs cat | sha256sum
}

torvek_deps_web_toolchain_versions() {
    torvek_deps_web_env
    if command -v dpkg-query >/dev/null; then
        dpkg-query -W emscripten clang-14 lld-14 binaryen 2>/dev/null || true
    fi
    emcc --version 2>/dev/null | sed -n 1p
}

# Makes sure the Windows prefix is built (fetching the sources the first
# time) and sets:
#   TORVEK_WINDOWS_PREFIX       include/, lib/ (libSDL2.a, libSDL2main.a,
#                               libSDL2_image.a, libgtest*.a, libgmock*.a),
#                               lib/cmake/ and lib/pkgconfig/
#   TORVEK_WINDOWS_CMAKE_ARGS   the toolchain file and that prefix, for cmake
torvek_deps_windows() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
        echo "deps: x86_64-w64-mingw32-g++-posix is missing (torvek_deps_install windows)" >&2
        return 1
    }
    [ -f "$(torvek_deps_gtest_source)/CMakeLists.txt" ] || {
        echo "deps: $(torvek_deps_gtest_source) is missing (Debian package: googletest)" >&2
        return 1
    }
    torvek_deps_fetch_sources || return 1
    local key
    key=$(torvek_deps_key windows torvek_deps_windows_toolchain_versions) ||
        { echo "deps: the Windows toolchain's versions cannot be read" >&2; return 1; }
    TORVEK_WINDOWS_PREFIX=$(torvek_deps_prefix windows "$key") || return 1
    TORVEK_WINDOWS_CMAKE_ARGS=(-DCMAKE_TOOLCHAIN_FILE="$TORVEK_MINGW_TOOLCHAIN"
        -DTORVEK_WINDOWS_PREFIX="$TORVEK_WINDOWS_PREFIX")
}

# What emcc needs here: Debian's emcc runs its JavaScript parts with the
# node on PATH, which, when it is not Debian's own, does not look in
# Debian's folder of node modules (acorn and the like).
torvek_deps_web_env() {
    if [ -d /usr/share/nodejs ]; then
        case ":${NODE_PATH:-}:" in
            *:/usr/share/nodejs:*) ;;
            *) export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH} ;;
        esac
    fi
}

# Makes sure the web prefix is built and sets:
#   TORVEK_WEB_PREFIX       include/, lib/ (libSDL2.a, libSDL2main.a,
#                           libSDL2_image.a), lib/cmake/, lib/pkgconfig/
#   TORVEK_WEB_CMAKE_ARGS   for `emcmake cmake`: the prefix searched by
#                           find_package inside emscripten's sysroot, node
#                           as above, and NODE_PATH for every link, so that
#                           a later `cmake --build` from any shell links
torvek_deps_web() {
    command -v emcc >/dev/null || {
        echo "deps: emcc is missing (torvek_deps_install web)" >&2
        return 1
    }
    torvek_deps_web_env
    torvek_deps_fetch_sources || return 1
    local key
    key=$(torvek_deps_key web torvek_deps_web_toolchain_versions) ||
        { echo "deps: emscripten's versions cannot be read" >&2; return 1; }
    TORVEK_WEB_PREFIX=$(torvek_deps_prefix web "$key") || return 1
    TORVEK_WEB_CMAKE_ARGS=(-DCMAKE_FIND_ROOT_PATH="$TORVEK_WEB_PREFIX" "${TORVEK_WEB_EMULATOR[@]}")
    if [ -n "${NODE_PATH:-}" ]; then
        TORVEK_WEB_CMAKE_ARGS+=("-DCMAKE_C_LINKER_LAUNCHER=env;NODE_PATH=$NODE_PATH"
            "-DCMAKE_CXX_LINKER_LAUNCHER=env;NODE_PATH=$NODE_PATH")
    fi
}
