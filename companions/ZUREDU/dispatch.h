// One request handed to the handler registered for its packet type.
#pragma once
#include <windows.h>
#include "dada/memblock.h"
#include "zuredu.h"

namespace zuredu {

using OwnedBlock = dada::BlockPtr<BYTE>;

struct Reply {
    DWORD status = NETSVC_OK;
    OwnedBlock block;       // the handler's reply block, freed after sending
    DWORD length = 0;       // bytes of the block to send (0 unless status is 0)
    static Reply Failed(DWORD status) { Reply r; r.status = status; return r; }
};

Reply Dispatch(DWORD packetType, BYTE *request, DWORD length);

} // namespace zuredu
