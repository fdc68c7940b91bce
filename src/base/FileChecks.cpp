#include "base/FileChecks.h"

#include "base/ByteText.h"
#include "base/Platform.h"

#include <filesystem>
#include <system_error>

namespace kuvrion {

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool FileExists(std::string_view path)
{
    const auto p = TrimBlanks(path);
    if (p.empty() || p.back() == ':' || IsSeparator(p.back()))
        return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(PathFromUtf8(p), ec);
}

bool DirExists(std::string_view path)
{
    const auto p = TrimBlanks(path);
    if (p.empty())
        return false;
    std::error_code ec;
    return std::filesystem::is_directory(PathFromUtf8(p), ec);
}

std::string ParentPath(std::string_view path)
{
    if (path.size() < 2)
        return {};
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i]))
            return std::string(path.substr(0, i));
    }
    return {};
}

bool IsWriteProtected(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st) || std::filesystem::is_directory(st))
        return false;
    return (st.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
}

bool SameFile(std::string_view a, std::string_view b)
{
    if (a.size() == b.size()) {
        bool equal = true;
        for (std::size_t i = 0; i < a.size() && equal; ++i) {
            equal = AsciiLower(a[i]) == AsciiLower(b[i]);
        }
        if (equal)
            return true;
    }
    if (a.empty() || b.empty())
        return false;
    try {
        const std::filesystem::path pa = PathFromUtf8(a);
        const std::filesystem::path pb = PathFromUtf8(b);
        std::error_code ec1;
        std::error_code ec2;
        const auto ca = std::filesystem::weakly_canonical(pa, ec1);
        const auto cb = std::filesystem::weakly_canonical(pb, ec2);
        if (!ec1 && !ec2 && ca == cb)
            return true;
        std::error_code ec;
        if (std::filesystem::exists(pa, ec) && std::filesystem::exists(pb, ec))
            return std::filesystem::equivalent(pa, pb, ec) && !ec;
    } catch (...) {
        // Out of memory while building paths: treat as different files.
    }
    return false;
}

} // namespace kuvrion
