// A reply block of the communication library, freed at scope end the way
// its convention says (GlobalHandle, GlobalUnlock, GlobalFree).
#pragma once
#include <windows.h>

struct ReplyBlock {
    void *p = nullptr;
    DWORD length = 0;
    ReplyBlock() = default;
    ReplyBlock(const ReplyBlock &) = delete;
    ReplyBlock &operator=(const ReplyBlock &) = delete;
    ~ReplyBlock() { release(); }
    void release()
    {
        if (p) {
            HGLOBAL h = GlobalHandle(p);
            GlobalUnlock(h);
            GlobalFree(h);
        }
        p = nullptr;
        length = 0;
    }
    const BYTE *bytes() const { return static_cast<const BYTE *>(p); }
};
