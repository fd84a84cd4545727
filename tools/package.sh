#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian source and binary packages from debian/ (dpkg-buildpackage: Release,
# without tests or benchmarks) and checks them: lintian on the .changes (no errors, no
# warnings), desktop-file-validate, appstreamcli validate --no-net, the MIME type against
# a downloaded dataset, systemd-analyze verify on the units, and quorvel-cli's
# dependencies (Qt Core and SerialPort, no Qt Gui or Widgets). Then, unless --check-only,
# installs them into this machine with apt, runs each program from /usr/bin (quorvel-cli
# first with only its own package installed) and purges them again. Packages of ours
# that were installed before are left alone: the install step is skipped then.
#
#   tools/package.sh [--check-only] [--reproducible]
#     --check-only    build and check, install nothing
#     --reproducible  build a second time, in another folder and without ccache, and
#                     compare the packages byte by byte
#
# Run as root (or with sudo) on Debian 12. Leaves the packages in build/package/.
set -euo pipefail
cd "$(dirname "$0")/.."

check_only=no
reproducible=no
for arg in "$@"; do
    case "$arg" in
        --check-only) check_only=yes ;;
        --reproducible) reproducible=yes ;;
        -h | --help) sed -n '3,17s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "tools/package.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
packages=(quorvel vantplot quorvel-cli quorvel-tools)

step() { printf '\n== %s\n' "$*"; }
fail() { echo "tools/package.sh: $*" >&2; exit 1; }

step "Tools"
# The build dependencies of debian/control, and the checkers.
tools/install-deps.sh debhelper dpkg-dev lintian desktop-file-utils appstream systemd \
    shared-mime-info xdg-utils libfile-mimeinfo-perl

# Builds the packages from a copy of the tree's files (tracked and new, not ignored) in
# $1/quorvel-VERSION; dpkg-buildpackage leaves the packages in $1.
build_packages() {
    local dir=$1
    local version
    version=$(dpkg-parsechangelog -l debian/changelog -S Version)
    rm -rf "$dir"
    mkdir -p "$dir/quorvel-$version"
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do
            # A file deleted but not yet committed is left out.
            [ ! -e "$file" ] || printf '%s\0' "$file"
        done | tar --null -T - -cf - | tar -xf - -C "$dir/quorvel-$version"
    (cd "$dir/quorvel-$version" && dpkg-buildpackage -us -uc --build=full -j"$(nproc)")
}

