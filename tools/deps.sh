#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: tools/deps.sh [build|test|bench]
set -euo pipefail

packages=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth)
case "${1:-build}" in
    test) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev valgrind python3) ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
