// Where the job scanner reads its bytes from: a file or a memory buffer. Offsets are 0-based here;
// the scanner's own interface counts from 1.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace kuvrion {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // Reads up to `n` bytes at `offset` into `buf`; returns the number read, or -1 on a read error.
    virtual std::int64_t Read(std::int64_t offset, char* buf, std::int64_t n) = 0;
    // errno of the last failed Read (0 when none).
    virtual int LastError() const { return 0; }
    // Size and modification time as seen now, to tell whether the source changed since it was
    // opened; memory sources never change.
    virtual bool Changed() const { return false; }
};

// Opens `path` read-only. Null, with the system's error in `err` where there is one, when it cannot
// be opened or is not a regular file.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path, int& err);
// A source over a copy of `bytes`.
std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes);

} // namespace kuvrion
