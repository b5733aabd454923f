#!/usr/bin/env bash
# Measures velmo against libswscale and FFmpeg on this machine: picture quality on the photographs
# of bench/photos/ and speed on the GL driver at hand. Builds what it needs into the given folder
# (default: build), writes docs/benchmarks.md, docs/zoom-crop.png and the tables in README.md, and
# prints them.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
# Other work on the machine slows the speed figures down; the load before this script's own work
# is printed beside them.
load=$(cut -d ' ' -f 1 /proc/loadavg)

bash scripts/install-deps.sh --benchmarks
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j "$(nproc)" --target velmo_quality_bench velmo_frame_bench velmo_cpu_upscale_bench velmo-upscale

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Manuscript and Portrait first: their centres are the zoomed crops.
photos=(Manuscript Portrait Speaker BoardText Colosseum Grey EveningGlow BytheWater ColorfulCups DarkestHour
  FallenLeaf LadyBird Path)
photo_files=()
for name in "${photos[@]}"; do photo_files+=("bench/photos/$name.png"); done

echo "benchmarks: picture quality (${#photos[@]} photographs, 3 factors, 12 methods)" >&2
"$build_dir/bench/velmo_quality_bench" --zoom docs/zoom-crop.png "${photo_files[@]}" >"$work/quality.txt"
renderer=$(sed -n 's/^GL renderer: //p' "$work/quality.txt")
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)

echo "benchmarks: frame benchmark" >&2
"$build_dir/bench/velmo_frame_bench" >"$work/frames.txt" 2>/dev/null
# The benchmark's own summary: path, ms per frame, times the blit.
frame_rows=$(awk '/^1280x720 -> 1920x1080, per frame/ {on = 1; getline; next}
                  on && /^\(/ {on = 0}
                  on && NF > 2 {sub(/\/real_time$/, "", $1); printf "| %s | %s | %s |\n", $1, $2, $3}' "$work/frames.txt")

# A 720p clip of the photographs, each slowly zoomed into for a quarter of a second: short, as
# velmo on a software GL driver takes a fifth of a second or more per frame.
echo "benchmarks: 720p -> 1080p clip" >&2
ffmpeg -loglevel error -y -pattern_type glob -framerate 1 -i 'bench/photos/*.png' \
  -vf "scale=1280:720:force_original_aspect_ratio=increase,crop=1280:720,zoompan=z='1+0.008*on':d=6:s=1280x720:fps=24,setsar=1" \
  -c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p "$work/clip720.mp4"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$work/clip720.mp4")

seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {print b - a}'
}
velmo_seconds=$(seconds_of "$build_dir/tools/velmo-upscale/velmo-upscale" -y --backend gpu --scale 1.5 \
  "$work/clip720.mp4" "$work/velmo.mp4")
velmo_cpu_seconds=$(seconds_of "$build_dir/tools/velmo-upscale/velmo-upscale" -y --backend cpu --scale 1.5 \
  "$work/clip720.mp4" "$work/velmo-cpu.mp4")
ffmpeg_seconds=$(seconds_of ffmpeg -y -i "$work/clip720.mp4" -vf scale=1920:1080:flags=lanczos \
  -c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p "$work/lanczos.mp4")
fps() { awk -v n="$frames" -v s="$1" 'BEGIN {printf "%.1f", n / s}'; }

echo "benchmarks: the CPU upscaling pass against libswscale" >&2
"$build_dir/bench/velmo_cpu_upscale_bench" --benchmark_min_time=0.5 --benchmark_repetitions=3 \
  >"$work/cpu-pass.txt" 2>/dev/null

echo "benchmarks: the video job against ffmpeg" >&2
bash scripts/video-job-bench.sh "$build_dir" 3 >"$work/video-job.md"

{
  echo "# velmo against the usual scalers"
  echo
  echo "Written by \`scripts/benchmarks.sh\`; the figures below are its last run's output."
  echo
  echo "## Picture quality"
  echo
  echo "Photographs of bench/photos/ (sources in bench/photos/README.md)."
  sed -n '/^Mean over/p' "$work/quality.txt"
  echo "PSNR and SSIM by libavfilter's \`psnr\` and \`ssim\` filters; luma is BT.601 as FFmpeg converts."
  echo "The shrinking is libswscale's area averaging; libswscale's filters and the shrinking work on each"
  echo "colour channel apart. velmo's levels set its unsharp mask; \"sharpness 0\" is level 0 with a"
  echo "custom sharpness of 0: edge-adaptive upscaling without sharpening."
  echo
  sed -n '/^| method/,$p' "$work/quality.txt"
  echo
  echo "## Speed"
  echo
  echo "One run on $cpu ($(nproc) cores), GL driver $renderer, with a one-minute load average of"
  echo "$load before the run started (above about 0.5, other work shared the cores)."
  echo
  echo "Per 1280x720 -> 1920x1080 frame, \`velmo_frame_bench\` (velmo's C interface against a bare bilinear blit):"
  echo
  echo "| path | ms per frame | x blit |"
  echo "|---|---:|---:|"
  echo "$frame_rows"
  echo
  echo "A $frames-frame 720p clip of the photographs upscaled to 1080p and encoded with libx264"
  echo "(CRF 18, preset medium, yuv420p), decoding and encoding included:"
  echo
  echo "| command | seconds | frames per second |"
  echo "|---|---:|---:|"
  printf '| `velmo-upscale --backend gpu --scale 1.5` | %.1f | %s |\n' "$velmo_seconds" "$(fps "$velmo_seconds")"
  printf '| `velmo-upscale --backend cpu --scale 1.5` | %.1f | %s |\n' "$velmo_cpu_seconds" "$(fps "$velmo_cpu_seconds")"
  printf '| `ffmpeg -vf scale=1920:1080:flags=lanczos` | %.1f | %s |\n' "$ffmpeg_seconds" "$(fps "$ffmpeg_seconds")"
  echo
  echo "## The CPU pass"
  echo
  echo "\`velmo_cpu_upscale_bench\`: SR_UpscaleRGBA (default settings; once more with smoothing and face"
  echo "protection) and SR_StretchRGBA against libswscale's RGBA scalers (its \`threads\` option for two"
  echo "threads) on bench/photos/Speaker.png brought to 1280x720, each frame split into equal bands on"
  echo "the threads. CPU time is the whole process's (all threads); cycles are that CPU time at the"
  echo "processor's nominal clock (its time-stamp counter). Where other work shares the cores, wall"
  echo "times stretch and two threads cannot be faster; the CPU times still compare the work."
  echo
  sed -n '/^| routine/,$p' "$work/cpu-pass.txt"
  echo
  cat "$work/video-job.md"
} >docs/benchmarks.md

# The README carries the same tables, one heading level down, between its two markers.
awk '
  BEGIN { while ((getline line < "docs/benchmarks.md") > 0) if (++n > 4) body = body (n > 5 ? "\n" : "") line }
  /^<!-- benchmarks: start -->$/ { print; gsub(/\n## /, "\n### ", body); sub(/^## /, "### ", body); print body; skip = 1; next }
  /^<!-- benchmarks: end -->$/ { skip = 0 }
  !skip' README.md >"$work/README.md"
cp "$work/README.md" README.md
cat docs/benchmarks.md
