// The served roots: the folders a serving process lets its peers reach, in
// DADA_ROOTS of its environment, separated by ';' (`dada serve --root` sets
// it).  Without the setting every name is reachable.  The file-transfer
// server opens only names inside a root; the RPC server's drive and folder
// listings show the roots and the folders that lead to them, nothing else.
// Reads the environment on every call; safe from any thread.
#pragma once
#include <string>

namespace dada {

inline constexpr char kRootsVariable[] = "DADA_ROOTS";
inline constexpr unsigned kRootsArea = 8192;   // the longest setting read; a longer one serves nothing

enum class RootReach {
    Inside,    // a root or below one (or no setting)
    Toward,    // a folder above a root: only the way to it may be shown
    Outside,
};

// True when the setting is present (even when it names nothing).
bool HasServedRoots();

// `path` made absolute, with '\' separators, free of "." and ".." steps and
// without a trailing separator (a drive root keeps its "X:\"); empty when it
// cannot be.
std::string FullPath(const char *path);

// Where an absolute path made by FullPath stands against the roots.
RootReach ReachOf(const std::string &full);

// True when the setting is absent or `path`, made absolute, lies in a root.
bool InServedRoots(const char *path);

} // namespace dada
