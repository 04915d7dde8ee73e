// The reference of the start-up benchmark: the least a Qt program does to
// show a window, an empty one titled and sized like the main window. With
// --text it holds one line of text, so that the fonts are set up before it
// is shown, as they are for any window with words in it.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Cinvo"));
  if (QCoreApplication::arguments().contains(QStringLiteral("--text")))
    (new QVBoxLayout(&window))->addWidget(new QLabel(QStringLiteral("Start the movie")));
  window.resize(551, 322);
  window.move(372, 209);
  window.show();
  return QApplication::exec();
}
