#!/usr/bin/env bash
# Configures and builds (does not run) every libFuzzer target with clang, so
# the fuzz build the README documents keeps compiling. Installs clang and its
# fuzzer runtime with apt-get when missing (as root, or through sudo).
#   bash scripts/build-fuzz.sh [BUILD_DIR]     (default: build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-fuzz}

missing=()
command -v clang++ >/dev/null || missing+=(clang)
# The fuzzer runtime (libclang_rt.fuzzer) comes with the versioned package.
dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "install ok installed" ||
  missing+=(libclang-rt-14-dev)
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The window is built too: fuzz/gui drives the real document window.
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTOLVAN_FUZZ=ON -DTOLVAN_GUI=ON -DTOLVAN_BENCH=OFF \
  "${launcher[@]}"

# Every fuzz/<name>_fuzz.cpp and fuzz/qt/<name>_fuzz.cpp is the target fuzz_<name>.
targets=()
for f in fuzz/*_fuzz.cpp fuzz/qt/*_fuzz.cpp fuzz/gui/*_fuzz.cpp; do
  n=$(basename "$f" _fuzz.cpp)
  targets+=("fuzz_$n")
done
echo "+ building ${targets[*]}"
cmake --build "$dir" --target "${targets[@]}"
