// Path-name helpers shared inside the library (not exported).
#pragma once
#include <windows.h>
#include <cstddef>
#include <string_view>
#include "dada/ascii.h"
#include "dada/limits.h"
#include "dada/wildcard.h"

namespace dada {

// Copies at most kPathMax characters of `src` (null = empty) into `dst`
// (kPathBuf bytes) and terminates it.  Answers the copied length.
size_t CopyPath(char *dst, const char *src);

// Letter, colon, backslash at the start of `s`.
constexpr bool HasDriveLetter(std::string_view s)
{
    return s.size() >= 3 && IsAsciiLetter(s[0]) && s[1] == ':' && s[2] == '\\';
}
// Longer than two characters and starting with two backslashes.
constexpr bool IsUNCPath(std::string_view s)
{
    return s.size() > 2 && s[0] == '\\' && s[1] == '\\';
}
// Index of the first `*`, or if there is none the first `?` (double-byte
// aware); npos when neither occurs.
size_t FirstWildcard(std::string_view s);

// The backslash a path splits at before its first wildcard: walking back
// from the wildcard, the first character included, to the nearest backslash
// (byte comparison).  npos when the path has no wildcard or no backslash
// before it.  `wildcard` is set to whether there is one.
size_t SeparatorBeforeWildcard(std::string_view path, bool &wildcard);

// Splits a path copy (at most kPathMax characters) into a folder and a name
// (kPathBuf bytes each), the one rule of the scan-item splits:
//  - with a wildcard, at the backslash before it: none, all of it is the
//    name; one among the first three characters of a path starting with a
//    backslash, the folder is the first `rootFolder` characters; else the
//    text before and after it;
//  - without, at the last separator (double-byte aware): none, all of it is
//    the name; else NameReturnFile's file part and NameStripFile's folder,
//    a bare "X:" folder getting its backslash.
void SplitFolderAndName(const char *copy, char *folder, char *name, size_t rootFolder);

// The server name of a UNC path ("\\server\..."): the characters after the
// two backslashes up to the next backslash or the end, copied into `out`
// when fewer than `size` of them.  Answers 1, or 0 for a path that does not
// start with two backslashes (output untouched) or a server name of `size`
// characters or more (output empty).
BOOL NameReturnUNCServer(LPCSTR path, DWORD size, LPSTR out);

// What follows the server name of a UNC path and its separator ('\' or
// '/'): "\\server\share\dir" gives "share\dir", "\\server\" gives "" and
// "\\server" gives null.  Null for anything that is not a UNC path or whose
// server name starts with '/', '\', '*', '?' or ':'.
LPCSTR NameReturnUNCShare(LPCSTR path);

// Frees the device-name list kept by NameIsDevice (process detach).
void ReleaseDeviceNameCache();

} // namespace dada
