// Questions about files and folders that the commands ask before they read or write. Each answers
// false (or the empty text) on any error; none throws.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kuvrion {

// True when `path` (blanks around it ignored) names an existing regular file. The empty path and
// paths ending in ":" or the path separator give false; so does any error while checking.
bool FileExists(std::string_view path);

// True when `path` (blanks around it ignored) names an existing folder; false on any error.
bool DirExists(std::string_view path);

// The part of `path` before its last path separator ("/" on Linux; "/" and "\" on Windows), without
// the separator; the empty text when `path` is shorter than 2 characters or has no separator.
std::string ParentPath(std::string_view path);

// True when `path` names an existing file whose owner write permission bit is cleared. Used for
// "write-protected" decisions, which must hold also for root, who may write any file.
bool IsWriteProtected(const std::filesystem::path& path);

// True when `a` and `b` name the same file: equal text ignoring letter case, or the same canonical
// path, or (both existing) the same file on disk.
bool SameFile(std::string_view a, std::string_view b);

} // namespace kuvrion
