#!/usr/bin/env bash
# Times velmo-upscale's video job against ffmpeg on a 5 s 720p clip with sound taken to 1080p
# (libx264, CRF 18, preset medium): wall and CPU time and peak memory, the stages one after another
# (VELMO_UPSCALE_SERIAL=1) and overlapped, and each stage alone. Prints a Markdown section.
# Usage: video-job-bench.sh [build folder] [runs of each command]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
runs=${2:-3}
tool="$build_dir/tools/velmo-upscale/velmo-upscale"
command -v /usr/bin/time >/dev/null || apt-get install -y --no-install-recommends time >&2
export EGL_PLATFORM=surfaceless

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=24 -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -t 5 -c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p -c:a aac "$work/clip.mp4"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$work/clip.mp4")
# The encoder's input alone: the clip's frames at 1080p, uncompressed.
ffmpeg -loglevel error -y -i "$work/clip.mp4" -an -vf scale=1920:1080:flags=bilinear -c:v rawvideo "$work/raw1080.nut"
x264=(-c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p)

# "wall cpu rss_mb" of one run of the command.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>&1
  awk '{printf "%.2f %.2f %.0f\n", $1, $2 + $3, $4 / 1024}' "$work/time.txt"
}
# The median of `runs` runs, field by field, and the load average around them.
median_of() {
  local name=$1
  shift
  local load_before
  load_before=$(cut -d ' ' -f 1 /proc/loadavg)
  for ((i = 0; i < runs; ++i)); do measure "$@"; done >"$work/$name.txt"
  for field in 1 2 3; do
    cut -d ' ' -f "$field" "$work/$name.txt" | sort -n | awk '{v[NR] = $1} END {printf "%s ", v[int((NR + 1) / 2)]}'
  done
  echo "$load_before $(cut -d ' ' -f 1 /proc/loadavg)"
}

declare -A result
echo "video job: plain path" >&2
result[ffmpeg]=$(median_of ffmpeg ffmpeg -y -i "$work/clip.mp4" -vf scale=1920:1080:flags=bilinear "${x264[@]}" \
  -c:a copy "$work/ffmpeg.mp4")
result[plain_serial]=$(median_of plain_serial env VELMO_UPSCALE_SERIAL=1 "$tool" -y --priority 0 \
  --width 1920 --height 1080 "$work/clip.mp4" "$work/plain_serial.mp4")
result[plain]=$(median_of plain "$tool" -y --priority 0 --width 1920 --height 1080 "$work/clip.mp4" "$work/plain.mp4")
echo "video job: upscaling path and stages alone" >&2
result[up_serial]=$(median_of up_serial env VELMO_UPSCALE_SERIAL=1 "$tool" -y --width 1920 --height 1080 \
  "$work/clip.mp4" "$work/up_serial.mp4")
result[up]=$(median_of up "$tool" -y --width 1920 --height 1080 "$work/clip.mp4" "$work/up.mp4")
result[decode]=$(median_of decode ffmpeg -y -i "$work/clip.mp4" -an -f null -)
result[encode]=$(median_of encode ffmpeg -y -i "$work/raw1080.nut" "${x264[@]}" "$work/encoded.mp4")
"$build_dir/bench/velmo_frame_bench" --benchmark_filter='^VelmoUpscale/' --benchmark_color=false >"$work/frame.txt" 2>/dev/null
# The benchmark colours its table even when asked not to: strip the escape codes before reading it.
velmo_ms=$(sed 's/\x1b\[[0-9;]*m//g' "$work/frame.txt" | awk '/^VelmoUpscale\// {print $2; exit}')

field() { echo "${result[$1]}" | cut -d ' ' -f "$2"; }
fps() { awk -v n="$frames" -v s="$1" 'BEGIN {printf "%.1f", n / s}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2fx", a / b}'; }
row() {
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$2" "$(field "$1" 1)" "$(ratio "$(field "$1" 1)" "$(field ffmpeg 1)")" \
    "$(field "$1" 2)" "$(ratio "$(field "$1" 2)" "$(field ffmpeg 2)")" "$(field "$1" 3)" "$(field "$1" 4) / $(field "$1" 5)"
}

echo "## The video job against ffmpeg"
echo
echo "A 5 s ($frames frames) 1280x720 test pattern with AAC sound taken to 1920x1080 and encoded with"
echo "libx264 (CRF 18, preset medium), sound copied; $(nproc) cores. Medians of $runs runs of each command, run"
echo "one after another in one go; the one-minute load average before and after each command's runs is"
echo "given, as other work shared the machine. CPU is user plus system time; memory is peak resident"
echo "set (\`/usr/bin/time -v\`). \"serial\" runs the tool's stages one after another"
echo "(\`VELMO_UPSCALE_SERIAL=1\`), the default overlaps them."
echo
echo "| command | wall s | x ffmpeg | CPU s | x ffmpeg | peak MB | load |"
echo "|---|---:|---:|---:|---:|---:|---:|"
row ffmpeg '`ffmpeg -vf scale=1920:1080:flags=bilinear`'
row plain_serial '`velmo-upscale --priority 0`, serial'
row plain '`velmo-upscale --priority 0`'
row up_serial '`velmo-upscale` (upscaling), serial'
row up '`velmo-upscale` (upscaling)'
echo
echo "The upscaling path against each of its stages alone, in frames per second:"
echo
echo "| stage | frames per second |"
echo "|---|---:|"
echo "| decode alone (\`ffmpeg -an -f null\`) | $(fps "$(field decode 1)") |"
printf '| velmo alone (`velmo_frame_bench` VelmoUpscale, %s ms per frame) | %s |\n' "$velmo_ms" \
  "$(awk -v ms="$velmo_ms" 'BEGIN {printf "%.1f", 1000 / ms}')"
echo "| encode alone (libx264 from raw 1080p frames) | $(fps "$(field encode 1)") |"
echo "| whole job, serial | $(fps "$(field up_serial 1)") |"
echo "| whole job, overlapped | $(fps "$(field up 1)") |"
