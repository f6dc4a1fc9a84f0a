#!/usr/bin/env bash
# Runs the batch command on fresh copies of the bundled examples, once per
# output format, and says where the documents are.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
batch="$build_dir/plinthworks-batch"
out="$build_dir/examples-run"
rm -rf "$out"
status=0
for format in docx odt rtf; do
  mkdir -p "$out/$format"
  cp -r examples/data/. "$out/$format/"
  echo "== $format"
  inputs=$(find "$out/$format" -maxdepth 1 -type f \( -name '*.xml' -o -name '*.zip' \) | sort)
  # shellcheck disable=SC2086
  if ! "$batch" --resources examples/resources --format "$format" --rename \
       --report "$out/$format/report.txt" $inputs; then
    status=1
  fi
done
echo
echo "Documents written:"
find "$out" -type f \( -name '*.docx' -o -name '*.odt' -o -name '*.rtf' \) | sort | sed 's/^/  /'
echo "Reports: $out/<format>/report.txt"
exit $status
