#!/usr/bin/env bash
# Times velmo-upscale's video job against ffmpeg on a 5 s 720p clip with sound taken to 1080p
# (libx264, CRF 18, preset medium): wall and CPU time and peak memory, on the GPU backend with the
# stages one after another (VELMO_UPSCALE_SERIAL=1) and overlapped, each stage alone, the shortest
# time the machine's cores allow for the job's work, and the CPU backend against ffmpeg's Lanczos
# and bilinear scaling, with the CPU time of each job apart from its encoder. Prints a Markdown section.
# Usage: video-job-bench.sh [build folder] [runs of each command] [backends: "gpu cpu" (default) or one]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
runs=${2:-3}
backends=${3:-gpu cpu}
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
has_backend() { [[ " $backends " == *" $1 "* ]]; }
result[ffmpeg]=$(median_of ffmpeg ffmpeg -y -i "$work/clip.mp4" -vf scale=1920:1080:flags=bilinear "${x264[@]}" \
  -c:a copy "$work/ffmpeg.mp4")
result[encode]=$(median_of encode ffmpeg -y -i "$work/raw1080.nut" "${x264[@]}" "$work/encoded.mp4")
gpu=("$tool" --backend gpu)
cpu=("$tool" --backend cpu)
if has_backend gpu; then
echo "video job: plain path" >&2
result[plain_serial]=$(median_of plain_serial env VELMO_UPSCALE_SERIAL=1 "${gpu[@]}" -y --priority 0 \
  --width 1920 --height 1080 "$work/clip.mp4" "$work/plain_serial.mp4")
result[plain]=$(median_of plain "${gpu[@]}" -y --priority 0 --width 1920 --height 1080 "$work/clip.mp4" \
  "$work/plain.mp4")
echo "video job: upscaling path and stages alone" >&2
result[up_serial]=$(median_of up_serial env VELMO_UPSCALE_SERIAL=1 "${gpu[@]}" -y --width 1920 --height 1080 \
  "$work/clip.mp4" "$work/up_serial.mp4")
result[up]=$(median_of up "${gpu[@]}" -y --width 1920 --height 1080 "$work/clip.mp4" "$work/up.mp4")
# Everything but the encoder: decoding, both colour conversions and velmo, written as raw Y4M.
result[plain_raw]=$(median_of plain_raw "${gpu[@]}" -y --priority 0 --width 1920 --height 1080 "$work/clip.mp4" \
  "$work/raw.y4m")
result[up_raw]=$(median_of up_raw "${gpu[@]}" -y --width 1920 --height 1080 "$work/clip.mp4" "$work/raw.y4m")
result[decode]=$(median_of decode ffmpeg -y -i "$work/clip.mp4" -an -f null -)
"$build_dir/bench/velmo_frame_bench" --benchmark_filter='^VelmoUpscale/' --benchmark_color=false >"$work/frame.txt" 2>/dev/null
# The benchmark colours its table even when asked not to: strip the escape codes before reading it.
velmo_ms=$(sed 's/\x1b\[[0-9;]*m//g' "$work/frame.txt" | awk '/^VelmoUpscale\// {print $2; exit}')
fi
if has_backend cpu; then
echo "video job: CPU backend against ffmpeg's Lanczos and bilinear" >&2
result[lanczos]=$(median_of lanczos ffmpeg -y -i "$work/clip.mp4" -vf scale=1920:1080:flags=lanczos "${x264[@]}" \
  -c:a copy "$work/lanczos.mp4")
result[cpu_up]=$(median_of cpu_up "${cpu[@]}" -y --width 1920 --height 1080 "$work/clip.mp4" "$work/cpu_up.mp4")
result[cpu_plain]=$(median_of cpu_plain "${cpu[@]}" -y --priority 0 --width 1920 --height 1080 "$work/clip.mp4" \
  "$work/cpu_plain.mp4")