step "Build"
out=build/package
build_packages "$out"
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)
changes=$out/quorvel_${version}_${arch}.changes
ls -l "$out"/*.deb "$out"/*.dsc "$out"/*.tar.* "$changes"
deb() { echo "$out/${1}_${version}_${arch}.deb"; }

step "The project's version is the packages'"
project_version=$(sed -n 's/^project(quorvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$project_version" = "$version" ] ||
    fail "debian/changelog is at $version, CMakeLists.txt at $project_version"

step "Contents"
contents=$out/contents
rm -rf "$contents"
for p in "${packages[@]}"; do
    echo "-- $p: $(dpkg-deb -f "$(deb "$p")" Depends)"
    dpkg-deb -x "$(deb "$p")" "$contents"
    dpkg-deb -c "$(deb "$p")" | awk '{print "   " $6}' | grep -v '/$'
done
ls "$out"/*-dbgsym_*.deb >/dev/null || fail "no -dbgsym packages"

step "quorvel-cli: Qt Core and SerialPort only"
cli_depends=$(dpkg-deb -f "$(deb quorvel-cli)" Depends)
echo "Depends: $cli_depends"
for lib in libqt6core6 libqt6serialport6; do
    grep -q "$lib" <<<"$cli_depends" || fail "quorvel-cli does not depend on $lib"
done
if grep -Eo 'libqt6[a-z]*6|libx[a-z0-9-]*|libgl[a-z0-9-]*|fonts?-[a-z-]*' <<<"$cli_depends" |
    grep -Ev '^(libqt6core6|libqt6serialport6)$'; then
    fail "quorvel-cli depends on a graphics library"
fi

step "Desktop entries, AppStream metainfo, release notes"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
for notes in "$contents"/usr/share/metainfo/*.metainfo.xml; do
    grep -q "<release version=\"$version\"" "$notes" ||
        fail "no release notes for $version in $(basename "$notes")"
done

step "MIME type"
# The type's database built on its own, and a dataset as a download writes it (by the
# packaged quorvel-cli on its simulator): xdg-mime, reading that database, names the type.
mime=$PWD/$out/mime
rm -rf "$mime" && mkdir -p "$mime/mime/packages"
cp "$contents/usr/share/mime/packages/quorvel.xml" "$mime/mime/packages/"
XDG_DATA_DIRS="$mime:/usr/share" update-mime-database "$mime/mime"
"$contents/usr/bin/quorvel-cli" --demo -q logger download --from all --output "$mime/night.csv"
head -2 "$mime/night.csv"
printf 'Time,Total\r\n1,2\r\n' >"$mime/other.csv"
filetype() {
    XDG_DATA_DIRS="$mime:/usr/share" XDG_CURRENT_DESKTOP='' xdg-mime query filetype "$1"
}
[ "$(filetype "$mime/night.csv")" = application/x-quorvel-data ] ||
    fail "a dataset is $(filetype "$mime/night.csv"), not application/x-quorvel-data"
[ "$(filetype "$mime/other.csv")" = text/csv ] ||
    fail "another CSV file is $(filetype "$mime/other.csv"), not text/csv"
echo "night.csv: application/x-quorvel-data; other.csv: text/csv"

step "systemd units"
# An instance of each template, as an administrator enables it.
units=$out/units
rm -rf "$units" && mkdir -p "$units"
for unit in quorvel-log@ quorvel-download@; do
    cp "$contents/usr/lib/systemd/system/$unit.service" "$units/${unit}ttyUSB0.service"
done
cp "$contents/usr/lib/systemd/system/quorvel-download@.timer" "$units/quorvel-download@ttyUSB0.timer"
grep -h '^ExecStart=' "$units"/*.service
others=$(grep -L '^ExecStart=/usr/bin/quorvel-cli ' "$units"/*.service)
[ -z "$others" ] || fail "these units do not start /usr/bin/quorvel-cli: $others"
# verify checks that the program exists: here the packaged one, where it was unpacked
# (the installed units are verified as they are after the install, below).
sed -i "s|^ExecStart=/usr/bin/quorvel-cli |ExecStart=$PWD/$contents/usr/bin/quorvel-cli |" \
    "$units"/*.service
(cd "$units" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no ./*.service ./*.timer) \
    2>&1 | tee "$out/verify.log"
[ ! -s "$out/verify.log" ] || fail "systemd-analyze verify found faults in the units"
cat "$contents/usr/lib/sysusers.d/quorvel-cli.conf"

step "lintian"
lintian --fail-on error,warning --display-level '>=warning' "$changes"
echo "lintian: no errors, no warnings"

if [ "$reproducible" = yes ]; then
    step "Reproducible: a second build, elsewhere and without ccache"
    (export CCACHE_DISABLE=1; unset CMAKE_CXX_COMPILER_LAUNCHER; build_packages build/package-again)
    for p in "${packages[@]}"; do
        for kind in "" -dbgsym; do
            file=${p}${kind}_${version}_${arch}.deb
            cmp "$out/$file" "build/package-again/$file" || fail "$file differs between builds"
            echo "$file: identical"
        done
    done
fi

if [ "$check_only" = yes ]; then
    echo
    echo "Packages in $out: built and checked (not installed: --check-only)."
    exit 0
fi

step "Install"
installed_before=()
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        installed_before+=("$p")
    fi
done
if [ ${#installed_before[@]} -gt 0 ]; then
    echo "Already installed here: ${installed_before[*]}. The install step is skipped, so"
    echo "that nothing installed before is removed; the packages are built and checked."
    exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt_quiet() { "${sudo_cmd[@]}" apt-get "$@" -y -qq -o=Dpkg::Use-Pty=0 >/dev/null; }
purge() { apt_quiet purge "${packages[@]}" || true; }
trap purge EXIT
expect() {
    local want=$1
    shift
    local got
    got=$("$@")
    echo "$ $* -> $got"
    [ "$got" = "$want" ] || fail "expected: $want"
}

step "quorvel-cli alone"
apt_quiet install "$PWD/$(deb quorvel-cli)"
expect "quorvel-cli $version" /usr/bin/quorvel-cli --version
/usr/bin/quorvel-cli --demo status
ls /usr/share/man/man1/quorvel-cli.1.gz
# Nothing of Qt's graphics among everything it needs, however deep.
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances quorvel-cli | grep -v '^ ' | sort -u)
echo "quorvel-cli needs $(wc -l <<<"$closure") packages in all"
if grep -E '^(libqt6gui6|libqt6widgets6|libx11-6|libgl1|fontconfig)' <<<"$closure"; then
    fail "quorvel-cli pulls graphics packages"
fi
getent passwd quorvel || fail "no system user quorvel"
id -nG quorvel | grep -qw dialout || fail "the user quorvel is not in the group dialout"
(cd /usr/lib/systemd/system && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no \
    quorvel-log@ttyUSB0.service quorvel-download@ttyUSB0.service \
    quorvel-download@ttyUSB0.timer) 2>&1 | tee "$out/verify.log"
[ ! -s "$out/verify.log" ] || fail "systemd-analyze verify found faults in the installed units"
# Installed disabled: nothing enabled, nothing started.
enabled=$(find /etc/systemd/system -name 'quorvel*' 2>/dev/null)
[ -z "$enabled" ] || fail "installing enabled units: $enabled"

step "All packages"
csv_default_before=$(xdg-mime query default text/csv || true)
apt_quiet install "$PWD/$(deb quorvel)" "$PWD/$(deb vantplot)" "$PWD/$(deb quorvel-tools)"
expect "quorvel $version" /usr/bin/quorvel --version
expect "vantplot $version" /usr/bin/vantplot --version
expect "quorvel-sim $version" /usr/bin/quorvel-sim --version
for page in quorvel vantplot quorvel-sim; do ls /usr/share/man/man1/$page.1.gz; done
# The windows open (off screen: no display needed) and stay until they are stopped.
for program in "quorvel --demo" "vantplot"; do
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/$program >/dev/null 2>&1 || status=$?
    echo "$ /usr/bin/$program -> running after 3 s"
    [ "$status" -eq 124 ] || fail "/usr/bin/$program ended with status $status"
done
# Without a display: one line and exit 1, not Qt's abort.
for program in quorvel vantplot; do
    status=0
    said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/$program 2>&1) ||
        status=$?
    echo "$ /usr/bin/$program (no display) -> $status: $said"
    [ "$status" -eq 1 ] && [ "$said" = "no display: set DISPLAY or WAYLAND_DISPLAY, or use quorvel-cli" ] ||
        fail "/usr/bin/$program without a display"
done
expect "$csv_default_before" sh -c 'xdg-mime query default text/csv || true'
dataset=$(mktemp -d)/night.csv
/usr/bin/quorvel-cli --demo -q logger download --from all --output "$dataset"
expect application/x-quorvel-data env XDG_CURRENT_DESKTOP= xdg-mime query filetype "$dataset"
expect io.github.quorvel.Vantplot.desktop xdg-mime query default application/x-quorvel-data
rm -rf "$(dirname "$dataset")"

step "Purge"
trap - EXIT
apt_quiet purge "${packages[@]}"
for file in /usr/bin/quorvel /usr/bin/vantplot /usr/bin/quorvel-cli /usr/bin/quorvel-sim \
    /usr/lib/systemd/system/quorvel-log@.service /usr/share/mime/packages/quorvel.xml; do
    [ ! -e "$file" ] || fail "$file is still there after the purge"
done
echo "Packages in $out: built, checked, installed, run and purged."
