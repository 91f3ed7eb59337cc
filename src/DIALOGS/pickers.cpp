// The folder and file pickers: the shell's folder browser first, the
// file-open dialog as the fallback.  For a folder the file-open dialog uses
// the "BROWSEDIRECTORY" template, which hides the file controls; its hook
// types a fixed name on OK so that the dialog accepts the current folder,
// and the name is cut off again afterwards.
// Thread-safety: each call runs its modal dialog on the caller's thread and
// keeps no state of its own between calls.
#include "dadada32.h"
#include "resource.h"
#include "dada/limits.h"
#include "DIALOGS/dialogs_internal.h"
#include "dada/memblock.h"
#include "FRAME/module.h"
#include "NAME/dbcs.h"
#include "zoredo32.h"
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>
#include <cstddef>
#include <cstring>
#include <string>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(RemoteBrowseInfo) == 44);
static_assert(offsetof(RemoteBrowseInfo, pattern) == 28);
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76);
#endif

namespace {

using namespace dada::dialogs;

constexpr DWORD kShellPath = dada::kPathMax;        // what the shell writes into a display-name buffer
constexpr int kTextBuffer = dada::kPathMax;         // titles, prompts, file titles, filters
constexpr char kFolderPickName[] = "MSH.HSM";
// The kernel service's attribute bit for a folder: the starting-folder step
// and the shell selection both go by it.
constexpr DWORD kFolderAttribute = ZK_ATTR_FOLDER;

// The shell's allocator and the desktop's item, for the length of a scope.
class ShellScope {
public:
    ShellScope()
    {
        if (FAILED(SHGetMalloc(&malloc_))) malloc_ = nullptr;
        if (malloc_ && FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root_))) root_ = nullptr;
    }
    ~ShellScope()
    {
        if (!malloc_) return;
        if (root_) malloc_->Free(root_);
        malloc_->Release();
    }
    ShellScope(const ShellScope &) = delete;
    ShellScope &operator=(const ShellScope &) = delete;

    bool ready() const { return root_ != nullptr; }
    LPCITEMIDLIST root() const { return root_; }
    void free(LPITEMIDLIST item) const { if (item) malloc_->Free(item); }

private:
    IMalloc *malloc_ = nullptr;
    LPITEMIDLIST root_ = nullptr;
};

// The root of the first fixed drive, else of the first removable or CD-ROM
// drive, else of the first remote drive.
bool FirstDriveRoot(LPSTR root)
{
    char found[3] = {};   // first letter of each kind, in order of preference
    char probe[] = "_:\\";
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        probe[0] = letter;
        int kind;
        switch (GetDriveTypeA(probe)) {
        case DRIVE_FIXED: kind = 0; break;
        case DRIVE_REMOVABLE: case DRIVE_CDROM: kind = 1; break;
        case DRIVE_REMOTE: kind = 2; break;
        default: continue;
        }
        if (!found[kind]) found[kind] = letter;
    }
    for (char letter : found)
        if (letter) {
            std::strcpy(root, probe);
            root[0] = letter;
            return true;
        }
    return false;
}

UINT_PTR CALLBACK FolderPickHook(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return 1;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) SetDlgItemTextA(dialog, edt1, kFolderPickName);
    return 0;
}

