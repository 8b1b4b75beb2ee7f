#!/bin/sh
# Draws the window's background picture and the program icon from nothing but
# ImageMagick primitives, so both are our own and can be made again:
#   background.jpg  380x250 baseline JFIF, a dim green overgrown hall opening
#                   onto a bright sky (about 16 KB)
#   quoril.ico      one 32x32 image, 32 bits per pixel
# Run from anywhere: sh resources/make-art.sh
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
W=380 H=250

# Sky seen through the opening: bright at the top, hazy towards the horizon,
# with a far green hill line.
convert -size ${W}x${H} gradient:'#f4fbff'-'#bfe3ee' \
  -fill '#8fbf8a' -draw "path 'M 0,190 Q 90,160 190,178 T 380,170 L 380,250 L 0,250 Z'" \
  -fill '#6f9f6a' -draw "path 'M 0,205 Q 120,185 230,200 T 380,196 L 380,250 L 0,250 Z'" \
  "$tmp/sky.png"

# The hall: dark green stone, lighter towards the opening.
convert -size ${W}x${H} gradient:'#2a4427'-'#101f0f' \
  \( -seed 3 -size ${W}x${H} xc:gray50 +noise Gaussian -colorspace Gray -blur 0x0.7 \) \
  -compose overlay -composite "$tmp/hall.png"
convert -size ${W}x${H} radial-gradient:'#5e8a55'-none \
  -channel A -evaluate multiply 0.55 +channel "$tmp/glow.png"
convert "$tmp/hall.png" "$tmp/glow.png" -compose over -composite "$tmp/hall.png"

# Opening: an arch in the middle wall; its mask lets the sky through.
convert -size ${W}x${H} xc:black -fill white \
  -draw "rectangle 128,78 252,214" -draw "ellipse 190,78 62,54 180,360" \
  -blur 0x1 "$tmp/arch.png"
convert "$tmp/hall.png" "$tmp/sky.png" "$tmp/arch.png" -composite "$tmp/scene.png"

# Pillars, their lit edges, and the floor running towards the opening.
convert "$tmp/scene.png" \
  -fill '#0b160a' -draw "rectangle 18,0 62,250" -draw "rectangle 318,0 362,250" \
  -fill '#2f4d2b' -draw "rectangle 58,0 64,250" -draw "rectangle 316,0 322,250" \
  -fill '#1a2c18' -draw "polygon 0,250 128,214 252,214 380,250" \
  -fill '#3f6238' -draw "polygon 150,214 230,214 262,250 118,250" \
  "$tmp/scene.png"

# Overgrowth: seeded plasma cut into leafy blobs, heavy near the top and on
# the pillars, then tinted in a few greens.
convert -seed 7 -size ${W}x${H} plasma:fractal -colorspace Gray \
  -blur 0x1.2 -threshold 50% "$tmp/leaves.png"
convert -size ${W}x${H} gradient:white-black -sigmoidal-contrast 6,45% \
  \( -size ${W}x${H} xc:black -fill white \
     -draw "rectangle 0,0 90,250" -draw "rectangle 290,0 380,250" -blur 0x14 \) \
  -compose lighten -composite "$tmp/where.png"
convert "$tmp/leaves.png" "$tmp/where.png" -compose multiply -composite \
  "$tmp/leafmask.png"
convert -seed 11 -size ${W}x${H} plasma:'#2e6a2a'-'#6f9e45' -modulate 100,100,100 -fill '#3d7a33' -colorize 35% -blur 0x0.6 \
  "$tmp/leafcolour.png"
convert "$tmp/scene.png" "$tmp/leafcolour.png" "$tmp/leafmask.png" -composite \
  "$tmp/scene.png"

# Hanging vines from the lintel.
convert "$tmp/scene.png" -stroke '#3c7a34' -strokewidth 2 -fill none \
  -draw "bezier 140,0 146,40 136,70 142,110" \
  -draw "bezier 176,0 170,30 180,52 174,84" \
  -draw "bezier 214,0 220,36 208,60 216,96" \
  -draw "bezier 244,0 238,28 248,54 240,80" \
  "$tmp/scene.png"

# Dim it, soften it, darken the corners.
convert "$tmp/scene.png" -modulate 82,90,100 -blur 0x0.5 \
  \( -size ${W}x${H} radial-gradient:white-'#303030' \) -compose multiply -composite \
  "$tmp/scene.png"

# Baseline JFIF, 4:2:0, no metadata; pick the quality that lands near 16 KB.
best=60
for q in 97 96 95 94 93 92 90 88 86 84 82 80 78 76 74 72 70 68 66 64 62 60; do
  convert "$tmp/scene.png" -strip -interlace none -sampling-factor 2x2 \
    -colorspace sRGB -type TrueColor -quality $q "$tmp/try.jpg"
  if [ "$(stat -c %s "$tmp/try.jpg")" -le 16500 ]; then best=$q; break; fi
done
convert "$tmp/scene.png" -strip -interlace none -sampling-factor 2x2 \
  -colorspace sRGB -type TrueColor -quality $best background.jpg

# Icon: a green rounded tile with a white link of two rings.
convert -size 32x32 xc:none \
  -fill '#2e7d32' -draw "roundrectangle 1,1 30,30 7,7" \
  -fill '#66bb6a' -draw "roundrectangle 3,3 28,15 6,6" \
  -fill none -stroke white -strokewidth 2.6 \
  -draw "translate 16,16 rotate -45 roundrectangle -12,-4.5 2,4.5 4.5,4.5" \
  -draw "translate 16,16 rotate -45 roundrectangle -2,-4.5 12,4.5 4.5,4.5" \
  -define bmp:format=bmp3 -type TrueColorAlpha PNG32:"$tmp/icon.png"
convert "$tmp/icon.png" -define icon:auto-resize=32 -type TrueColorAlpha quoril.ico
