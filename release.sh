#!/usr/bin/env bash
# Builds every release file this machine can build into releases/<version>/,
# writes their SHA256SUMS there and prints what it made: the web zip
# (web.sh), the Debian packages of the game and of the relay, which carries
# that page (package.sh), and the Windows zip and installer (windows.sh). A
# part whose script or tools are missing is skipped with one line that says
# why; a part that fails fails the whole command. Refuses to run on a work
# tree with changes that are not committed, so that a release is always a
# commit.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/lib.sh

fail() {
    echo "release: $*" >&2
    exit 1
}

# Changed, staged or untracked files, as git status lists them.
uncommitted() {
    git status --porcelain --untracked-files=normal
}

changes=$(uncommitted)
if [ -n "$changes" ]; then
    echo "$changes" | head -n 20 >&2
    fail "the work tree has changes that are not committed; commit or stash them first"
fi

# The release date is kept beside the version in the top CMakeLists.txt.
version=$(torvek_version)
release_date=$(sed -n 's/^set(TORVEK_RELEASE_DATE \([0-9-]*\))$/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no 'project(torvek VERSION ...)' line in CMakeLists.txt"
[ -n "$release_date" ] || fail "no 'set(TORVEK_RELEASE_DATE YYYY-MM-DD)' line in CMakeLists.txt"
echo "release: TORVEK $version of $release_date, commit $(git rev-parse --short HEAD)"
if [ "$release_date" != "$(date -u +%F)" ]; then
    echo "release: note: the release date in CMakeLists.txt is $release_date, not today"
fi

out=releases/$version
rm -rf "$out"
mkdir -p "$out" build
# A release that fails leaves no half of itself behind.
remove_failed_release() {
    local status=$?
    [ "$status" -eq 0 ] || rm -rf "$out"
}
trap remove_failed_release EXIT

# release_part NAME SCRIPT TOOL... -- FILE...: runs SCRIPT when it exists and
# every TOOL is installed, then copies each FILE it must have made into the
# release folder; else says in one line why NAME is skipped.
release_part() {
    local name=$1 script=$2
    shift 2
    local tools=() files=() missing=() tool file
    while [ "$1" != -- ]; do
        tools+=("$1")
        shift
    done
    shift
    files=("$@")
    if [ ! -x "$script" ]; then
        echo "$name: skipped: there is no $script"
        return 0
    fi
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$name: skipped: ${missing[*]} not installed"
        return 0
    fi
    local log=build/release-$name.log
    echo "$name: $script (its output in $log)"
    # A file left by an earlier build must not pass for this one's.
    rm -f "${files[@]}"
    if ! "$script" >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        fail "$name: $script failed; see $log"
    fi
    for file in "${files[@]}"; do
        [ -f "$file" ] || fail "$name: $script did not make $file"
        cp "$file" "$out/"
    done
}

release_part web ./web.sh emcc -- "build/torvek-$version-web.zip"
if command -v dpkg >/dev/null; then
    # The relay's package carries the page just built, and none without it:
    # never one left by an earlier build.
    if [ -f "$out/torvek-$version-web.zip" ]; then
        export TORVEK_RELAY_PAGE=$PWD/build-web/page
    else
        export TORVEK_RELAY_PAGE=
        echo "debian: the relay's package goes without the web page"
    fi
    arch=$(dpkg --print-architecture)
    debs=("build/torvek_${version}_$arch.deb" "build/torvek-relay_${version}_$arch.deb")
    release_part debian ./package.sh dpkg-deb -- "${debs[@]}"
    for deb in "${debs[@]}"; do
        if [ -f "$out/${deb##*/}" ] && command -v lintian >/dev/null; then
            lintian --fail-on error,warning "$out/${deb##*/}" || fail "debian: lintian rejects ${deb##*/}"
        fi
    done
else
    echo "debian: skipped: dpkg not installed"
fi
release_part windows ./windows.sh x86_64-w64-mingw32-g++-posix makensis -- \
    "build/torvek-$version-win64.zip" "build/torvek-$version-setup.exe"

# The builds must not have changed the tree the release is said to be of.
changes=$(uncommitted)
if [ -n "$changes" ]; then
    echo "$changes" | head -n 20 >&2
    fail "the builds changed the work tree; the files in $out are not those of the commit"
fi

made=$(cd "$out" && find . -maxdepth 1 -type f -printf '%f\n' | sort)
[ -n "$made" ] || fail "nothing was built: every part was skipped"
# shellcheck disable=SC2086
(cd "$out" && sha256sum -- $made >SHA256SUMS)

echo "release: made in $out/:"
for file in $made SHA256SUMS; do
    printf '  %-34s %12s bytes\n' "$file" "$(stat -c %s "$out/$file")"
done
