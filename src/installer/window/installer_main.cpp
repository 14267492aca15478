#include "installer/window/installer_main.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QImageWriter>
#include <QPixmap>
#include <cerrno>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "installer/command_line.h"
#include "installer/installation.h"
#include "installer/modules.h"
#include "installer/pack_commands.h"
#include "installer/window/application.h"
#include "installer/window/form.h"
#include "installer/window/panel.h"
#include "installer/window/toolkit.h"
#include "os/files.h"
#include "os/process.h"
#include "registry/hive_file.h"
#include "support/dictionary.h"
#include "support/resources.h"
#include "support/toolkit.h"

#ifndef TESSALINE_VERSION
#define TESSALINE_VERSION "0"
#endif

namespace tessaline {
namespace {

using Mode = CommandLine::Mode;

bool EnvSet(const char* name) {
  return !EnvironmentValue(name).empty();
}

// True when a window can be shown: DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM is set and not empty.
bool HasDisplay() {
  return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM");
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
      if (const QPixmap picture = ResourcePicture(name); !picture.isNull()) return QIcon(picture);
    } catch (...) {
      // Try the next form; a missing icon leaves the platform's default.
    }
  }
  return QIcon();
}

// The arguments Qt starts with: the program's name and the platform list.
// Qt keeps pointers into them for the application's life.
struct QtArguments {
  QtArguments(char* program, std::string platform_list)
      : platforms(std::move(platform_list)), argv{program, flag, platforms.data(), nullptr} {}
  QtArguments(const QtArguments&) = delete;
  QtArguments& operator=(const QtArguments&) = delete;

  std::string platforms;
  char flag[10] = "-platform";
  int argc = 3;
  char* argv[4];
};

DisplayEnvironment CurrentDisplayEnvironment() {
  return {EnvironmentValue("QT_QPA_PLATFORM"), EnvironmentValue("DISPLAY"),
          EnvironmentValue("WAYLAND_DISPLAY"), EnvironmentValue("XDG_SESSION_TYPE")};
}

int RunWindow(const std::string& program, char* argv0) {
  const WindowPlatform platform = ChooseWindowPlatform(CurrentDisplayEnvironment());
  QtArguments arguments(argv0, platform.plugins);
  QtApplication app(arguments.argc, arguments.argv);
  if (StartedOnFallback(platform, QGuiApplication::platformName().toStdString())) {
    std::cerr << UnreachableDisplayText(program, platform);
    return 1;
  }
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
  // Always offscreen: the picture needs no display, and is the same on any.
  QtArguments arguments(argv0, kOffscreenPlatform);
  QtApplication app(arguments.argc, arguments.argv);
  // No boxes: reports go to the standard streams, so nothing waits for a click.
  ConsoleToolkit toolkit(std::cout, std::cerr);
  ScopedToolkit use_toolkit(toolkit);
  // A name the picture cannot have is a mistake on the command line.
  const bool named_right = !ScreenshotFormat(command.screenshot_path).empty();
  if (WriteScreenshot(command.screenshot_path, QSize(command.width, command.height), std::cerr)) {
    return 0;
  }
  return named_right ? 1 : 2;
}

// The answers that need no module: help, version, a mistake on the command
// line, the window without a display. Nothing when the run goes on.
std::optional<int> AnswerBeforeStartUp(const std::string& program, const CommandLine& command,
                                       const PackIdentity& identity) {
  // The dictionary beside the program may well be missing; one asked for by
  // name must be there, or every message would silently stay untranslated.
  if (command.dictionary && command.mode != Mode::kHelp && command.mode != Mode::kVersion &&
      command.mode != Mode::kError) {
    struct stat info;
    if (Result<UniqueFd> file = OpenRegularFile(*command.dictionary, info); !file.ok()) {
      std::cerr << program << ": cannot use the dictionary '" << *command.dictionary
                << "': " << file.error().Reason() << "\n";
      return 2;
    }
  }
  switch (command.mode) {
    case Mode::kHelp:
      std::cout << UsageText(program);
      return 0;
    case Mode::kVersion:
      std::cout << program << " " << TESSALINE_VERSION << " (pack " << identity.number << ", "
                << identity.name << ")\n";
      return 0;
    case Mode::kError:
      std::cerr << program << ": " << command.error << "\nTry '" << program
                << " --help' for more information.\n";
      return 2;
    case Mode::kWindow:
      if (HasDisplay()) return std::nullopt;
      std::cerr << program
                << ": the installer window needs a display (DISPLAY is not set); without "
                   "one, use --install [DIR] to install or --screenshot FILE.png to see "
                   "the window\n";
      return 1;
    default:
      return std::nullopt;
  }
}

// Runs `command` with the modules it needs, started for the run's length. The
// translation needs only the support library.
int Run(const std::string& program, const CommandLine& command, char* argv0,
        const PackIdentity& identity) {
  if (command.mode == Mode::kTranslate) {
    const ModuleScope modules({SupportModule(command.dictionary)});
    for (const std::string& text : command.texts) {
      std::cout << CommonPage->TranslateOrSame(text) << "\n";
    }
    return 0;
  }
  const ModuleScope modules(
      {SupportModule(command.dictionary), RegistryModule(), IdentityModule(identity)});
  switch (command.mode) {
    case Mode::kInstall:
      return RunUnattendedInstall(command.install_dir, std::cout, std::cerr);
    case Mode::kList:
      return RunList(DefaultHivePath(), command.json, std::cout, std::cerr);
    case Mode::kVerify:
      return RunVerify({DefaultHivePath(), RunningImagePath(), FindResource("PACK")}, std::cout,
                       std::cerr);
    case Mode::kUninstall:
      return RunUninstall({DefaultHivePath(), FindResource("PACK"), command.force}, std::cout,
                          std::cerr);
    case Mode::kScreenshot:
      return RunScreenshot(argv0, command);
    default:
      return RunWindow(program, argv0);
  }
}

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

int InstallerMain(int argc, char** argv, const PackIdentity& identity) {
  const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
  const CommandLine command =
      ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (const std::optional<int> status = AnswerBeforeStartUp(program, command, identity)) {
    return StatusAfterOutput(*status, std::cout, std::cerr, program);
  }
  char* argv0 = argc > 0 ? argv[0] : const_cast<char*>("tessaline");
  // An exception no handler caught ends the run here, after the modules have
  // been shut down, rather than aborting the program.
  std::string failure;
  try {
    return StatusAfterOutput(Run(program, command, argv0, identity), std::cout, std::cerr, program);
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "Unknown error";
  }
  std::cerr << program << ": " << ExceptionDisplayText(failure) << "\n";
  return 1;
}

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
    err << "tessaline: cannot write the screenshot to " << path << ": " << written.error().Reason()
        << "\n";
    return false;
  }
  return true;
}

}  // namespace tessaline
