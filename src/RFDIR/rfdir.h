// The directory reader of the browse tree: drives of a machine and entries
// of a folder, along the file-system road or the remote-call road.  Runs on
// the dialog's thread; keeps nothing between calls.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "dadada32.h"

namespace dada::browse {

// Failure codes of the remote-call road, shown by ShowErrorBox.
constexpr DWORD kNoCallPacket = 0xF0000030;      // text 99
constexpr DWORD kReadDirectoryFailed = 0xF0000032; // text 100
constexpr DWORD kReadVolumesFailed = 0xF0000031; // text 101
constexpr DWORD kCallFailed = 1;                 // RPC_SendCall failed: the generic box

// The request block whose address the tree keeps in its user-data slot.
RemoteBrowseInfo *BrowseInfoOf(HWND tree);
BOOL IsRemoteCallMode(HWND tree);

// 1 when the drives were listed (0: no scratch area).
BOOL ListDrives(HWND tree, HTREEITEM parent, LPCSTR server);
// 1 when the folder was read to its end (0: an insertion failed).
BOOL ListDirectory(HWND tree, LPCSTR search, HTREEITEM parent, DWORD mode, LPCSTR pattern);

// The remote-call road (remote_calls.cpp).
BOOL RemoteListDrives(HWND tree, HTREEITEM parent);
BOOL RemoteListDirectory(HWND tree, LPCSTR search, HTREEITEM parent, DWORD mode, LPCSTR pattern);

} // namespace dada::browse
