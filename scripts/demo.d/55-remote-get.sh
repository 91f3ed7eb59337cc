# Fetching files from ALPHA (started by the previous scene): a whole file
# in checked chunks of 16 KB, compared with the original; a folder as the
# target; the overwrite rule; a damaged name; then a local move.
say "Remote get: files travel from ALPHA in checked 16 KB chunks"
mkdir -p "$DEMO_DIR_UNIX/inbox"
head -c 3000000 /dev/urandom >"$DEMO_DIR_UNIX/shared/scan-database.bin"
show get "\\\\ALPHA\\C\\dadademo\\shared\\scan-database.bin" "$DEMO_DIR\\inbox\\db.bin"
if cmp -s "$DEMO_DIR_UNIX/shared/scan-database.bin" "$DEMO_DIR_UNIX/inbox/db.bin"; then
  say "db.bin is identical to ALPHA's scan-database.bin ($(wc -c <"$DEMO_DIR_UNIX/inbox/db.bin") bytes)"
else
  say "db.bin DIFFERS from the original"
fi
say "A folder as the target keeps the remote name (asynchronous completion):"
show get "\\\\ALPHA\\C:\\dadademo\\shared\\logs\\scan.log" "$DEMO_DIR\\inbox" --async
tr -d '\r' <"$DEMO_DIR_UNIX/inbox/scan.log"
say "An existing file is kept unless --overwrite:"
show get "\\\\ALPHA\\C\\dadademo\\shared\\logs\\scan.log" "$DEMO_DIR\\inbox\\scan.log" --async || true
show get "\\\\ALPHA\\C\\dadademo\\shared\\logs\\scan.log" "$DEMO_DIR\\inbox\\scan.log" --overwrite
say "Names the server cannot open, or no server at all:"
show get "\\\\ALPHA\\C\\dadademo\\shared\\no-such-file" "$DEMO_DIR\\inbox\\x" --async || true
show get "\\\\NOSUCHMACHINE\\C\\x" "$DEMO_DIR\\inbox\\x" --async || true
show get "C:\\dadademo\\shared\\tool.exe" "$DEMO_DIR\\inbox\\x" --async || true
say "Move by copy and delete (the destination is all or nothing):"
show move "$DEMO_DIR\\inbox\\db.bin" "$DEMO_DIR\\inbox\\scan.log" || true
show move "$DEMO_DIR\\inbox\\db.bin" "$DEMO_DIR\\inbox\\archived-db.bin"
ls -l "$DEMO_DIR_UNIX/inbox" | tail -n +2 | awk '{print "  " $5 "\t" $9}'
