#!/usr/bin/env bash
# A long run of the Linux program as a user would drive it: soak.sh [SECONDS] (default 600).
#
# On a private X server, with SDL's silent audio driver, xdotool types random text, pastes
# texts of up to 100 KB (the clipboard filled with xclip), has files of up to 1 GiB (16 MiB in
# runs shorter than ten minutes) hashed through "Hash a file..." (the file chooser driven by
# keys: xdotool cannot make a drop), opens and closes the About box, and uses the context
# menu's compare, copy and music items. After every round the fields are copied with "Copy all
# digests" and checked against hashcalc-cli, and the process is measured: it fails when memory,
# threads or open files grow past the bounds below over what it used after the first round.
# Exits non-zero with the reason on the first failure. HASHCALC_BUILD_DIR names the build
# (default: build).
set -euo pipefail
cd "$(dirname "$0")/../.."
duration=${1:-600}
build=${HASHCALC_BUILD_DIR:-$PWD/build}
program=$build/app/hashcalc
cli=$build/cli/hashcalc-cli

# Growth allowed over the first round's figures. The file chooser keeps a cache and a
# watcher thread once used, and Qt's font and pixmap caches fill as texts change; all of
# that happens in the first round, which also hashes a file.
readonly rss_bound_kib=$((64 * 1024))
readonly thread_bound=4
readonly fd_bound=16
# The longest wait for one file (1 GiB through twelve digests, MD2 the slowest).
readonly file_patience=600
# The largest file: 1 GiB in runs of ten minutes or more; shorter runs keep to 16 MiB, since
# one 1 GiB file alone takes minutes (MD2) and would turn a minute's run into several.
if [ "$duration" -ge 600 ]; then
  readonly largest_file=$((1024 * 1024 * 1024))
else
  readonly largest_file=$((16 * 1024 * 1024))
fi

fail() {
  echo "soak: FAIL: $*" >&2
  exit 1
}

for tool in Xvfb xdotool xclip; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
[ -x "$program" ] || fail "no program at $program (build it first)"
[ -x "$cli" ] || fail "no hashcalc-cli at $cli (build it first)"

work=$(mktemp -d /tmp/hashcalc-soak-XXXXXX)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb

"$program" >"$work/program.log" 2>&1 &
program_pid=$!

caption="Vorlan's Hash Calculation"
window=""
for _ in $(seq 600); do
  window=$(xdotool search --all --onlyvisible --pid "$program_pid" --name "$caption" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "the window did not appear: $(tail -n 5 "$work/program.log")"

alive() {
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(tail -n 5 "$work/program.log")"
}

# Positions inside the window, from the template's dialog units (290 by 362).
read -r width height < <(xdotool getwindowgeometry --shell "$window" |
                         awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} END{print w, h}')
at() { echo $(($1 * width / 290)) $(($2 * height / 362)); }
click_at() {  # BUTTON X Y, in dialog units
  xdotool mousemove --window "$window" $(at "$2" "$3") click "$1"
}

title() { xdotool getwindowname "$window"; }
title_is() { [ "$(title)" = "$1" ]; }
# How many shown windows of the program have this name (a regular expression).
count_named() {
  xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" 2>/dev/null | wc -l
}
named_at_least() { [ "$(count_named "$1")" -ge "$2" ]; }
named_exactly() { [ "$(count_named "$1")" -eq "$2" ]; }
named_none() { named_exactly "$1" 0; }

wait_for() {  # SECONDS COMMAND...: true once the command succeeds
  local limit=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$limit" ] || return 1
    sleep 0.1
  done
}

focus() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
# Without a window manager a new window gets no keyboard focus: it is given it here.
focus_named() {
  local found
  found=$(xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" 2>/dev/null | grep -vx "$window" | head -n 1)
  [ -n "$found" ] && xdotool windowfocus --sync "$found" 2>/dev/null || true
}

# The context menu on the window's background; items counted from the bottom with Up, which
# lands on the last item whether or not the pointer left one highlighted:
# 1 Play music, 2 Copy all digests, 3 Compare with clipboard, 4 Hash a file...
menu_item() {
  focus
  click_at 3 8 354
  sleep 0.3
  local k
  for k in $(seq "$1"); do xdotool key Up; done
  xdotool key Return
  sleep 0.2
}

clipboard() { xclip -selection clipboard -o 2>/dev/null || true; }
fill_clipboard() { printf '%s' "$1" | xclip -selection clipboard -i; }

# "Copy all digests", then the lines against hashcalc-cli: a file's are checked with -c
# (which hashes the file again), a text's are compared with what --string prints for it.
check_digests() {
  local copied
  fill_clipboard "soak-before-copy"
  menu_item 2
  wait_for 10 sh -c '[ "$(xclip -selection clipboard -o 2>/dev/null)" != soak-before-copy ]' ||
    fail "Copy all digests put nothing on the clipboard"
  copied=$(clipboard)
  printf '%s\n' "$copied" >"$work/copied.txt"
  [ "$(wc -l <"$work/copied.txt")" -eq 12 ] || fail "Copy all gave not 12 lines: $(head -c 300 "$work/copied.txt")"
  local first
  first=$(head -n 1 "$work/copied.txt")
  case "$first" in
    'MD5 ("'*)
      local text=${first#MD5 (\"}
      text=${text%\") = *}
      "$cli" --string="$text" >"$work/expected.txt"
      cmp -s "$work/expected.txt" "$work/copied.txt" ||
        fail "the digests of the typed text are wrong: $(diff "$work/expected.txt" "$work/copied.txt" | head -n 6)"
      if [ -n "${2:-}" ] && [ "$text" != "$2" ]; then
        fail "the window holds ${#text} bytes that are not the first ${#2} bytes of $1"
      fi
      ;;
    *)
      "$cli" -c --quiet "$work/copied.txt" >"$work/check.txt" 2>&1 ||
        fail "a file's digests are wrong: $(head -n 6 "$work/check.txt")"
      ;;
  esac
}

random_text() {  # BYTES: letters, digits and spaces
  head -c $(($1 * 2 + 64)) /dev/urandom | tr -dc 'A-Za-z0-9 ' | head -c "$1"
}

type_text() {
  focus
  click_at 1 145 46
  xdotool key ctrl+a
  local text
  text=$(random_text $((RANDOM % 60 + 1)))
  xdotool type --delay 2 "$text"
  sleep 0.2
  check_digests "typing" "$text"
}

paste_text() {
  local bytes=$(((RANDOM * 32768 + RANDOM) % (100 * 1024) + 1))
  local text
  text=$(random_text "$bytes")
  fill_clipboard "$text"
  focus
  click_at 1 145 46
  xdotool key ctrl+a ctrl+v
  sleep 0.5
  # The field hands over its first 767 bytes.
  check_digests "a paste of $bytes bytes" "${text:0:767}"
}

hash_file() {
  local size
  case $((RANDOM % 8)) in
    0) size=0 ;;
    1) size=$largest_file ;;
    2 | 3) size=$(((RANDOM * 32768 + RANDOM) % (largest_file / 4))) ;;
    *) size=$(((RANDOM * 32768 + RANDOM) % (4 * 1024 * 1024))) ;;
  esac
  local name="file-$RANDOM.bin"
  local path=$work/$name
  # Random bytes at the start and the end, sparse between: large files cost no disk.
  head -c $((size < 65536 ? size : 65536)) /dev/urandom >"$path"
  if [ "$size" -gt 65536 ]; then
    truncate -s $((size - 4096)) "$path"
    head -c 4096 /dev/urandom >>"$path"
  fi
  menu_item 4
  wait_for 20 named_at_least 'Hash a file' 1 ||
    fail "the file chooser did not open"
  sleep 0.5
  focus_named 'Hash a file'
  xdotool type --delay 2 "$path"
  xdotool key Return
  wait_for "$file_patience" title_is "$name - $caption" ||
    fail "$name ($size bytes) was not hashed in $file_patience s; the title says: $(title)"
  check_digests "$name"
  rm -f "$path"
}

