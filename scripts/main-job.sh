#!/usr/bin/env bash
# Installs what is missing, builds velmo and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build-main -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF
EGL_PLATFORM=${EGL_PLATFORM:-surfaceless} ./build-main/tools/velmo-smoke/velmo-smoke
