#include "app/SequenceState.h"

#include "base/ByteText.h"
#include "base/Platform.h"
#include "settings/IniAccess.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

namespace kuvrion {

namespace {

constexpr std::string_view kSection = "sequence";

std::string Key(std::string_view what, std::int32_t bits)
{
    return std::string(what) + std::to_string(bits);
}

std::uint32_t Mask(std::int32_t bits)
{
    return (std::uint32_t{1} << std::clamp(bits, 0, 30)) - 1;
}

// The leading whole number of `text` and the rest after the comma that ends it.
std::optional<std::int64_t> Field(std::string_view& text)
{
    std::int64_t n = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
    if (res.ec != std::errc() || n < 0)
        return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(res.ptr - text.data()));
    if (text.starts_with(','))
        text.remove_prefix(1);
    return n;
}

} // namespace

SequenceState::SequenceState(std::filesystem::path file) : m_file(std::move(file)) {}

std::uint32_t SequenceState::Next(std::int32_t bits) const
{
    IniAccess ini;
    ini.IniFile(PathToUtf8(m_file));
    const std::string text = ini.ReadText();
    const std::string nextText = IniAccess::ReadEntryIn(text, kSection, Key("next", bits));
    std::string_view next = nextText;
    const std::string begunText = IniAccess::ReadEntryIn(text, kSection, Key("begun", bits));
    std::uint32_t value = static_cast<std::uint32_t>(Field(next).value_or(0)) & Mask(bits);
    std::string_view begun = begunText;
    const auto start = Field(begun);
    const auto sheets = Field(begun);
    if (start && sheets) {
        // The marker of a run that stopped: its file renamed (the temporary one gone) means its
        // values may be on paper.
        std::error_code ec;
        const std::filesystem::path temp = PathFromUtf8(Cp1252ToUtf8(begun));
        if (begun.empty() || !std::filesystem::exists(temp, ec))
            value = static_cast<std::uint32_t>((*start + *sheets) & Mask(bits));
    }
    return value;
}

Result<void> SequenceState::Begin(std::int32_t bits, std::uint32_t start, std::int64_t sheets,
                          const std::filesystem::path& tempFile)
{
    IniAccess ini;
    ini.IniFile(PathToUtf8(m_file));
    const std::string marker = std::to_string(start) + "," + std::to_string(sheets) + "," +
                               Utf8ToCp1252(PathToUtf8(tempFile));
    if (marker.size() > IniAccess::kMaxValue) // a cut name would not find the file again
        return Failure{FailureKind::StateWrite, ENAMETOOLONG, 0, PathToUtf8(m_file)};
    // The counter as it stands now goes in with the marker: a marker it replaces may have been
    // resolved in it.
    const std::string nextKey = Key("next", bits), begunKey = Key("begun", bits);
    const IniEntry entries[] = {{kSection, nextKey, std::to_string(Next(bits))},
                                {kSection, begunKey, marker}};
    return ini.WriteEntries(entries);
}

Result<void> SequenceState::Done(std::int32_t bits, std::uint32_t next, const std::string& job,
                         std::uint32_t start)
{
    IniAccess ini;
    ini.IniFile(PathToUtf8(m_file));
    const std::string nextKey = Key("next", bits), jobKey = Key("job", bits),
                      begunKey = Key("begun", bits);
    std::vector<IniEntry> entries = {{kSection, nextKey, std::to_string(next & Mask(bits))},
                                     {kSection, begunKey, ""}};
    if (!job.empty())
        entries.push_back({kSection, jobKey, job + "," + std::to_string(start)});
    return ini.WriteEntries(entries);
}

Result<void> SequenceState::Abandon(std::int32_t bits)
{
    IniAccess ini;
    ini.IniFile(PathToUtf8(m_file));
    return ini.WriteEntry(kSection, Key("begun", bits), "");
}

std::optional<std::uint32_t> SequenceState::JobStart(std::int32_t bits,
                                                     const std::string& job) const
{
    IniAccess ini;
    ini.IniFile(PathToUtf8(m_file));
    const std::string stored = ini.ReadEntry(kSection, Key("job", bits));
    if (!stored.starts_with(job + ","))
        return std::nullopt;
    std::string_view rest = std::string_view(stored).substr(job.size() + 1);
    const auto start = Field(rest);
    if (!start)
        return std::nullopt;
    return static_cast<std::uint32_t>(*start) & Mask(bits);
}

std::string JobFingerprint(const std::string& path, std::int64_t size)
{
    // FNV-1a over the path and the size: short, and the same in every build.
    std::uint64_t h = 14695981039346656037ull;
    const auto mix = [&h](std::string_view bytes) {
        for (const unsigned char c : bytes) {
            h ^= c;
            h *= 1099511628211ull;
        }
    };
    mix(path);
    mix("\n" + std::to_string(size));
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

} // namespace kuvrion
