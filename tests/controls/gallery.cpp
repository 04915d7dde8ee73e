// Saves the program's own controls in their states as PNG files, so a
// person can look at them: cinvo_gallery <output directory>
#include <QApplication>
#include <QDir>
#include <QImage>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return 0;
}
