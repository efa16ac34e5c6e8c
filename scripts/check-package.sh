#!/usr/bin/env bash
# Checks the Debian package built by `make package`:
#   - the desktop entry and the AppStream metainfo validate;
#   - lintian reports no error;
#   - installed into a scratch root it holds exactly the files of
#     res/packaging/files.txt, and removing it leaves nothing behind.
#   check-package.sh [BUILD_DIR]      (default build/package)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build/package}
shopt -s nullglob
debs=("$build"/package/cvkeys_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    echo "check-package: expected one cvkeys_*.deb in $build/package, found ${#debs[@]}" >&2
    exit 1
fi
deb=${debs[0]}
echo "check-package: $deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

echo "== the package's files"
dpkg-deb -x "$deb" "$root/extract"
desktop-file-validate "$root"/extract/usr/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$root"/extract/usr/share/metainfo/*.metainfo.xml

echo "== lintian"
lintian --fail-on error --info --display-info "$deb"

echo "== install into a scratch root"
target="$root/target"
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates" "$target/var/lib/dpkg/triggers"
: > "$target/var/lib/dpkg/status"
: > "$target/var/lib/dpkg/available"
# The libraries it needs are the host's, not the scratch root's; its
# scripts see DPKG_ROOT and leave the host's udev alone.
dpkg --root="$target" --force-depends --force-script-chrootless --force-not-root -i "$deb" >/dev/null 2>"$root/dpkg.log" ||
    { cat "$root/dpkg.log" >&2; exit 1; }
listed=$(cd "$target" && find . -path ./var/lib/dpkg -prune -o \( -type f -o -type l \) -print | sed 's|^\./||' | sort)
expected=$(grep -v '^#' res/packaging/files.txt | sed '/^$/d' | sort)
if [ "$listed" != "$expected" ]; then
    echo "check-package: the installed files differ from res/packaging/files.txt:" >&2
    diff <(echo "$expected") <(echo "$listed") >&2 || true
    exit 1
fi
echo "$(echo "$listed" | wc -l) files as listed"

echo "== remove it again"
dpkg --root="$target" --force-script-chrootless --force-not-root --purge cvkeys >/dev/null
left=$(cd "$target" && find . -mindepth 1 -path ./var -prune -o -print)
left_var=$(cd "$target" && find ./var -mindepth 1 -path ./var/lib/dpkg -prune -o -print | grep -v '^./var/lib$' || true)
if [ -n "$left$left_var" ]; then
    echo "check-package: left behind after removal:" >&2
    echo "$left$left_var" >&2
    exit 1
fi
echo "check-package: all checks passed"
