// Exclusion lists kept in a profile (INI) file: section "ExcludedItems",
// "NumExcludeItems", and one "ExcludedItem_<n>" value per item in the form
// folder|pattern|mask|subfolders.
#include "EXCLUDE/exclude_list.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace dada::exclude {

namespace {

constexpr DWORD kReadSize = kPathMax;   // values are read back into this many bytes
constexpr DWORD kWriteSize = 520;   // and written from this many

// A bounded, always terminated text under construction.
template <size_t N> class Text {
public:
    Text &operator<<(std::string_view s)
    {
        size_t n = std::min(s.size(), N - 1 - len_);
        std::memcpy(buf_ + len_, s.data(), n);
        len_ += n;
        buf_[len_] = 0;
        return *this;
    }
    template <class Int> Text &Number(Int v)
    {
        char digits[16];
        auto r = std::to_chars(digits, digits + sizeof digits, v);
        return *this << std::string_view(digits, r.ptr - digits);
    }
    const char *c_str() const { return buf_; }
private:
    char buf_[N] = {};
    size_t len_ = 0;
};

Text<32> ItemKey(DWORD index)
{
    Text<32> key;
    key << kItemKeyPrefix;
    key.Number(index);
    return key;
}

// Copies text[0, len) into a field of `N` bytes, cut to fit.
template <size_t N> void SetField(char (&field)[N], const char *text, size_t len)
{
    if (len > N - 1) len = N - 1;
    std::memcpy(field, text, len);
    field[len] = 0;
}

} // namespace

DWORD ParseDecimal(const char *p)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    DWORD n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) n = n * 10 + DWORD(*p - '0');
    return negative ? DWORD(0) - n : n;
}

bool ParseItemValue(const char *value, ExcludeItem *item)
{
    if (!*value) return false;
    const char *bar = std::strchr(value, '|');
    if (!bar) return false;
    SetField(item->folder, value, size_t(bar - value));

    const char *pattern = bar + 1;
    bar = std::strchr(pattern, '|');
    if (!bar) return false;
    SetField(item->pattern, pattern, size_t(bar - pattern));

    const char *mask = bar + 1;
    item->mask = ParseDecimal(mask);
    bar = std::strchr(mask, '|');
    if (!bar) return false;
    item->subfolders = ParseDecimal(bar + 1);
    return true;
}

ProfileSection::ProfileSection(const char *profile)
{
    // The whole section in one read, as "key=value" strings; the buffer
    // grows until the section fits.
    std::vector<char> text(1 << 16);
    for (;;) {
        DWORD n = GetPrivateProfileSectionA(kSection, text.data(), DWORD(text.size()), profile);
        if (n + 2 < text.size()) break;
        if (text.size() >= kMaxSectionBytes) return;
        text.resize(text.size() * 4);
    }
    for (const char *line = text.data(); *line; line += std::strlen(line) + 1) {
        const char *eq = std::strchr(line, '=');
        if (!eq) continue;
        std::string key(line, eq);
        for (char &c : key) c = AsciiLower(c);
        // The first of two equal keys is the one a single read finds.
        values_.try_emplace(std::move(key), Value(eq + 1));
    }
}

std::string ProfileSection::Value(std::string_view v)
{
    // As a single read gives it: one pair of enclosing quotes dropped, cut
    // to the read buffer.
    if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v.substr(0, kReadSize - 1));
}

const char *ProfileSection::Find(const char *key) const
{
    std::string k(key);
    for (char &c : k) c = AsciiLower(c);
    auto it = values_.find(k);
    return it == values_.end() ? "" : it->second.c_str();
}

bool ProfileSection::ReadItem(DWORD index, ExcludeItem *item) const
{
    return ParseItemValue(Find(ItemKey(index).c_str()), item);
}

DWORD ProfileSection::Count() const { return ParseDecimal(Find(kCountKey)); }

bool ProfileWriteItem(const List *list, DWORD index, const ExcludeItem *item)
{
    Text<kWriteSize> value;
    value << Field(item->folder) << "|" << Field(item->pattern) << "|";
    value.Number(LONG(item->mask)) << "|";
    value.Number(LONG(item->subfolders));
    return WritePrivateProfileStringA(kSection, ItemKey(index).c_str(), value.c_str(), list->profile) != 0;
}

void ProfileDeleteItem(const List *list, DWORD index)
{
    WritePrivateProfileStringA(kSection, ItemKey(index).c_str(), nullptr, list->profile);
}

void ProfileWriteCount(const List *list, DWORD count)
{
    Text<16> value;
    value.Number(count);
    WritePrivateProfileStringA(kSection, kCountKey, value.c_str(), list->profile);
}

} // namespace dada::exclude
