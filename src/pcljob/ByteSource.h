// Where the job scanner reads its bytes from: a file or a memory buffer. Offsets are 0-based here;
// the scanner's own interface counts from 1.
#pragma once

#include "base/Result.h"

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
    // Reads up to `n` bytes at `offset` into `buf`; the number read (less only at the end). A
    // failure is SourceUnreadable with the errno value and the offset of the read.
    virtual Result<std::int64_t> Read(std::int64_t offset, char* buf, std::int64_t n) = 0;
    // Size and modification time as seen now, to tell whether the source changed since it was
    // opened; memory sources never change.
    virtual bool Changed() const { return false; }
};

// Opens `path` read-only. Fails (SourceUnreadable with the system's error) when it cannot be opened
// or is not a regular file.
Result<std::unique_ptr<ByteSource>> OpenFileSource(const std::string& path);
// A source over a copy of `bytes`.
std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes);

} // namespace kuvrion
