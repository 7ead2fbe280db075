#!/usr/bin/env bash
# scripts/movie-parallel.sh over real ssh: an sshd of its own on loopback addresses stands for the
# machines. 127.0.0.2 shares this filesystem; 127.0.0.3 to .5 run in a mount namespace where the
# output folder is a tmpfs of their own (a machine with its own disk), .4 without the movie program
# and .5 with an rsync that fails; nothing listens on .9. A tiny stretch (1 frame a second, 64 x 64,
# video 12 to 15 s) keeps every render short. Each case ends with either a whole file that equals a
# render on this machine, or an ERROR line, a non-zero exit and no file.
# Needs root (sshd, mount namespaces), openssh-server, rsync, GNU parallel and ffmpeg (scripts/setup.sh).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
farm="$root/scripts/movie-parallel.sh"
cd "$root" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

((EUID == 0)) || { echo "SKIP: needs root to run sshd as the machines"; exit 77; }
for program in /usr/sbin/sshd ssh ssh-keygen rsync parallel ffmpeg ffprobe unshare; do
  command -v "$program" >/dev/null || { echo "FAIL: '$program' is missing (scripts/setup.sh installs it)"; exit 1; }
done

scratch=$(mktemp -d /tmp/verdance-farm-test.XXXXXX)
out="$scratch/out"
mkdir -p "$out" "$scratch/cache" "$scratch/bin"
sshd_pids=()
cleanup() {
  local pid
  for pid in "${sshd_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${sshd_pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$scratch"
  rm -f "$root"/assets/.farm-test-changed-$$
}
trap cleanup EXIT

# --- Keys, one sshd configuration a machine, and the ssh command the farm uses.
ssh-keygen -q -t ed25519 -N '' -f "$scratch/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$scratch/client_key"
cp "$scratch/client_key.pub" "$scratch/authorized_keys"
mkdir -p /run/sshd  # sshd's privilege separation folder, made by the service on a normal start
port=$((20000 + RANDOM % 20000))
export VERDANCE_CACHE_DIR="$scratch/cache"
printf '#!/bin/sh\necho "rsync: this machine'"'"'s rsync is broken" >&2\nexit 12\n' >"$scratch/bin/rsync"
chmod +x "$scratch/bin/rsync"

start_machine() {  # address, then what the machine's mount namespace hides (none, own-disk, no-movie, bad-rsync)
  local address="$1" kind="$2" config="$scratch/sshd-$1.conf"
  cat >"$config" <<EOF
ListenAddress $address:$port
HostKey $scratch/host_key
AuthorizedKeysFile $scratch/authorized_keys
PidFile $scratch/sshd-$address.pid
PermitRootLogin yes
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
SetEnv VERDANCE_CACHE_DIR=$scratch/cache
EOF
  local mounts="true"
  case "$kind" in
    own-disk) mounts="mount -t tmpfs tmpfs '$out'" ;;
    no-movie) mounts="mount -t tmpfs tmpfs '$out' && mount -t tmpfs tmpfs '$build/tools/movie'" ;;
    bad-rsync) mounts="mount -t tmpfs tmpfs '$out' && mount --bind '$scratch/bin/rsync' \"\$(command -v rsync)\"" ;;
  esac
  if [ "$kind" = none ]; then
    /usr/sbin/sshd -f "$config" -D -e 2>>"$scratch/sshd.log" &
  else
    unshare -m --propagation private sh -c "$mounts && exec /usr/sbin/sshd -f '$config' -D -e" 2>>"$scratch/sshd.log" &
  fi
  sshd_pids+=($!)
}

ssh_command="ssh -o BatchMode=yes -o ConnectTimeout=5 -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR -i $scratch/client_key -p $port"
start_machine 127.0.0.2 none
if unshare -m --propagation private sh -c "mount -t tmpfs tmpfs '$out'" 2>/dev/null; then
  namespaces=1
  start_machine 127.0.0.3 own-disk
  start_machine 127.0.0.4 no-movie
  start_machine 127.0.0.5 bad-rsync
