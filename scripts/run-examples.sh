#!/usr/bin/env bash
# `make run`: opens the main window on fresh copies of the bundled sample
# files, which it unpacks and matches to their templates at once; press
# "Запустить обработку" to make the documents. Without a display it says so
# and generates every example with the batch command instead, once per
# format, and says where the documents are.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
out="$build_dir/examples-run"
rm -rf "$out"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  mkdir -p "$out/window"
  cp -r examples/data/. "$out/window/"
  mapfile -t inputs < <(find "$out/window" -maxdepth 1 -type f \( -name '*.xml' -o -name '*.zip' \) | sort)
  echo "Opening the main window on the examples in $out/window"
  # The example catalogue, templates and queries lie beside the executable.
  exec "$build_dir/plinthworks" "${inputs[@]}"
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the main window cannot open."
echo "Generating the examples with the batch command instead."
batch="$build_dir/plinthworks-batch"
status=0
for format in docx odt rtf; do
  mkdir -p "$out/$format"
  cp -r examples/data/. "$out/$format/"
  echo "== $format"
  mapfile -t inputs < <(find "$out/$format" -maxdepth 1 -type f \( -name '*.xml' -o -name '*.zip' \) | sort)
  if ! "$batch" --resources examples/resources --format "$format" --rename \
       --report "$out/$format/report.txt" "${inputs[@]}"; then
    status=1
  fi
done
echo
echo "Documents written:"
find "$out" -type f \( -name '*.docx' -o -name '*.odt' -o -name '*.rtf' \) | sort | sed 's/^/  /'
echo "Reports: $out/<format>/report.txt"
exit $status
