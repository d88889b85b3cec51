#pragma once

// The window's own colours, shared by its layout and the handlers that
// switch the path buttons.

#include <QColor>

namespace wingstow::window_colours {

inline const QColor button_shadow(128, 128, 128);
inline const QColor active_caption(10, 36, 106);
inline const QColor menu_colour(240, 240, 240);

}  // namespace wingstow::window_colours
