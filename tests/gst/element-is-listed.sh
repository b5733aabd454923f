#!/bin/sh
# gst-inspect-1.0 lists velmoupscale with its GL memory pads (progressive only) and every property with
# its blurb, level and priority with the names of their values; the origin is a URL or GStreamer's
# wording for none, and stretch is described as never.
set -u
out=$(gst-inspect-1.0 velmoupscale) || { echo "gst-inspect-1.0 does not find velmoupscale"; exit 1; }
for expected in "SINK template: 'sink'" "SRC template: 'src'" "video/x-raw(memory:GLMemory)" "texture-target: 2D" \
    "scale               : Output size = input size x scale" "level               : Sharpening" \
    "sharpness           : Sharpening strength" "smooth              : Smooth skin tones" \
    "sigma-s             : How far" "sigma-r             : How different" "priority            : When velmo upscales" \
    "edge-adaptive       : Weight the upscaling" "face-protection     : Sharpen skin tones less" \
    "config-dir          : Folder where velmo writes configure.ini" "interlace-mode: progressive" \
    "(1): strong" "(1): large-frames" "(3): stretch          - A plain stretch to the output size, never upscaled"; do
  printf '%s\n' "$out" | grep -qF -- "$expected" || { echo "missing from gst-inspect-1.0: $expected"; exit 1; }
done
origin=$(printf '%s\n' "$out" | sed -n 's/^ *Origin URL *//p')
case "$origin" in
  *://*|"Unknown package origin") ;;
  *) echo "Origin URL is neither a URL nor GStreamer's unknown origin: '$origin'"; exit 1 ;;
esac
