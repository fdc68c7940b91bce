// The German description of a system error number, for the messages the command layer shows.
#pragma once

#include <string>

namespace kuvrion {

// A short German description of an errno value ("Kein Speicherplatz mehr auf dem Gerät", ...).
std::string DescribeErrno(int err);

} // namespace kuvrion
