// The kernel file library (ZOREDO32, imported by ordinal): every file the
// library reads or writes, except profiles and directory searches, goes
// through these calls.  KFile closes its handle when it goes out of scope.
#pragma once
#include "zoredo32.h"
#include <utility>

namespace dada {

class KFile {
public:
    KFile() = default;
    explicit KFile(ZKFILE f) : f_(f) {}
    KFile(KFile &&o) noexcept : f_(std::exchange(o.f_, ZK_NOFILE)) {}
    KFile &operator=(KFile &&o) noexcept { if (this != &o) { close(); f_ = std::exchange(o.f_, ZK_NOFILE); } return *this; }
    ~KFile() { close(); }
    KFile(const KFile &) = delete;
    KFile &operator=(const KFile &) = delete;

    static KFile open(LPCSTR path, DWORD mode) { return KFile(ZK_Open(path, mode)); }
    static KFile create(LPCSTR path) { return KFile(ZK_Create(path)); }

    bool valid() const { return f_ != ZK_NOFILE; }
    ZKFILE get() const { return f_; }
    ZKFILE release() { return std::exchange(f_, ZK_NOFILE); }
    void close() { if (valid()) ZK_Close(std::exchange(f_, ZK_NOFILE)); }

private:
    ZKFILE f_ = ZK_NOFILE;
};

} // namespace dada
