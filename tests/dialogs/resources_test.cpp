// The dialog templates are part of the library's contract: controls, ids,
// classes, texts and geometry as the callers' code expects.  (The clip is
// proved by the connection dialog playing it.)
#include <gtest/gtest.h>
#include "dadada32.h"
#include "resource.h"
#include <commctrl.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads a DLGTEMPLATE (the classic form, which windres writes for DIALOG).
class Reader {
public:
    explicit Reader(const BYTE *p) : p_(p) {}
    WORD word() { WORD w; std::memcpy(&w, p_, 2); p_ += 2; return w; }
    DWORD dword() { return word() | DWORD(word()) << 16; }
    std::string coords()   // "x,y cx x cy"
    {
        short v[4];
        for (short &c : v) c = static_cast<short>(word());
        return std::to_string(v[0]) + "," + std::to_string(v[1]) + " " + std::to_string(v[2]) + "x" + std::to_string(v[3]);
    }
    std::string text()     // a string, an ordinal as "#N", or "" for none
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

// One line for the template, then one per control: id, class, text,
// position and size, visibility, and the style bits that tell its kind.
std::vector<std::string> Describe(LPCSTR name)
{
    HMODULE dll = GetModuleHandleA("DADADA32.dll");
    HRSRC res = FindResourceA(dll, name, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!res) return {};
    Reader r(static_cast<const BYTE *>(LockResource(LoadResource(dll, res))));
    char style[16];
    std::snprintf(style, sizeof style, "%08lx", r.dword());
    r.dword();
    const WORD count = r.word();
    const std::string where = r.coords();
    r.text();   // menu
    r.text();   // class
    const std::string caption = r.text();
    const WORD points = r.word();   // every template here has a font
    std::vector<std::string> lines{std::string(style) + " " + where + " '" + caption + "' " +
                                   std::to_string(points) + " " + r.text()};
    static const char *const atoms[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (WORD i = 0; i < count; ++i) {
        r.align();
        const DWORD s = r.dword();
        r.dword();
        const std::string place = r.coords();
        const int id = r.word();
        std::string cls = r.text();
        if (cls.size() > 1 && cls[0] == '#') cls = atoms[std::stoul(cls.substr(1)) - 0x80];
        CharUpperA(cls.data());
        const DWORD kind = s & (cls == "BUTTON" ? BS_TYPEMASK : cls == "STATIC" ? SS_TYPEMASK : 0x3);
        const std::string text = r.text();
        lines.push_back(std::to_string(id) + " " + cls + " '" + text + "' " + place +
                        (s & WS_VISIBLE ? " shown" : " hidden") + " kind " + std::to_string(kind));
        for (WORD extra = r.word(); extra; extra -= 2) r.word();
    }
    return lines;
}

TEST(DialogResources, TemplatesHaveTheirControls)
{
    const struct { LPCSTR name; std::vector<std::string> lines; } templates[] = {
        {MAKEINTRESOURCEA(IDD_NOTIFY), {
            "80c800c0 0,0 219x77 'Replace me with something meaningful.' 8 MS Sans Serif",
            "1 BUTTON 'OK' 85,56 50x14 shown kind 1",              // default push button
            "94 STATIC '' 13,10 18x20 hidden kind 7",              // black frame
            "95 STATIC '' 45,8 161x39 shown kind 0",               // left-aligned text
            "96 BUTTON '&Yes' 51,56 50x14 shown kind 0",
            "97 BUTTON '&No' 116,56 50x14 shown kind 0"}},
        {MAKEINTRESOURCEA(IDD_CONNECT), {
            "900000c0 0,0 199x51 '' 8 MS Sans Serif",               // visible popup, modal frame, no caption
            "105 SYSANIMATE32 '#101' 10,15 20x20 hidden kind 2",   // transparent
            "65535 STATIC 'Attempting to establish communication with server %s' 47,10 142x18 shown kind 0",
            "2 BUTTON 'Cancel' 143,31 50x14 shown kind 0",
            "65535 STATIC 'Please wait...' 47,28 74x7 shown kind 0"}},
        {"BROWSEDIRECTORY", {
            "80c800c0 36,24 218x134 'Open' 8 Helv",
            "1090 STATIC 'File &Name:' 6,-100 76x10 shown kind 0",
            "1152 EDIT '' 6,-100 90x12 shown kind 0",
            "1120 LISTBOX '' 6,-100 90x68 shown kind 3",
            "1040 BUTTON '&Read Only' 208,-100 50x12 shown kind 3",
            "1089 STATIC 'List Files of &Type:' 6,-100 90x9 shown kind 0",
            "1136 COMBOBOX '' 6,-100 90x36 shown kind 3",          // drop-down list
            "1038 BUTTON '&Help' 162,42 50x14 shown kind 0",
            "65535 STATIC '&Directories:' 6,6 150x9 shown kind 0",
            "1088 STATIC '' 6,16 150x9 shown kind 0",
            "1121 LISTBOX '' 6,31 150x68 shown kind 3",
            "1091 STATIC 'Dri&ves:' 6,106 150x9 shown kind 0",
            "1137 COMBOBOX '' 6,116 150x68 shown kind 3",
            "1 BUTTON 'OK' 162,6 50x14 shown kind 1",
            "2 BUTTON 'Cancel' 162,24 50x14 shown kind 0",
            "1037 BUTTON 'Net&work...' 162,116 50x14 shown kind 0"}},
    };
    for (const auto &t : templates) EXPECT_EQ(t.lines, Describe(t.name));
}

} // namespace
