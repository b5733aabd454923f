#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite on Mesa's software GL driver.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DVELMO_BUILD_TESTS=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"
