// The file-transfer server: the handler the comm library calls for every
// request of service 2, and its mapping of a requested name to a local path.
#pragma once
#include <windows.h>

namespace dada::xfer {

// (ignored, request, request length, &reply, &reply length) -> 1 when a
// reply (normal or error) was left in the reply variables, 0 when not even
// an error reply could be allocated.  The reply block then belongs to the
// caller (a memory block of the library's convention).
DWORD WINAPI FileTransferHandler(DWORD ignored, const void *request, DWORD length,
                                 void **reply, DWORD *replyLength);

// Maps a requested name, of which `available` bytes lie inside the request,
// to a local path in `out` (kPathArea bytes): a network prefix
// (\\server\ or //server/) is dropped and the first component gets a colon.
// False when the name is not terminated in time, has no first component,
// begins with a lone separator, or the path would not fit.
bool MapRemoteName(const char *name, DWORD available, char *out);

} // namespace dada::xfer
