// The dialog templates and the clip are part of the library's contract:
// controls, ids, classes, texts and geometry as the callers' code expects.
#include <gtest/gtest.h>
#include "dadada32.h"
#include "resource.h"
#include <commctrl.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Control {
    int id;
    std::string cls, text;
    int x, y, cx, cy;
    DWORD style;
};

struct Template {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0, points = 0;
    std::string caption, face;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATE (the classic form, which windres writes for DIALOG).
class Reader {
public:
    explicit Reader(const BYTE *p) : p_(p) {}
    WORD word() { WORD w; std::memcpy(&w, p_, 2); p_ += 2; return w; }
    DWORD dword() { return word() | DWORD(word()) << 16; }
    short coord() { return static_cast<short>(word()); }
    std::string text()   // a string, or an ordinal as "#N", or "" for none
    {
        WORD first = word();
        if (first == 0xFFFF) return "#" + std::to_string(word());
        std::string s;
        for (WORD c = first; c; c = word()) s += static_cast<char>(c);
        return s;
    }
    void align() { p_ = reinterpret_cast<const BYTE *>((reinterpret_cast<UINT_PTR>(p_) + 3) & ~UINT_PTR(3)); }
private:
    const BYTE *p_;
};

std::string ClassName(const std::string &cls)
{
    static const char *const atoms[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (cls.size() > 1 && cls[0] == '#') {
        unsigned atom = std::stoul(cls.substr(1));
        if (atom >= 0x80 && atom < 0x86) return atoms[atom - 0x80];
    }
    return cls;
}

bool LoadTemplate(LPCSTR name, Template &t)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    HRSRC res = FindResourceA(dll, name, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!res) return false;
    Reader r(static_cast<const BYTE *>(LockResource(LoadResource(dll, res))));
    t.style = r.dword();
    r.dword();
    const WORD count = r.word();
    t.x = r.coord(), t.y = r.coord(), t.cx = r.coord(), t.cy = r.coord();
    r.text();   // menu
    r.text();   // class
    t.caption = r.text();
    if (t.style & DS_SETFONT) {
        t.points = r.word();
        t.face = r.text();
    }
    for (WORD i = 0; i < count; ++i) {
        r.align();
        Control c;
        c.style = r.dword();
        r.dword();
        c.x = r.coord(), c.y = r.coord(), c.cx = r.coord(), c.cy = r.coord();
        c.id = r.word();
        c.cls = ClassName(r.text());
        c.text = r.text();
        for (WORD extra = r.word(); extra; extra -= 2) r.word();
        t.controls.push_back(c);
    }
    return true;
}

// The style bits that tell a control's kind (button type, static type...).
DWORD KindMask(const std::string &cls, DWORD bits)
{
    if (cls == "Button") return BS_TYPEMASK;
    if (cls == "Static") return SS_TYPEMASK;
    if (cls == "ComboBox") return 0x3;
    return bits;
}

constexpr DWORD kShown = WS_VISIBLE, kHidden = 0;
const struct Expected {
    LPCSTR name;
    DWORD style;                  // exactly
    int x, y, cx, cy;
    const char *caption, *face;
    struct { int id; const char *cls, *text; int x, y, cx, cy; DWORD visible, bits; } controls[16];
} kTemplates[] = {
    {MAKEINTRESOURCEA(IDD_NOTIFY), DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
     0, 0, 219, 77, "Replace me with something meaningful.", "MS Sans Serif",
     {{IDOK, "Button", "OK", 85, 56, 50, 14, kShown, BS_DEFPUSHBUTTON},
      {IDC_NOTIFY_ICON, "Static", "", 13, 10, 18, 20, kHidden, SS_BLACKFRAME},
      {IDC_NOTIFY_TEXT, "Static", "", 45, 8, 161, 39, kShown, SS_LEFT},
      {IDC_NOTIFY_YES, "Button", "&Yes", 51, 56, 50, 14, kShown, BS_PUSHBUTTON},
      {IDC_NOTIFY_NO, "Button", "&No", 116, 56, 50, 14, kShown, BS_PUSHBUTTON}}},
    {MAKEINTRESOURCEA(IDD_CONNECT), DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE,
     0, 0, 199, 51, "", "MS Sans Serif",
     {{IDC_CONNECT_ANIMATE, ANIMATE_CLASSA, "#101", 10, 15, 20, 20, kHidden, ACS_TRANSPARENT},
      {0xFFFF, "Static", "Attempting to establish communication with server %s", 47, 10, 142, 18, kShown, SS_LEFT},
      {IDCANCEL, "Button", "Cancel", 143, 31, 50, 14, kShown, BS_PUSHBUTTON},
      {0xFFFF, "Static", "Please wait...", 47, 28, 74, 7, kShown, SS_LEFT}}},
    {"BROWSEDIRECTORY", 0x80C800C0, 36, 24, 218, 134, "Open", "Helv",
     {{1090, "Static", "File &Name:", 6, -100, 76, 10, kShown, 0},
      {1152, "Edit", "", 6, -100, 90, 12, kShown, 0},
      {1120, "ListBox", "", 6, -100, 90, 68, kShown, 0},
      {1040, "Button", "&Read Only", 208, -100, 50, 12, kShown, BS_AUTOCHECKBOX},
      {1089, "Static", "List Files of &Type:", 6, -100, 90, 9, kShown, 0},
      {1136, "ComboBox", "", 6, -100, 90, 36, kShown, CBS_DROPDOWNLIST},
      {1038, "Button", "&Help", 162, 42, 50, 14, kShown, BS_PUSHBUTTON},
      {0xFFFF, "Static", "&Directories:", 6, 6, 150, 9, kShown, 0},
      {1088, "Static", "", 6, 16, 150, 9, kShown, 0},
      {1121, "ListBox", "", 6, 31, 150, 68, kShown, 0},
      {1091, "Static", "Dri&ves:", 6, 106, 150, 9, kShown, 0},
      {1137, "ComboBox", "", 6, 116, 150, 68, kShown, CBS_DROPDOWNLIST},
      {IDOK, "Button", "OK", 162, 6, 50, 14, kShown, BS_DEFPUSHBUTTON},
      {IDCANCEL, "Button", "Cancel", 162, 24, 50, 14, kShown, BS_PUSHBUTTON},
      {1037, "Button", "Net&work...", 162, 116, 50, 14, kShown, BS_PUSHBUTTON}}},
};

TEST(DialogResources, TemplatesHaveTheirControls)
{
    for (const auto &e : kTemplates) {
        const std::string what = IS_INTRESOURCE(e.name) ? std::to_string(LOWORD(e.name)) : e.name;
        Template t;
        ASSERT_TRUE(LoadTemplate(e.name, t)) << what;
        EXPECT_EQ(e.style, t.style) << what;
        EXPECT_EQ((std::vector<int>{e.x, e.y, e.cx, e.cy}), (std::vector<int>{t.x, t.y, t.cx, t.cy})) << what;
        EXPECT_EQ(e.caption, t.caption) << what;
        EXPECT_EQ(8, t.points) << what;
        EXPECT_EQ(e.face, t.face) << what;
        size_t n = 0;
        for (const auto &c : e.controls) {
            if (!c.cls) break;
            ASSERT_LT(n, t.controls.size()) << what;
            const Control &got = t.controls[n++];
            const std::string where = what + " control " + std::to_string(n);
            EXPECT_EQ(c.id, got.id) << where;
            EXPECT_STRCASEEQ(c.cls, got.cls.c_str()) << where;
            EXPECT_EQ(c.text, got.text) << where;
            EXPECT_EQ(c.x, got.x) << where;
            EXPECT_EQ(c.y, got.y) << where;
            EXPECT_EQ((std::vector<int>{c.cx, c.cy}), (std::vector<int>{got.cx, got.cy})) << where;
            EXPECT_EQ(c.visible, got.style & WS_VISIBLE) << where;
            EXPECT_EQ(c.bits, got.style & KindMask(c.cls, c.bits)) << where;
        }
        EXPECT_EQ(n, t.controls.size()) << what;
    }
}

TEST(DialogResources, TheConnectionClipIsAnAvi)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    HRSRC res = FindResourceA(dll, MAKEINTRESOURCEA(IDA_CONNECT), "AVI");
    ASSERT_TRUE(res);
    const auto *p = static_cast<const char *>(LockResource(LoadResource(dll, res)));
    ASSERT_GT(SizeofResource(dll, res), 64u);
    EXPECT_EQ(0, std::memcmp(p, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(p + 8, "AVI LIST", 8));
}

} // namespace
