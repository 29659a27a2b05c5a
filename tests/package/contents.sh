#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it would install: the control
# fields, every file (none missing, none astray), the programs, the man pages, the icons, and
# the desktop entry and AppStream metadata as desktops and software centres read them.
# Everything it makes stays in SCRATCH, which it empties first.
#
#   bash tests/package/contents.sh CPACK BUILD-DIR SCRATCH VERSION
set -uo pipefail

if [ $# -ne 4 ]; then
    echo "usage: bash $0 CPACK BUILD-DIR SCRATCH VERSION" >&2
    exit 2
fi
cpack=$1 build=$2 scratch=$3 version=$4
app_id=io.github.mervane.Mervane

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

rm -rf "$scratch"
mkdir -p "$scratch"
root=$scratch/root

# The install step cpack runs writes install_manifest.txt into the build tree; put back what
# was there before.
manifest=$build/install_manifest.txt
saved=$scratch/install_manifest.txt
if [ -e "$manifest" ]; then
    cp -p "$manifest" "$saved"
fi
trap 'if [ -e "$saved" ]; then cp -p "$saved" "$manifest"; else rm -f "$manifest"; fi' EXIT

if ! "$cpack" -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" \
    >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack could not make the package"
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$scratch/out/mervane_${version}_$arch.deb
if [ ! -f "$deb" ]; then
    fail "no $(basename "$deb"); cpack made: $(cd "$scratch/out" && echo *.deb)"
    exit 1
fi

# --- control fields ---------------------------------------------------------------------------

field() {
    dpkg-deb --field "$deb" "$1"
}
[ "$(field Package)" = mervane ] || fail "Package is \"$(field Package)\", not mervane"
[ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\", not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is \"$(field Architecture)\", not $arch"
# dpkg-shlibdeps found the libraries the programs link.
for library in libc6 libstdc++6 libqt6widgets6; do
    [[ $(field Depends) == *"$library "* ]] ||
        fail "Depends does not name $library: \"$(field Depends)\""
done
for name in Maintainer Section Priority Homepage Description; do
    [ -n "$(field "$name")" ] || fail "the control file has no $name"
done

# --- files ------------------------------------------------------------------------------------

if ! dpkg-deb --extract "$deb" "$root"; then
    fail "dpkg-deb could not unpack the package"
    exit 1
fi
expected=(
    usr/bin/mervane
    usr/bin/mervane-cli
    usr/bin/mervane-unit
    usr/share/applications/io.github.mervane.Mervane.desktop
    usr/share/metainfo/io.github.mervane.Mervane.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/io.github.mervane.Mervane.svg
    usr/share/icons/hicolor/16x16/apps/io.github.mervane.Mervane.png
    usr/share/icons/hicolor/32x32/apps/io.github.mervane.Mervane.png
    usr/share/icons/hicolor/48x48/apps/io.github.mervane.Mervane.png
    usr/share/icons/hicolor/64x64/apps/io.github.mervane.Mervane.png
    usr/share/icons/hicolor/128x128/apps/io.github.mervane.Mervane.png
    usr/share/icons/hicolor/256x256/apps/io.github.mervane.Mervane.png
    usr/share/man/man1/mervane.1.gz
    usr/share/man/man1/mervane-cli.1.gz
    usr/share/man/man1/mervane-unit.1.gz
    usr/share/bash-completion/completions/mervane-cli
    usr/share/bash-completion/completions/mervane-unit
    usr/share/doc/mervane/copyright
    usr/share/doc/mervane/changelog.gz
    usr/share/doc/mervane/profiles.md
    usr/share/doc/mervane/profile.schema.json
)
collection=usr/share/ansible/collections/ansible_collections/mervane/units
for path in galaxy.yml README.md meta/runtime.yml plugins/inventory/discover.py \
    plugins/doc_fragments/units.py plugins/module_utils/mervane_cli.py plugins/modules/info.py \
    plugins/modules/settings.py; do
    expected+=("$collection/$path")
done
actual=$(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
while IFS= read -r path; do
    [ -n "$path" ] && fail "the package holds $path, which is not on the list"
done < <(comm -23 <(echo "$actual") <(echo "$wanted"))
while IFS= read -r path; do
    [ -n "$path" ] && fail "the package lacks $path"
done < <(comm -13 <(echo "$actual") <(echo "$wanted"))

# Programs executable and stripped; nothing else executable.
while IFS= read -r path; do
    if [[ $path == usr/bin/* ]]; then
        [ -x "$root/$path" ] || fail "$path is not executable"
        [[ $(file -b "$root/$path") == *", stripped"* ]] || fail "$path is not stripped"
    elif [ -x "$root/$path" ]; then
        fail "$path is executable"
    fi
done <<<"$actual"

for program in mervane-cli mervane-unit; do
    [ -x "$root/usr/bin/$program" ] || continue
    answer=$("$root/usr/bin/$program" --version)
    status=$?
    [ "$status" -eq 0 ] || fail "$program --version: exit status $status"
    [ "$answer" = "$program $version" ] ||
        fail "$program --version printed \"$answer\", not \"$program $version\""
done

# Man pages and changelog: gzip without a time stamp (bytes 4..7 of the header), as Debian wants.
while IFS= read -r path; do
    [[ $path == *.gz ]] || continue
    gzip --test "$root/$path" || fail "$path is not gzip"
    [ "$(od -An -tx1 -j4 -N4 "$root/$path" | tr -d ' \n')" = 00000000 ] ||
        fail "$path carries a time stamp (gzip without -n)"
done <<<"$actual"

changelog=$root/usr/share/doc/mervane/changelog.gz
if [ -e "$changelog" ]; then
    gzip -dc "$changelog" >"$scratch/changelog"
    newest=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)
    [ "$newest" = "$version" ] || fail "the changelog's newest entry is $newest, not $version"
fi

# Each sized icon is as large as its directory says.
for size in 16 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png
    [ -e "$icon" ] || continue
    [[ $(file -b "$icon") == "PNG image data, $size x $size,"* ]] ||
        fail "${icon#"$root"/} is not a $size x $size PNG: $(file -b "$icon")"
done

# The collection is whole where Debian's ansible-core looks: its plugins' documentation loads.
if command -v ansible-doc >/dev/null; then
    for plugin in module:mervane.units.settings module:mervane.units.info \
        inventory:mervane.units.discover; do
        ANSIBLE_COLLECTIONS_PATH=$root/usr/share/ansible/collections ANSIBLE_HOME=$scratch/ansible \
            PYTHONDONTWRITEBYTECODE=1 ansible-doc -t "${plugin%%:*}" "${plugin#*:}" >/dev/null ||
            fail "ansible-doc cannot load ${plugin#*:} from the package"
    done
fi

# --- desktop entry and AppStream metadata -------------------------------------------------------

desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
if [ -e "$desktop" ]; then
    # It exits 0 on mere warnings: any output counts.
    if ! report=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$report" ]; then
        fail "desktop-file-validate: ${report:-failed}"
    fi
    grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry does not name the icon $app_id"
fi
if [ -e "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" >"$scratch/validate.log" 2>&1 || {
        cat "$scratch/validate.log" >&2
        fail "appstreamcli validate rejects the metainfo file"
    }
    # The same against the unpacked tree: the launchable desktop entry must be there.
    appstreamcli validate-tree --no-net "$root" >"$scratch/validate-tree.log" 2>&1 || {
        cat "$scratch/validate-tree.log" >&2
        fail "appstreamcli validate-tree rejects the unpacked package"
    }
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo file has no release entry for $version"
fi

exit "$failed"
