#include "installer/window/screenshot.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <iostream>

#include "installer/window/form.h"

namespace tessaline {

std::string ScreenshotFormat(const std::string& path) {
  const QByteArray suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower().toUtf8();
  if (suffix.isEmpty()) return "png";
  return QImageWriter::supportedImageFormats().contains(suffix) ? suffix.toStdString() : "";
}

std::string ScreenshotFormats() {
  std::string list;
  for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
    if (!list.empty()) list += ", ";
    list += format.toStdString();
  }
  return list;
}

bool WriteScreenshot(const std::string& path, QSize client_size) {
  const std::string format = ScreenshotFormat(path);
  if (format.empty()) {
    std::cerr << "tessaline: cannot write a picture named " << path << ": its suffix is not one of "
              << ScreenshotFormats() << "\n";
    return false;
  }
  TForm1 form;
  form.setAttribute(Qt::WA_DontShowOnScreen);
  form.resize(client_size);
  form.show();
  QCoreApplication::processEvents();
  const QPixmap picture = form.grab();
  if (!picture.save(QString::fromStdString(path), format.c_str())) {
    std::cerr << "tessaline: cannot write the screenshot to " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace tessaline
