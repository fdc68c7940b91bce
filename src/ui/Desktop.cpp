#include "Desktop.h"

#include <QDesktopServices>
#include <QProcess>

namespace kuvrion {

namespace {

// Test-hook state; only tests change it.
struct Hook {
    bool recording = false;
    bool openFails = false;
    std::vector<Desktop::Call> calls;
};

Hook& TheHook()
{
    static Hook hook;
    return hook;
}

} // namespace

bool Desktop::OpenUrl(const QUrl& url)
{
    if (TheHook().recording) {
        TheHook().calls.push_back({QStringLiteral("open"), url.toString(), {}});
        return !TheHook().openFails;
    }
    return QDesktopServices::openUrl(url);
}

bool Desktop::StartDetached(const QString& program, const QStringList& arguments,
                            const QString& workingDirectory)
{
    if (TheHook().recording) {
        TheHook().calls.push_back({QStringLiteral("start"), program, arguments});
        return true;
    }
    return QProcess::startDetached(program, arguments, workingDirectory);
}

void Desktop::SetRecording(bool on)
{
    TheHook().recording = on;
}

void Desktop::SetOpenFails(bool fails)
{
    TheHook().openFails = fails;
}

std::vector<Desktop::Call> Desktop::TakeCalls()
{
    return std::exchange(TheHook().calls, {});
}

} // namespace kuvrion
