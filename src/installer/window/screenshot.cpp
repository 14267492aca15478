#include "installer/window/screenshot.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <cerrno>

#include "installer/window/form.h"
#include "os/files.h"

namespace tessaline {
namespace {

// Opens `path` for writing: a new file (0666 less the umask), else the one
// there, emptied. `created` tells which.
Result<UniqueFd> OpenForPicture(const std::string& path, bool& created) {
  Result<UniqueFd> file = Open(path, O_WRONLY | O_CREAT | O_EXCL, 0666, "create");
  created = file.ok();
  if (file.ok() || file.code() != EEXIST) return file;
  return Open(path, O_WRONLY | O_TRUNC);
}

// Writes `bytes` to the file `path`. A file this made is removed again when
// the write fails, so a full disk leaves no half picture behind.
Status WritePicture(const std::string& path, std::string_view bytes) {
  bool created = false;
  Result<UniqueFd> file = OpenForPicture(path, created);
  if (!file.ok()) return file.status();
  Status written = WriteAll(file.value().get(), bytes, path);
  // A delayed write error shows at the close.
  if (const int closed = file.value().Close(); written.ok() && closed != 0) {
    written = SystemError("close", path, errno);
  }
  if (!written.ok() && created) (void)RemoveFile(path);
  return written;
}

// The formats ScreenshotFormat accepts, as a list for messages ("bmp, jpg, ...").
std::string ScreenshotFormats() {
  std::string list;
  for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
    if (!list.empty()) list += ", ";
    list += format.toStdString();
  }
  return list;
}

}  // namespace

std::string ScreenshotFormat(const std::string& path) {
  const QByteArray suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower().toUtf8();
  if (suffix.isEmpty()) return "png";
  return QImageWriter::supportedImageFormats().contains(suffix) ? suffix.toStdString() : "";
}

bool WriteScreenshot(const std::string& path, QSize client_size, std::ostream& err) {
  const std::string format = ScreenshotFormat(path);
  if (format.empty()) {
    err << "tessaline: cannot write a picture named " << path << ": its suffix is not one of "
        << ScreenshotFormats() << "\n";
    return false;
  }
  TForm1 form;
  form.setAttribute(Qt::WA_DontShowOnScreen);
  form.resize(client_size);
  form.show();
  QCoreApplication::processEvents();
  const QImage picture = form.grab().toImage();
  // Encoded in memory, written through the system layer, which tells why a
  // write fails.
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format.c_str());
  if (!writer.write(picture)) {
    err << "tessaline: cannot write the screenshot to " << path << ": "
        << writer.errorString().toStdString() << "\n";
    return false;
  }
  const Status written = WritePicture(path, std::string_view(encoded.constData(), encoded.size()));
  if (!written.ok()) {
    err << "tessaline: cannot write the screenshot to " << path << ": "
        << written.error().Reason() << "\n";
    return false;
  }
  return true;
}

}  // namespace tessaline
