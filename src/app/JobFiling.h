// Jobs put away after they were marked or refused, as the operator finds them: the job under its
// own name in a folder (a free name beside an older job of the same name: "brief-2.pcl"), and for
// a refused job "<name>.txt" beside it with the reason in German.
#pragma once

#include "base/Result.h"

#include <filesystem>
#include <string>

namespace kuvrion {

// Moves `job` into `dir` as `name` (or a free name); across file systems as a copy that appears
// whole, then the original goes. Fails with JobMove (err, path).
Result<void> FileJob(const std::filesystem::path& job, const std::string& name,
                     const std::filesystem::path& dir);

// Writes the reason file first, then moves (`move`) or copies the job beside it, so a refused job
// never lies there without its reason. Fails with JobMove (err, path).
Result<void> FileRefusedJob(const std::filesystem::path& job, const std::string& name,
                            const std::string& reason, const std::filesystem::path& dir, bool move);

} // namespace kuvrion
