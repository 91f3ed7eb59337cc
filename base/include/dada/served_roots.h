// The served roots: the folders a serving process lets its peers reach, in
// DADA_ROOTS of its environment, separated by ';' (`dada serve --root` sets
// it).  Without the setting every name is reachable.  The file-transfer
// server opens only names inside a root; the RPC server's drive and folder
// listings show the roots and the folders that lead to them, nothing else.
#pragma once
#include <string>
#include <vector>

namespace dada {

inline constexpr char kRootsVariable[] = "DADA_ROOTS";
inline constexpr unsigned kRootsArea = 8192;   // the longest setting read; a longer one serves nothing

enum class RootReach {
    Inside,    // a root or below one (or no setting)
    Toward,    // a folder above a root: only the way to it may be shown
    Outside,
};

// `path` made absolute, with '\' separators, free of "." and ".." steps and
// without a trailing separator (a drive root keeps its "X:\"); empty when it
// cannot be.
std::string FullPath(const char *path);

// The setting as it stands when read: one read of the environment, each
// root made absolute once.  A value; safe to use from any thread.
class ServedRoots {
public:
    static ServedRoots Read();

    bool set() const { return set_; }                    // present (even when it names nothing)
    RootReach reach(const std::string &full) const;      // `full` as FullPath makes it
    bool serves(const char *path) const { return reach(FullPath(path)) == RootReach::Inside; }

private:
    bool set_ = false;
    std::vector<std::string> roots_;   // made absolute; a setting too long to read leaves none
};

} // namespace dada
