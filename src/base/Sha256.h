// SHA-256 of a byte stream (FIPS 180-4), for the journal of the watched folder: it tells one job
// from another of the same name.
#pragma once

#include "base/Result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kuvrion {

class Sha256 {
public:
    Sha256();
    void Update(std::string_view bytes);
    // The digest as 64 lower-case hex digits. Ends the hashing: call it once.
    std::string HexDigest();

private:
    void Block(const unsigned char* p);

    std::array<std::uint32_t, 8> m_h;
    std::array<unsigned char, 64> m_buf{};
    std::size_t m_used = 0;
    std::uint64_t m_bits = 0;
};

// The digest of a file's bytes; fails when it cannot be read.
Result<std::string> Sha256OfFile(const std::filesystem::path& path);

} // namespace kuvrion
