// The start-up baseline with the same controls: a plain Qt widgets window,
// shown maximised like the installer's, holding the installer form's controls
// at the form's positions and with its texts and fonts (three framed panels, a
// separator, three labels, two logo pictures, three buttons, a read-only line
// edit) on a window filled with one colour where the installer paints its
// backdrop. It quits after its first paint, like the installer under
// TESSALINE_EXIT_AFTER_FIRST_PAINT.
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

class Backdrop : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), QColor(0, 128, 0));
    if (!quitting_) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    quitting_ = true;
  }

 private:
  bool quitting_ = false;
};

QFont Font(int pixels, bool bold) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QFrame* Panel(QWidget* parent, QRect geometry, QFrame::Shadow shadow) {
  auto* panel = new QFrame(parent);
  panel->setGeometry(geometry);
  panel->setFrameStyle(QFrame::Panel | shadow);
  return panel;
}

QLabel* Label(QWidget* parent, QRect geometry, const char* text, QFont font, Qt::Alignment align) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(geometry);
  label->setFont(font);
  label->setAlignment(align);
  return label;
}

void Logo(QWidget* parent, QRect geometry, const char* file) {
  auto* logo = new QLabel(parent);
  logo->setGeometry(geometry);
  logo->setPixmap(QPixmap(QStringLiteral(RESOURCE_DIR "/") + QString::fromUtf8(file)));
}

void Button(QWidget* parent, QRect geometry, const char* text, QFont font) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setGeometry(geometry);
  button->setFont(font);
  button->setAutoDefault(false);
}

void AddControls(QWidget& window) {
  QFrame* outer = Panel(&window, {120, 96, 513, 201}, QFrame::Raised);
  outer->setLineWidth(6);
  outer->setAutoFillBackground(true);
  outer->setPalette(QPalette(QColor(0, 0, 128)));
  QFrame* inner = Panel(outer, {7, 7, 499, 187}, QFrame::Sunken);
  Label(inner, {1, 41, 497, 24}, "Install pack", Font(19, true), Qt::AlignHCenter | Qt::AlignTop);
  auto* separator = new QFrame(inner);
  separator->setGeometry(1, 65, 497, 9);
  separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  Label(inner, {12, 92, 170, 16}, "Select directory to Pack:", Font(13, true),
        Qt::AlignLeft | Qt::AlignTop);
  QFrame* heading = Panel(inner, {1, 1, 497, 40}, QFrame::Plain);
  heading->setFrameStyle(QFrame::NoFrame);
  Label(heading, {132, 12, 233, 21}, "\"WENLORA\" for Windows", Font(16, true),
        Qt::AlignHCenter | Qt::AlignTop);
  Logo(heading, {4, 4, 130, 34}, "logo1.bmp");
  Logo(heading, {364, 4, 130, 34}, "logo2.bmp");
  Button(inner, {8, 148, 129, 33}, "Install pack", Font(11, false));
  Button(inner, {364, 148, 129, 33}, "Exit", Font(11, false));
  auto* dir = new QLineEdit(QStringLiteral("DirN"), inner);
  dir->setGeometry(12, 114, 409, 24);
  dir->setFont(Font(13, true));
  dir->setReadOnly(true);
  Button(inner, {426, 114, 65, 24}, "Browse..", Font(11, false));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Backdrop window;
  window.setWindowTitle(QStringLiteral("Form1"));
  AddControls(window);
  if (QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
  window.showMaximized();
  return app.exec();
}
