# Exclusion lists: a list kept in a profile file, edited with dada exclude,
# and paths checked against it.
say "Exclusion list in a profile file"
ini="$DEMO_DIR\\exclude.ini"
show exclude add --profile "$ini" --folder 'C:\temp' --subfolders
show exclude add --profile "$ini" --pattern '*.tmp;*.bak'
show exclude add --profile "$ini" --folder '\shared' --mask 2
show exclude add --profile "$ini" --folder '\\server\share' --pattern '*.iso'
show exclude add --profile "$ini" --folder 'c:\TEMP' --subfolders || true
show exclude add --profile "$ini" --folder 'C:\bad|name' || true
show exclude list --profile "$ini"
say "The profile file:"
tr -d '\r' <"$DEMO_DIR_UNIX/exclude.ini"
say "Checks with every mask bit, then with mask 1"
show check --profile "$ini" 'C:\temp\a.txt' 'C:\temp\deep\b.doc' 'D:\data\old.BAK' \
  'E:\shared\report.doc' '\\server\share\images\cd.iso' '\\server\share\cd.iso' 'D:\data\report.doc'
show check --profile "$ini" --mask 1 'E:\shared\report.doc' 'C:\temp\a.txt'
show exclude delete --profile "$ini" --pattern '*.tmp;*.bak'
show exclude delete --profile "$ini" --pattern '*.tmp;*.bak' || true
show exclude list --profile "$ini"
say "A malformed profile is refused with its status"
printf '[ExcludedItems]\r\nNumExcludeItems=2\r\nExcludedItem_0=C:\\temp|*.tmp|3|1\r\nExcludedItem_1=C:\\temp|*.tmp\r\n' \
  >"$DEMO_DIR_UNIX/broken.ini"
show exclude list --profile "$DEMO_DIR\\broken.ini" || true
