# Path names: joining and splitting, display case, validation of scan items,
# the wildcard matcher ('*' runs to the next dot), and a walk of a folder tree.
say "Joining and splitting path names"
show path append-file 'C:\scan\' '\reports'
show path append-file 'C:\scan' 'reports' --size 14 || true
show path ext 'archive.tar.gz'
show path strip-ext 'page.html'
show path file '\dir\'
show path format 'C:\PROGRAM FILES\SCAN\README.TXT'
show path separate 'C:\scan\*.exe'

say "Scan items: what may be excluded or scanned"
show validate 'C:\dir\*.txt' --wildcards
show validate 'C:\d?r\*.txt' --wildcards
show validate '<C:\dir>' --targets
show validate 'dir\file'

say "Wildcard matching: '*' stops at a dot, ';' separates patterns"
show match '*.exe;*.com' setup.EXE command.com readme.txt
show match '*' readme read.me
show match '*;*.txt' a.txt readme

say "Walking a folder tree (kind, path, name, size, attributes)"
tree="$DEMO_DIR_UNIX/tree"
mkdir -p "$tree/docs/old" "$tree/bin"
printf 'hello' >"$tree/readme.txt"
printf 'MZ' >"$tree/bin/tool.exe"
printf 'draft' >"$tree/docs/old/notes.txt"
show find "$DEMO_DIR\\tree" --recurse
