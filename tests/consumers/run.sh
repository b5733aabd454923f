#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds and runs two consumers against the installed
# files only: a C99 program through pkg-config, and a CMake project through find_package(velmo).
# Usage: run.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" > /dev/null
libdir=$(dirname "$(find "$prefix" -name velmo.pc)")/..
export PKG_CONFIG_PATH=$libdir/pkgconfig
export LD_LIBRARY_PATH=$libdir
export EGL_PLATFORM=surfaceless
mkdir "$work/config"

echo "== C99 consumer through pkg-config =="
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror "$here/frame.c" -o "$work/frame-pc" \
  $(pkg-config --cflags --libs velmo egl glesv2)
"$work/frame-pc" "$work/config"

echo "== CMake consumer through find_package(velmo) =="
cmake -S "$here/cmake" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$work/cmake-build" > /dev/null
"$work/cmake-build/frame" "$work/config"
"$work/cmake-build/cpu"
