// Small PCL jobs for tests, written as byte strings: escape sequences, raster rows with their
// binary data, and pages joined by form feeds between a head and a foot.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kuvrion::test {

inline const std::string kFF = "\f";
inline const std::string kReset = "\x1b"
                                  "E";

// ESC followed by `body`: Esc("&l0O").
inline std::string Esc(std::string_view body)
{
    return "\x1b" + std::string(body);
}

// A raster row: ESC*b<n>W and its n bytes of binary data (which may hold FF and ESC).
inline std::string Raster(std::string_view data)
{
    return Esc("*b" + std::to_string(data.size()) + "W") + std::string(data);
}

// `head`, every page followed by its FF, then `foot`.
inline std::string Job(std::initializer_list<std::string_view> pages,
                       std::string_view head = kReset, std::string_view foot = kReset)
{
    std::string job(head);
    for (const std::string_view page : pages) {
        job.append(page).append(kFF);
    }
    return job.append(foot);
}

} // namespace kuvrion::test
