#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing, and any further
# packages named as arguments (scripts that need more, such as a virtual X server, name them).
# Safe to run again: it does nothing when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev
    libcli11-dev nlohmann-json3-dev
    qt6-base-dev
    # the window's translations: lupdate and lrelease, and CMake's qt_add_translations
    qt6-l10n-tools qt6-tools-dev
    # Qt's own texts (its standard buttons) in Japanese for a Japanese locale
    qt6-translations-l10n
    iproute2 util-linux
    fonts-ipafont-gothic
    # the Debian package (cpack's dpkg-shlibdeps needs dpkg-dev and file) and its checks
    dpkg-dev file groff-base shellcheck desktop-file-utils appstream
    # the profile schema's check
    python3-jsonschema
    # the Ansible collection's test (jq reads its inventory)
    ansible-core jq
    # the window driven on a virtual X server
    xvfb xdotool
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
