#include "framework/qs_formplacement.h"

#include <climits>

#include "framework/qs_contexte.h"

void RestoreFormPlacement(QWidget* form) {
  if (!form || !Contexte) return;
  const bool movedBefore = form->testAttribute(Qt::WA_Moved);
  Contexte->RestoreForm(form, QString());
  // Moving to the current place still marks a window as placed by the
  // program, and an unshown window's place is the top left corner.
  const QString section = Contexte->FormSection(form, QString());
  const bool stored = Contexte->ReadInteger(section, QStringLiteral("Left"), INT_MIN) != INT_MIN ||
                      Contexte->ReadInteger(section, QStringLiteral("Top"), INT_MIN) != INT_MIN;
  if (!stored && !movedBefore) form->setAttribute(Qt::WA_Moved, false);
}
