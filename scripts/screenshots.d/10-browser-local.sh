# The browser on this machine's disks (the file-system road): My Computer,
# drive C:, and a folder opened with its files.
mkdir -p "$SHOT_WORK_UNIX/Projects/Reports" "$SHOT_WORK_UNIX/Projects/Scans/2026" "$SHOT_WORK_UNIX/Projects/Quarantine"
for f in Reports/q1.txt Reports/q2.txt Reports/summary.log Reports/chart.bmp readme.txt setup.exe; do
  echo "$f" >"$SHOT_WORK_UNIX/Projects/$f"
done
dada_start browse --files --initial 'C:\'
id=$(window_id "Choose a File or Folder")
# Open the root, go down to C:\ and open it, find dadashots and open it,
# then Projects and its Reports; choose q2.txt.
keys "$id" Right Down Right d a d a s h o t s Right P Right r e p Right Down Down Down
shot "$id" browser-local
keys "$id" Return
dada_wait
