#pragma once

#include <string>
#include <string_view>

#include "base/ui.h"

class QWidget;

namespace wingstow {

inline constexpr const char* application_title = "Wingstow";

// A real modal message box with the French captions and button texts of
// the program.
Answer show_message_box(QWidget* parent, MessageKind kind, std::string_view text, Buttons buttons);

// The default error handler's rule: a full stop is added when the message's
// last character sorts after ".".
std::string with_full_stop(std::string message);

}  // namespace wingstow
