#!/usr/bin/env bash
# Cross-builds velmo with its GPU path for aarch64 and runs, under qemu-aarch64 on arm64 Mesa
# (llvmpipe, surfaceless EGL), the CPU suites and the GL suites a player depends on (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-aarch64}
# The arm64 packages unpacked, and apt's own lists and downloads for them; kept between runs.
cache=${VELMO_AARCH64_CACHE:-/var/cache/velmo-aarch64}
target_root=$cache/root

# Debian's multiarch would install the arm64 libraries beside the machine's own, but it needs each
# shared library at one version for both architectures: where the installed amd64 packages lag the
# archive, installing the arm64 ones would upgrade them under everyone else using the machine. The
# arm64 packages are unpacked into a folder of their own instead, so the machine's stay as they are.
target_packages=(libegl-dev libgles-dev libopengl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libx11-dev libhwy-dev)
# Pulled in for zlib1g-dev; the cross compiler brings its own C library headers, and two copies
# on the include path would clash.
not_unpacked='^(libc6-dev|linux-libc-dev|libcrypt-dev|libtirpc-dev|libnsl-dev|rpcsvc-proto|libc-dev-bin)_'

install_host_packages() {
  local missing=() package
  for package in g++-aarch64-linux-gnu qemu-user libgtest-dev; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

# apt resolves and downloads the arm64 packages with a state of its own (an empty package status,
# its own lists and archive), so it neither reads nor locks the machine's package database.
unpack_target_root() {
  local stamp=$cache/root.packages
  mkdir -p "$cache"
  # One run unpacks at a time; a second waits and then finds the folder ready.
  exec 9>"$cache/lock"
  flock 9
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${target_packages[*]}" ]; then
    exec 9>&-
    return
  fi
  rm -rf "$target_root" "$stamp" "$cache/apt/archives"
  mkdir -p "$cache/apt/lists/partial" "$cache/apt/archives/partial" "$cache/apt/state" "$target_root"
  : > "$cache/apt/status"
  local apt_options=(-o APT::Architecture=arm64 -o APT::Architectures::=arm64
    -o Dir::State="$cache/apt/state" -o Dir::State::Lists="$cache/apt/lists"
    -o Dir::State::status="$cache/apt/status" -o Dir::Cache="$cache/apt"
    -o Dir::Cache::archives="$cache/apt/archives" -o pkgCacheGen::Essential=none)
  apt-get "${apt_options[@]}" update -q >/dev/null
  apt-get "${apt_options[@]}" install -y -q -d --no-install-recommends "${target_packages[@]}" >/dev/null
  local deb link
  for deb in "$cache"/apt/archives/*.deb; do
    basename "$deb" | grep -Eq "$not_unpacked" || dpkg-deb -x "$deb" "$target_root"
  done
  # Development links that point at /lib/... would reach the build machine's own libraries.
  while IFS= read -r -d '' link; do
    ln -sfn "$target_root$(readlink "$link")" "$link"
  done < <(find "$target_root" -type l -lname '/*' -print0)
  echo "${target_packages[*]}" > "$stamp"
  exec 9>&-
}

install_host_packages
unpack_target_root
installed=$SECONDS

bash scripts/build.sh "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DVELMO_AARCH64_TARGET_ROOT="$target_root" -DVELMO_WITH_GPU=ON \
  -DVELMO_BUILD_TOOLS=OFF -DVELMO_BUILD_BENCH=OFF -DVELMO_BUILD_GST=OFF --no-warn-unused-cli >/dev/null
echo "aarch64: install $installed s, build $((SECONDS - installed)) s"

# Every suite without GL runs: the CPU routines with their NEON kernels, the logger, matrices,
# shader texts, the configuration file and the C interface without a context. A GL test takes
# seconds under qemu where it takes tens of milliseconds natively (llvmpipe compiles and runs its
# shaders in emulation), so of the GL suites only these run:
#   VelmoApiGLTest       the C interface a player calls: lifecycle, both paths' pixels against
#                        their CPU references, misuse; it drives the renderer's whole frame
#                        pipeline, its set-up frames and its GPU resources
#   UpscaleComparison    the edge-adaptive upscaling pass, both variants, every setting and size,
#                        against its CPU reference
#   UpscalePassGLTest    the upscaling pass's edge thresholds and luma correction, where float
#                        precision on another processor would show first
#   UsmOnePassGLTest     the sharpening pass against its CPU reference
#   GPUContextGLTest     the renderer's own EGL context beside the player's
#   RenderGraphGLTest, FilterNodesGLTest
#                        the render-graph nodes the renderer draws through, among them the
#                        skin-tone smoothing node of its face-protection path
# Left out, each covered by the x86-64 run on the same code: the memory-growth checks (hundreds of
# frames, minutes each here), the out-of-memory test (an instance for every allocation the library
# makes), the two upscaling variants held against each other (each meets the reference above), the
# X11 surfaces (no display here), the GPU wrapper classes, colour conversion, copy and demo
# shaders, which the renderer's frame pipeline does not reach or reaches through the above.
# A parameterised test's name goes on with a comment on its parameters after a space.
chosen='^(VelmoApiGLTest\.|Upscale/UpscaleComparison\.|Variants/UpscalePassGLTest\.|UsmOnePassGLTest\.|GPUContextGLTest\.|RenderGraphGLTest\.|FilterNodesGLTest\.)'
left_out=$(ctest --test-dir "$build_dir" -N -L gl | sed -n 's/^ *Test *#[0-9]*: \([^ ]*\).*/\1/p' | grep -Ev "$chosen" | paste -sd'|')
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" \
  -E "^(${left_out:-none})( |\$)|KeepMemoryFlat|EveryRefusedAllocation|_x11_tests\$|^xvfb_"
