// The reference of the start-up benchmark: the least a Qt program does to
// show a window, an empty one titled and sized like the main window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Cinvo"));
  window.resize(551, 322);
  window.move(372, 209);
  window.show();
  return QApplication::exec();
}
