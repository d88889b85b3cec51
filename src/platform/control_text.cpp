#include "platform/control_text.h"

#include <algorithm>

namespace wingstow::platform {
namespace {

constexpr char hex_digits[] = "0123456789abcdef";

void append_hex(std::string& out, unsigned value) {
  out += hex_digits[(value >> 4) & 0xF];
  out += hex_digits[value & 0xF];
}

}  // namespace

bool is_control_byte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

bool has_control_character(std::string_view text) {
  return std::any_of(text.begin(), text.end(), is_control_byte);
}

std::string escape_controls(std::string_view text, bool keep_line_feeds) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    // U+0080..U+009F: 0xC2 followed by 0x80..0x9F.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        out += "\\u00";
        append_hex(out, next);
        ++i;
        continue;
      }
    }
    if (!is_control_byte(c) || (c == '\n' && keep_line_feeds)) {
      out += c;
      continue;
    }
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out += "\\x";
        append_hex(out, byte);
    }
  }
  return out;
}

}  // namespace wingstow::platform
