// The settings store: keyed access to one INI file, read and rewritten at every call (nothing is
// cached, so hand edits made while the program runs are seen at once).
//
// File syntax: Windows-1252 bytes, CR LF line ends (LF-only and mixed line ends are read too);
// "[name]" section headers; "key=value" entries split at the first "="; ";" comment lines; section
// names and keys compared without regard to letter case. Values are read and written trimmed of
// blanks and cut to 259 characters. A key present with an empty value is not a missing key.
//
// Every write replaces the file atomically (temporary file in the same folder, then rename), so a
// crash or a full disk never leaves it half written or missing. A write-protected settings file
// (owner write bit cleared) is never replaced. Write operations return false on failure; reads
// never fail (a missing or unreadable file reads as empty).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class IniAccess {
public:
    static constexpr std::size_t kMaxValue = 259;

    void IniFile(std::string sFile) { sIniFile = std::move(sFile); }
    const std::string& IniFile() const { return sIniFile; }

    // The value, trimmed and cut to 259 characters; `Default` (trimmed, cut) when file, section or
    // key is missing.
    std::string ReadEntry(std::string_view Section, std::string_view Key,
                          std::string_view Default = {}) const;
    // Creates file, section and key as needed or replaces the key's value (first 259 characters).
    bool WriteEntry(std::string_view Section, std::string_view Key, std::string_view Value);
    // Removes every entry of the section (its header stays).
    bool ClearSection(std::string_view Section);
    // Removes the whole section: header and all its lines.
    bool RemoveSection(std::string_view Section);
    // Removes every numbered section sHead<n> with n >= nStart.
    bool CutNumSections(std::string_view sHead, std::int32_t nStart);
    // Removes sHead<nNum> and renumbers the higher ones down by one. Works through a ".old" copy of
    // the file, which is restored when the rewrite cannot finish.
    bool RemNumSection(std::string_view sHead, std::int32_t nNum);
    // Names of the sections matching `pattern` (wildcards ? * # [list] [!list], case ignored), in
    // file order with their case from the file. `secname` becomes one empty element when none.
    std::int32_t GetSections(std::string_view pattern, std::vector<std::string>& secname) const;
    // Keys of the first section named `secname`, in file order (duplicates listed twice).
    std::int32_t GetKeys(std::string_view secname, std::vector<std::string>& keyname) const;

    // Joins `ss` with `sep`; with txtLim >= 0 non-numeric elements are enclosed in that character.
    static std::string Array2String(const std::vector<std::string>& ss, std::string_view sep,
                                    std::int16_t txtLim);
    // Splits `s` at `sep`, honouring one pair of txtLim delimiters per element; elements are
    // trimmed of control characters and blanks; delimiters removed unless bPreserveQuotes.
    static void String2Array(std::vector<std::string>& ss, std::string_view sep,
                             std::string_view s, std::int16_t txtLim, bool bPreserveQuotes);
    // Removes every character below code 33 from both ends.
    static std::string TrimCtrlChars(std::string_view s);
    // Wildcard match of a whole name against a pattern (both compared as given).
    static bool MatchPattern(std::string_view name, std::string_view pattern);

private:
    std::string sIniFile;
};

} // namespace kuvrion
