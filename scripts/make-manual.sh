#!/usr/bin/env bash
# Converts the user manual from HTML to PDF with LibreOffice (private profile).
#   make-manual.sh SOFFICE MANUAL_HTML OUTPUT_PDF WORK_DIR
set -euo pipefail
soffice=$1 html=$2 pdf=$3 work=$4
mkdir -p "$work"
log="$work/soffice.log"
if ! "$soffice" --headless "-env:UserInstallation=file://$work/profile" "--infilter=HTML (StarWriter)" \
     --convert-to pdf:writer_pdf_Export --outdir "$work" "$html" >"$log" 2>&1 \
   || [[ ! -s "$work/$(basename "${html%.*}").pdf" ]]; then
  echo "LibreOffice could not convert $html:" >&2
  cat "$log" >&2
  exit 1
fi
mv "$work/$(basename "${html%.*}").pdf" "$pdf"
