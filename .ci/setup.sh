# The set-up shared by play.sh and test.sh (and so by CI): the packages the
# build needs, then an incremental configure of build/, and for test.sh the
# sanitizer build in build-asan/, the bounded fuzz runs and the Debian
# package with its checks. Sourced, not run.

# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The engine's WebSocket client and the relay: Boost.Beast (libboost-dev),
# OpenSSL for wss://, uriparser for addresses and nlohmann-json for messages;
# hiredis for the relay's rooms in Redis.
TORVEK_PACKAGES=(cmake g++ pkg-config libsdl2-dev libsdl2-image-dev libgtest-dev libbenchmark-dev
    libboost-dev libssl-dev liburiparser-dev nlohmann-json3-dev libhiredis-dev)
# Only test.sh needs these: the package's dependencies are read with
# dpkg-shlibdeps (dpkg-dev), the validators check what it installs, the
# desktop test plays the program with the mouse in an X server of its own
# (xvfb, xdotool), and the network tests and the relay's scenarios talk
# through Python's websockets, with certificates made by openssl; the relays
# that share their rooms do so through Redis (redis-server, with redis-cli)
# behind HAProxy.
TORVEK_TEST_PACKAGES=(dpkg-dev appstream desktop-file-utils lintian man-db xvfb xdotool
    python3-websockets openssl redis-server haproxy)
# The relay package's service is checked with systemd-analyze.
TORVEK_TEST_PACKAGES+=(systemd)
TORVEK_BUILD_DIR=build

# Prints the packages named that dpkg does not list as installed.
torvek_missing_packages() {
    local package
    for package in "$@"; do
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
        pkg-config --exists sdl2 SDL2_image openssl liburiparser hiredis; then
        return 0
    fi
    echo "Please install with your system's package manager: ${TORVEK_PACKAGES[*]}" >&2
    echo "(Debian names; GoogleTest and Google Benchmark are needed for ./test.sh)" >&2
    return 1
}

# Installs what is missing of TORVEK_PACKAGES and of any packages named.
torvek_install_packages() {
    if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
        torvek_check_without_apt
        return
    fi
    local missing
    missing=$(torvek_missing_packages "${TORVEK_PACKAGES[@]}" "$@")
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2086
        torvek_apt_install $missing
    fi
}

torvek_configure() {
    torvek_configure_once "$TORVEK_BUILD_DIR" cmake -S . -B "$TORVEK_BUILD_DIR" "$@"
}

torvek_build() {
    cmake --build "$TORVEK_BUILD_DIR" -j "$(torvek_jobs)" "$@"
}

# ---------------------------------------------------------------- side by side

# torvek_beside NAME COMMAND... runs COMMAND (a function of these scripts or
# a program) in the background, its output in build/logs/NAME.log;
# torvek_await NAME waits for it and returns its status, showing the end of
# its log when it failed.
declare -A TORVEK_BESIDE_PID=()

torvek_beside() {
    local name=$1
    shift
    mkdir -p "$TORVEK_BUILD_DIR/logs"
    echo "$name: started beside the rest (log: $TORVEK_BUILD_DIR/logs/$name.log)"
    ("$@") >"$TORVEK_BUILD_DIR/logs/$name.log" 2>&1 &
    TORVEK_BESIDE_PID[$name]=$!
}

torvek_await() {
    local name=$1 status=0
    wait "${TORVEK_BESIDE_PID[$name]}" || status=$?
    unset "TORVEK_BESIDE_PID[$name]"
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$TORVEK_BUILD_DIR/logs/$name.log" >&2
        echo "$name: failed (status $status); the whole log is $TORVEK_BUILD_DIR/logs/$name.log" >&2
    fi
    return "$status"
}

# ---------------------------------------------------------------- sanitizers

TORVEK_ASAN_DIR=build-asan
# Any report stops the program: a finding can never pass as a warning.
TORVEK_SANITIZE="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# The whole suite once more, built with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; benchmarks are left out, they measure speed.
torvek_configure_asan() {
    torvek_configure_once "$TORVEK_ASAN_DIR" \
        cmake -S . -B "$TORVEK_ASAN_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVEK_BENCH=OFF \
        -DCMAKE_C_FLAGS="$TORVEK_SANITIZE" -DCMAKE_CXX_FLAGS="$TORVEK_SANITIZE" \
        -DCMAKE_EXE_LINKER_FLAGS="$TORVEK_SANITIZE" "$@"
}

torvek_build_asan() {
    cmake --build "$TORVEK_ASAN_DIR" -j "$(torvek_jobs)" "$@"
}

