#include "installer/window/directory_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "os/files.h"
#include "text/utf8.h"

namespace tessaline {
namespace {

// The directory to open on: `start` when it is an existing directory, else
// the nearest existing folder above it (a folder chosen before that could
// not be made leaves its parents), else the home directory. Qt names files
// by text and cannot open a folder whose name is not UTF-8, so the chooser
// opens on the nearest folder above that it can name.
QString StartDirectory(std::string start) {
  while (!start.empty() && (!utf8::IsValid(start) || !DirectoryExists(start))) {
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    const std::string parent = DirectoryPart(start);
    if (parent == start) break;
    start = parent;
  }
  if (start.empty() || !DirectoryExists(start)) return QDir::homePath();
  return QString::fromStdString(start);
}

// The question asked before a directory that does not exist is accepted, and
// the warning for the name of an existing file (the chooser stays open).
constexpr char kCreateQuestion[] = "The specified directory does not exist. Create it?";
constexpr char kNotADirectory[] = "The specified name is a file, not a directory.";

}  // namespace

DirectoryChooser::DirectoryChooser(QWidget* parent, const std::string& start)
    : QFileDialog(parent, QStringLiteral("Select Directory"), StartDirectory(start)) {
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  // Qt disables the accept button for a typed name that does not exist; keep
  // it usable whenever a name has been typed (our accept() handles the rest).
  // This connection is made after Qt's own, so it has the last word.
  auto* name_edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  if (name_edit != nullptr && buttons != nullptr) {
    connect(name_edit, &QLineEdit::textChanged, this, [buttons](const QString& text) {
      if (QPushButton* open = buttons->button(QDialogButtonBox::Open);
          open != nullptr && !text.trimmed().isEmpty()) {
        open->setEnabled(true);
      }
    });
  }
}

void DirectoryChooser::accept() {
  const QStringList files = selectedFiles();
  QString path = files.isEmpty() ? directory().absolutePath() : files.first();
  if (path.isEmpty()) return;
  path = QDir::cleanPath(QDir(directory()).absoluteFilePath(path));
  // A path Qt names is UTF-8: its bytes are those of the file system.
  const std::string bytes = path.toStdString();
  const Result<struct stat> info = StatPath(bytes);
  if (info.ok() && !S_ISDIR(info.value().st_mode)) {  // a file: not a choice
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(kNotADirectory));
    return;
  }
  if (!info.ok()) {
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Confirm"), QString::fromUtf8(kCreateQuestion),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  chosen_ = bytes;
  // QFileDialog::accept() refuses a directory that does not exist; the choice
  // is made, so close the dialog as accepted directly.
  QDialog::accept();
}

std::optional<std::string> ChooseDirectory(QWidget* parent, const std::string& start) {
  DirectoryChooser chooser(parent, start);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.chosen();
}

}  // namespace tessaline
