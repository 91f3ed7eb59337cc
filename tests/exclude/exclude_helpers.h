// Shared by the exclusion-list tests: items and lists built in memory.
#pragma once
#include "dadada32.h"
#include <cstring>
#include <string>
#include <gtest/gtest.h>

namespace dadatest {

inline ExcludeItem MakeItem(const std::string &folder, const std::string &pattern, DWORD mask = 1, DWORD sub = 0)
{
    ExcludeItem item{};
    std::strncpy(item.folder, folder.c_str(), sizeof item.folder - 1);
    std::strncpy(item.pattern, pattern.c_str(), sizeof item.pattern - 1);
    item.mask = mask;
    item.subfolders = sub;
    return item;
}

// The texts and numbers of two items (not the bytes behind the texts).
inline void ExpectFields(const ExcludeItem &got, const ExcludeItem &want)
{
    EXPECT_STREQ(got.folder, want.folder);
    EXPECT_STREQ(got.pattern, want.pattern);
    EXPECT_EQ(got.mask, want.mask);
    EXPECT_EQ(got.subfolders, want.subfolders);
}

// An open list with storage that holds nothing; closed without saving.
class MemoryList {
public:
    MemoryList() { status_ = ExcludeOpenEx(&h_, nullptr, &hook_); }
    ~MemoryList() { ExcludeClose(&h_, 0); }
    MemoryList(const MemoryList &) = delete;
    MemoryList &operator=(const MemoryList &) = delete;
    EXCLUDEHANDLE get() const { return h_; }
    DWORD openStatus() const { return status_; }
    DWORD Add(const ExcludeItem &item) { return ExcludeAdd(h_, &item); }
private:
    static DWORD WINAPI Empty(UINT_PTR, DWORD, DWORD op, UINT_PTR data)
    {
        if (op == EXCLUDE_OP_GETCOUNT) *reinterpret_cast<DWORD *>(data) = 0;
        return 1;
    }
    ExcludeStorageHook hook_{0, Empty};
    EXCLUDEHANDLE h_ = nullptr;
    DWORD status_;
};

// The list block's leading fields, which callers may rely on.
struct ListHead { DWORD changed, capacity, count, storedCount; };
inline const ListHead &Head(EXCLUDEHANDLE h) { return *static_cast<const ListHead *>(h); }

} // namespace dadatest
