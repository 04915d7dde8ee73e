#pragma once
// A plain ordered list of texts, also read as key=value entries.
#include <QString>
#include <QStringList>

class TqsStringList {
 public:
  TqsStringList() = default;
  explicit TqsStringList(QStringList lines) : fLines(std::move(lines)) {}

  // Appends `text` and returns its index.
  int Add(const QString& text) {
    fLines.append(text);
    return int(fLines.size()) - 1;
  }
  int Count() const { return int(fLines.size()); }
  const QString& operator[](int index) const { return fLines.at(index); }
  QString& operator[](int index) { return fLines[index]; }
  void Clear() { fLines.clear(); }
  void Assign(const QStringList& lines) { fLines = lines; }
  const QStringList& Lines() const { return fLines; }

  // Index of the first entry whose key (the text before its first "=")
  // equals `name` without regard to letter case; -1 when none.
  int IndexOfName(const QString& name) const {
    for (int i = 0; i < fLines.size(); ++i) {
      const QString& line = fLines.at(i);
      const qsizetype equals = line.indexOf(QLatin1Char('='));
      if (equals >= 0 && QStringView(line).left(equals).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
  }
  // The value of that entry: everything after its first "=", further "="
  // included; empty when there is none.
  QString Values(const QString& name) const {
    const int i = IndexOfName(name);
    if (i < 0) return QString();
    const QString& line = fLines.at(i);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
  }

 private:
  QStringList fLines;
};

// The application string table: code reads every translatable text from it
// by the index its unit got when registering the text.
extern TqsStringList* AppStrings;
