#!/usr/bin/env bash
# Renders the movie in chunks of video time with GNU parallel, here or spread over other machines
# through ssh, and joins them with ffmpeg's concat demuxer without re-encoding the video. The chunks
# have no sound; the music is added once, at the join (AAC's priming samples would click at every
# seam of per-chunk audio). A chunk's frames equal those of a render over the whole, so the joined
# video is the movie tool's own.
#
# usage: scripts/movie-parallel.sh [--chunks N] [--jobs N] [--sshloginfile FILE] [--ssh CMD]
#                                  [--retries N] [--out FILE] [--fps N] [--size WxH] [--credits S]
#                                  [--from S] [--to S]
#   --chunks N           pieces of the video (default: 2 per job slot, at least 4)
#   --jobs N             chunks at once per machine (default 1: one render fills a machine's cores)
#   --sshloginfile FILE  machines, one "[user@]host" a line (GNU parallel's format; ":" is this one);
#                        each needs this repository built at the same path, ffmpeg, rsync where its
#                        disk is not this one's, and passwordless ssh (see README, The movie)
#   --ssh CMD            the ssh command with its options (default: ssh -o BatchMode=yes -o ConnectTimeout=10)
#   --retries N          other machines a failed chunk moves to (default 2)
#   --out FILE           default build/verdance.mp4
#   --fps, --size, --credits, --from, --to   as for the movie tool (a stretch of video seconds)
# Machines are checked first and left out, with their names, where something is missing. Finished
# chunks are kept in a work folder named after the output and its settings (beside the output) until
# the joined file is verified: running the same command again renders only the chunks still missing.
# Progress: one line per finished chunk; each chunk's whole output is in its log in the work folder.
# Run from anywhere; works in the repository root.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
self="$root/scripts/$(basename "${BASH_SOURCE[0]}")"
build="${VERDANCE_BUILD_DIR:-$root/build}"
movie="$build/tools/movie/movie"
cd "$root"

die() { echo "ERROR: $*" >&2; exit 2; }
say() { echo "movie-parallel: $*" >&2; }

# How many video frames a file holds (packets of its first video stream), and its size; empty when
# it cannot be read.
probe() {
  ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=nb_read_packets,width,height -of csv=p=0 "$1" 2>/dev/null | head -n 1
}

# Whether a chunk file holds `frames` video frames (and the asked size, if one was given).
whole() {
  local got
  got=$(probe "$1")
  [ -n "$got" ] && [ "${got##*,}" = "$2" ] && { [ -z "$MP_PROBE_SIZE" ] || [ "${got%,*}" = "$MP_PROBE_SIZE" ]; }
}

# The ssh command as words, followed by the machine and a remote command.
remote() {
  local login="$1"; shift
  # shellcheck disable=SC2086  # the command line's own words
  $MP_SSH "$login" "$@"
}

