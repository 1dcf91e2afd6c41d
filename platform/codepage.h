// Code pages: texts in MURAL's binary and settings files are single bytes in
// code page 850 (the original console's) or ISO 8859-1; the console is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class CodePage { CP850, Latin1 };

std::string cp850_to_utf8(std::string_view bytes);
std::string latin1_to_utf8(std::string_view bytes);

// A text that is already valid UTF-8 (a file written on Linux) passes as it
// is; anything else is taken as single bytes of the given code page.
std::string to_utf8(std::string_view bytes, CodePage fallback = CodePage::CP850);

// The reverse, for texts that MURAL stores in its files; a character that
// code page 850 lacks becomes "?".
std::string utf8_to_cp850(std::string_view utf8);

bool is_valid_utf8(std::string_view bytes);

// Decodes a text into code points: valid UTF-8 sequences as such, other bytes
// as code page 850, except the ISO 8859-1 bytes of "ÄÖÜäöüß", which do not
// collide with code page 850's umlauts and are taken as those letters.
std::u32string decode_text(std::string_view bytes);

void append_utf8(std::string& out, char32_t code_point);

}  // namespace platform