about_box() {
  focus
  click_at 1 263 355
  wait_for 10 named_at_least 'About This Hash' 1 ||
    fail "the About box did not open"
  focus_named 'About This Hash'
  xdotool key Return
  wait_for 10 named_none 'About This Hash' ||
    fail "the About box did not close"
}

compare() {
  # The fields' own SHA256, in capitals, is found; a message box says so and is closed.
  menu_item 2
  local sha256
  sha256=$(clipboard | awk '/^SHA256 /{print toupper($NF)}')
  [ -n "$sha256" ] || fail "no SHA256 line to compare with"
  fill_clipboard "$sha256"
  menu_item 3
  wait_for 10 named_at_least "$caption" 2 ||
    fail "Compare with clipboard showed no message"
  focus_named "$caption"
  xdotool key Return
  wait_for 10 named_exactly "$caption" 1 ||
    fail "the comparison's message did not close"
}

music() {
  menu_item 1
}

# The process's figures: resident KiB, threads, open files.
measure() {
  alive
  rss=$(awk '/^VmRSS/{print $2}' "/proc/$program_pid/status")
  threads=$(ls "/proc/$program_pid/task" | wc -l)
  fds=$(ls "/proc/$program_pid/fd" | wc -l)
}

round() {
  type_text
  paste_text
  about_box
  compare
  music
  hash_file
  type_text
  music
  alive
}

start=$(date +%s)
round
measure
base_rss=$rss base_threads=$threads base_fds=$fds
echo "soak: after the first round: ${rss} KiB resident, $threads threads, $fds open files"
rounds=1
while [ $(($(date +%s) - start)) -lt "$duration" ]; do
  round
  rounds=$((rounds + 1))
  measure
  [ "$rss" -le $((base_rss + rss_bound_kib)) ] ||
    fail "memory grew from $base_rss to $rss KiB after $rounds rounds"
  [ "$threads" -le $((base_threads + thread_bound)) ] ||
    fail "threads grew from $base_threads to $threads after $rounds rounds"
  [ "$fds" -le $((base_fds + fd_bound)) ] ||
    fail "open files grew from $base_fds to $fds after $rounds rounds"
done
echo "soak: $rounds rounds in $(($(date +%s) - start)) s; last: ${rss} KiB resident," \
     "$threads threads, $fds open files; all digests right"
