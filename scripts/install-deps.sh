#!/usr/bin/env bash
# Installs the Debian packages that building and running the programs need;
# with --test also what the tests need, and with --bench (for the
# benchmarks, which stand on the tests' fixtures) those and what the
# benchmarks compare against. Only missing packages are installed, so a
# machine that has them all is left alone.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libfreetype-dev libfontconfig-dev fonts-open-sans
  libpng-dev zlib1g-dev libbrotli-dev binutils  # static archives and objcopy for the shipped programs
  libpixman-1-dev liblodepng-dev
  libx11-dev libxext-dev libxtst-dev libxrandr-dev
  g++-mingw-w64-x86-64-posix  # the Windows programs of the program folder, cross-built
  libatspi2.0-dev libtesseract-dev tesseract-ocr-eng  # step captions: the accessibility tree, OCR of labels
  xdg-utils  # "Show Folder"
  dpkg-dev file xdg-user-dirs  # make package: its dependencies found by dpkg-shlibdeps; the launcher's documents folder
)
test_packages=(
  xvfb xdotool openbox x11-apps x11-utils x11-xserver-utils
  x11-xkb-utils xkb-data libx11-data  # setxkbmap and the layouts for the keyboard tests; dead keys (Compose)
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev  # the fuzz harnesses: clang with libFuzzer and the sanitizers
  wine wine64  # the Windows programs run under wine
  chromium chromium-driver python3-selenium  # the browser tests of the HTML5 and Demo Guide pages
  cmark  # the CommonMark check of the Markdown guide
  at-spi2-core dbus-x11 gtk-3-examples  # the caption tests' accessibility bus and GTK application
  desktop-file-utils  # the package test checks its desktop entry
)
case "${1:-}" in
  --test) packages+=("${test_packages[@]}") ;;
  --bench) packages+=("${test_packages[@]}" ffmpeg) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
