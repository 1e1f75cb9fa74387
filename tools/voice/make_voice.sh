#!/bin/sh
# Speaks a voice set: for each "name<TAB>words" line of LIST (lines starting
# with # skipped) writes OUTDIR/name.ogg (espeak-ng, then oggenc); words
# "@silence MS" give MS milliseconds of silence instead.
#   make_voice.sh LIST OUTDIR [VOICE]
set -eu
list=$1
out=$2
voice=${3:-en}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/set"
tab=$(printf '\t')
while IFS="$tab" read -r name words; do
    case "$name" in ''|'#'*) continue ;; esac
    case "$name" in *[!A-Za-z0-9_]*) echo "make_voice: bad prompt name '$name'" >&2; exit 1 ;; esac
    case "$words" in
    @silence\ *)
        # "@silence MS": MS milliseconds of silence (22050 Hz, 16-bit mono).
        ms=${words#@silence }
        case "$ms" in ''|*[!0-9]*) echo "make_voice: bad silence '$words'" >&2; exit 1 ;; esac
        head -c $((ms * 441 / 10 * 2)) /dev/zero |
            oggenc -Q --serial 1 -r -B 16 -C 1 -R 22050 -o "$tmp/set/$name.ogg" -
        ;;
    *)
        espeak-ng -v "$voice" -s 150 -w "$tmp/$name.wav" "$words"
        oggenc -Q --serial 1 -o "$tmp/set/$name.ogg" "$tmp/$name.wav"
        ;;
    esac
done < "$list"
rm -rf "$out"
mkdir -p "$(dirname "$out")"
mv "$tmp/set" "$out"