else
  namespaces=0
  echo "note: mount namespaces are not available here (unshare -m fails): the machines with a disk of their own are skipped"
fi
for address in 127.0.0.2 $( ((namespaces)) && echo 127.0.0.3 127.0.0.4 127.0.0.5); do
  for _ in $(seq 50); do $ssh_command "$address" true </dev/null 2>/dev/null && break; sleep 0.2; done
  $ssh_command "$address" true </dev/null || { echo "FAIL: sshd on $address:$port does not answer"; cat "$scratch/sshd.log"; exit 1; }
done

stretch=(--fps 1 --size 64x64 --credits 0 --from 12 --to 15)
# Decoded frames of a video, as one checksum.
frames_sum() { ffmpeg -v error -i "$1" -map 0:v:0 -f rawvideo -pix_fmt rgb24 - | sha1sum | cut -d' ' -f1; }
# Runs the farm; its output in $scratch/log, its exit code in $status.
farm() {
  local machines="$1"; shift
  printf '%s\n' $machines >"$scratch/machines"
  "$farm" --sshloginfile "$scratch/machines" --ssh "$ssh_command" "${stretch[@]}" "$@" >"$scratch/log" 2>&1
  status=$?
}
leftovers() { find "$out" -name '*.part*' -o -name '*.copy' | head -n 3; }

# --- The reference: the same chunks rendered here without ssh.
"$farm" "${stretch[@]}" --chunks 2 --out "$scratch/reference.mp4" >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; echo "FAIL: the local render failed"; exit 1; }
reference=$(frames_sum "$scratch/reference.mp4")

