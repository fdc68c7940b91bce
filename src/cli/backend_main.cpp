// /usr/lib/cups/backend/kuvrion: the print-queue backend (see app/CupsBackend.h).
#include "app/CupsBackend.h"

#include "base/Platform.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    // No stop handler: the print system ends a cancelled job's backend with SIGTERM, and it ends
    // at once (its temporary files lie in the print system's folder, which cleans them up).
    const char* uri = std::getenv("DEVICE_URI");
    kuvrion::BackendCall call;
    call.args = kuvrion::CommandLineArguments(argc, argv);
    call.deviceUri = uri ? uri : "";
    call.in = &std::cin;
    call.err = &std::cerr;
    call.out = &std::cout;
    const kuvrion::BackendExit code = kuvrion::RunCupsBackend(call);
    std::cerr.flush();
    return static_cast<int>(code);
}
