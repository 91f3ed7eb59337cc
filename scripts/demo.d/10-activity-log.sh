# Activity log: events appended, a 1 KB limit passed, the log truncated to
# its most recent lines behind the truncation notice.
say "Activity log with a 1 KB limit"
log="$DEMO_DIR\\activity.log"
show log "$log" --event 50 --date --user scanner
for i in $(seq 1 30); do
  dada log "$log" --event 1 --date --user scanner --limit 1 \
    --text "C:\\shares\\public\\downloads\\setup_$i.exe" --extra "W32.Demo.$i" >/dev/null
done
show log "$log" --event 4 --date --user scanner --limit 1 \
  --text "C:\\shares\\public\\downloads\\setup_30.exe"
show log "$log" --event 999 --text "an unknown event code leaves the event field empty"
say "The log now ($(wc -c <"$DEMO_DIR_UNIX/activity.log") bytes):"
tr -d '\r' <"$DEMO_DIR_UNIX/activity.log" | sed 's/\t/ | /g'
