// Joining and splitting path names in caller buffers.
#include "dadada32.h"
#include "NAME/dbcs.h"
#include "NAME/name_internal.h"

#include <cstring>
#include <string_view>

using namespace dada;

namespace {

// The size test of the joining functions: room is always reserved for a
// separator, the terminator and one byte more.
bool Fits(size_t pathLen, size_t addLen, DWORD size)
{
    return pathLen + addLen + 2 < size;
}

} // namespace

extern "C" BOOL DADAAPI NameAppendFile(LPSTR path, DWORD size, LPCSTR name)
{
    if (!path || !name) return FALSE;
    size_t l1 = std::strlen(path), l2 = std::strlen(name);
    if (!Fits(l1, l2, size)) return FALSE;

    bool pathEnds = l1 > 0 && dbcs::IsSeparatorAt({path, l1}, l1 - 1);
    bool nameBegins = name[0] == '\\';
    if (pathEnds && nameBegins)
        path[--l1] = '\0';
    else if (!pathEnds && !nameBegins)
        path[l1++] = '\\';
    std::memcpy(path + l1, name, l2 + 1);
    return TRUE;
}

extern "C" BOOL DADAAPI NameAppendExtension(LPSTR path, DWORD size, LPCSTR extension)
{
    if (!path || !extension) return FALSE;
    size_t l1 = std::strlen(path), l2 = std::strlen(extension);
    if (!Fits(l1, l2, size)) return FALSE;
    if (l1 == 0 || path[l1 - 1] != '.') path[l1++] = '.';
    std::memcpy(path + l1, extension, l2 + 1);
    return TRUE;
}

extern "C" void DADAAPI NameReturnExtension(LPCSTR path, LPSTR extension, DWORD size)
{
    if (!extension || size == 0) return;
    extension[0] = '\0';
    if (!path || !path[0]) return;

    // Backwards from the last character to the second; a backslash does not
    // stop the walk.
    for (size_t i = std::strlen(path) - 1; i >= 1; --i) {
        if (path[i] != '.') continue;
        // The text after the dot, zero-padded; an extension too long for the
        // buffer is cut so that the buffer always stays terminated.
        std::strncpy(extension, path + i + 1, size);
        extension[size - 1] = '\0';
        return;
    }
}

extern "C" void DADAAPI NameStripFile(LPSTR path)
{
    if (!path) return;
    size_t cut = dbcs::FindLast(path, '\\');
    if (cut != std::string_view::npos) path[cut] = '\0';
}

extern "C" void DADAAPI NameStripExtension(LPSTR path)
{
    if (!path) return;
    size_t len = std::strlen(path);
    // At most the last four characters, never the first one: only an
    // extension of up to three characters goes.
    size_t stop = len > 4 ? len - 4 : 1;
    for (size_t i = len; i-- > stop;) {
        if (path[i] == '.') {
            path[i] = '\0';
            return;
        }
    }
}

extern "C" BOOL DADAAPI NameHasDriveLetter(LPCSTR path)
{
    return path && HasDriveLetter({path, strnlen(path, 3)});
}

extern "C" LPSTR DADAAPI NameHasWildcards(LPCSTR path)
{
    if (!path) return nullptr;
    size_t at = FirstWildcard(path);
    return at == std::string_view::npos ? nullptr : const_cast<LPSTR>(path + at);
}

extern "C" void DADAAPI NameReturnFile(LPCSTR path, LPSTR file)
{
    if (!file) return;
    char copy[kPathBuf];
    size_t len = CopyPath(copy, path);
    file[0] = '\0';

    size_t last = dbcs::FindLast({copy, len}, '\\');
    if (last != std::string_view::npos) std::strcpy(file, copy + last + 1);
    // "\dir\": nothing after the last separator, so the name is everything
    // after the leading one.
    if (!file[0] && copy[0] == '\\' && len > 1) std::strcpy(file, copy + 1);
}

extern "C" void DADAAPI NameOutputFormat(LPSTR path)
{
    if (!path) return;
    CharLowerA(path);
    std::string_view s{path};
    bool capitalise = true;
    // Byte by byte: only a backslash looks at the byte before it, so the
    // second byte of a double-byte character counts as a letter when it is one.
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsAsciiLetter(path[i])) {
            if (capitalise) CharUpperBuffA(path + i, 1);
            capitalise = false;
        } else if (dbcs::IsSeparatorAt(s, i)) {
            capitalise = true;
        }
    }
}
