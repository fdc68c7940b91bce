// The settings store's text logic, in memory, on a settings file whose content comes from the
// input: a key written reads back as its value cut at NUL or a line break, cut to 259 characters
// and trimmed; every other key of the file keeps its value; writing the same value again changes
// nothing; an invalid section or key is refused and leaves the text byte for byte; reading never
// fails, whatever the file holds. No file is touched, so one run costs microseconds.
#include "FuzzCheck.h"
#include "settings/IniAccess.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::IniAccess;
using kuvrion::fuzz::Check;

namespace {

// Section names and keys are compared as Windows-1252 text without regard to letter case.
char Fold(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
        return static_cast<char>(u - 32);
    }
    switch (u) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
        return static_cast<char>(u - 16);
    case 0xFF:
        return static_cast<char>(0x9F);
    default:
        return c;
    }
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

struct Entry {
    std::string section;
    std::string key;
    std::string value;
};

// Readable (section, key) pairs of the text with their values, as ReadEntry gives them (the first
// 4 keys of the first 8 sections: every read parses the whole text).
std::vector<Entry> Snapshot(std::string_view text)
{
    std::vector<Entry> out;
    std::vector<std::string> sections;
    std::vector<std::string> keys;
    const std::int32_t n = IniAccess::GetSectionsIn(text, "*", sections);
    for (std::int32_t i = 0; i < n && i < 8; ++i) {
        const auto& sec = sections[static_cast<std::size_t>(i)];
        const std::int32_t k = IniAccess::GetKeysIn(text, sec, keys);
        for (std::int32_t j = 0; j < k && j < 4; ++j) {
            const auto& key = keys[static_cast<std::size_t>(j)];
            out.push_back({sec, key, IniAccess::ReadEntryIn(text, sec, key, "\x7f<none>")});
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    std::string_view in(reinterpret_cast<const char*>(bytes), size);
    if (in.size() < 3) {
        return 0;
    }
    // Input: lengths of section, key and value, then those three, then the file content.
    const std::size_t secLen = static_cast<unsigned char>(in[0]) % 16;
    const std::size_t keyLen = static_cast<unsigned char>(in[1]) % 16;
    const std::size_t valLen = static_cast<std::size_t>(static_cast<unsigned char>(in[2])) * 2;
    in.remove_prefix(3);
    if (in.size() < secLen + keyLen) {
        return 0;
    }
    const std::string section(in.substr(0, secLen));
    const std::string key(in.substr(secLen, keyLen));
    in.remove_prefix(secLen + keyLen);
    const std::string value(in.substr(0, valLen));
    in.remove_prefix(std::min(valLen, in.size()));
    const std::string content(in);

    std::string text = content;
    const std::vector<Entry> before = Snapshot(text);

    // Names the file syntax can carry; others are refused.
    const std::string_view trimmedKey = TrimBlanks(key);
    const bool writable =
        !section.empty() &&
        section.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos &&
        !trimmedKey.empty() && trimmedKey.front() != ';' && trimmedKey.front() != '[' &&
        trimmedKey.find_first_of(std::string_view("=\r\n\0", 4)) == std::string::npos;
    const bool ok = IniAccess::WriteEntryIn(text, section, key, value);
    Check(ok == writable, "a valid key is written, an invalid one refused");
    if (!ok) {
        Check(text == content, "a refused write leaves the text byte for byte");
        return 0;
    }

    std::string_view expected(value);
    expected = expected.substr(0, expected.find_first_of(std::string_view("\0\r\n", 3)));
    expected = TrimBlanks(expected.substr(0, IniAccess::kMaxValue));
    Check(IniAccess::ReadEntryIn(text, section, key, "\x7f<none>") == expected,
          "a written key reads back as its trimmed, cut value");

    for (const Entry& e : before) {
        if (SameName(e.section, section) && SameName(TrimBlanks(e.key), trimmedKey)) {
            continue;
        }
        Check(IniAccess::ReadEntryIn(text, e.section, e.key, "\x7f<none>") == e.value,
              "every other key keeps its value");
    }

    const std::string written = text;
    Check(IniAccess::WriteEntryIn(text, section, key, value) && text == written,
          "writing the same value again changes nothing");
    return 0;
}
