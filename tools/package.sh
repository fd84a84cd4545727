#!/usr/bin/env bash
# Builds the Debian package in a clean build folder (build/package: Release, no tests or
# benchmarks), checks it with desktop-file-validate, appstreamcli and lintian, installs
# it with apt, runs the installed programs from /usr/bin and removes the package again.
# Run as root (or with sudo) on Debian 12. Leaves build/package/quorvel_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

step() { printf '\n== %s\n' "$*"; }

step "Tools"
# dpkg-shlibdeps (dpkg-dev) finds the package's dependencies for CPack.
tools/install-deps.sh desktop-file-utils appstream lintian dpkg-dev

step "Build"
dir=build/package
rm -rf "$dir"
# Debian's hardening flags, as a Debian build uses them, without the debug information
# that the package strips anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    "-DCMAKE_CXX_FLAGS=${cxxflags//-g /}" "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" \
    -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
(cd "$dir" && cpack -G DEB)
deb=$(ls "$dir"/quorvel_*.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "$deb"
dpkg-deb -f "$deb"

step "Contents"
contents=$dir/contents
dpkg-deb -x "$deb" "$contents"
(cd "$contents" && find . -type f -o -type l | sort)
has_cli=no
if [ -x "$contents/usr/bin/quorvel-cli" ]; then
    has_cli=yes
fi

step "Desktop entries, AppStream metainfo, release notes"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
# The CMake project version is the one source; the release notes must name it.
for notes in "$contents"/usr/share/metainfo/*.metainfo.xml; do
    grep -q "<release version=\"$version\"" "$notes" ||
        { echo "no release notes for $version in $(basename "$notes")" >&2; exit 1; }
done
zcat "$contents/usr/share/doc/quorvel/changelog.gz" | head -1 | grep -qF "($version)" ||
    { echo "the changelog does not start with $version" >&2; exit 1; }

step "lintian"
lintian --fail-on error "$deb"

step "Install"
remove() { "${sudo_cmd[@]}" apt-get remove -y -qq quorvel >/dev/null; }
if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q "install ok installed"; then
    echo "quorvel is installed already: removing it first"
    remove
fi
trap remove EXIT
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -qq "$PWD/$deb"

step "Installed programs"
expect() {
    local want=$1
    shift
    local got
    got=$("$@")
    echo "$ $* -> $got"
    [ "$got" = "$want" ] || { echo "expected: $want" >&2; exit 1; }
}
expect "quorvel $version" /usr/bin/quorvel --version
expect "vantplot $version" /usr/bin/vantplot --version
expect "quorvel-sim $version" /usr/bin/quorvel-sim --version
# The windows open (off screen: no display needed) and stay until they are stopped.
for program in "quorvel --demo" "vantplot"; do
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/$program >/dev/null 2>&1 || status=$?
    echo "$ /usr/bin/$program -> running after 3 s"
    [ "$status" -eq 124 ] || { echo "/usr/bin/$program ended with status $status" >&2; exit 1; }
done
help=$(/usr/bin/vantplot --help)
echo "${help%%$'\n'*}"
manual() { ls /usr/share/man/man1/"$1".1.gz; }
manual quorvel && manual vantplot && manual quorvel-sim
if [ "$has_cli" = yes ]; then
    expect "quorvel-cli $version" /usr/bin/quorvel-cli --version
    manual quorvel-cli
    /usr/bin/quorvel-cli --demo status
else
    echo "quorvel-cli is not in this package (not built): its check is skipped"
fi

step "Remove"
trap - EXIT
remove
[ ! -e /usr/bin/quorvel ] || { echo "quorvel is still installed" >&2; exit 1; }
echo "Package $deb: built, checked, installed, run and removed."
