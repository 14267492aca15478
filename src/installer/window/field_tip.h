// The tool tip of a one-line field whose text may be longer than the field:
// the whole text, drawn as the field draws it.
//
// Thread use: pure function (Qt values only).
#pragma once

#include <QString>

namespace tessaline {

// What the tool tip of a line edit holding `text` shows. The line edit draws
// each control character but the tab, and the line and paragraph
// separators, as a space; so does the tip. A tip that looks like rich text
// to Qt ("<b>" or "&lt;" in a folder's name) would be drawn as markup: it is
// then given as markup that draws exactly those characters, on one line.
QString FieldToolTip(const QString& text);

}  // namespace tessaline
