#pragma once
// The application's style, with the standard icons it hands out (a menu
// bar's extension arrow, a dialog's symbols) read only once one is drawn.
class QStyle;

namespace pelmora::ui {

// Some Qt versions read a standard icon's picture as the widget that holds
// it is made, and take every image-format plugin (PDF's with its library)
// to learn the picture's format; the menu bar makes an extension button
// that a window of fixed size never shows.
QStyle* styleWithDeferredIcons();

}  // namespace pelmora::ui
