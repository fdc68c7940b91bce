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
bool SameName(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        const bool lower = (u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7);
        return u == 0xFF                               ? 0x9F
               : lower                                 ? u - 32
               : (u == 0x9A || u == 0x9C || u == 0x9E) ? u - 16
                                                       : u;
    };
    return std::ranges::equal(a, b, {}, fold, fold);
}

std::string_view TrimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    return first == std::string_view::npos ? ""
                                           : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The names of the section headers: lines that, trimmed, are "[name]" with a name.
std::vector<std::string> SectionNames(std::string_view text)
{
    std::vector<std::string> names;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view line = TrimBlanks(text.substr(at, end - at));
        if (line.size() >= 3 && line.front() == '[' && line.back() == ']')
            names.emplace_back(line.substr(1, line.size() - 2));
        at = end + 1;
    }
    return names;
}

constexpr const char* kNone = "\x7f<none>";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // Input: lengths of section, key and value, then those three, then the file content.
    if (size < 3 || size < 3u + bytes[0] % 16 + bytes[1] % 16) {
        return 0;
    }
    const std::string_view in(reinterpret_cast<const char*>(bytes) + 3, size - 3);
    const std::size_t secLen = bytes[0] % 16;
    const std::size_t keyLen = bytes[1] % 16;
    const std::size_t valLen = bytes[2] * 2u;
    const std::string section(in.substr(0, secLen));
    const std::string key(in.substr(secLen, keyLen));
    const std::string_view rest = in.substr(secLen + keyLen);
    const std::string value(rest.substr(0, valLen));
    const std::string content(rest.substr(std::min(valLen, rest.size())));

    // Names the file syntax can carry; others are refused.
    const std::string_view trimmedKey = TrimBlanks(key);
    const bool writable =
        !section.empty() &&
        section.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos &&
        !trimmedKey.empty() && trimmedKey.front() != ';' && trimmedKey.front() != '[' &&
        trimmedKey.find_first_of(std::string_view("=\r\n\0", 4)) == std::string::npos;
    std::string text = content;
    Check(IniAccess::WriteEntryIn(text, section, key, value) == writable,
          "a valid key is written, an invalid one refused");
    if (!writable) {
        Check(text == content, "a refused write leaves the text byte for byte");
        return 0;
    }

    std::string_view expected(value);
    expected = expected.substr(0, expected.find_first_of(std::string_view("\0\r\n", 3)));
    Check(IniAccess::ReadEntryIn(text, section, key, kNone) ==
              TrimBlanks(expected.substr(0, IniAccess::kMaxValue)),
          "a written key reads back as its trimmed, cut value");
    // The first 4 keys of the first 8 sections (every read parses the whole text).
    const std::vector<std::string> sections = SectionNames(content);
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < sections.size() && i < 8; ++i) {
        const std::string& sec = sections[i];
        for (std::int32_t j = 0, k = IniAccess::GetKeysIn(content, sec, keys); j < k && j < 4;
             ++j) {
            if (!SameName(sec, section) || !SameName(TrimBlanks(keys[j]), trimmedKey)) {
                Check(IniAccess::ReadEntryIn(text, sec, keys[j], kNone) ==
                          IniAccess::ReadEntryIn(content, sec, keys[j], kNone),
                      "every other key keeps its value");
            }
        }
    }
    const std::string written = text;
    Check(IniAccess::WriteEntryIn(text, section, key, value) && text == written,
          "writing the same value again changes nothing");
    return 0;
}