# --- Cases that end with a whole file: machines (a shared disk first), what the output must say.
whole_cases=(
  "shared and own disk|127.0.0.2 127.0.0.3|2 chunks on 2 machine"
  "an unreachable machine is left out|127.0.0.9 127.0.0.2|machine '127.0.0.9' left out: ssh failed"
  "a machine without the movie program is left out|127.0.0.4 127.0.0.2|machine '127.0.0.4' left out: missing"
  "a failed copy-back moves the chunk to another machine|127.0.0.5 127.0.0.2|could not copy it back from 127.0.0.5"
)
for entry in "${whole_cases[@]}"; do
  IFS='|' read -r name machines expected <<<"$entry"
  if ((!namespaces)) && [[ "$machines" =~ 127.0.0.[345] ]]; then echo "skip: $name (no mount namespaces)"; continue; fi
  rm -rf "${out:?}"/*
  farm "$machines" --chunks 2 --out "$out/movie.mp4"
  got=$( [ -f "$out/movie.mp4" ] && frames_sum "$out/movie.mp4")
  audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=start_time -of csv=p=0 "$out/movie.mp4" 2>/dev/null)
  if ((status != 0)) || [ "$got" != "$reference" ] || ! grep -qF "$expected" "$scratch/log" ||
     ! awk -v a="${audio:-x}" 'BEGIN { exit !(a != "x" && a + 0 < 0.05) }' || [ -n "$(leftovers)" ] ||
     [ -n "$(ls -d "$out"/*.chunks-* 2>/dev/null)" ]; then
    fail "$name: exit $status, frames ${got:-none} against $reference, audio start '${audio:-none}', leftovers '$(leftovers)'"
    cat "$scratch/log"
  else
    pass "$name"
  fi
done

# --- Cases that end with an ERROR line, a non-zero exit and no file.
error_cases=(
  "no machine can be reached|127.0.0.9|ERROR: no machine can render"
  "the only machine cannot copy back|127.0.0.5|ERROR: 1 of 1 chunks missing, nothing joined: chunk 0 (video 12.000000000 to 15.000000000 s, tried on 127.0.0.5"
)
for entry in "${error_cases[@]}"; do
  IFS='|' read -r name machines expected <<<"$entry"
  if ((!namespaces)) && [[ "$machines" =~ 127.0.0.[345] ]]; then echo "skip: $name (no mount namespaces)"; continue; fi
  rm -rf "${out:?}"/*
  farm "$machines" --chunks 1 --retries 0 --out "$out/movie.mp4"
  if ((status == 0)) || [ -e "$out/movie.mp4" ] || ! grep -qF "$expected" "$scratch/log" || [ -n "$(leftovers)" ]; then
    fail "$name: exit $status, file $(ls "$out"), leftovers '$(leftovers)'"
    cat "$scratch/log"
  else
    pass "$name"
  fi
done

# --- Stopped by TERM once a chunk is finished (two may finish together, so any count will do), then
# the same command again renders only the rest.
machines="127.0.0.2"
((namespaces)) && machines="127.0.0.2 127.0.0.3"
rm -rf "${out:?}"/*
printf '%s\n' $machines >"$scratch/machines"
"$farm" --sshloginfile "$scratch/machines" --ssh "$ssh_command" "${stretch[@]}" --chunks 3 --jobs 1 \
  --out "$out/movie.mp4" >"$scratch/log" 2>&1 &
farm_pid=$!
for _ in $(seq 600); do grep -qE "[0-9]/3 chunks" "$scratch/log" && break; kill -0 "$farm_pid" 2>/dev/null || break; sleep 0.1; done
kill -TERM "$farm_pid"
wait "$farm_pid"
status=$?
remote_left=""
((namespaces)) && remote_left=$($ssh_command 127.0.0.3 "find '$out' -type f -path '*/render/*'" </dev/null)
kept=$(find "$out" -maxdepth 2 -name 'chunk_*.mp4' -not -path '*/render/*' | wc -l)
if ((status != 143)) || [ -e "$out/movie.mp4" ] || ! grep -q "ERROR: stopped by SIGTERM" "$scratch/log" ||
   ((kept < 1)) || [ -n "$(leftovers)" ] || [ -n "$remote_left" ]; then
  fail "TERM: exit $status, $kept chunks kept, leftovers '$(leftovers)', on the other machine '$remote_left'"
  cat "$scratch/log"
else
  farm "$machines" --chunks 3 --jobs 1 --out "$out/movie.mp4"
  rendered=$(grep -c "chunks, .* frames, ETA" "$scratch/log")
  if ((status != 0)) || ! grep -q "resuming: $kept of 3 chunks" "$scratch/log" || ((rendered != 3 - kept)) ||
     [ "$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$out/movie.mp4")" != 3 ]; then
    fail "resume after TERM: exit $status, $rendered chunks rendered again with $kept kept"
    cat "$scratch/log"
  else
    pass "stopped by TERM with $kept of 3 chunks kept; the same command rendered only the other $rendered"
  fi
fi

# --- The data changes while the chunks are rendered (a rebuild, a checkout): nothing is joined.
changed="$root/assets/.farm-test-changed-$$"
rm -rf "${out:?}"/*
"$farm" "${stretch[@]}" --chunks 3 --out "$out/movie.mp4" >"$scratch/log" 2>&1 &
farm_pid=$!
for _ in $(seq 600); do grep -qE "[0-9]/3 chunks" "$scratch/log" && break; kill -0 "$farm_pid" 2>/dev/null || break; sleep 0.1; done
touch "$changed"
wait "$farm_pid"
status=$?
rm -f "$changed"
if ((status != 1)) || [ -e "$out/movie.mp4" ] || ! grep -q "ERROR: the files under assets/ changed while the chunks were rendered" "$scratch/log"; then
  fail "data changed during the run: exit $status, output $(ls "$out")"
  cat "$scratch/log"
else
  pass "data changed during the run: one ERROR line, exit 1, nothing joined"
fi

((failures == 0)) || { echo "$failures case(s) failed"; exit 1; }
echo "all farm cases passed"