UINT_PTR CALLBACK PlainHook(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// One run of the file-open dialog; `folders` picks a folder.
BOOL RunOpenDialog(HWND owner, LPSTR file, DWORD size, LPSTR fileTitle, LPCSTR startFolder,
                   LPCSTR title, LPCSTR filter, bool folders)
{
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = dada::g_module;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = size;
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = kTextBuffer;
    ofn.lpstrInitialDir = startFolder;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_ENABLEHOOK | OFN_NOCHANGEDIR | (folders ? OFN_ENABLETEMPLATE : 0);
    ofn.lpTemplateName = folders ? IDD_BROWSEDIRECTORY : nullptr;
    ofn.lpfnHook = folders ? FolderPickHook : PlainHook;
    // The dialog may not change the current folder; some platforms change it
    // all the same while the user walks the folders.
    char current[kShellPath];
    const DWORD kept = GetCurrentDirectoryA(sizeof current, current);
    const BOOL chosen = GetOpenFileNameA(&ofn);
    if (kept && kept < sizeof current) SetCurrentDirectoryA(current);
    if (chosen) return TRUE;
    CommDlgExtendedError();   // clears the dialog's error; its value is not used
    return FALSE;
}

// Cuts the fixed name and the separator before it off a folder pick; a
// drive keeps its backslash.  The name's length is the file title's; a
// platform that leaves the title empty appended the name after the last
// separator all the same.
void TrimPickedName(LPSTR path, DWORD size, LPCSTR fileTitle)
{
    const size_t length = std::strlen(path);
    size_t cut = std::strlen(fileTitle) + 1;
    if (!*fileTitle) {
        const size_t slash = dada::dbcs::FindLast(path, '\\');
        cut = slash == std::string_view::npos ? length + 1 : length - slash;
    }
    const size_t end = length > cut ? length - cut : 0;
    path[end] = '\0';
    if (end == 2 && path[1] == ':' && size > 3) std::strcpy(path + 2, "\\");
}

// Where the file-open dialog starts: the path's folder (the path itself
// when it is a folder), else the current folder, else the first drive.
bool StartingFolder(LPCSTR path, LPSTR start)
{
    DWORD attributes = 0;
    if (path && ZK_GetAttributes(path, &attributes)) {
        lstrcpynA(start, path, kShellPath);
        if (attributes & kFolderAttribute) return true;
        size_t slash = dada::dbcs::FindLast(start, '\\');
        if (slash != std::string_view::npos) {
            start[slash + 1] = '\0';
            return true;
        }
    }
    DWORD n = GetCurrentDirectoryA(kShellPath, start);
    if (n && n < kShellPath) return true;
    return FirstDriveRoot(start);
}

std::string OwnText(UINT id)
{
    char text[kTextBuffer];
    LoadText(dada::g_module, id, text, sizeof text);
    return text;
}

// The filter pair offered for `path`, from the extension that its first dot
// starts; written as description, pattern, each zero-terminated, then a zero.
void BuildFilter(LPCSTR path, LPSTR filter)
{
    constexpr size_t kExtension = 4;   // the dot and three characters
    std::string_view p = path ? path : "";
    const size_t dot = dada::dbcs::Find(p, '.');
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : p.substr(dot);
    std::string description, pattern;
    if (ext.size() != kExtension) {
        description = OwnText(IDS_ALL_FILES);
        pattern = OwnText(IDS_ALL_FILES_FILTER);
    } else {
        const std::string e(ext);
        const struct { UINT pattern, description; } known[] = {
            {IDS_TXT_FILTER, IDS_TXT_FILES}, {IDS_LOG_FILTER, IDS_LOG_FILES}};
        for (const auto &k : known) {
            const std::string own = OwnText(k.pattern);
            if (own.size() > 1 && lstrcmpiA(e.c_str(), own.c_str() + 1) == 0) {
                description = OwnText(k.description);
                pattern = own;
                break;
            }
        }
        if (pattern.empty()) {
            description = e.substr(1) + " " + OwnText(IDS_FILES);
            pattern = "*" + e;
        }
    }
    const std::string pair = description + '\0' + pattern + '\0' + '\0';
    std::memcpy(filter, pair.data(), pair.size() < size_t(kTextBuffer) ? pair.size() : 0);
}

// Shell browser of FileBrowseDialog: enables OK for an acceptable selection.
bool Acceptable(const RemoteBrowseInfo &info, LPCITEMIDLIST item)
{
    char path[kShellPath];
    DWORD attributes = 0;
    if (!item || !SHGetPathFromIDListA(item, path) || !ZK_GetAttributes(path, &attributes)) return false;
    const bool folder = (attributes & kFolderAttribute) != 0;
    if (info.filesOnly && folder) return false;
    if (info.mode && folder) return true;
    return NameWildcardMatch(info.pattern, path) != FALSE;
}

int CALLBACK SelectionCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data)
{
    const auto &info = *reinterpret_cast<const RemoteBrowseInfo *>(data);
    if (message == BFFM_INITIALIZED) {
        char prompt[kTextBuffer];
        if (LoadText(OwnerModule(info.owner), info.promptId, prompt, sizeof prompt))
            SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(prompt));
    } else if (message == BFFM_SELCHANGED) {
        const BOOL acceptable = Acceptable(info, reinterpret_cast<LPCITEMIDLIST>(lParam));
        SendMessageA(browser, BFFM_ENABLEOK, 0, acceptable);
        // Again once this notification is done: a browser that checks the
        // selection itself after telling us must not override the answer.
        PostMessageA(browser, BFFM_ENABLEOK, 0, acceptable);
    }
    return 0;
}

struct ShellRequest {
    BROWSEINFOA browse;
    char displayName[kShellPath];
    char title[kTextBuffer];
};

