// The write path of every command that writes a file: refuses a blocked target, writes through a
// temporary file beside it (busy meanwhile), optionally checks the finished file before it
// replaces the target, and commits or discards.
#pragma once

#include "app/Reporter.h"
#include "base/Result.h"

#include <functional>
#include <string>
#include <string_view>

namespace kuvrion {

// Takes the next bytes of the file; false when they could not be written or a stop was asked for.
using Sink = std::function<bool(std::string_view)>;
// Fills the file through the sink it is given; fails with what stopped it.
using FileWriter = std::function<Result<void>(const Sink&)>;

struct WriteSteps {
    // Judges the finished temporary file (by its path) before it replaces the target: when it
    // says no, the target stays as it was, the file is kept under `rejectPath` and the result is
    // CheckFailed with that path.
    std::function<bool(const std::string&)> check;
    std::string rejectPath;
    // Runs with the temporary file's path after the check passed and may still stop the write.
    std::function<Result<void>(const std::string&)> beforeRename;
    // Runs when the rename after it fails.
    std::function<void()> renameFailed;
};

// Writes the file `path` through `write`; the reporter shows the busy state and is asked for a
// stop with every piece written (Cancelled). Succeeds when the file replaced the target.
Result<void> WriteTargetFile(Reporter& reporter, const std::string& path, const FileWriter& write,
                             const WriteSteps& steps = {});

// A writer that puts `text` into the file whole; `text` must outlive it.
FileWriter TextWriter(const std::string& text);

} // namespace kuvrion