# --- One chunk, run by GNU parallel in its own process: render on the slot's machine, bring the
# file here, check it; on failure the next machine takes it, up to --retries times.
render_chunk() {
  local slot="$1" index="$2" from="$3" to="$4" frames="$5"
  local work="$MP_WORK" name log
  name=$(printf 'chunk_%03d' "$index")
  log="$work/$name.log"
  mapfile -t machines <"$work/machines"
  local count=${#machines[@]} attempt=0 tried="" reason=""
  local start=$(( (slot - 1) % count ))
  for ((attempt = 0; attempt <= MP_RETRIES && attempt < count; attempt++)); do
    local entry="${machines[(start + attempt) % count]}"
    local kind="${entry%% *}" login="${entry#* }"
    if grep -qxF "$login" "$work/render/unreachable" 2>/dev/null; then continue; fi
    tried+="${tried:+, }$login"
    # Each machine writes a file of its own name: a render left running on a shared disk by a lost
    # connection never writes over another machine's.
    local file="$work/render/$name.$(( (start + attempt) % count )).mp4"
    local args=(--no-music --fps "$MP_FPS" --credits "$MP_CREDITS" "${MP_SIZE_ARGS[@]}" --from "$from" --to "$to"
                --out "$file")
    echo "== $(date '+%F %T') chunk $index (video $from to $to s) on $login" >>"$log"
    local status=0
    if [ "$kind" = local ]; then
      "$movie" "${args[@]}" >>"$log" 2>&1 </dev/null || status=$?
    else
      echo "$login $file" >"$work/render/$name.running"
      # The remote shell leaves its process id for a stop to kill, then becomes the render.
      remote "$login" "cd $(printf %q "$root") && mkdir -p $(printf %q "$work/render") &&" \
        "echo \$\$ > $(printf %q "$file.pid") && exec $(printf '%q ' "$movie" "${args[@]}")" \
        >>"$log" 2>&1 </dev/null || status=$?
    fi
    if ((status == 0)) && [ "$kind" = separate ]; then
      # Copied next to the final name, checked, then renamed: the chunk is whole here before the
      # machine's copy goes.
      if ! rsync -e "$MP_SSH" --timeout=60 -q "$login:$file" "$file.copy" >>"$log" 2>&1; then
        status=1 reason="could not copy it back from $login (rsync; see $log)"
        rm -f "$file.copy"
      fi
    elif ((status == 0)); then
      mv -f "$file" "$file.copy" 2>>"$log" || { status=1 reason="$file is missing after the render on $login"; }
    elif ((status == 255)) && [ "$kind" != local ]; then
      reason="$login cannot be reached (ssh exit 255)"
      echo "$login" >>"$work/render/unreachable"
    else
      reason="the render failed on $login (exit $status; see $log)"
    fi
    if ((status == 0)); then
      if whole "$file.copy" "$frames"; then
        mv -f "$file.copy" "$work/$name.mp4"
        echo "$login" >"$work/$name.host"
        [ "$kind" = separate ] && remote "$login" "rm -f $(printf %q "$file") $(printf %q "$file.pid")" >>"$log" 2>&1 </dev/null
        rm -f "$file.pid" "$work/render/$name.running"
        progress "$index" "$login"
        return 0
      fi
      reason="the file from $login is not $frames whole frames${MP_PROBE_SIZE:+ of $MP_PROBE_SIZE} ('$(probe "$file.copy")'; see $log)"
      rm -f "$file.copy"
    fi
    # Kept until the machine's copy is gone: a stop in between still finds and removes it.
    rm -f "$work/render/$name.running"
    echo "== failed: $reason" >>"$log"
    echo "$tried" >"$work/render/$name.tried"
    if ((attempt < MP_RETRIES && attempt + 1 < count)); then
      say "chunk $index: $reason; moving it to another machine"
    fi
  done
  echo "${tried:-no reachable machine}" >"$work/render/$name.tried"
  echo "ERROR: chunk $index failed: ${reason:-no machine left to render it} (tried: ${tried:-none})" >&2
  return 1
}

# One line per finished chunk: chunks and frames done, and the time left at this run's pace.
progress() {
  local index="$1" login="$2"
  (
    flock 9
    local finished=0 framesDone=0 total=0 i a b
    while read -r i a b frames; do
      total=$((total + frames))
      if [ -f "$MP_WORK/$(printf 'chunk_%03d' "$i").mp4" ]; then finished=$((finished + 1)); framesDone=$((framesDone + frames)); fi
    done <"$MP_WORK/ranges"
    local elapsed=$(( $(date +%s) - MP_STARTED )) eta="?"
    local thisRun=$((framesDone - MP_FRAMES_BEFORE))
    if ((thisRun > 0)); then
      local left=$(( elapsed * (total - framesDone) / thisRun ))
      eta=$(printf '%d:%02d' $((left / 60)) $((left % 60)))
    fi
    echo "movie-parallel: $finished/$MP_CHUNKS chunks, $framesDone/$total frames, ETA $eta (chunk $index from $login)" >&2
  ) 9>"$MP_WORK/progress.lock"
}

if [ "${1:-}" = --render-chunk ]; then
  shift
  read -r -a MP_SIZE_ARGS <<<"${MP_SIZE:-}"
  render_chunk "$@"
  exit $?
fi

# --- Options, all checked here before anything is sent to a machine.
chunks="" jobs=1 sshloginfile="" out="build/verdance.mp4" fps=30 credits=8 size="" from=0 to="" retries=2
ssh_command="ssh -o BatchMode=yes -o ConnectTimeout=10"
while (($#)); do
  case "$1" in
    --chunks|--jobs|--sshloginfile|--ssh|--retries|--out|--fps|--credits|--size|--from|--to)
      (($# >= 2)) || die "option $1 needs a value (see --help)" ;;&
    --chunks) chunks="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --sshloginfile) sshloginfile="$2"; shift 2 ;;
    --ssh) ssh_command="$2"; shift 2 ;;
    --retries) retries="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --fps) fps="$2"; shift 2 ;;
    --credits) credits="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --from) from="$2"; shift 2 ;;
    --to) to="$2"; shift 2 ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option '$1' (see --help)" ;;
  esac
