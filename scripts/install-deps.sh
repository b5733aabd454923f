#!/usr/bin/env bash
# Installs, from Debian's packages, everything velmo needs to build, test and run (run as root).
# With --fuzz also clang and its fuzzing runtime, for the libFuzzer targets of fuzz/; with
# --benchmarks (scripts/benchmarks.sh passes it) also libjxl's butteraugli_main and ssimulacra_main,
# which score the quality benchmark's pictures (the ffmpeg command it measures against is in the list).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libopengl-dev  # CMake's FindOpenGL insists on libOpenGL.so even when only EGL is asked for
  libx11-dev xvfb
  libpng-dev libsimde-dev glslang-tools
  liblcms2-dev  # velmo-upscale applies embedded colour profiles that a PNG cannot carry
  libwebp-dev   # and decodes animated WebP, which FFmpeg cannot,
  libjpeg-dev   # and CMYK JPEGs' inks, which FFmpeg converts without their profile
  # velmo-upscale's tests on real pictures: icons carrying the widespread 3144-byte sRGB profile
  # (openjdk-17-jre's), the profiles of colord-data, icc-profiles-free and Ghostscript's CMYK one
  # (libgs10-common), exiftool to embed them and to write orientations, ImageMagick, webp and PIL to
  # make the inputs and show them as viewers do
  openjdk-17-jre colord-data icc-profiles-free libgs10-common libimage-exiftool-perl imagemagick webp python3-pil
  libhwy-dev  # Highway: the SIMD kernels of the CPU upscaling pass (headers only)
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libavfilter-dev
  # the velmoupscale GStreamer plugin, its tests (VP8/Vorbis/WebM, glimagesink) and players
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-gl gstreamer1.0-tools gstreamer1.0-libav gstreamer1.0-x
  # the user-shader test: FFmpeg's libplacebo filter on Mesa's Vulkan driver (lavapipe)
  ffmpeg mesa-vulkan-drivers
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = "--benchmarks" ]; then
  packages+=(libjxl-devtools)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
