#pragma once
// Helpers for splitting and parsing configuration lines, comparing names and cutting texts.
// Texts are single-byte Windows-1252 strings; nothing here knows about encodings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo {

// Advances the cursor over blanks (only 0x20).
void skip_spaces(std::string_view& cursor);

// The next field of a line: leading blanks dropped, text up to the separator or the end;
// the cursor moves past the separator. No quoting, no escapes.
std::string_view next_field(std::string_view& cursor, char separator);

// The most fields a line may hold: a list number, its max and 40 entries.
inline constexpr int MAX_LINE_FIELDS = 42;

// Splits a whole line with next_field. Returns false (fields holding the first
// MAX_LINE_FIELDS) when the line has more fields than that; a separator at the very end
// adds no field.
bool split_fields(std::string_view line, std::vector<std::string_view>& fields,
                  char separator = ';');

// A field of a split line, or the empty text when the line has no such field.
inline std::string_view field_at(const std::vector<std::string_view>& fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string_view{};
}

// 32-bit signed integer: optional leading blanks, then a sign and decimal digits, or hex
// digits after "$", "x", "X", "0x" or "0X" (up to 8 digits, taken as the bit pattern).
// Nothing may follow. Quiet: shows no message.
std::optional<std::int32_t> to_int(std::string_view text);

// As to_int; on failure shows "Not a number:" followed directly by the context, stores 0
// and returns false.
bool parse_int(std::string_view text, std::string_view context, std::int32_t& value);

// Equal without regard to the case of the ASCII letters a-z; all other bytes exact.
bool same_text(std::string_view a, std::string_view b);

// Unchanged when shorter than width; otherwise the front and back with "..." between.
std::string shorten_middle(std::string_view text, int width);

// The text before the first ch (unchanged when there is none).
void cut_at_char(std::string& text, char ch);
// The text after the first ch (unchanged when there is none).
void cut_through_char(std::string& text, char ch);

// The name up to its first ".".
std::string strip_extension(std::string_view name);

// The text after the last folder separator ("/", and on Windows "\"); the whole text when
// there is none.
std::string file_name_part(std::string_view path);

// True when a file of that name opens for reading; false for an empty name.
bool file_exists(const std::string& name);

std::string copy_text(std::string_view text);

// Shortest decimal form of a number, with a leading "-" when negative.
std::string decimal(std::int64_t value);

// The characters that would end, cut or pause an instrument command line: CR, LF, NUL, XON
// and XOFF. Position of the first, or npos. Other control characters (a TAB) pass.
std::size_t line_breaking_char_at(std::string_view text);
// "Control character 0x0D in " and where (the first line-breaking character of the text),
// the where shown with "?" for control characters.
std::string control_char_message(std::string_view text, std::string_view where);
// The text with control characters shown as "?", for messages.
std::string printable(std::string_view text);

}  // namespace vexilo
