#!/usr/bin/env bash
# Regenerates assets/mi/*.wav: the twelve piano notes C4..B4, rendered from
# Debian's General MIDI soundfont and retuned to equal temperament (A4 = 440).
#
# Needs fluidsynth, fluid-soundfont-gm, sox and python3 (tools/asset-packages.txt; tools/setup.sh tools/asset-packages.txt installs them).
# Every step is deterministic -- no reverb or chorus, float intermediates, no
# dither, no comments in the headers -- so a re-run gives identical bytes and
# git only sees a change when something really changed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$here/../assets/mi
soundfont=${SOUNDFONT:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
python=${PYTHON:-/usr/bin/python3}
rate=48000
length=72000            # samples: 1.5 s
fade=0.15               # seconds; the piano is still ringing at 1.5 s

[ -r "$soundfont" ] || { echo "make-notes: no soundfont at $soundfont (apt install fluid-soundfont-gm)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Mono float samples on stdout, for notes.py to analyse.
samples() { sox -V1 -D "$1" -t raw -e floating-point -b 32 -c 1 - remix -; }

# name MIDI-key: the names the quiz looks the files up by.
while read -r name key; do
    "$python" "$here/notes.py" midi "$key" "$work/$name.mid"
    fluidsynth -q -ni -R 0 -C 0 -g 0.5 -r $rate -O float -T wav \
        -F "$work/$name.raw.wav" "$soundfont" "$work/$name.mid" >/dev/null

    read -r onset detune < <(samples "$work/$name.raw.wav" | "$python" "$here/notes.py" analyse "$key")
    # The soundfont's samples are a cent or so off; speed shifts the pitch
    # (and the length, negligibly) by exactly the measured amount.
    correction=$(awk -v d="$detune" 'BEGIN { printf "%.4f", -d }')

    sox -V1 -D "$work/$name.raw.wav" --comment "" -r $rate -c 1 -b 16 -e signed-integer "$out/$name.wav" \
        remix - trim "${onset}s" speed "${correction}c" rate -v $rate \
        trim 0 "${length}s" fade q 0 "${length}s" $fade norm -3

    read -r _ after < <(samples "$out/$name.wav" | "$python" "$here/notes.py" analyse "$key")
    printf '%-4s key %d: soundfont %+.2f cents, now %+.2f cents\n' "$name" "$key" "$detune" "$after"
    awk -v a="$after" 'BEGIN { exit !(a < 0.5 && a > -0.5) }' ||
        { echo "make-notes: $name.wav is still $after cents off" >&2; exit 1; }
done <<'EOF'
do  60
dos 61
re  62
res 63
mi  64
fa  65
fas 66
so  67
sos 68
ra  69
ras 70
si  71
EOF
