#include "installer/window/field_tip.h"

#include <QTextDocument>  // Qt::mightBeRichText

namespace tessaline {

QString FieldToolTip(const QString& text) {
  QString shown = text;
  for (QChar& c : shown) {
    if ((c.unicode() < 0x20 && c != u'\t') || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = u' ';
    }
  }
  if (!Qt::mightBeRichText(shown)) return shown;
  return QStringLiteral("<p style=\"white-space:pre\">") + shown.toHtmlEscaped() +
         QStringLiteral("</p>");
}

}  // namespace tessaline
