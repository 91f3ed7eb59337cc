// FileMove: copy to the destination, then delete the source; never a
// rename.  On any failure the destination is deleted again and the source
// stays where it was.
#include "dadada32.h"
#include "FRAME/kfile.h"
#include "dada/memblock.h"
#include <algorithm>

namespace {

constexpr DWORD kMoveBlock = 65534;

bool CopyContents(dada::KFile &src, dada::KFile &dst, BYTE *buffer)
{
    const DWORD size = ZK_Seek(src.get(), 0, ZK_SEEK_END);
    if (size == 0xFFFFFFFFu || ZK_Seek(src.get(), 0, ZK_SEEK_BEGIN) != 0) return false;
    for (DWORD left = size; left;) {
        const DWORD n = std::min(left, kMoveBlock);
        if (ZK_Read(src.get(), buffer, n) != n) return false;
        if (ZK_Write(dst.get(), buffer, n) != n) return false;
        left -= n;
    }
    return true;
}

} // namespace

extern "C" DWORD DADAAPI FileMove(LPCSTR source, LPCSTR destination, DWORD overwrite)
{
    if (!source || !destination) return 0;
    if (ZK_FileExists(source) != 1) return 0;
    dada::BlockPtr<BYTE> buffer(static_cast<BYTE *>(dada::BlockAlloc(kMoveBlock, dada::Block::Moveable)));
    if (!buffer) return 0;

    if (ZK_FileExists(destination) == 1 && (overwrite != 1 || ZK_Delete(destination) != 1))
        return 0;   // nothing touched

    bool moved;
    {
        dada::KFile src = dada::KFile::open(source, ZK_OPEN_WRITE);
        dada::KFile dst = dada::KFile::create(destination);
        moved = src.valid() && dst.valid() && CopyContents(src, dst, buffer.get());
        src.close();
        dst.close();
    }
    if (moved && ZK_Delete(source) != 1) moved = false;
    if (!moved) ZK_Delete(destination);
    return moved ? 1 : 0;
}
