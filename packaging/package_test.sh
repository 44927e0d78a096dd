#!/usr/bin/env bash
# Builds the Debian package of a build folder and checks it: installed into a throw-away root
# with dpkg (or unpacked, for a foreign architecture), it holds the program in /usr/sbin and a
# systemd unit that starts it, nothing under /etc, and it depends on the package of every
# shared library the program needs.
#
#   package_test.sh <build-dir> <expected-architecture>
set -euo pipefail
build=$1
arch=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/out/*.deb)
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "architecture is not $arch"
[ "$(dpkg-deb -f "$deb" Package)" = hxraidsvc ] || fail "package name"

root=$work/root
if [ "$arch" = "$(dpkg --print-architecture)" ] && [ "$(id -u)" -eq 0 ]; then
    # A real install into an empty root with its own package database.
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status"
    dpkg --root="$root" --log="$work/dpkg-actions.log" --force-depends --force-script-chrootless \
        -i "$deb" >"$work/dpkg.log" 2>&1 ||
        { cat "$work/dpkg.log" >&2; fail "dpkg could not install the package"; }
    dpkg --root="$root" -L hxraidsvc >/dev/null || fail "dpkg does not list the installed package"
else
    dpkg-deb -x "$deb" "$root"
fi

[ -x "$root/usr/sbin/hxraidsvc" ] || fail "no executable /usr/sbin/hxraidsvc"
unit=$root/usr/lib/systemd/system/hxraidsvc.service
[ -f "$unit" ] || fail "no systemd unit"
grep -qx 'ExecStart=/usr/sbin/hxraidsvc' "$unit" || fail "the unit does not start /usr/sbin/hxraidsvc"
grep -qx 'Type=forking' "$unit" || fail "the unit does not expect the service to detach"
grep -qx 'LimitNOFILE=65536' "$unit" || fail "the unit leaves the service at the default descriptor limit"
if dpkg-deb -c "$deb" | awk '{print $6}' | grep -q '^\./etc'; then
    fail "the package ships files under /etc"
fi
file_arch=$(file -b "$root/usr/sbin/hxraidsvc")
case $arch in
    amd64) [[ $file_arch == *x86-64* ]] || fail "program is not x86-64: $file_arch" ;;
    arm64) [[ $file_arch == *aarch64* ]] || fail "program is not aarch64: $file_arch" ;;
esac

# Every library the program needs comes from a package the control file names.
depends=$(dpkg-deb -f "$deb" Depends)
triple=$([ "$arch" = arm64 ] && echo aarch64-linux-gnu || echo x86_64-linux-gnu)
objdump=objdump
command -v "$triple-objdump" >/dev/null && objdump=$triple-objdump
for lib in $($objdump -p "$root/usr/sbin/hxraidsvc" | awk '/NEEDED/ {print $2}'); do
    owner=$(dpkg -S "/usr/lib/$triple/$lib" "/lib/$triple/$lib" 2>/dev/null | head -1 | cut -d: -f1) ||
        true
    [ -n "$owner" ] || fail "no installed package provides $lib"
    [[ ", $depends," == *", $owner"[\ ,]* ]] || fail "Depends lacks $owner (for $lib): $depends"
done
echo "package_test: $(basename "$deb") ok"
