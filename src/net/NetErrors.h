// Socket errors as the errno values the message table words; the same on every system.
#pragma once

#include <system_error>

namespace kuvrion {

int ErrnoOfSocketError(const std::error_code& ec);

} // namespace kuvrion
