#!/usr/bin/env bash
# Regenerates assets/pictures/: the mascot, the keyboard's key pictures and
# the program icon, each at its designed size and at twice that size
# (name@2x.ext) for screens of twice the pixel density; and the icon's larger
# sizes for desktop menus in assets/icons/.
#
# Needs imagemagick and librsvg2-bin (tools/asset-packages.txt; tools/setup.sh tools/asset-packages.txt installs them). It calls
# /usr/bin/convert by its full path because another convert may come first
# on PATH. Metadata is stripped so a re-run gives identical bytes.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$here/../assets/pictures
convert=${CONVERT:-/usr/bin/convert}
mkdir -p "$out"

# The window shows the keys as one octave:
#   lower parts  y=112 h=42 w=23 at x 248 C, 272 D, 296 E, 320 F, 344 G, 368 A, 392 B
#   black keys   y=32  h=80 w=15 at x 264 C#, 288 D#, 336 F#, 360 G#, 384 A#
#   upper strips y=32  h=82 at x 248 w14 C, 280 w7 D, 304 w15 E, 320 w14 F,
#                              352 w7 G, 376 w7 A, 400 w15 B
# So in a lower part's own columns, a black key sits over 16..22 (C, F),
# over 0..6 and 16..22 (D, G, A) or over 0..6 (E, B); the upper strip covers
# 0..13, 8..14 or 8..22 and overlaps the lower part's top two rows. The top
# outline of a lower part runs between the black key's side and the strip's
# outline column, and the strip's last two rows repeat the lower part's first
# two, so the keyboard looks the same whichever of the two is drawn last.

black='#000000'
white='#ffffff'
shade='#d8d8d8'       # inside the right edge: light comes from the left
edge='#ececec'        # under the top edge of a strip, and the lip's top
black_key_lip='#404a5c'

# Each picture is drawn as filled rectangles, in order, over white and without
# antialiasing, so every pixel is exactly one of the colours above. The
# rectangles are given in the designed pixels; at scale 2 each of those is
# drawn as two by two, so the outlines keep their weight and the overlaps
# described above still line up.
scale=1
suffix=
draw=()
rect() {
    local s=$scale
    draw+=(-fill "$1" -draw "rectangle $(($2 * s)),$(($3 * s)) $(($4 * s + s - 1)),$(($5 * s + s - 1))")
}

# picture FILE WIDTH HEIGHT COLOURS: writes what rect() drew since the last
# picture, as FILE with the scale's suffix before the extension. GIF colour
# tables come in powers of two, so a picture with exactly COLOURS colours
# gets a table of exactly that size; checked, not assumed.
picture() {
    local file=${1%.*}$suffix.${1##*.} width=$(($2 * scale)) height=$(($3 * scale)) colours=$4
    "$convert" -size "${width}x${height}" "xc:$white" +antialias "${draw[@]}" \
        +dither -colors "$colours" -strip "$out/$file"
    draw=()
    local got
    got=$("$convert" "$out/$file" -format '%k' info:)
    [ "$got" = "$colours" ] || { echo "make-pictures: $file has $got colours, not $colours" >&2; exit 1; }
}

# lower SHADE-FROM COLOURS: the lower part of a white key, 23x42, outlined
# left, right and below; the caller adds the top outline. Its lip is a grey
# band above the bottom edge; the 8-colour one (D, G, A) has room for a
# softer gradient than the 4-colour ones, ending in the same grey.
lower() {
    rect "$shade" 21 "$1" 21 36
    if [ "$2" = 8 ]; then
        rect '#f8f8f8' 1 35 21 35
        rect '#f2f2f2' 1 36 21 36
        rect '#ececec' 1 37 21 37
        rect '#e6e6e6' 1 38 21 38
        rect '#e0e0e0' 1 39 21 39
        rect "$shade" 1 40 21 40
    else
        rect "$edge" 1 37 21 38
        rect "$shade" 1 39 21 40
    fi
    rect $black 0 0 0 41
    rect $black 22 0 22 41
    rect $black 0 41 22 41
}

# upper WIDTH: an upper strip, 82 high, open at the bottom. The caller then
# makes rows 80 and 81 match the lower part's rows 0 and 1 beneath them.
upper() {
    local r=$(($1 - 1))
    rect "$edge" 1 1 $((r - 1)) 1
    rect "$shade" $((r - 1)) 1 $((r - 1)) 79
    rect $black 0 0 $r 0
    rect $black 0 0 0 80
    rect $black $r 0 $r 80
}

# keys: every key picture, at the scale set.
keys() {
    # C, F: strip over 0..13, black key over 16..22.
    lower 1 4
    rect $black 13 0 22 0
    picture white-lower-cf.gif 23 42 4
    # D, G, A: black keys over 0..6 and 16..22, strip over 8..14.
    lower 1 8
    rect $black 0 0 8 0
    rect $black 14 0 22 0
    picture white-lower-dga.gif 23 42 8
    # E, B: black key over 0..6, strip over 8..22, whose shaded column carries on.
    lower 0 4
    rect $black 0 0 8 0
    picture white-lower-eb.gif 23 42 4

    # C, F: the left edge goes on down; the right edge meets the top outline.
    upper 14
    rect $black 0 81 0 81
    picture white-upper-cf.gif 14 82 4
    # D, G, A: both edges stop at the lower part's top outline.
    upper 7
    picture white-upper-dga.gif 7 82 4
    # E, B: the right edge and its shade go on down; the left edge meets the
    # top outline.
    upper 15
    rect "$shade" 13 80 13 81
    rect $black 14 81 14 81
    picture white-upper-eb.gif 15 82 4

    rect $black 0 0 14 78
    rect "$black_key_lip" 0 79 14 79
    picture black.gif 15 80 2
}
for scale in 1 2; do
    suffix=$([ $scale = 1 ] || echo "@${scale}x")
    keys
done

# The mascot. Only its top-left 229 x 285 px are shown; see character.svg.
"$convert" "$here/character.svg" -strip -quality 90 -sampling-factor 2x2 "$out/character.jpg"
rsvg-convert -w 600 -h 600 "$here/character.svg" |
    "$convert" png:- -strip -quality 90 -sampling-factor 2x2 "$out/character@2x.jpg"

# The icon: drawn with antialiasing, then reduced to a 16-colour palette.
"$convert" "$here/icon.svg" +dither -colors 16 -strip \
    -define png:color-type=3 -define png:bit-depth=4 -define png:exclude-chunks=date,time \
    "PNG8:$out/icon.png"
rsvg-convert -w 64 -h 64 "$here/icon.svg" |
    "$convert" png:- +dither -colors 16 -strip \
        -define png:color-type=3 -define png:bit-depth=4 -define png:exclude-chunks=date,time \
        "PNG8:$out/icon@2x.png"

# The desktop menu's larger icons, drawn from the same picture at their size
# rather than enlarged from the 32 px one, and with its transparent corners.
icons=$here/../assets/icons
mkdir -p "$icons"
for size in 48 64; do
    rsvg-convert -w $size -h $size "$here/icon.svg" |
        "$convert" png:- -strip -define png:exclude-chunks=date,time "PNG32:$icons/icon-$size.png"
done

echo "make-pictures: wrote $(cd "$out" && echo *)"
echo "make-pictures: wrote $(cd "$icons" && echo *) in assets/icons"
