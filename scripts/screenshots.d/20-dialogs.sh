#!/usr/bin/env bash
# Screenshots of the small dialogs, through the dada tool: the notification
# (OK, and Yes/No with the caller's captions), the connection wait with its
# clip at two moments of play, and both roads of the pickers.  PNGs go to
# docs/.  Runs under scripts/with-wine (display and wine are ready).
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
out="$here/docs"
dada="$here/build/x64/bin/dada.exe"
mkdir -p "$out"
for tool in import xwininfo; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (imagemagick, x11-utils)" >&2; exit 1; }
done
# Wine draws the frames and captions itself: there is no window manager.
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null

# The X window of dada.exe whose name is exactly TITLE (a window without a
# caption: ""), bigger than 50 x 50 pixels, or nothing.
window_of() {
  local want="\"$1\":"
  [ -n "$1" ] || want="(has no name):"
  xwininfo -root -tree 2>/dev/null | awk -v t="$want" '
    index($0, t) && index($0, "(\"dada.exe\"") {
      split($0, a, /[ x+]+/); for (i in a) if (a[i] ~ /^[0-9]+$/ && a[i] > 50) { print $1; exit }
    }'
}

# shot TITLE DELAY PNG...: waits for the window TITLE, then takes one PNG
# after DELAY seconds and each further PNG half a second later.
shot() {
  local title="$1" delay="$2" id=""; shift 2
  for _ in $(seq 150); do
    id=$(window_of "$title"); [ -n "$id" ] && break; sleep 0.2
  done
  [ -n "$id" ] || { echo "screenshots: no window '$title'" >&2; return 1; }
  sleep "$delay"
  for png in "$@"; do
    import -window "$id" "$out/$png"
    echo "screenshots: docs/$png"
    sleep 0.5
  done
}

# scene TITLE DELAY PNGS -- ARGS...: runs dada ARGS, shoots, ends it.
scene() {
  local title="$1" delay="$2" pngs=(); shift 2
  while [ "$1" != "--" ]; do pngs+=("$1"); shift; done; shift
  "$WINE64" "$dada" "$@" >/dev/null 2>&1 </dev/null &
  local pid=$!
  shot "$title" "$delay" "${pngs[@]}" || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

scene "dada" 1 notify-ok.png -- notify --value 3
scene "dada" 1 notify-question.png -- notify --question
scene "" 1.2 connect-1.png connect-2.png -- connect SCANSERVER-01 --delay 6000
scene "Browse for Folder" 2 pick-folder-shell.png -- pick-folder
scene "Pick a folder" 2 pick-folder-fileopen.png -- pick-folder --no-shell
scene "Browse for Folder" 2 pick-file-shell.png -- pick-file --folder
scene "Pick a file" 2 pick-file-fileopen.png -- pick-file --no-shell --initial 'C:\windows\win.ini'
