// What the program asks of the desktop: open a file or "mailto:" address with the user's default
// application, and start another program without waiting for it. Both return false when that
// failed (no program for the file); the caller tells the user. Tests switch on recording: the
// calls are then remembered and nothing is opened or started; SetOpenFails makes the recorded
// opens report that no program was found.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace kuvrion {

class Desktop {
public:
    struct Call {
        QString what; // "open" or "start"
        QString target;
        QStringList arguments;
    };

    static bool OpenUrl(const QUrl& url);
    static bool StartDetached(const QString& program, const QStringList& arguments,
                              const QString& workingDirectory = {});

    static void SetRecording(bool on);
    static void SetOpenFails(bool fails);
    static std::vector<Call> TakeCalls();
};

} // namespace kuvrion
