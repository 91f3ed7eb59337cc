# Two machines on one computer: ALPHA serves (file transfer and remote
# calls) in a background process; this shell is the other machine and looks
# at ALPHA's drives and folders through the remote calls.
say "Remote machines: ALPHA serves, the demo asks"
mkdir -p "$DEMO_DIR_UNIX/shared/reports" "$DEMO_DIR_UNIX/shared/logs"
for i in $(seq 1 300); do echo "report $i" >"$DEMO_DIR_UNIX/shared/reports/report_$i.txt"; done
echo "scan finished" >"$DEMO_DIR_UNIX/shared/logs/scan.log"
echo "not a text" >"$DEMO_DIR_UNIX/shared/tool.exe"
rm -f "$DEMO_DIR_UNIX/alpha.port" "$DEMO_DIR_UNIX/alpha.stop"
"$WINE64" "$here/build/x64/bin/dada.exe" serve --name ALPHA --listen 127.0.0.1:0 \
  --port-file "$DEMO_DIR\\alpha.port" --stop-file "$DEMO_DIR\\alpha.stop" --seconds 120 \
  >"$DEMO_DIR_UNIX/alpha.out" 2>&1 </dev/null &
alpha_pid=$!
for _ in $(seq 1 200); do [ -s "$DEMO_DIR_UNIX/alpha.port" ] && break; sleep 0.05; done
alpha_port=$(tr -d '\r\n' <"$DEMO_DIR_UNIX/alpha.port")
printf '[hosts]\r\nALPHA=127.0.0.1:%s\r\n' "$alpha_port" >"$DEMO_DIR_UNIX/hosts.ini"
export DADA_HOSTS="$DEMO_DIR\\hosts.ini"
say "hosts file (DADA_HOSTS=$DADA_HOSTS):"
tr -d '\r' <"$DEMO_DIR_UNIX/hosts.ini"
show volumes ALPHA
show dir ALPHA "$DEMO_DIR\\shared"
show dir ALPHA "$DEMO_DIR\\shared\\reports" --pattern "report_1*.txt;*.log"
say "300 reports travel in batches of at most 2044 bytes:"
dada dir ALPHA "$DEMO_DIR\\shared\\reports" | tail -1
show dir ALPHA "$DEMO_DIR\\shared" --folders
show dir ALPHA "$DEMO_DIR\\nosuchfolder" || true
show volumes NOSUCHMACHINE || true
