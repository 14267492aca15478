#include "installer/window/directory_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "installer/folders.h"

namespace tessaline {
namespace {

QString StartDirectory(const std::string& start) {
  if (!start.empty() && DirectoryExists(start)) return QString::fromStdString(start);
  const std::string parent = DirectoryPart(start);
  if (!parent.empty() && DirectoryExists(parent)) return QString::fromStdString(parent);
  return QDir::homePath();
}

}  // namespace

const char* const DirectoryChooser::kCreateQuestion =
    "The specified directory does not exist. Create it?";

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
  const QFileInfo info(path);
  if (info.exists() && !info.isDir()) return;  // a file: not a choice
  if (!info.exists()) {
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Confirm"), QString::fromUtf8(kCreateQuestion),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  chosen_ = path;
  // QFileDialog::accept() refuses a directory that does not exist; the choice
  // is made, so close the dialog as accepted directly.
  QDialog::accept();
}

std::optional<std::string> ChooseDirectory(QWidget* parent, const std::string& start) {
  DirectoryChooser chooser(parent, start);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.chosen().toStdString();
}

}  // namespace tessaline
