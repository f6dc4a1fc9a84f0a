#!/usr/bin/env bash
# Regenerates the binary files of examples/ from their sources:
#   examples/src/NAME.fodt     -> examples/resources/Templates/NAME.{odt,docx,rtf}
#   scripts/make-stamp.py      -> examples/data/stamp.jpg
#   examples/src/archive/*.xml -> examples/data/archive.zip (with the seal beside them)
# The results are committed, so running the examples needs no LibreOffice;
# run this after editing a source. Needs LibreOffice (soffice) and python3.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
examples="$root/examples"
helper="$root/scripts/examples-helper.py"

command -v soffice >/dev/null || { echo "soffice (LibreOffice) is required" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private profile: does not touch the user's LibreOffice settings and works
# while another LibreOffice is running.
profile="file://$work/profile"

sources=("$examples"/src/*.fodt)
for format in odt docx rtf; do
  soffice --headless "-env:UserInstallation=$profile" --convert-to "$format" \
          --outdir "$work/$format" "${sources[@]}" >/dev/null 2>&1
done

for source in "${sources[@]}"; do
  name=$(basename "$source" .fodt)
  for format in odt docx rtf; do
    [[ -s "$work/$format/$name.$format" ]] || { echo "LibreOffice made no $name.$format" >&2; exit 1; }
  done
  python3 "$helper" fix-rtf "$work/rtf/$name.rtf"
  python3 "$helper" repack "$work/odt/$name.odt" "$work/docx/$name.docx"
  python3 "$helper" check "$source" "$work/odt/$name.odt" "$work/docx/$name.docx" "$work/rtf/$name.rtf"
  for format in odt docx rtf; do
    cp "$work/$format/$name.$format" "$examples/resources/Templates/$name.$format"
  done
  echo "Templates/$name.{odt,docx,rtf}"
done

python3 "$root/scripts/make-stamp.py" "$examples/data/stamp.jpg"
echo "data/stamp.jpg"
python3 "$helper" archive "$examples/data/archive.zip" "$examples"/src/archive/*.xml "$examples/data/stamp.jpg"
echo "data/archive.zip"
