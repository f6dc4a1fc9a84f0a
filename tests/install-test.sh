#!/usr/bin/env bash
# Installation as a user gets it: `cmake --install` into a fresh prefix gives
# the programs, the desktop entry, icons, AppStream data, the manual and the
# bundled examples as the system resource folder; the entries validate; the
# Debian package carries the same files and its batch command, given no
# resource folder, finds the installed one and generates the bundled examples.
#   install-test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
for tool in desktop-file-validate appstreamcli dpkg-deb cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if ! command -v soffice >/dev/null && ! command -v libreoffice >/dev/null; then
  echo "SKIP: LibreOffice is not installed, so the manual the package carries was not built"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expected=(
  bin/plinthworks
  bin/plinthworks-batch
  share/applications/com.quorva.plinthworks.desktop
  share/metainfo/com.quorva.plinthworks.metainfo.xml
  share/doc/plinthworks/plinthworks.pdf
  share/QUORVA/Plinthworks20/Settings/Templates.txt
  share/QUORVA/Plinthworks20/Templates/invoice.docx
  share/QUORVA/Plinthworks20/Templates/act.odt
  share/QUORVA/Plinthworks20/Templates/contract.rtf
  share/QUORVA/Plinthworks20/Queries/invoice/Match.xq
)
for size in 16 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/com.quorva.plinthworks.png")
done

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in "${expected[@]}"; do
  [[ -s "$work/prefix/$file" ]] || fail "cmake --install did not install $file"
done
desktop-file-validate "$work/prefix/share/applications/com.quorva.plinthworks.desktop" \
  || fail "desktop-file-validate"
grep -q '^MimeType=.*application/xml;.*application/zip;' "$work/prefix/share/applications/com.quorva.plinthworks.desktop" \
  || fail "the desktop entry does not offer to open XML and ZIP files"
appstreamcli validate --no-net "$work/prefix/share/metainfo/com.quorva.plinthworks.metainfo.xml" >/dev/null \
  || fail "appstreamcli validate"

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack -G DEB"
deb=$(ls "$work"/package/plinthworks_*.deb)
listing=$(dpkg-deb -c "$deb")
for file in "${expected[@]}"; do
  grep -q "\./usr/$file\$" <<<"$listing" || fail "the package lacks /usr/$file"
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt5widgets5 libqt5xmlpatterns5 libquazip1-qt5-1; do
  grep -q "$package" <<<"$depends" || fail "the package does not depend on $package: $depends"
done

dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/data"
cp "$source"/examples/data/* "$work/data/"
# A fresh user on a machine where the package's /usr/share is the system data
# folder: nothing in the home, no resource folder named.
mkdir -p "$work/home"
(cd "$work/data" && env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
   XDG_DATA_HOME="$work/home/.local/share" XDG_DATA_DIRS="$work/root/usr/share" QT_QPA_PLATFORM=offscreen \
   "$work/root/usr/bin/plinthworks-batch" --format odt ./*.xml archive.zip 2>"$work/batch.log") \
  || { cat "$work/batch.log" >&2; fail "the packaged batch command failed"; }
for document in invoice_147_счёт.odt 2024-031_акт.odt contract_21-2024_договор.odt invoice_158_счёт.odt; do
  [[ -s "$work/data/$document" ]] || fail "the packaged batch command did not make $document"
done
echo "PASS: installed, validated and packaged"
