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

// Room WritePageText needs beyond the page's length.
inline constexpr std::size_t kPageTextSlack = 16;
// Writes the text of `page` to `to`, which has room for page.size() + kPageTextSlack bytes (the
// text never outgrows the page; short runs are copied 16 bytes at once); returns its length.
std::size_t WritePageText(std::string_view page, char* to);

// Overwrites with blanks the page bytes that carry `count` characters of the page text from its
// 0-based position `from`; escape sequences, data and HP-GL/2 between them stay as they are.
void BlankPageText(std::string& page, std::int64_t from, std::int64_t count);

} // namespace kuvrion
