#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those still missing.
# Runs as root, or through sudo when it is available.
set -euo pipefail

packages=(
  build-essential cmake clang libclang-rt-14-dev
  qtbase5-dev libqt5xmlpatterns5-dev libquazip1-qt5-dev zlib1g-dev
  libreoffice-writer-nogui python3-uno poppler-utils xvfb fonts-dejavu-core
  qttranslations5-l10n desktop-file-utils appstream dpkg-dev libjemalloc-dev parallel
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
  sudo_cmd=(sudo)
else
  echo "Missing packages (${missing[*]}) and neither root nor sudo is available." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
