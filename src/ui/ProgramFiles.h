// The files the window opens beside the commands: the import log, the manual and the update
// program. Each lookup that finds nothing says so in a message box over `parent`.
#pragma once

#include "app/Messages.h"
#include "app/ProgramPaths.h"

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace kuvrion {

// The log file to open; nullopt (after "Kein Logfile vorhanden") when there is none.
std::optional<std::string> LogFileToOpen(QWidget* parent, const ProgramPaths& paths);
// The bytes of the log file (Windows-1252) for the log window; nullopt (after "Kein Logfile
// vorhanden") when there is none or it cannot be read.
std::optional<std::string> LogText(QWidget* parent, const ProgramPaths& paths);
// The manual to open; nullopt (after "Das Handbuch wurde nicht gefunden:") when there is none.
std::optional<std::string> ManualToOpen(QWidget* parent, const ProgramPaths& paths);
// No program on this computer could show the file `path` that the log or manual command chose:
// says so and where the file lies.
void NoViewer(QWidget* parent, Action action, const std::string& path);

// The web update is offered when both of the updater's files lie in the program's folder.
bool WebUpdateAvailable(const ProgramPaths& paths);
// The updater's program and its five arguments.
std::vector<std::string> UpdaterCommandLine(const ProgramPaths& paths);

} // namespace kuvrion
