// x_probe: what the desktop tests cannot ask xprop, xwininfo or xdotool. It
// connects to $DISPLAY through Qt's xcb platform and works on another
// program's top-level window, named by its X window id:
//
//   x_probe unmaximize WID        asks the window manager to take the window
//                                 out of the maximised state (_NET_WM_STATE)
//   x_probe hash WID              prints a hash of the window's pixels
//   x_probe save WID FILE.png     writes the window's pixels (0: the whole
//                                 screen), to look at a failure
//   x_probe icon WID information|critical|none
//                                 finds the style's message box icon, as a
//                                 QMessageBox draws it, among the pixels, and
//                                 checks the other icon is not there (none:
//                                 that neither is)
//   x_probe text WID TEXT...      finds each TEXT, drawn by a QLabel in the
//                                 application font, among the pixels (a
//                                 text the box wraps is given as its pieces)
//   x_probe tip WID TEXT          finds TEXT drawn as a tool tip draws it
//                                 (its font and colours) among the pixels
//
// The pixels are read from the X server (QScreen::grabWindow), so they are
// what the window system shows. Exit status 0 when the check holds, 1 when
// it does not (with the reason on standard error), 2 on a usage mistake.
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, std::strlen(name), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// The EWMH request a pager sends: _NET_WM_STATE, action 0 (remove), both
// maximised states, source 2 (a pager, so the window manager obeys it).
int Unmaximize(xcb_window_t window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) {
    std::fprintf(stderr, "x_probe: not on the xcb platform\n");
    return 1;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = Atom(connection, "_NET_WM_STATE");
  message.data.data32[0] = 0;
  message.data.data32[1] = Atom(connection, "_NET_WM_STATE_MAXIMIZED_VERT");
  message.data.data32[2] = Atom(connection, "_NET_WM_STATE_MAXIMIZED_HORZ");
  message.data.data32[3] = 2;
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
  return 0;
}

QImage Grab(WId window) {
  return QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(
      QImage::Format_RGB32);
}

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Where `pattern` lies in `image`: every opaque pixel of the pattern within
// `tolerance` of the image's, its translucent ones ignored (they blend with a
// background the pattern does not know).
std::optional<QPoint> Find(const QImage& image, const QImage& pattern, int tolerance) {
  for (int y = 0; y + pattern.height() <= image.height(); ++y) {
    for (int x = 0; x + pattern.width() <= image.width(); ++x) {
      bool match = true;
      for (int py = 0; match && py < pattern.height(); ++py) {
        const auto* want = reinterpret_cast<const QRgb*>(pattern.constScanLine(py));
        const auto* have = reinterpret_cast<const QRgb*>(image.constScanLine(y + py)) + x;
        for (int px = 0; px < pattern.width(); ++px) {
          if (qAlpha(want[px]) == 255 && !Near(want[px], have[px], tolerance)) {
            match = false;
            break;
          }
        }
      }
      if (match) return QPoint(x, y);
    }
  }
  return std::nullopt;
}

// The icon as QMessageBox draws it: the style's standard icon at the
// style's message box icon size.
QImage BoxIcon(QMessageBox::Icon which) {
  QMessageBox box;
  QStyleOption option;
  option.initFrom(&box);
  QStyle* style = box.style();
  const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, &option, &box);
  const QStyle::StandardPixmap pixmap = which == QMessageBox::Critical
                                            ? QStyle::SP_MessageBoxCritical
                                            : QStyle::SP_MessageBoxInformation;
  return style->standardIcon(pixmap, &option, &box)
      .pixmap(QSize(size, size))
      .toImage()
      .convertToFormat(QImage::Format_ARGB32);
}

int CheckIcon(WId window, const std::string& which) {
  const QImage shown = Grab(window);
  if (which == "none") {
    for (auto icon : {QMessageBox::Information, QMessageBox::Critical}) {
      if (Find(shown, BoxIcon(icon), 0)) {
        std::fprintf(stderr, "x_probe: the window shows a message box icon\n");
        return 1;
      }
    }
    return 0;
  }
  const bool critical = which == "critical";
  if (!critical && which != "information") return 2;
  const QImage wanted = BoxIcon(critical ? QMessageBox::Critical : QMessageBox::Information);
  const QImage other = BoxIcon(critical ? QMessageBox::Information : QMessageBox::Critical);
  const auto at = Find(shown, wanted, 0);
  if (!at) {
    std::fprintf(stderr, "x_probe: no %s icon in the %dx%d window\n", which.c_str(), shown.width(),
                 shown.height());
    return 1;
  }
  if (Find(shown, other, 0)) {
    std::fprintf(stderr, "x_probe: the window also shows the other icon\n");
    return 1;
  }
  std::printf("icon at %d,%d\n", at->x(), at->y());
  return 0;
}

// The text's glyphs: a QLabel's rendering cut to the pixels that differ from
// its background, those made transparent so any background matches.
QImage TextPattern(const QString& text, bool tool_tip) {
  QLabel label(text);
  label.setTextFormat(Qt::PlainText);
  if (tool_tip) {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
    palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    label.setFont(QToolTip::font());
  }
  label.adjustSize();
  QImage image = label.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRgb background = image.pixel(0, 0);
  QRect ink;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == background) {
        image.setPixel(x, y, qRgba(0, 0, 0, 0));
      } else {
        ink |= QRect(x, y, 1, 1);
      }
    }
  }
  return image.copy(ink);
}

int CheckText(WId window, const QString& text, bool tool_tip = false) {
  const QImage shown = Grab(window);
  const QImage pattern = TextPattern(text, tool_tip);
  if (pattern.isNull()) return 2;
  // Glyph edges blend with the background; a small tolerance covers them.
  const auto at = Find(shown, pattern, 8);
  if (!at) {
    std::fprintf(stderr, "x_probe: \"%s\" (%dx%d) is not drawn in the %dx%d window\n",
                 qPrintable(text), pattern.width(), pattern.height(), shown.width(),
                 shown.height());
    return 1;
  }
  std::printf("text at %d,%d\n", at->x(), at->y());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: x_probe unmaximize|hash|save|icon|text|tip WID [ARG...]\n");
    return 2;
  }
  const std::string command = argv[1];
  const WId window = std::strtoul(argv[2], nullptr, 0);
  if (command == "unmaximize") return Unmaximize(static_cast<xcb_window_t>(window));
  if (command == "hash") {
    const QImage shown = Grab(window);
    std::printf("%dx%d %zx\n", shown.width(), shown.height(),
                qHashBits(shown.constBits(), static_cast<size_t>(shown.sizeInBytes())));
    return 0;
  }
  if (command == "save" && argc == 4) return Grab(window).save(QString::fromUtf8(argv[3])) ? 0 : 1;
  if (command == "icon" && argc == 4) return CheckIcon(window, argv[3]);
  if (command == "tip" && argc == 4) return CheckText(window, QString::fromUtf8(argv[3]), true);
  if (command == "text" && argc >= 4) {
    for (int i = 3; i < argc; ++i) {
      if (const int status = CheckText(window, QString::fromUtf8(argv[i])); status != 0) {
        return status;
      }
    }
    return 0;
  }
  std::fprintf(stderr, "x_probe: unknown command %s\n", command.c_str());
  return 2;
}
