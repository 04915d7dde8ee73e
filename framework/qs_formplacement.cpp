#include "framework/qs_formplacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "framework/qs_contexte.h"

namespace {

// How much of a restored window's width stays on a screen, at least.
constexpr int kMinimumVisibleWidth = 100;

// A stored size smaller than the window can be gives its designed size.
void KeepAUsableSize(QWidget* form, const QString& section, QSize designed) {
  const TFormBorderStyle style = FormBorderStyle(form);
  if (style != TFormBorderStyle::bsSizeable && style != TFormBorderStyle::bsSizeToolWin) return;
  QSize minimum = form->minimumSize().expandedTo(QSize(kMinimumVisibleWidth, kMinimumVisibleTitleBar));
  if (form->minimumSizeHint().isValid()) minimum = minimum.expandedTo(form->minimumSizeHint());
  const int width = Contexte->ReadInteger(section, QStringLiteral("Width"), designed.width());
  const int height = Contexte->ReadInteger(section, QStringLiteral("Height"), designed.height());
  if (width < minimum.width() || height < minimum.height()) form->resize(designed);
}

// Moves the window the least distance that puts its title bar and at least
// 100 pixels of its width on one of the screens (a position saved on a
// larger screen, or edited by hand, may lie where nobody can see it).
void KeepOnAScreen(QWidget* form) {
  const QPoint at = form->pos();
  const int width = form->frameGeometry().width();
  const int visible = std::min(kMinimumVisibleWidth, width);
  QPoint best = at;
  long long bestDistance = LLONG_MAX;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    const int x = std::clamp(at.x(), area.left() + visible - width, std::max(area.left(), area.right() + 1 - visible));
    const int y = std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - kMinimumVisibleTitleBar));
    const long long dx = x - at.x(), dy = y - at.y();
    if (dx * dx + dy * dy < bestDistance) {
      bestDistance = dx * dx + dy * dy;
      best = QPoint(x, y);
    }
  }
  if (best != at) form->move(best);
}

// A size saved on a far larger screen (or edited by hand) is bounded by the
// screens, and the window then lies wholly on them: a window wider than
// everything shows only a strip of its middle.
void FitTheScreens(QWidget* form) {
  const TFormBorderStyle style = FormBorderStyle(form);
  if (style != TFormBorderStyle::bsSizeable && style != TFormBorderStyle::bsSizeToolWin) return;
  QRect screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens |= screen->availableGeometry();
  const QSize frame = form->frameGeometry().size();
  if (screens.isEmpty() || (frame.width() <= screens.width() && frame.height() <= screens.height())) return;
  const QSize margins = frame - form->size();
  form->resize(form->size().boundedTo(screens.size() - margins));
  const QRect placed = form->frameGeometry();
  form->move(std::clamp(placed.x(), screens.left(), std::max(screens.left(), screens.right() + 1 - placed.width())),
             std::clamp(placed.y(), screens.top(), std::max(screens.top(), screens.bottom() + 1 - placed.height())));
}

}  // namespace

void RestoreFormPlacement(QWidget* form) {
  if (!form || !Contexte) return;
  const bool movedBefore = form->testAttribute(Qt::WA_Moved);
  const QSize designed = form->size();
  Contexte->RestoreForm(form, QString());
  // Moving to the current place still marks a window as placed by the
  // program, and an unshown window's place is the top left corner.
  const QString section = Contexte->FormSection(form, QString());
  const bool stored = Contexte->ReadInteger(section, QStringLiteral("Left"), INT_MIN) != INT_MIN ||
                      Contexte->ReadInteger(section, QStringLiteral("Top"), INT_MIN) != INT_MIN;
  const bool normal = !(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  if (normal) KeepAUsableSize(form, section, designed);
  if (normal) FitTheScreens(form);
  if (stored && normal)
    KeepOnAScreen(form);
  else if (!stored && !movedBefore)
    form->setAttribute(Qt::WA_Moved, false);
}