echo "video job: the same jobs without their encoder (raw Y4M)" >&2
result[lanczos_raw]=$(median_of lanczos_raw ffmpeg -y -i "$work/clip.mp4" -vf scale=1920:1080:flags=lanczos -an \
  "$work/raw.y4m")
result[cpu_up_raw]=$(median_of cpu_up_raw "${cpu[@]}" -y --width 1920 --height 1080 "$work/clip.mp4" "$work/raw.y4m")
result[bilinear_raw]=$(median_of bilinear_raw ffmpeg -y -i "$work/clip.mp4" -vf scale=1920:1080:flags=bilinear -an \
  "$work/raw.y4m")
result[cpu_plain_raw]=$(median_of cpu_plain_raw "${cpu[@]}" -y --priority 0 --width 1920 --height 1080 \
  "$work/clip.mp4" "$work/raw.y4m")
fi
rm -f "$work/raw.y4m"

field() { echo "${result[$1]}" | cut -d ' ' -f "$2"; }
fps() { awk -v n="$frames" -v s="$1" 'BEGIN {printf "%.1f", n / s}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2fx", a / b}'; }
cores=$(nproc)
busy() { awk -v w="$(field "$1" 1)" -v c="$(field "$1" 2)" -v n="$cores" 'BEGIN {printf "%.0f %%", 100 * c / (w * n)}'; }
# When every core is busy the job cannot end before its CPU time spread over all of them: the
# CPU time of everything but the encoder, and of the encoder alone, over the cores.
floor_of() { awk -v a="$(field "$1" 2)" -v b="$(field encode 2)" -v n="$cores" 'BEGIN {printf "%.2f", (a + b) / n}'; }
# A command's row; its ratios are to the row named by the third argument (default: ffmpeg bilinear).
row() {
  local base=${3:-ffmpeg}
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$2" "$(field "$1" 1)" \
    "$(ratio "$(field "$1" 1)" "$(field "$base" 1)")" "$(field "$1" 2)" "$(ratio "$(field "$1" 2)" "$(field "$base" 2)")" \
    "$(busy "$1")" "$(field "$1" 3)" "$(ratio "$(field "$1" 3)" "$(field "$base" 3)")" "$(field "$1" 4) / $(field "$1" 5)"
}
stage() {
  printf '| %s | %s | %s | %s | %s |\n' "$2" "$(field "$1" 1)" "$(field "$1" 2)" "$(fps "$(field "$1" 1)")" \
    "$(field "$1" 4) / $(field "$1" 5)"
}

echo "## The video job against ffmpeg"
echo
echo "A 5 s ($frames frames) 1280x720 test pattern with AAC sound taken to 1920x1080 and encoded with"
echo "libx264 (CRF 18, preset medium), sound copied; $cores cores. Medians of $runs runs of each command, run"
echo "one after another in one go; the one-minute load average before and after each command's runs is"
echo "given, as other work shared the machine. CPU is user plus system time, \"busy\" that time over"
echo "wall time and cores; memory is peak resident set (\`/usr/bin/time -v\`). \"serial\" runs the tool's"
echo "stages one after another (\`VELMO_UPSCALE_SERIAL=1\`), the default overlaps them."
echo
if has_backend cpu; then
echo "**The CPU backend**, \`velmo-upscale --backend cpu\`: velmo's CPU pass on the tool's own threads, no GL. The upscaling"
echo "job against ffmpeg's Lanczos, the plain path (\`--priority 0\`) against its bilinear scaling, each"
echo "with the same encoder; the ratios are to the ffmpeg row just above."
echo
echo "| command | wall s | x ffmpeg | CPU s | x ffmpeg | busy | peak MB | x ffmpeg | load |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
row lanczos '`ffmpeg -vf scale=1920:1080:flags=lanczos`' lanczos
row cpu_up '`velmo-upscale --backend cpu` (upscaling)' lanczos
row ffmpeg '`ffmpeg -vf scale=1920:1080:flags=bilinear`'
row cpu_plain '`velmo-upscale --backend cpu --priority 0`' ffmpeg
echo
echo "Where the cores are busy, wall time follows CPU time. The encoder's share is the same for both"
echo "tools: what differs is the CPU time of the rest, measured by writing raw Y4M instead."
echo
echo "| job | its CPU s without encoder | ffmpeg's | difference | encoder alone | (own + encoder) / ffmpeg's |"
echo "|---|---:|---:|---:|---:|---:|"
for pair in "cpu_up_raw lanczos_raw upscaling" "cpu_plain_raw bilinear_raw plain"; do
  read -r own theirs name <<<"$pair"
  awk -v n="$name" -v a="$(field "$own" 2)" -v b="$(field "$theirs" 2)" -v e="$(field encode 2)" \
    'BEGIN {printf "| %s | %.2f | %.2f | %+.2f | %.2f | %.2fx |\n", n, a, b, a - b, e, (a + e) / (b + e)}'
