#include "framework/qs_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>

namespace {

TInputQuery& InputAnswer() {
  static TInputQuery answer;
  return answer;
}

TSelectDirectory& DirectoryAnswer() {
  static TSelectDirectory answer;
  return answer;
}

}  // namespace

void SetInputQuery(TInputQuery answer) { InputAnswer() = std::move(answer); }

void SetSelectDirectory(TSelectDirectory answer) { DirectoryAnswer() = std::move(answer); }

bool InputQuery(const QString& caption, const QString& prompt, QString& value) {
  if (InputAnswer()) return InputAnswer()(caption, prompt, value);
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Normal, value, &ok);
  if (ok) value = text;
  return ok;
}

bool SelectDirectory(const QString& title, QString& directory) {
  if (DirectoryAnswer()) return DirectoryAnswer()(title, directory);
  const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, directory,
                                                           QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return false;
  directory = chosen;
  return true;
}
