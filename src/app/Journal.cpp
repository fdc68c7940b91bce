#include "app/Journal.h"

#include "base/Platform.h"
#include "marking/Manifest.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <vector>

namespace kuvrion {

namespace {

constexpr const char* kHeader = "\xEF\xBB\xBF"
                                "Zeit;Job;SHA-256;Seiten;Blätter;Kuverts;Ergebnis\r\n";

std::string Key(const std::string& time, const std::string& job, const std::string& sha256)
{
    return time + '\n' + job + '\n' + sha256;
}

// The fields of one CSV line as CsvField writes them; nullopt for a line cut short inside quotes.
std::optional<std::vector<std::string>> SplitLine(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    return fields;
}

std::int64_t Whole(const std::string& text)
{
    std::int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

} // namespace

Journal::Journal(std::filesystem::path path) : m_path(std::move(path))
{
    std::ifstream in(m_path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    m_endsInLine = text.empty() || text.back() == '\n';
    // Lines end in CR LF; a line break inside a quoted result is only ever a CR LF as well, so a
    // record is complete when its quotes are balanced.
    std::string record;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            break; // torn by a kill: that job was not finished
        }
        record += text.substr(at, end - at);
        at = end + 2;
        const auto fields = SplitLine(record);
        if (!fields) {
            record += "\r\n";
            continue;
        }
        record.clear();
        if (fields->size() != 7) {
            continue;
        }
        JournalEntry e;
        e.time = (*fields)[0];
        e.job = (*fields)[1];
        e.sha256 = (*fields)[2];
        e.pages = static_cast<std::int32_t>(Whole((*fields)[3]));
        e.sheets = Whole((*fields)[4]);
        e.envelopes = Whole((*fields)[5]);
        e.result = (*fields)[6];
        m_entries[Key(e.time, e.job, e.sha256)] = e;
    }
}

std::optional<JournalEntry> Journal::Find(const std::string& time, const std::string& job,
                                          const std::string& sha256) const
{
    const auto it = m_entries.find(Key(time, job, sha256));
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    return it->second;
}

Result<void> Journal::Append(const JournalEntry& entry)
{
    std::error_code ec;
    const bool fresh =
        !std::filesystem::exists(m_path, ec) || std::filesystem::file_size(m_path, ec) == 0;
    std::string line = fresh ? kHeader : "";
    if (!m_endsInLine) {
        line += "\r\n";
    }
    line += CsvField(entry.time) + ";" + CsvField(entry.job) + ";" + entry.sha256 + ";" +
            std::to_string(entry.pages) + ";" + std::to_string(entry.sheets) + ";" +
            std::to_string(entry.envelopes) + ";" + CsvField(entry.result) + "\r\n";
    const auto opened = OpenStream(m_path, "ab");
    if (!opened) {
        return Failure{FailureKind::JournalWrite, opened.error().err, 0, PathToUtf8(m_path)};
    }
    std::FILE* file = *opened;
    Result<void> written = WriteToStream(file, line);
    if (written) {
        written = FlushToDisk(file);
    }
    int err = written ? 0 : written.error().err;
    if (std::fclose(file) != 0 && err == 0) {
        err = errno;
    }
    if (err != 0) {
        return Failure{FailureKind::JournalWrite, err, 0, PathToUtf8(m_path)};
    }
    m_endsInLine = true;
    m_entries[Key(entry.time, entry.job, entry.sha256)] = entry;
    return {};
}

} // namespace kuvrion
