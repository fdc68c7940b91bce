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
// (owner write bit cleared) is never replaced. A write that fails returns SettingsWrite with the
// file's name (and the system's error where one came up); reads never fail (a missing or
// unreadable file reads as empty).
//
// Details of the syntax as read and written here:
// - Line ends CR LF, LF or a lone CR; a UTF-8 byte-order mark at the very start is skipped (and
//   kept when the file is rewritten). A NUL byte ends a value. Only regular files up to 256 MiB
//   are read; anything else reads as empty and is never replaced.
// - A section header is a line that, trimmed of blanks and tabs, starts with "[", ends with "]"
//   and has at least 3 characters. Entry lines before the first header belong to no section: no
//   read finds them, and writes keep them as they are.
// - When a section name stands twice, the first section wins: reads, GetKeys and WriteEntry use
//   only the first one.
// - WriteEntry changes only the one line it replaces or inserts (new keys after the last
//   non-blank line of their section, new sections at the end of the file). Every other line keeps
//   its bytes and its line end, so a file with LF line ends keeps them and gets CR LF only on the
//   new lines. When the value would not change, the file is not rewritten at all.
// - Values are written up to the first NUL, CR or LF (a line break would start a new line), then
//   cut to 259 characters and trimmed. Empty section names, and keys that are empty, contain "=",
//   or begin with ";" or "[", cannot be written back readably: WriteEntry refuses them.
// - Section names and keys match without regard to Windows-1252 letter case ("\xE4" = "\xC4").
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

// One value to write: section, key and the value as WriteEntry takes them.
struct IniEntry {
    std::string_view Section;
    std::string_view Key;
    std::string Value;
};

class IniAccess {
public:
    static constexpr std::size_t kMaxValue = 259;

    void IniFile(std::string fileName) { iniFile = std::move(fileName); }
    const std::string& IniFile() const { return iniFile; }

    // The value, trimmed and cut to 259 characters; `Default` (trimmed, cut) when file, section or
    // key is missing.
    std::string ReadEntry(std::string_view Section, std::string_view Key,
                          std::string_view Default = {}) const;
    // Creates file, section and key as needed or replaces the key's value (first 259 characters).
    Result<void> WriteEntry(std::string_view Section, std::string_view Key, std::string_view Value);
    // Writes the entries in their order, as WriteEntry would one after the other, in a single
    // replacement of the file: either every entry is stored or, when one is refused or the file
    // cannot be replaced, none.
    Result<void> WriteEntries(std::span<const IniEntry> entries);
    // Keys of the first section named `secname`, in file order (duplicates listed twice).
    std::int32_t GetKeys(std::string_view secname, std::vector<std::string>& keyname) const;

    // The file's text; empty when the file is missing or cannot be read.
    std::string ReadText() const;

    // The same operations on the file's text held in memory, with no file access: the file-based
    // ones above load the file (a missing or unreadable one as empty text) and call these.
    // WriteEntryIn returns false and leaves `fileText` alone for the section names and keys that
    // WriteEntry refuses; otherwise `fileText` becomes the text WriteEntry would store. (A bool is
    // enough here: no system call can fail, and the one reason is the refused name.)
    static std::string ReadEntryIn(std::string_view fileText, std::string_view Section,
                                   std::string_view Key, std::string_view Default = {});
    static bool WriteEntryIn(std::string& fileText, std::string_view Section, std::string_view Key,
                             std::string_view Value);
    static std::int32_t GetKeysIn(std::string_view fileText, std::string_view secname,
                                  std::vector<std::string>& keyname);

    // Joins `ss` with `sep`; with txtLim >= 0 non-numeric elements are enclosed in that character.
    static std::string Array2String(const std::vector<std::string>& ss, std::string_view sep,
                                    std::int16_t txtLim);
    // Splits `s` at `sep`, honouring one pair of txtLim delimiters per element; elements are
    // trimmed of control characters and blanks; delimiters removed unless preserveQuotes.
    static void String2Array(std::vector<std::string>& ss, std::string_view sep, std::string_view s,
                             std::int16_t txtLim, bool preserveQuotes);
    // Removes every character below code 33 from both ends.
    static std::string TrimCtrlChars(std::string_view s);

private:
    std::string iniFile;
};

} // namespace kuvrion
