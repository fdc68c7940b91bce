// "Esc-Skelett speichern unter...": the escape sequences of the imported job, one per line, with
// the page ends, written to a text file.
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"

#include <string>

namespace kuvrion {

// An import (or scan) found pages and the job is still open.
bool CanSaveSkeleton(const Session& session);

// The path the dialog proposes, and the one it chose, stored as the next proposal.
std::string SkeletonPath(const Session& session);
void RememberSkeletonPath(Session& session, const std::string& path);

// Refused (NoPages) when CanSaveSkeleton() is false, when the source is gone or changed.
Outcome RunSkeleton(Session& session, const std::string& path);

} // namespace kuvrion
