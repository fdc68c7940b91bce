// The reference page: a PCL job that prints a millimetre grid and the code's marks, to measure a
// printer's print area against.
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"
#include "settings/Settings.h"

#include <string>

namespace kuvrion {

// The options the dialog opens with, and the ones it confirmed, stored before the file is written
// so that they stay when it fails.
RefPageOptions RefPageDefaults(const Session& session);
void RememberRefPageOptions(Session& session, const RefPageOptions& options);

// Why the dialog's "&Ok" is not offered for these options, in words: no folder to write to, or
// nothing to draw; empty when it is.
std::string RefPageReason(const RefPageOptions& options);

// Refused (NothingToDraw) when neither grid nor marks are asked for; else the outcome of writing
// the file.
Outcome RunReferencePage(Session& session, const RefPageOptions& options);

} // namespace kuvrion
