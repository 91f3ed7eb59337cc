# String tables: a readable source compiled to the masked file format,
# printed back, and one message filled in through mprintf.  Then how the
# command-line parser splits a few lines.
say "String table: build, dump, look up"
src="$DEMO_DIR_UNIX/messages.txt"
cat >"$src" <<'SRC'
# id<TAB>text; "id:raw" stores the bytes without a terminating zero
1000	Scan started on ^1%s
1001	Found ^2%s in ^1%s (^3%d files left)
1002	Two lines:\nsecond line\tand a tab
2000:raw	\x01\x02 raw bytes
SRC
show strtab build "$DEMO_DIR\\messages.txt" "$DEMO_DIR\\messages.str"
show strtab dump "$DEMO_DIR\\messages.str"
show strtab get "$DEMO_DIR\\messages.str" 1001 'C:\shares\setup.exe' W32.Demo -3
show strtab get "$DEMO_DIR\\messages.str" 4711 || true

say "Command line: switches, parameters, option values"
show cmdline '/s -x file.txt "one two"'
show cmdline '"/s" "ab"cd a  b'
show cmdline '/LOG  c:\x.log /Q' --option log --option q