done
export MP_SSH="$ssh_command"
seconds_re='^[0-9]+([.][0-9]+)?$'
[[ "$fps" =~ ^[0-9]+$ ]] && ((fps >= 1 && fps <= 240)) || die "--fps '$fps' is not a whole number from 1 to 240"
[[ "$credits" =~ $seconds_re ]] || die "--credits '$credits' is not a number of seconds"
[[ "$from" =~ $seconds_re ]] || die "--from '$from' is not a number of seconds"
[ -z "$to" ] || [[ "$to" =~ $seconds_re ]] || die "--to '$to' is not a number of seconds"
[[ "$jobs" =~ ^[0-9]+$ ]] && ((jobs > 0)) || die "--jobs '$jobs' is not a whole number above 0"
[[ "$retries" =~ ^[0-9]+$ ]] || die "--retries '$retries' is not a whole number"
[ -z "$chunks" ] || { [[ "$chunks" =~ ^[0-9]+$ ]] && ((chunks > 0)); } || die "--chunks '$chunks' is not a whole number above 0"
if [ -n "$size" ]; then
  [[ "$size" =~ ^([0-9]+)x([0-9]+)$ ]] && w=$((10#${BASH_REMATCH[1]})) h=$((10#${BASH_REMATCH[2]})) &&
    ((w >= 16 && h >= 16 && w <= 8192 && h <= 8192 && w % 2 == 0 && h % 2 == 0)) ||
    die "--size '$size' is not WIDTHxHEIGHT with even sizes from 16 to 8192"
fi
[ -z "$sshloginfile" ] || [ -r "$sshloginfile" ] || die "--sshloginfile '$sshloginfile' cannot be read"
command -v parallel >/dev/null || die "GNU parallel not found (scripts/setup.sh installs it)"
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || die "ffmpeg or ffprobe not found (scripts/setup.sh installs them)"
[ -x "$movie" ] || die "'$movie' is missing: build first (scripts/setup.sh)"
[ -f assets/media/music.mp3 ] || die "the music 'assets/media/music.mp3' is missing: build first (scripts/setup.sh)"

# The frames of the stretch (the whole movie: 11 s of intro, 165 s of play, the credits), counted as
# the movie tool counts them: a time names the first frame at or after it.
read -r first end total < <(awk -v f="$fps" -v c="$credits" -v s="$from" -v e="$to" 'function frame(t) {
    x = t * f - 1e-6; n = int(x); if (n < x) n++; return n < 0 ? 0 : n }
  BEGIN { t = frame(176 + c); b = e == "" ? t : frame(e); if (b > t) b = t; print frame(s), b, t }')
((first < end)) || die "empty range: --from $from to ${to:-the end} holds no frame at $fps frames per second"
frames=$((end - first))

# --- The work folder: named after the output and everything that shapes a chunk (the movie program
# and the data it reads included), so the same command finds its finished chunks again and a changed
# one starts afresh.
out_dir="$(dirname "$out")"
mkdir -p "$out_dir" || die "cannot create the output folder '$out_dir'"
# The data as this machine has it: every file under assets/ by name, size and modification time
# (the shaders, the level, the textures, the lighting set), cheap to take however large the files are.
assets_fingerprint() { find assets -type f -printf '%P %s %T@\n' | LC_ALL=C sort | sha1sum | cut -c1-40; }
assets_at_start=$(assets_fingerprint)
key=$(printf '%s\n' "$fps" "$size" "$credits" "$first" "$end" "${chunks:-auto}" "$jobs" "$(sha1sum <"$movie")" \
      "$assets_at_start" | sha1sum | cut -c1-12)
work="$(cd "$out_dir" && pwd)/$(basename "${out%.*}").chunks-$key"
mkdir -p "$work/render" || die "cannot create the work folder '$work'"

# --- The machines: reachable, with the tools and the movie program at this path, and whether their
# disk is this one (a marker written here is seen there).
marker="$(date +%s%N)-$$-$RANDOM"
echo "$marker" >"$work/marker"
machines=()
logins=()
if [ -n "$sshloginfile" ]; then
  while read -r line; do
    line="${line%%#*}"; line="${line#"${line%%[![:space:]]*}"}"; line="${line%"${line##*[![:space:]]}"}"
    [ -n "$line" ] || continue
    line="${line#*[0-9]/}"  # GNU parallel's "N/host" (cores to use): here --jobs decides
    [[ "$line" != *" "* ]] || die "'$line' in $sshloginfile: one [user@]host a line; give ssh options with --ssh"
    logins+=("$line")
  done <"$sshloginfile"
  ((${#logins[@]} > 0)) || die "no machine in '$sshloginfile'"
else
  logins=(:)
fi
needs_rsync_here=0
for login in "${logins[@]}"; do
  if [ "$login" = : ]; then machines+=("local :"); continue; fi
  q_root=$(printf %q "$root") q_movie=$(printf %q "$movie") q_marker=$(printf %q "$work/marker")
  check=$(remote "$login" "cd $q_root 2>/dev/null || { echo 'missing: the folder $q_root'; exit 0; };
    missing=''; for p in ffmpeg rsync; do command -v \$p >/dev/null || missing=\"\$missing \$p\"; done
    $q_movie --help >/dev/null 2>&1 || missing=\"\$missing $q_movie (or it does not start)\"
    [ -f assets/media/music.mp3 ] || missing=\"\$missing the baked assets\"
    echo \"missing:\$missing\"; echo \"marker: \$(cat $q_marker 2>/dev/null)\"" </dev/null 2>&1) || {
    say "machine '$login' left out: ssh failed: $(echo "$check" | tail -n 1)"; continue; }
  missing=$(sed -n 's/^missing: *//p' <<<"$check")
  shared=0; grep -qxF "marker: $marker" <<<"$check" && shared=1
  # rsync copies chunks back from machines with a disk of their own; a shared disk needs no copy.
  ((shared)) && missing=$(sed 's/\( \|^\)rsync\b//' <<<"$missing" | sed 's/^ *//')
  if ! grep -q '^missing:' <<<"$check"; then
    say "machine '$login' left out: unexpected answer: $(echo "$check" | tail -n 1)"
  elif [ -n "$missing" ]; then
    say "machine '$login' left out: missing $missing"
  elif ((shared)); then
    machines+=("shared $login")
  else
    machines+=("separate $login"); needs_rsync_here=1
  fi
done
((${#machines[@]} > 0)) || { echo "ERROR: no machine can render (see the lines above)" >&2; exit 1; }
((needs_rsync_here == 0)) || command -v rsync >/dev/null ||
  { echo "ERROR: rsync not found here, and machines with disks of their own need it (scripts/setup.sh installs it)" >&2; exit 1; }
printf '%s\n' "${machines[@]}" >"$work/machines"
rm -f "$work/render/unreachable"

slots=$(( ${#machines[@]} * jobs ))
if [ -z "$chunks" ]; then chunks=$((2 * slots)); ((chunks >= 4)) || chunks=4; fi
((chunks <= frames)) || chunks=$frames

# --- Chunks: frame-exact stretches; the ones already here and whole are kept.
ranges="$work/ranges"
for ((i = 0; i < chunks; i++)); do
  awk -v i="$i" -v n="$chunks" -v s="$first" -v t="$frames" -v f="$fps" 'BEGIN {
    a = s + int(i * t / n); b = s + int((i + 1) * t / n); printf "%d %.9f %.9f %d\n", i, a / f, b / f, b - a }'
done >"$ranges"
export MP_PROBE_SIZE="${size:+${size/x/,}}"
# A split that differs from the last run's (another number of chunks or machines) cannot reuse its chunks.
if [ -f "$work/ranges.last" ] && ! cmp -s "$ranges" "$work/ranges.last"; then
  say "the chunks differ from the last run's: starting afresh"
  rm -f "$work"/chunk_*.mp4 "$work"/chunk_*.host
fi
cp "$ranges" "$work/ranges.last"
todo="$work/todo"
: >"$todo"
kept=0 frames_before=0
while read -r i a b n; do
  name=$(printf 'chunk_%03d' "$i")
  if [ -f "$work/$name.mp4" ] && whole "$work/$name.mp4" "$n"; then
    kept=$((kept + 1)) frames_before=$((frames_before + n))
  else
    rm -f "$work/$name.mp4" "$work/$name.host"
    echo "$i $a $b $n" >>"$todo"
  fi
done <"$ranges"

names=()
for m in "${machines[@]}"; do n="${m#* }"; names+=("${n/#:/this machine}"); done
say "$frames frames ($first to $((end - 1)) of the movie's $total) in $chunks chunks on ${#machines[@]} machine(s): ${names[*]}; work folder $work"
((kept == 0)) || say "resuming: $kept of $chunks chunks already rendered and checked"

# --- Render what is missing. Signals stop GNU parallel (it ends its jobs), then the renders still
# running on other machines, and keep every finished chunk.
stop() {
  local signal="$1"
  trap '' INT TERM
  if [ -n "${parallel_pid:-}" ]; then kill -TERM "$parallel_pid" 2>/dev/null || true; wait "$parallel_pid" 2>/dev/null || true; fi
  local running login file
  for running in "$work"/render/*.running; do
    [ -f "$running" ] || continue
    read -r login file <"$running"
    # The render answers TERM by removing its partial file; whatever is left goes too.
    remote "$login" "pid=\$(cat $(printf %q "$file.pid") 2>/dev/null) && kill -TERM \$pid 2>/dev/null &&
      for i in \$(seq 50); do kill -0 \$pid 2>/dev/null || break; sleep 0.2; done; kill -KILL \$pid 2>/dev/null;
      rm -f $(printf %q "${file%.mp4}").*" </dev/null >/dev/null 2>&1 || true
    rm -f "$running"
  done
  rm -f "$work"/render/*.mp4 "$work"/render/*.copy "$work"/render/*.pid
  local have
  have=$(find "$work" -maxdepth 1 -name 'chunk_*.mp4' | wc -l)
  echo "ERROR: stopped by SIG$signal: $have of $chunks chunks are kept in $work; run the same command again to render the rest" >&2
  [ "$signal" = INT ] && exit 130
  exit 143
}
trap 'stop INT' INT
trap 'stop TERM' TERM

MP_STARTED=$(date +%s)
if [ -s "$todo" ]; then
  export MP_WORK="$work" MP_FPS="$fps" MP_CREDITS="$credits" MP_SIZE="${size:+--size $size}" MP_RETRIES="$retries"
  export MP_CHUNKS="$chunks" MP_STARTED
  export MP_FRAMES_BEFORE="$frames_before"
  # A render answers TERM after its current frame: it gets time to remove its partial file.
  parallel -q --jobs "$slots" --colsep ' ' --line-buffer --termseq TERM,10000,KILL,25 \
    "$self" --render-chunk '{%}' '{1}' '{2}' '{3}' '{4}' :::: "$todo" &
  parallel_pid=$!
  wait "$parallel_pid" || true
  parallel_pid=""
fi

# --- Never join an incomplete set: every chunk here, with its frames.
missing=()
while read -r i a b n; do
  name=$(printf 'chunk_%03d' "$i")
  if [ ! -f "$work/$name.mp4" ]; then
    missing+=("chunk $i (video $a to $b s, tried on $(cat "$work/render/$name.tried" 2>/dev/null || echo 'no machine'), log $work/$name.log)")
  fi
done <"$ranges"
if ((${#missing[@]} > 0)); then
  have=$((chunks - ${#missing[@]}))
  echo "ERROR: ${#missing[@]} of $chunks chunks missing, nothing joined: $(printf '%s; ' "${missing[@]}")the $have finished chunks are kept in $work: run the same command again to render only the missing ones" >&2
  exit 1
fi

# A change of the data while the chunks were rendered (a rebuild, a checkout) would join pictures of
# two versions: the chunks stay for a look, and the next run starts afresh under the new data's key.
if [ "$(assets_fingerprint)" != "$assets_at_start" ]; then
  echo "ERROR: the files under assets/ changed while the chunks were rendered, nothing joined: the chunks would mix two versions of the data; run the command again to render them all from the data as it is now (this run's chunks are in $work)" >&2
  exit 1
fi

list="$work/list.txt"
while read -r i _; do printf "file '%s'\n" "$(printf 'chunk_%03d.mp4' "$i")"; done <"$ranges" >"$list"
partial="${out%.*}.part.${out##*.}"
[ "$partial" != "$out" ] || partial="$out.part"
duration=$(awk -v n="$frames" -v f="$fps" 'BEGIN { printf "%.9f", n / f }')
music_from=$(awk -v s="$first" -v f="$fps" 'BEGIN { printf "%.9f", s / f }')
# The music starts with the intro's first frame (video time 0), at the demo's volume; a stretch takes
# it from its own first frame's time on.
if ! join_errors=$(ffmpeg -hide_banner -nostdin -loglevel error -y -f concat -safe 0 -i "$list" \
    -ss "$music_from" -t "$duration" -i assets/media/music.mp3 -map 0:v:0 -map 1:a:0 -c:v copy -af volume=0.8 \
    -c:a aac -b:a 192k -movflags +faststart -f mp4 "$partial" 2>&1) || [ -n "$join_errors" ]; then
  rm -f "$partial"
  echo "ERROR: ffmpeg could not join the chunks into '$partial': $(echo "$join_errors" | head -n 3 | tr '\n' ' ')(chunks kept in $work)" >&2
  exit 1
fi
# The joined file's own frame count and length, not the ones asked for.
got=$(probe "$partial")
audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=start_time,duration -of csv=p=0 "$partial" 2>/dev/null | head -n 1)
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$partial" 2>/dev/null)
if [ "${got##*,}" != "$frames" ] || [ -z "$audio" ] ||
   ! awk -v l="${length:-0}" -v d="$duration" -v a="${audio%%,*}" 'BEGIN { exit !(l - d < 0.2 && d - l < 0.2 && a + 0 < 0.05) }'; then
  rm -f "$partial"
  echo "ERROR: the joined file '$partial' holds ${got##*,} frames, ${length:-no} s and audio '${audio:-none}' against $frames frames and $duration s; removed (chunks kept in $work)" >&2
  exit 1
fi
mv -f "$partial" "$out" || { rm -f "$partial"; echo "ERROR: cannot rename '$partial' to '$out'" >&2; exit 1; }
rm -rf "$work"
echo "wrote $out ($frames frames checked in the file, $(printf '%.3f' "$length") s with music from $(printf '%.3f' "$music_from") s, $(du -h "$out" | cut -f1))"
