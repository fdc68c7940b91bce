#include "net/NetErrors.h"

#include <asio/error.hpp>

#include <cerrno>

namespace kuvrion {

int ErrnoOfSocketError(const std::error_code& ec)
{
    // Windows reports WSA codes: compare with Asio's names, not with numbers.
    const std::pair<asio::error::basic_errors, int> known[] = {
        {asio::error::connection_refused, ECONNREFUSED},
        {asio::error::connection_reset, ECONNRESET},
        {asio::error::connection_aborted, ECONNRESET},
        {asio::error::broken_pipe, EPIPE},
        {asio::error::timed_out, ETIMEDOUT},
        {asio::error::host_unreachable, EHOSTUNREACH},
        {asio::error::network_unreachable, ENETUNREACH},
        {asio::error::address_in_use, EADDRINUSE},
        {asio::error::access_denied, EACCES},
        {asio::error::shut_down, EPIPE},
    };
    for (const auto& [name, err] : known) {
        if (ec == name) {
            return err;
        }
    }
    if (ec == asio::error::host_not_found || ec == asio::error::host_not_found_try_again) {
        return EHOSTUNREACH;
    }
#ifndef _WIN32
    if (ec.category() == std::system_category()) {
        return ec.value();
    }
#endif
    if (ec.category() == std::generic_category()) {
        return ec.value();
    }
    return EIO;
}

} // namespace kuvrion
