#include "framework/qs_str.h"

#include "framework/qs_stringlist.h"

int sLanguageToAdd = -1;
int sLanguageName = -1;
int sAbout = -1;
int sEditAboutFile = -1;
int sOK = -1;
int sCancel = -1;
int sAdd = -1;
int sDelete = -1;
int sReplace = -1;

void InitializeFrameworkStrings() {
  // The order is the numbering of the language files' strings.N keys.
  sLanguageToAdd = AppStrings->Add(QStringLiteral("Language to add"));
  sLanguageName = AppStrings->Add(QStringLiteral("Name :"));
  sAbout = AppStrings->Add(QStringLiteral("About"));
  sEditAboutFile = AppStrings->Add(QStringLiteral("Edit about file"));
  sOK = AppStrings->Add(QStringLiteral("OK"));
  sCancel = AppStrings->Add(QStringLiteral("Cancel"));
  sAdd = AppStrings->Add(QStringLiteral("Add"));
  sDelete = AppStrings->Add(QStringLiteral("Delete"));
  sReplace = AppStrings->Add(QStringLiteral("Replace"));
}
