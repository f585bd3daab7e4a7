#!/usr/bin/env bash
# Makes the Debian package of a build tree, checks what it holds and needs, installs it with
# apt-get (so that its dependencies resolve), runs the installed program, and removes the
# package again, whatever happened. Usage: package-test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
export DEBIAN_FRONTEND=noninteractive

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || skip "no apt-get or dpkg-deb"
# Someone's own Mirano in /usr is not this test's to replace or remove.
if dpkg-query -W -f='${Status}' mirano 2>/dev/null | grep -q 'install ok installed' ||
    [ -e /usr/bin/mirano ]; then
    skip "a Mirano is installed in /usr already"
fi

work=$(mktemp -d)
installing=""
cleanup() {
    if [ -n "$installing" ]; then dpkg -r mirano >/dev/null 2>&1 || echo "dpkg -r mirano failed"; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Prints a command's output when it fails.
quiet() {
    "$@" >"$work/log" 2>&1 || { cat "$work/log"; return 1; }
}

quiet cpack --config "$build/CPackConfig.cmake" -B "$work" || fail "cpack made no package"
deb=$(echo "$work"/mirano_"$version"_*.deb)
[ -f "$deb" ] || fail "no mirano_${version}_*.deb in $(ls "$work")"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/mirano ./usr/share/applications/mirano.desktop \
    ./usr/share/icons/hicolor/scalable/apps/mirano.svg \
    ./usr/share/metainfo/io.github.mirano.Mirano.metainfo.xml ./usr/share/man/man1/mirano.1.gz; do
    grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done

# dpkg-shlibdeps found what the binary links; what it only loads is named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
needs() { grep -qE "(^|, )$1( |,|$)" <<<"$depends" || fail "Depends lacks $1: $depends"; }
needs libqt6widgets6
needs libxcb1
needs libqt6svg6
if grep -q libwayland-client0 <<<"$depends"; then
    needs qt6-wayland
    needs libpipewire-0.3-modules
fi

dpkg-deb -x "$deb" "$work/root"
metainfo=$work/root/usr/share/metainfo/io.github.mirano.Mirano.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
if command -v appstreamcli >/dev/null; then
    quiet appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli rejects the metadata"
fi
# The man page names every option that --help lists.
page=$(gzip -dc "$work/root/usr/share/man/man1/mirano.1.gz" | sed 's/\\-/-/g')

installing=yes
quiet apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=120 "$deb" ||
    fail "apt-get could not install the package"
out=$(/usr/bin/mirano --version) || fail "/usr/bin/mirano --version failed"
[ "$out" = "Mirano $version" ] || fail "/usr/bin/mirano --version printed '$out'"
for option in $(/usr/bin/mirano --help | grep -oE -- '(^|[ [])--?[a-z][a-z-]*' | tr -d ' ['); do
    grep -qF -- "$option" <<<"$page" || fail "the man page does not name $option"
done

quiet dpkg -r mirano || fail "dpkg -r mirano failed"
installing=""
[ ! -e /usr/bin/mirano ] || fail "/usr/bin/mirano is still there after dpkg -r"
echo "The package installs, runs 'mirano --version' and is removed again."
