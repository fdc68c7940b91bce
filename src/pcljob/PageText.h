// The text of a page as a printer reads it: the bytes of its text tokens (printable text and the
// control codes that move the cursor), without escape sequences, their data, HP-GL/2 and PJL
// lines. The key search reads it; masking blanks the page bytes behind a stretch of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

// Appends the text of `page` to `out`.
void AppendPageText(std::string_view page, std::string& out);

// Overwrites with blanks the page bytes that carry `count` characters of the page text from its
// 0-based position `from`; escape sequences, data and HP-GL/2 between them stay as they are.
void BlankPageText(std::string& page, std::int64_t from, std::int64_t count);

} // namespace kuvrion
