#!/usr/bin/env bash
# Builds the Debian package of velmo (library, headers, pkg-config and CMake files, velmo-upscale)
# into build-package/: configures for the /usr prefix, builds, and runs cpack, whose dependency
# list comes from dpkg-shlibdeps (dpkg-dev, part of build-essential).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build-package -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF -DVELMO_SANITIZE=OFF "$@"
(cd build-package && cpack -G DEB)
ls build-package/velmo_*.deb
