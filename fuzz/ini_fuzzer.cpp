// The settings store on a real file whose content comes from the input: a key written reads back
// as its value cut at NUL or a line break, cut to 259 characters and trimmed; every other key of
// the file keeps its value; reading never fails, whatever the file holds.
#include "FuzzCheck.h"
#include "settings/IniAccess.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

using kuvrion::IniAccess;
using kuvrion::fuzz::Check;
namespace fs = std::filesystem;

namespace {

// One folder per process, in memory-backed storage when there is some (every run rewrites the
// file), removed when the process ends.
class FuzzFolder {
public:
    FuzzFolder()
    {
        std::error_code ec;
        m_dir = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        m_dir /= "kuvrion-ini-fuzz-" + std::to_string(::getpid());
        fs::create_directories(m_dir);
    }
    ~FuzzFolder()
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    fs::path File() const { return m_dir / "kuvrion.ini"; }

private:
    fs::path m_dir;
};

const fs::path& IniPath()
{
    static const FuzzFolder folder;
    static const fs::path path = folder.File();
    return path;
}

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

// Readable (section, key) pairs of the file with their values, as ReadEntry gives them. Every
// call reads the whole file, so only the first few are taken.
std::vector<Entry> Snapshot(const IniAccess& ini)
{
    std::vector<Entry> out;
    std::vector<std::string> sections;
    const std::int32_t n = ini.GetSections("*", sections);
    for (std::int32_t i = 0; i < n && i < 8; ++i) {
        std::vector<std::string> keys;
        const std::int32_t k = ini.GetKeys(sections[static_cast<std::size_t>(i)], keys);
        for (std::int32_t j = 0; j < k && j < 4; ++j) {
            const auto& sec = sections[static_cast<std::size_t>(i)];
            const auto& key = keys[static_cast<std::size_t>(j)];
            out.push_back({sec, key, ini.ReadEntry(sec, key, "\x7f<none>")});
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

    {
        std::FILE* f = std::fopen(IniPath().c_str(), "wb");
        Check(f != nullptr, "the fuzz file can be created");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    IniAccess ini;
    ini.IniFile(IniPath().string());
    const std::vector<Entry> before = Snapshot(ini);

    // Names the file syntax can carry; others are refused.
    const std::string_view trimmedKey = TrimBlanks(key);
    const bool writable =
        !section.empty() &&
        section.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos &&
        !trimmedKey.empty() && trimmedKey.front() != ';' && trimmedKey.front() != '[' &&
        trimmedKey.find_first_of(std::string_view("=\r\n\0", 4)) == std::string::npos;
    const bool ok = ini.WriteEntry(section, key, value);
    Check(ok == writable, "a valid key is written, an invalid one refused");
    if (!ok) {
        std::FILE* f = std::fopen(IniPath().c_str(), "rb");
        std::string now;
        std::array<char, 4096> buf{};
        for (std::size_t n = 0; f && (n = std::fread(buf.data(), 1, buf.size(), f)) > 0;) {
            now.append(buf.data(), n);
        }
        if (f) {
            std::fclose(f);
        }
        Check(now == content, "a refused write leaves the file byte for byte");
        return 0;
    }

    std::string_view expected(value);
    expected = expected.substr(0, expected.find_first_of(std::string_view("\0\r\n", 3)));
    expected = TrimBlanks(expected.substr(0, IniAccess::kMaxValue));
    Check(ini.ReadEntry(section, key, "\x7f<none>") == expected,
          "a written key reads back as its trimmed, cut value");

    for (const Entry& e : before) {
        if (SameName(e.section, section) && SameName(TrimBlanks(e.key), trimmedKey)) {
            continue;
        }
        Check(ini.ReadEntry(e.section, e.key, "\x7f<none>") == e.value,
              "every other key keeps its value");
    }
    return 0;
}