// The shell step of FileBrowseDialog: true when a path was chosen and fitted.
bool ShellPickFile(RemoteBrowseInfo &info)
{
    ShellScope shell;
    if (!shell.ready()) return false;
    dada::BlockPtr<ShellRequest> request(dada::BlockNew<ShellRequest>(dada::Block::Fixed));
    if (!request) return false;
    BROWSEINFOA &b = request->browse;
    b.hwndOwner = info.owner;
    b.pidlRoot = shell.root();
    b.pszDisplayName = request->displayName;
    LoadText(OwnerModule(info.owner), info.titleId, request->title, sizeof request->title);
    b.lpszTitle = request->title;
    b.ulFlags = BIF_RETURNONLYFSDIRS | (info.mode ? 0 : BIF_RETURNFSANCESTORS) |
                (info.promptId ? BIF_STATUSTEXT : 0);
    b.lpfn = SelectionCallback;
    b.lParam = reinterpret_cast<LPARAM>(&info);
    LPITEMIDLIST item = SHBrowseForFolderA(&b);
    bool chosen = false;
    if (item && SHGetPathFromIDListA(item, request->displayName) && info.path &&
        std::strlen(request->displayName) < info.pathSize) {
        std::strcpy(info.path, request->displayName);
        chosen = true;
    }
    shell.free(item);
    return chosen;
}

struct OpenRequest {
    char fileTitle[kTextBuffer];
    char title[kTextBuffer];
    char filter[kTextBuffer];
};

BOOL OpenPickFile(RemoteBrowseInfo &info)
{
    // A path without its terminator inside the buffer is cut to fit it.
    if (info.path && info.pathSize && !std::memchr(info.path, 0, info.pathSize)) info.path[info.pathSize - 1] = '\0';
    char start[kShellPath];
    if (!StartingFolder(info.path, start)) return FALSE;
    dada::BlockPtr<OpenRequest> request(dada::BlockNew<OpenRequest>(dada::Block::Fixed));
    if (!request) return FALSE;
    LPCSTR filter = info.pattern;
    if (!info.mode && !info.pattern) {
        BuildFilter(info.path, request->filter);
        filter = request->filter;
    }
    LoadText(OwnerModule(info.owner), info.titleId, request->title, sizeof request->title);
    const bool folders = info.mode != 0;
    BOOL ok = RunOpenDialog(info.owner, info.path, info.pathSize, request->fileTitle, start, request->title,
                            filter, folders);
    // A folder is accepted the way FolderBrowseDialog accepts it.
    if (ok && folders) TrimPickedName(info.path, info.pathSize, request->fileTitle);
    return ok;
}

} // namespace

extern "C" BOOL DADAAPI IsShellAvailable(void)
{
    IMalloc *allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return FALSE;
    allocator->Release();
    return TRUE;
}

extern "C" BOOL DADAAPI FolderBrowseDialog(HWND owner, LPSTR path, DWORD size, DWORD titleId)
{
    if (!path || !size) return FALSE;
    char title[kTextBuffer] = "";
    if (IsShellAvailable()) {
        if (size < kShellPath) return FALSE;
        ShellScope shell;
        if (!shell.ready()) return FALSE;
        if (titleId) LoadText(OwnerModule(owner), titleId, title, sizeof title);
        BROWSEINFOA b{};
        b.hwndOwner = owner;
        b.pidlRoot = shell.root();
        b.pszDisplayName = path;
        b.lpszTitle = titleId ? title : nullptr;
        b.ulFlags = BIF_RETURNONLYFSDIRS;
        LPITEMIDLIST item = SHBrowseForFolderA(&b);
        char chosen[kShellPath];
        const BOOL ok = item && SHGetPathFromIDListA(item, chosen);
        if (ok) std::strcpy(path, chosen);
        shell.free(item);
        return ok;
    }
    if (titleId) LoadText(OwnerModule(owner), titleId, title, sizeof title);
    char root[4], fileTitle[kTextBuffer] = "";
    const bool haveRoot = FirstDriveRoot(root);
    path[0] = '\0';
    if (!RunOpenDialog(owner, path, size, fileTitle, haveRoot ? root : nullptr, titleId ? title : nullptr,
                       nullptr, true))
        return FALSE;
    TrimPickedName(path, size, fileTitle);
    return TRUE;
}

extern "C" BOOL DADAAPI FileBrowseDialog(RemoteBrowseInfo *info)
{
    if (!info) return FALSE;
    return ShellPickFile(*info) || OpenPickFile(*info);
}
