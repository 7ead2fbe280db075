#!/usr/bin/env bash
# Renders the movie in chunks of video time with GNU parallel, here or spread over other machines
# through ssh, and joins them with ffmpeg's concat demuxer without re-encoding the video. The chunks
# have no sound; the music is added once, at the join (AAC's priming samples would click at every
# seam of per-chunk audio). A chunk's frames equal those of a render over the whole, so the joined
# video is the movie tool's own.
#
# usage: scripts/movie-parallel.sh [--chunks N] [--jobs N] [--sshloginfile FILE] [--out FILE]
#                                  [--fps N] [--size WxH] [--credits S]
#   --chunks N           pieces of the video (default: 2 per job slot, at least 4)
#   --jobs N             chunks at once per machine (default 1: one render fills this machine's cores)
#   --sshloginfile FILE  GNU parallel's list of machines (one "user@host" a line, ":" for this one);
#                        each must have this repository built at the same path (scripts/setup.sh)
#   --out FILE           default build/verdance.mp4
# Run from anywhere; works in the repository root.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
cd "$root"

chunks="" jobs=1 sshloginfile="" out="build/verdance.mp4" fps=30 credits=8 size=()
die() { echo "ERROR: $*"; exit 2; }
while (($#)); do
  case "$1" in
    --chunks) chunks="${2:?}"; shift 2 ;;
    --jobs) jobs="${2:?}"; shift 2 ;;
    --sshloginfile) sshloginfile="${2:?}"; shift 2 ;;
    --out) out="${2:?}"; shift 2 ;;
    --fps) fps="${2:?}"; shift 2 ;;
    --credits) credits="${2:?}"; shift 2 ;;
    --size) size=(--size "${2:?}"); shift 2 ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option '$1' (see --help)" ;;
  esac
done
command -v parallel >/dev/null || die "GNU parallel not found (scripts/setup.sh installs it)"
command -v ffmpeg >/dev/null || die "ffmpeg not found (scripts/setup.sh installs it)"
movie="$build/tools/movie/movie"
[ -x "$movie" ] || die "'$movie' is missing: build first (scripts/setup.sh)"
[[ "$fps" =~ ^[0-9]+$ ]] && ((fps > 0)) || die "--fps '$fps' is not a whole number"
[[ "$credits" =~ ^[0-9]+([.][0-9]+)?$ ]] || die "--credits '$credits' is not a number of seconds"
[[ "$jobs" =~ ^[0-9]+$ ]] && ((jobs > 0)) || die "--jobs '$jobs' is not a whole number"
if [ -z "$chunks" ]; then chunks=$((2 * jobs)); ((chunks >= 4)) || chunks=4; fi
[[ "$chunks" =~ ^[0-9]+$ ]] && ((chunks > 0)) || die "--chunks '$chunks' is not a whole number"

# The whole movie's frames (11 s of intro, 165 s of play, the credits), split on frame boundaries;
# a boundary is passed as seconds precise enough to name its frame.
frames=$(awk -v f="$fps" -v c="$credits" 'BEGIN { x = (176 + c) * f; n = int(x); if (n < x - 1e-6) n++; print n }')
((chunks <= frames)) || chunks=$frames
work="build/movie-chunks-$$"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
ranges="$work/ranges"
for ((i = 0; i < chunks; i++)); do
  awk -v i="$i" -v n="$chunks" -v t="$frames" -v f="$fps" \
    'BEGIN { a = int(i * t / n); b = int((i + 1) * t / n); printf "%03d %.9f %.9f\n", i, a / f, b / f }'
done >"$ranges"

remote=()
[ -n "$sshloginfile" ] && remote=(--sshloginfile "$sshloginfile" --workdir "$root"
                                  --return "$work/chunk_{1}.mp4" --cleanup)
echo "movie-parallel: $frames frames in $chunks chunks, $jobs at a time per machine${sshloginfile:+ (machines: $sshloginfile)}"
parallel --jobs "$jobs" --colsep ' ' --halt now,fail=1 --line-buffer --tagstring 'chunk {1}' "${remote[@]}" \
  "'$movie' --no-music --fps $fps --credits $credits ${size[*]} --from {2} --to {3} --out $work/chunk_{1}.mp4" \
  :::: "$ranges"

list="$work/list.txt"
for f in "$work"/chunk_*.mp4; do echo "file '$(basename "$f")'"; done >"$list"
partial="${out%.*}.part.${out##*.}"
mkdir -p "$(dirname "$out")"
duration=$(awk -v t="$frames" -v f="$fps" 'BEGIN { printf "%.9f", t / f }')
# The music starts with the intro's first frame (video time 0), at the demo's volume.
if ! ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i "$list" -t "$duration" -i assets/media/music.mp3 \
    -map 0:v:0 -map 1:a:0 -c:v copy -af volume=0.8 -c:a aac -b:a 192k -movflags +faststart "$partial"; then
  rm -f "$partial"
  echo "ERROR: ffmpeg could not join the chunks"
  exit 1
fi
mv "$partial" "$out"
echo "wrote $out ($frames frames, $(du -h "$out" | cut -f1))"
