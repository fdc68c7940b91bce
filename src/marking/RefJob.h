// The reference page: a one-page PCL job with every bar position of the configured code and, on
// request, a 1 cm HP-GL/2 hatch grid over an A4 sheet, for aligning the inserter's reader.
#pragma once

#include <string>

namespace kuvrion {

struct Settings;

// The HP-GL/2 grid string, without a line end.
void WriteRefGrid(std::string& out);

// The whole job as bytes. Recomputes s.codeLength from the OME code settings when marks are on.
// With the marks and the 2D code on, a sample symbol follows the bars, its quiet zone outlined.
std::string BuildRefJob(Settings& s, bool grid, bool marks);

} // namespace kuvrion
