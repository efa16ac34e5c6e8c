#!/usr/bin/env bash
# Renews the window's screenshots in docs/screenshots/ from the simulated
# devices: every model idle, with a button hovered, with a menu open and,
# where the model has one, the settings view.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default build/default)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
cvkeys=$build/cvkeys
out=$root/docs/screenshots
[ -x "$cvkeys" ] || { echo "screenshots.sh: $cvkeys not built (make build)" >&2; exit 1; }
mkdir -p "$out"

# A settings file and home of its own, so that no real settings are read
# or written and every run starts alike.
scratch=$(mktemp -d /tmp/cvk-shots.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QT_QPA_PLATFORM=offscreen HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch
export LC_ALL=C.UTF-8

shot() {
    local file=$1; shift
    rm -f "$scratch/settings.ini"
    "$cvkeys" --settings "$scratch/settings.ini" "$@" --screenshot "$out/$file" 2>/dev/null
    echo "wrote docs/screenshots/$file"
}

# model, the button hovered, the button whose menu is shown, settings view
while read -r model hover menu view; do
    shot "$model.png" --simulate "$model"
    shot "$model-hover.png" --simulate "$model" --hover "$hover"
    shot "$model-menu.png" --simulate "$model" --menu "$menu"
    if [ "$view" = yes ]; then
        shot "$model-settings.png" --simulate "$model" --settings-view
    fi
done <<'MODELS'
arvel 3 1 no
essom 4 2 no
dorrin 2 4 no
dorrin-receiver 9 0 no
cindel 5 1 yes
brill 7 0 yes
arvel2 6 9 no
MODELS
shot no-device.png --simulate none
shot two-devices.png --simulate dorrin --simulate arvel

# The dialogs: the keyboard on button 2's combination (Ctrl+C on a new
# Dorrin) under two layouts, the signature, About, the language choice and
# a firmware update half-way through programming.
XKB_DEFAULT_LAYOUT=us shot keyboard-us.png --simulate dorrin --open keyboard --menu 2
XKB_DEFAULT_LAYOUT=se shot keyboard-se.png --simulate dorrin --open keyboard --menu 2
shot signature.png --simulate cindel --open signature
shot about.png --simulate dorrin --open about
shot language.png --simulate dorrin --open language
shot firmware-update.png --simulate dorrin --open firmware
