# The small dialogs through the dada tool: the notification (OK, and Yes/No
# with the caller's captions), the connection wait with its clip at two
# moments of play, and both roads of the folder and file pickers.

# untitled_window: waits up to 30 s for a visible window of the tool without
# a title and of a dialog's size (the connection wait has no caption).
untitled_window() {
  local id w
  for _ in $(seq 1 300); do
    for id in $(xdotool search --onlyvisible --class 'dada.exe' 2>/dev/null); do
      [ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ] || continue
      w=$(xdotool getwindowgeometry "$id" 2>/dev/null | awk '/Geometry/ { split($2, g, "x"); print g[1] }')
      [ -n "$w" ] && [ "$w" -gt 50 ] && [ "$w" -lt 1000 ] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  echo "screenshots: no untitled window" >&2
  return 1
}

# dialog_shot TITLE NAME... -- ARGS...: runs dada ARGS, takes one picture
# per NAME of the window TITLE ("" for one without a caption), half a
# second apart, then ends the tool.
dialog_shot() {
  local title="$1" names=() id; shift
  while [ "$1" != "--" ]; do names+=("$1"); shift; done; shift
  dada_start "$@"
  if id=$(if [ -n "$title" ]; then window_id "$title"; else untitled_window; fi); then
    for name in "${names[@]}"; do shot "$id" "$name"; done
  fi
  kill "$dada_pid" 2>/dev/null || true
  wait "$dada_pid" 2>/dev/null || true
}

echo "[boot]" >"$SHOT_WORK_UNIX/system.ini"
echo "[windows]" >"$SHOT_WORK_UNIX/win.ini"
dialog_shot "dada" notify-ok -- notify --value 3
dialog_shot "dada" notify-question -- notify --question
dialog_shot "" connect-1 connect-2 -- connect SCANSERVER-01 --delay 8000
dialog_shot "Browse for Folder" pick-folder-shell -- pick-folder
dialog_shot "Pick a folder" pick-folder-fileopen -- pick-folder --no-shell
dialog_shot "Browse for Folder" pick-file-shell -- pick-file --folder
dialog_shot "Pick a file" pick-file-fileopen -- pick-file --no-shell --initial "$SHOT_WORK\\win.ini"
