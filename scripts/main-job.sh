#!/usr/bin/env bash
# Installs what is missing, builds velmo and velmo-upscale, generates a sample picture and clip,
# and upscales both on the backend velmo-upscale chooses (on Mesa's software driver: velmo's CPU
# pass), and the picture once more through velmo_process on the headless OpenGL ES driver.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build-main -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF

tools=build-main/tools/velmo-upscale
results=$PWD/out/main-job
mkdir -p "$results"
"$tools/velmo-make-samples" "$results"
"$tools/velmo-upscale" -y "$results/sample.png" "$results/sample-upscaled.png" --compare "$results/sample-compare.png"
"$tools/velmo-upscale" -y --backend gpu "$results/sample.png" "$results/sample-upscaled-gpu.png"
"$tools/velmo-upscale" -y "$results/sample.mp4" "$results/sample-upscaled.mp4" --compare "$results/sample-clip-compare.png"

cat <<DONE

Results in $results:
  sample.png               generated picture, 640x360
  sample-upscaled.png      velmo's upscale, 960x540 (the backend the summary names)
  sample-upscaled-gpu.png  the same through velmo_process on OpenGL ES
  sample-compare.png       Lanczos upscale (left) beside velmo (right)
  sample.mp4               generated clip, 512x288, 3 s with sound
  sample-upscaled.mp4      velmo's upscale, 768x432, sound copied
  sample-clip-compare.png  the clip's first frame, Lanczos beside velmo
DONE