done
echo
fi
if has_backend gpu; then
echo "**The GPU backend**, \`velmo-upscale --backend gpu\`: velmo_process on the machine's OpenGL ES driver."
echo
echo "| command | wall s | x ffmpeg | CPU s | x ffmpeg | busy | peak MB | x ffmpeg | load |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
row ffmpeg '`ffmpeg -vf scale=1920:1080:flags=bilinear`'
row plain_serial '`velmo-upscale --backend gpu --priority 0`, serial'
row plain '`velmo-upscale --backend gpu --priority 0`'
row up_serial '`velmo-upscale --backend gpu` (upscaling), serial'
row up '`velmo-upscale --backend gpu` (upscaling)'
echo
echo "Each stage alone, and the shortest wall time the cores allow: the CPU time of the job without"
echo "its encoder (written as raw Y4M) plus that of the encoder alone, spread over all $cores cores."
echo
echo "| stage | wall s | CPU s | frames per second | load |"
echo "|---|---:|---:|---:|---:|"
stage decode 'decode alone (`ffmpeg -an -f null`)'
printf '| velmo alone (`velmo_frame_bench` VelmoUpscale, %s ms per frame) | %s | | %s | |\n' "$velmo_ms" \
  "$(awk -v ms="$velmo_ms" -v n="$frames" 'BEGIN {printf "%.2f", ms * n / 1000}')" \
  "$(awk -v ms="$velmo_ms" 'BEGIN {printf "%.1f", 1000 / ms}')"
stage encode 'encode alone (libx264 from raw 1080p frames)'
stage plain_raw '`velmo-upscale --backend gpu --priority 0` without encoder (to Y4M)'
stage up_raw '`velmo-upscale --backend gpu` (upscaling) without encoder (to Y4M)'
stage up_serial 'whole upscaling job, serial'
stage up 'whole upscaling job, overlapped'
echo
slowest=$(awk -v d="$(fps "$(field decode 1)")" -v e="$(fps "$(field encode 1)")" -v ms="$velmo_ms" \
  'BEGIN {v = 1000 / ms; m = d < e ? d : e; printf "%.2f", m < v ? m : v}')
echo "The overlapped upscaling job runs at $(ratio "$(fps "$(field up 1)")" "$slowest") the frame rate of its slowest stage alone."
echo
echo "| path | shortest wall s the cores allow | job's wall s | job / shortest |"
echo "|---|---:|---:|---:|"
for path in plain up; do
  floor=$(floor_of "${path}_raw")
  printf '| %s | %s | %s | %s |\n' "$([[ $path == plain ]] && echo 'plain (`--priority 0`)' || echo upscaling)" \
    "$floor" "$(field "$path" 1)" "$(ratio "$(field "$path" 1)" "$floor")"
done
echo
echo "Where \"busy\" is close to 100 %, the job is bound by CPU time: overlapping its stages cannot take it"
echo "below the shortest time above. On llvmpipe velmo's drawing is CPU time as well, so with every"
echo "stage sharing the same cores the upscaling job cannot reach the frame rate velmo has alone."
fi
