// /usr/lib/cups/backend/kuvrion: the print-queue backend (see app/CupsBackend.h).
#include "app/CupsBackend.h"

#include "base/Platform.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    kuvrion::CatchStopSignals(); // a cancelled job gets SIGTERM: the marking ends with the job
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
