#include "installer/window/screenshot.h"

#include <QCoreApplication>
#include <QPixmap>
#include <iostream>

#include "installer/window/form.h"

namespace tessaline {

bool WriteScreenshot(const std::string& path, QSize client_size) {
  TForm1 form;
  form.setAttribute(Qt::WA_DontShowOnScreen);
  form.resize(client_size);
  form.show();
  QCoreApplication::processEvents();
  const QPixmap picture = form.grab();
  if (!picture.save(QString::fromStdString(path), "PNG")) {
    std::cerr << "tessaline: cannot write the screenshot to " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace tessaline
