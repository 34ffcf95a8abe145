#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian, as root or with sudo).
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 xvfb xauth python3-pyftpdlib cmake
          ninja-build googletest clang-format
          nsis openssl osslsigncode                      # installer; throwaway test certificates and signatures
          clang libfuzzer-14-dev libclang-rt-14-dev      # native sanitizer and fuzz builds of the pure logic
          imagemagick)                                   # screenshots of the test display
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
