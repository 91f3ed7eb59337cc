# The browser on another machine (the remote-call road): ALPHA serves in a
# background process; the dialog reads its volumes and folders through the
# remote calls, files filtered by a pattern list.
rm -f "$SHOT_WORK_UNIX/alpha.port" "$SHOT_WORK_UNIX/alpha.stop"
"$WINE64" "$here/build/x64/bin/dada.exe" serve --name ALPHA --listen 127.0.0.1:0 \
  --port-file "$SHOT_WORK\\alpha.port" --stop-file "$SHOT_WORK\\alpha.stop" --seconds 120 \
  >/dev/null 2>&1 </dev/null &
for _ in $(seq 1 200); do [ -s "$SHOT_WORK_UNIX/alpha.port" ] && break; sleep 0.05; done
printf '[hosts]\r\nALPHA=127.0.0.1:%s\r\n' "$(tr -d '\r\n' <"$SHOT_WORK_UNIX/alpha.port")" >"$SHOT_WORK_UNIX/hosts.ini"
export DADA_HOSTS="$SHOT_WORK\\hosts.ini"
dada_start browse ALPHA --files --pattern '*.txt;*.log' --initial 'C:\'
id=$(window_id "Choose a File or Folder")
keys "$id" Right Down Right d a d a s h o t s Right P Right r e p Right
shot "$id" browser-remote
keys "$id" Escape
dada_wait
touch "$SHOT_WORK_UNIX/alpha.stop"
unset DADA_HOSTS
