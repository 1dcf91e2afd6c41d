// Code pages: texts in MURAL's binary and settings files are single bytes in
// code page 850 (the original console's) or ISO 8859-1, or UTF-8 when a file
// was written on Linux; the console is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class CodePage { CP850, Latin1, UTF8 };

std::string cp850_to_utf8(std::string_view bytes);
std::string latin1_to_utf8(std::string_view bytes);

// The code page that the environment variable MURAL_CODEPAGE forces ("850" or
// "8859-1"); nothing when it is unset, empty or names no code page.
std::optional<CodePage> forced_code_page();
// The value of MURAL_CODEPAGE when it names no code page, for a warning.
std::optional<std::string> unknown_code_page_setting();

// How one text from a model's file is read: valid UTF-8 with multi-byte
// sequences as UTF-8; otherwise the code page that MURAL_CODEPAGE forces;
// otherwise code page 850 when a byte lies in 0x80-0x9F (control characters
// in ISO 8859-1), ISO 8859-1 when every byte above 0x7F is one of its
// "ÄÖÜäöüß", and code page 850 for anything else.
CodePage text_code_page(std::string_view bytes);

// Such a text in UTF-8, read as text_code_page decides.
std::string to_utf8(std::string_view bytes);

// The reverse, for texts that MURAL stores in its files; a character that
// code page 850 lacks becomes "?".
std::string utf8_to_cp850(std::string_view utf8);

// The byte of a character in code page 850, if that code page has it.
std::optional<unsigned char> cp850_byte(char32_t code_point);

bool is_valid_utf8(std::string_view bytes);

// Decodes a plot text into code points: valid multi-byte UTF-8 sequences as
// such, every other byte in the code page that text_code_page decides for
// the whole text.
std::u32string decode_text(std::string_view bytes);

void append_utf8(std::string& out, char32_t code_point);

}  // namespace platform
