// The directory chooser of Browse: Qt's own (non-native) file dialog in
// directory mode, showing directories only, that also accepts the name of a
// directory that does not exist yet. Accepting such a name first asks "The
// specified directory does not exist. Create it?" (Yes / No); No keeps the
// chooser open. The name of an existing file is refused with a warning. The
// chooser itself creates nothing: its caller creates the chosen directory
// (CreateFolderPath), so that a failure to create it is the caller's to show.
//
// Thread use: user-interface thread only.
#pragma once

#include <QFileDialog>
#include <optional>
#include <string>

namespace tessaline {

class DirectoryChooser : public QFileDialog {
  Q_OBJECT

 public:
  // Opens on `start` when it is an existing directory, else on the nearest
  // existing folder above it, else on the user's home directory. A folder
  // whose path is not UTF-8 cannot be shown: the chooser opens on the nearest
  // one above it that can.
  DirectoryChooser(QWidget* parent, const std::string& start);

  // The accepted directory: an absolute path without a trailing "/" (except
  // the root itself), in UTF-8. Empty until the chooser is accepted.
  const std::string& chosen() const { return chosen_; }

 public slots:
  void accept() override;

 private:
  std::string chosen_;
};

// Runs the chooser modally; the chosen directory, or nothing on Cancel.
std::optional<std::string> ChooseDirectory(QWidget* parent, const std::string& start);

}  // namespace tessaline
