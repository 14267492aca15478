#include "installer/window/installer_main.h"

#include <QIcon>
#include <QPixmap>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "installer/command_line.h"
#include "installer/identity.h"
#include "installer/unattended.h"
#include "installer/window/application.h"
#include "installer/window/form.h"
#include "installer/window/paint_box.h"
#include "installer/window/toolkit.h"
#include "platform/resources.h"
#include "registry/cipher_reg.h"
#include "support/dictionary.h"
#include "support/support_module.h"
#include "support/toolkit.h"

#ifndef TESSALINE_VERSION
#define TESSALINE_VERSION "0"
#endif

namespace tessaline {
namespace {

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

std::string ProgramName(const char* argv0) {
  std::string name = argv0 != nullptr ? argv0 : "tessaline";
  if (const auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
  return name.empty() ? "tessaline" : name;
}

// The program's icon from the resources: the PNG, else the .ico.
QIcon ProgramIcon() {
  for (const char* name : {"ICONPNG", "ICON"}) {
    try {
      const auto bytes = FindResource(name);
      QPixmap picture;
      if (picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                               static_cast<uint>(bytes.size()))) {
        return QIcon(picture);
      }
    } catch (...) {
      // Try the next form; a missing icon leaves the platform's default.
    }
  }
  return QIcon();
}

int RunWindow(char* argv0) {
  int qt_argc = 1;
  char* qt_argv[] = {argv0, nullptr};
  QtApplication app(qt_argc, qt_argv);
  app.setWindowIcon(ProgramIcon());
  QtToolkit toolkit;
  ScopedToolkit use_toolkit(toolkit);
  TForm1 form;  // runs FormCreate
  if (EnvSet(kExitAfterFirstPaintVariable)) {
    auto* box = form.findChild<PaintBox*>(QStringLiteral("PB"));
    QObject::connect(box, &PaintBox::painted, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  }
  ShowMaximizedOnScreen(form);
  return app.exec();
}

int RunScreenshot(char* argv0, const CommandLine& command) {
  int qt_argc = 1;
  char* qt_argv[] = {argv0, nullptr};
  QtApplication app(qt_argc, qt_argv);
  // No boxes: reports go to the standard streams, so nothing waits for a click.
  ConsoleToolkit toolkit(std::cout, std::cerr);
  ScopedToolkit use_toolkit(toolkit);
  return WriteScreenshot(command.screenshot_path, QSize(command.width, command.height)) ? 0 : 1;
}

}  // namespace

bool HasDisplay() {
  return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM");
}

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

int InstallerMain(int argc, char** argv, const PackIdentity& identity) {
  const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine command = ParseCommandLine(args);
  switch (command.mode) {
    case CommandLine::Mode::kHelp:
      std::cout << UsageText(program);
      return 0;
    case CommandLine::Mode::kVersion:
      std::cout << program << " " << TESSALINE_VERSION << " (pack " << identity.number << ", "
                << identity.name << ")\n";
      return 0;
    case CommandLine::Mode::kError:
      std::cerr << program << ": " << command.error << "\nTry '" << program
                << " --help' for more information.\n";
      return 2;
    case CommandLine::Mode::kWindow:
      if (!HasDisplay()) {
        std::cerr << program
                  << ": the installer window needs a display (DISPLAY is not set); without "
                     "one, use --install [DIR] to install or --screenshot FILE.png to see "
                     "the window\n";
        return 1;
      }
      break;
    case CommandLine::Mode::kScreenshot:
      if (!HasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      break;
    case CommandLine::Mode::kInstall:
    case CommandLine::Mode::kTranslate:
      break;
  }

  SupportStartup();
  if (command.dictionary) Dict->SetDictFileName(*command.dictionary);
  if (command.mode == CommandLine::Mode::kTranslate) {
    for (const std::string& text : command.texts) {
      std::cout << CommonPage->TranslateOrSame(text) << "\n";
    }
    SupportShutdown();
    return 0;
  }
  RegistryStartup();
  InstallerStartup();
  PackNo = identity.number;
  PackNameCyr = identity.cyrillic_name;
  PackName = identity.name;

  char* argv0 = argc > 0 ? argv[0] : const_cast<char*>("tessaline");
  int status = 0;
  switch (command.mode) {
    case CommandLine::Mode::kInstall:
      status = RunUnattendedInstall(command.install_dir, std::cout, std::cerr);
      break;
    case CommandLine::Mode::kScreenshot:
      status = RunScreenshot(argv0, command);
      break;
    default:
      status = RunWindow(argv0);
      break;
  }

  InstallerShutdown();
  RegistryShutdown();
  SupportShutdown();
  return status;
}

}  // namespace tessaline
