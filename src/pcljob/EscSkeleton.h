// The escape skeleton of a job: every escape sequence (with the data of its data-bearing commands),
// HP-GL/2 and PJL line copied unchanged, every byte of page text replaced by one fill character;
// job head, page ends and job foot kept.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kuvrion {

class PclJob;

// Appends the skeleton of one page to `out`; same length as the page.
void AppendPageSkeleton(std::string& out, std::string_view page, char fill);

// Writes head, page skeletons, each with the FF that ended it (where one did), and foot through
// `sink`. Pages 1..pageCount are read from `job`. Stops at the first page that cannot be
// read (PageRead) or the first time `sink` returns false (TargetWrite, without a system error: the
// sink knows it).
Result<void> WriteEscSkeleton(const PclJob& job, std::int32_t pageCount, std::int32_t fillCode,
                              const std::function<bool(std::string_view)>& sink);

} // namespace kuvrion
