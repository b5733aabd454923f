#!/usr/bin/env bash
# Measures velmo against libswscale and FFmpeg on this machine: picture quality on the photographs
# of bench/photos/ (butteraugli and SSIMULACRA by libjxl's tools, PSNR and SSIM by libavfilter,
# against Lanczos alone and sharpened by FFmpeg's cas and unsharp) and speed on the GL driver at
# hand. Builds what it needs into the given folder (default: build), writes docs/benchmarks.md,
# the crops docs/zoom-crop.png and docs/zoom-cas.png and the tables in README.md (there without
# the per-photograph tables of x1.5 and x4), and prints them. With --quality it measures picture
# quality alone and keeps the speed sections of the last full run, whose load they name; with
# --speed it measures speed alone and keeps the picture quality sections.
# Usage: benchmarks.sh [--quality | --speed] [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
measure=all
case "${1:-}" in
--quality | --speed)
  measure=${1#--}
  shift
  ;;
esac
build_dir=${1:-build}
# Other work on the machine slows the speed figures down; the load before this script's own work
# is printed beside them.
load=$(cut -d ' ' -f 1 /proc/loadavg)

bash scripts/install-deps.sh --benchmarks
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
case $measure in
quality) cmake --build "$build_dir" -j "$(nproc)" --target velmo_quality_bench ;;
speed) cmake --build "$build_dir" -j "$(nproc)" --target velmo_frame_bench velmo_cpu_upscale_bench velmo-upscale ;;
all)
  cmake --build "$build_dir" -j "$(nproc)" --target velmo_quality_bench velmo_frame_bench velmo_cpu_upscale_bench \
    velmo-upscale
  ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Manuscript and Portrait first: their centres are the zoomed crops.
photos=(Manuscript Portrait Speaker BoardText Colosseum Grey EveningGlow BytheWater ColorfulCups DarkestHour
  FallenLeaf LadyBird Path)
photo_files=()
for name in "${photos[@]}"; do photo_files+=("bench/photos/$name.png"); done

photo_list=$(printf '%s, ' "${photos[@]}")

# The speed sections, into speed.md.
measure_speed() {
  local cpu renderer frame_rows frames velmo_seconds velmo_cpu_seconds ffmpeg_seconds
  cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
  renderer=$("$build_dir/tools/velmo-upscale/velmo-upscale" --version | sed -n 's/^OpenGL ES renderer: //p')

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
    printf '| `velmo-upscale --backend cpu --scale 1.5` | %.1f | %s |\n' "$velmo_cpu_seconds" \
      "$(fps "$velmo_cpu_seconds")"
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
  } >"$work/speed.md"
}

# The picture quality section, into quality.md.
measure_quality() {
  echo "benchmarks: picture quality (${#photos[@]} photographs, 3 factors, 16 methods)" >&2
  "$build_dir/bench/velmo_quality_bench" --zoom docs/zoom-crop.png --zoom-peer docs/zoom-cas.png "${photo_files[@]}" \
    >"$work/quality.txt"
  {
    echo "## Picture quality"
    echo
    echo "The ${#photos[@]} photographs of bench/photos/ (sources in bench/photos/README.md): ${photo_list%, }." |
      fold -s -w 100 | sed 's/ $//'
    echo "Each is shrunk by 2, 1.5 and 4 with libswscale's area averaging and scaled back to its own size."
    echo "butteraugli (the 3-norm over its distance map and its maximum, the worst spot; about 1 is where a"
    echo "difference starts to be visible) and SSIMULACRA are libjxl's \`butteraugli_main\` and"
    echo "\`ssimulacra_main\` (Debian's libjxl-devtools), on sRGB PNGs: lower is better. PSNR and SSIM are"
    echo "libavfilter's \`psnr\` and \`ssim\` filters, luma BT.601 as FFmpeg converts: higher is better."
    echo "The shrinking, libswscale's filters and the peers' sharpening (FFmpeg's \`cas\` and \`unsharp\`"
    echo "through libavfilter) work on each colour channel apart. velmo's levels set its unsharp mask;"
    echo "\"sharpness 0\" is level 0 with a custom sharpness of 0: edge-adaptive upscaling without"
    echo "sharpening."
    echo
    sed -n '/^Sharpness is/,$p' "$work/quality.txt"
  } >"$work/quality.md"
}

# What a partial run does not measure is kept from docs/benchmarks.md.
kept_section() {
  sed -n "$1" docs/benchmarks.md >"$work/$2"
  [ -s "$work/$2" ] || { echo "benchmarks: docs/benchmarks.md has no section to keep for $2" >&2; exit 1; }
}
case $measure in
quality) kept_section '/^## Speed$/,$p' speed.md ;;
*) measure_speed ;;
esac
case $measure in
speed) kept_section '/^## Picture quality$/,/^## Speed$/{/^## Speed$/!p}' quality.md ;;
*) measure_quality ;;
esac

{
  echo "# velmo against the usual scalers"
  echo
  echo "Written by \`scripts/benchmarks.sh\` from its last run; \`--quality\` and \`--speed\` runs rewrite one part."
  echo
  cat "$work/quality.md"
  cat "$work/speed.md"
} >docs/benchmarks.md

# The README carries the same tables, one heading level down, between its two markers, without
# the per-photograph tables of x1.5 and x4 (each a title line, a blank line and a table).
awk '
  /^x(1\.5|4) per photograph/ { drop = 1; table = 0; next }
  drop && /^\|/ { table = 1; next }
  drop && /^$/ { if (table) drop = 0; next }
  drop { next }
  /^x2 per photograph, PSNR/ { note = 1 }
  note && /^$/ && seen { print; print "The same per photograph at x1.5 and x4: [docs/benchmarks.md](docs/benchmarks.md)."; note = 0 }
  note && /^\|/ { seen = 1 }
  NR > 4' docs/benchmarks.md >"$work/readme-tables.md"
awk -v tables="$work/readme-tables.md" '
  BEGIN { while ((getline line < tables) > 0) body = body (n++ ? "\n" : "") line }
  /^<!-- benchmarks: start -->$/ { print; gsub(/\n## /, "\n### ", body); sub(/^## /, "### ", body); print body; skip = 1; next }
  /^<!-- benchmarks: end -->$/ { skip = 0 }
  !skip' README.md >"$work/README.md"
cp "$work/README.md" README.md
cat docs/benchmarks.md
