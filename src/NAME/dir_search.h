// One open directory search of the file search, for any path length: the
// ANSI search while the search pattern fits a path, the wide search with the
// long-path prefix beyond that.  Entries come back as ANSI find data.
#pragma once
#include <windows.h>
#include "dada/handle.h"

namespace dada {

class DirSearch {
public:
    DirSearch() = default;

    // Starts the search for `pattern` and gives its first entry.
    bool Open(const char *pattern, WIN32_FIND_DATAA &entry);
    bool Next(WIN32_FIND_DATAA &entry);
    void Close();

private:
    UniqueFind handle_;
    bool wide_ = false;
};

} // namespace dada