# What the sanitizers need to run the suite: leaks are checked at every exit,
# the suppressions name only SDL's own libraries, and the list of the ones
# used is not printed (tests read the program's standard error).
torvek_sanitizer_options() {
    export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
    export LSAN_OPTIONS="suppressions=$PWD/.ci/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# ---------------------------------------------------------------- fuzzing

TORVEK_FUZZ_DIR=build-fuzz

# Runs fuzz/run.sh for one target for a bounded time, unless that target's
# executable is the very one that already ran clean (a stamp in the fuzz build
# folder holds its checksum): a second ./test.sh with nothing changed does not
# fuzz again. TORVEK_FUZZ_ALWAYS=1 fuzzes anyway.
torvek_fuzz() {
    local target=$1 seconds=$2
    local executable="$TORVEK_FUZZ_DIR/fuzz/${target}_fuzz"
    local stamp="$TORVEK_FUZZ_DIR/fuzz-${target}.clean"
    cmake -S . -B "$TORVEK_FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DTORVEK_FUZZ=ON -DTORVEK_TESTS=OFF -DTORVEK_BENCH=OFF -DTORVEK_OWN_RELAY=OFF >/dev/null
    cmake --build "$TORVEK_FUZZ_DIR" -j "$(torvek_jobs)" --target "${target}_fuzz"
    local sum
    sum=$(sha256sum "$executable" | cut -d' ' -f1)
    if [ "${TORVEK_FUZZ_ALWAYS:-0}" != 1 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ]; then
        echo "fuzz: $target target unchanged since its last clean run; not fuzzed again"
        return 0
    fi
    rm -f "$stamp"
    echo "fuzz: $target target for $seconds seconds"
    TORVEK_FUZZ_BUILD="$PWD/$TORVEK_FUZZ_DIR" fuzz/run.sh "$seconds" "$target" >"$TORVEK_FUZZ_DIR/fuzz-${target}.log" 2>&1 || {
        tail -n 60 "$TORVEK_FUZZ_DIR/fuzz-${target}.log" >&2
        echo "fuzz: the $target target found a fault; see $TORVEK_FUZZ_DIR/fuzz-${target}.log and $TORVEK_FUZZ_DIR/fuzz-findings/" >&2
        return 1
    }
    grep -E '^(Done|stat::number_of_executed_units)' "$TORVEK_FUZZ_DIR/fuzz-${target}.log" || true
    echo "$sum" >"$stamp"
}

# ---------------------------------------------------------------- package

TORVEK_PACKAGE_DIR=build-package

# A Release build of only the program and its data (the package is always
# laid out as a Debian game), with Debian's hardening flags where
# dpkg-buildflags is installed.
torvek_configure_package() {
    (
        if command -v dpkg-buildflags >/dev/null; then
            eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
            export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
        fi
        cmake -S . -B "$TORVEK_PACKAGE_DIR" -DCMAKE_BUILD_TYPE=Release -DTORVEK_TESTS=OFF -DTORVEK_BENCH=OFF
    )
}

# The Debian packages, torvek_<version>_amd64.deb and the relay's
# torvek-relay_<version>_amd64.deb, built in build-package/ and copied into
# build/. The relay's carries the page in build-web/page/ when there is one,
# or the one named in TORVEK_RELAY_PAGE (empty: none).
torvek_package() {
    torvek_configure_once "$TORVEK_PACKAGE_DIR" torvek_configure_package
    cmake --build "$TORVEK_PACKAGE_DIR" -j "$(torvek_jobs)"
    rm -f "$TORVEK_PACKAGE_DIR"/torvek_*.deb "$TORVEK_BUILD_DIR"/torvek_*.deb \
        "$TORVEK_PACKAGE_DIR"/torvek-relay_*.deb "$TORVEK_BUILD_DIR"/torvek-relay_*.deb
    (cd "$TORVEK_PACKAGE_DIR" && cpack -G DEB && cpack -G DEB --config CPackRelayConfig.cmake)
    mkdir -p "$TORVEK_BUILD_DIR"
    cp "$TORVEK_PACKAGE_DIR"/torvek_*.deb "$TORVEK_PACKAGE_DIR"/torvek-relay_*.deb "$TORVEK_BUILD_DIR"/
}

# Prints what the formatter warns of in the manual page named, and fails when
# it cannot format it.
torvek_manual_page_warnings() {
    # shellcheck disable=SC2069 # standard error alone is wanted
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null
}

# Unpacks the package in build/ into a scratch folder; its program, started
# from another folder, must find its data, which must play a placing
# (tests/install), and show the version the package is named with; then the
# validators that are installed check the desktop entry, the metainfo, the
# manual page and the package. Any error fails.
torvek_check_package() {
    local deb root version
    deb=$(echo "$TORVEK_BUILD_DIR"/torvek_*.deb)
    version=${deb##*/torvek_}
    version=${version%%_*}
    root=$(mktemp -d)
    dpkg-deb -x "$deb" "$root"
    local status=0
    TORVEK_PACKAGE_ROOT=$root "$TORVEK_BUILD_DIR/tests/test_install" --gtest_filter='UnpackedPackage.*' \
        --gtest_brief=1 || status=1
    if [ "$("$root/usr/games/torvek" --version)" != "torvek $version" ] ||
        ! grep -q "<release version=\"$version\"" "$root"/usr/share/metainfo/*.metainfo.xml; then
        echo "package: $deb: --version or the metainfo's release is not version $version" >&2
        status=1
    fi
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$root/usr/share/applications/torvek.desktop" || status=1
    fi
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || status=1
    fi
    torvek_finish_package_check "$deb" "$root" usr/share/man/man6/torvek.6.gz "$status"
}

# torvek_finish_package_check DEB ROOT MANUAL_PAGE STATUS: the last checks of
# a package unpacked in ROOT, with the STATUS of those before: the manual page
# formats without a warning (any is a fault of the page) and lintian finds no
# error or warning. Removes ROOT; says the package is checked when all passed.
torvek_finish_package_check() {
    local deb=$1 root=$2 page=$3 status=$4 warnings
    if command -v man >/dev/null; then
        if ! warnings=$(torvek_manual_page_warnings "$root/$page") || [ -n "$warnings" ]; then
            echo "manual page: ${warnings:-man failed}" >&2
            status=1
        fi
    fi
    if command -v lintian >/dev/null; then
        lintian --fail-on error,warning "$deb" || status=1
    fi
    rm -rf "$root"
    [ "$status" -eq 0 ] && echo "package: $deb checked ($(du -k "$deb" | cut -f1) KB)"
    return "$status"
}

# Unpacks the relay's package in build/ into a scratch folder. Its service's
# command, with the options of its /etc/default file but on a port the system
# picks, starts the unpacked program, which must print that it listens on
# 127.0.0.1 (and serve the page, when the package has one) and exit 0 on
# SIGTERM; then systemd-analyze verifies the service beside the system's own
# units, and the manual page and the package are checked as the game's are.
# Any error fails.
torvek_check_relay_package() {
    local deb root status=0
    deb=$(echo "$TORVEK_BUILD_DIR"/torvek-relay_*.deb)
    root=$(mktemp -d)
    dpkg-deb -x "$deb" "$root"
    local unit
    unit=$(find "$root" -path '*/systemd/system/torvek-relay.service')
    torvek_relay_starts "$root" "$unit" || status=1
    if command -v systemd-analyze >/dev/null; then
        # The service's dependencies are the system's own targets.
        local units=${unit%/*}
        cp -rn "/${units#"$root"/}/." "$units/"
        MANPATH=$root/usr/share/man systemd-analyze verify --recursive-errors=no --root="$root" \
            torvek-relay.service || status=1
    fi
    torvek_finish_package_check "$deb" "$root" usr/share/man/man1/torvek-relay.1.gz "$status"
}

# torvek_relay_starts ROOT UNIT: runs the service's ExecStart from the
# unpacked ROOT as above; fails, saying why, unless all goes as promised.
torvek_relay_starts() {
    local root=$1 unit=$2 options command words
    # shellcheck source=/dev/null
    options=$(TORVEK_RELAY_OPTIONS='' && . "$root/etc/default/torvek-relay" && echo "$TORVEK_RELAY_OPTIONS")
    command=$(sed -n 's/^ExecStart=//p' "$unit")
    command=${command//\$TORVEK_RELAY_OPTIONS/${options/:7357/:0}}
    read -ra words <<<"$command"
    words[0]=$root${words[0]}
    local page=$root/usr/share/torvek-relay/page
    [ -d "$page" ] && words+=(--page "$page")
    local out
    out=$(mktemp)
    "${words[@]}" >"$out" 2>&1 </dev/null &
    local pid=$! tries=0 url=""
    while [ -z "$url" ] && [ "$tries" -lt 100 ] && kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
        tries=$((tries + 1))
        url=$(sed -n 's|^torvek-relay: relaying on \(ws://127\.0\.0\.1:[0-9]*/\)$|\1|p' "$out")
    done
    local failure=""
    if [ -z "$url" ]; then
        failure="it printed no ws://127.0.0.1 address to relay on"
    elif [ -d "$page" ] && ! python3 -c 'import sys, urllib.request
sys.exit(urllib.request.urlopen(sys.argv[1], timeout=10).read() != open(sys.argv[2], "rb").read())' \
        "http${url#ws}" "$page/index.html"; then
        failure="it did not serve the page's index.html on http${url#ws}"
    fi
    kill -TERM "$pid" 2>/dev/null || true
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
    local exit_status=0
    wait "$pid" || exit_status=$?
    [ -n "$failure" ] || [ "$exit_status" -eq 0 ] || failure="it exited with status $exit_status on SIGTERM"
    if [ -n "$failure" ]; then
        echo "package: the relay started as its service starts it (${words[*]}): $failure; it wrote:" >&2
        cat "$out" >&2
    fi
    rm -f "$out"
    [ -z "$failure" ]
}
