#!/bin/bash
# Validates the launcher and AppStream data, builds the .deb into a temporary
# folder and checks what it holds; lintian finds no error in it. Without
# lintian the other checks still run, and the test then reports a skip.
set -u
src=$1 build=$2
for tool in desktop-file-validate appstreamcli dpkg-deb cpack; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
fail=0
out=$(desktop-file-validate "$src/data/tolvan.desktop" 2>&1)
[ -z "$out" ] || { echo "desktop entry: $out"; fail=1; }
out=$(appstreamcli validate --no-net --pedantic "$src/data/org.tolvan.tolvan.metainfo.xml" 2>&1)
grep -q "Validation was successful\.$" <<<"$out" || { echo "metainfo: $out"; fail=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/tolvan_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "no package built"; cat "$work/cpack.log"; exit 1; }
list=$(dpkg-deb -c "$deb" | awk '{print $6}')
for want in ./usr/bin/tolvan ./usr/bin/tolvan-cli ./usr/bin/tolvan-rtf ./usr/share/tolvan/Tolvan.txt \
            ./usr/share/applications/tolvan.desktop \
            ./usr/share/metainfo/org.tolvan.tolvan.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/tolvan.svg \
            ./usr/share/icons/hicolor/48x48/apps/tolvan.png \
            ./usr/share/man/man1/tolvan.1.gz ./usr/share/man/man1/tolvan-cli.1.gz \
            ./usr/share/man/man1/tolvan-rtf.1.gz \
            ./usr/share/doc/tolvan/copyright ./usr/share/doc/tolvan/changelog.gz; do
  grep -qxF "$want" <<<"$list" || { echo "missing from the package: $want"; fail=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for want in fonts-taml-tscu fonts-lohit-taml libqt6widgets6 qt6-base-abi; do
  grep -q "$want" <<<"$depends" || { echo "Depends lacks $want: $depends"; fail=1; }
done
# The changelog's newest entry is this package's version.
version=$(dpkg-deb -f "$deb" Version)
top=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/tolvan/changelog.gz | gzip -dc | head -1)
case $top in "tolvan ($version) "*) ;; *) echo "changelog begins: $top (package $version)"; fail=1 ;; esac
[ $fail = 0 ] && echo "package: $(basename "$deb") holds what it should"
if ! command -v lintian >/dev/null; then
  [ $fail = 0 ] && { echo "skipped: lintian is not installed"; exit 77; }
  exit $fail
fi
said=$(lintian --tag-display-limit 0 "$deb" 2>&1)
echo "$said"
if grep -q '^E: ' <<<"$said"; then
  echo "lintian reports errors"
  fail=1
fi
exit $fail
