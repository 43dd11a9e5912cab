#include "app/screen_layout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarnlux::ui {

ScreenLayout currentScreenLayout(const QWidget* owner) {
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return chooseLayout(0, 0);
  const QSize size = screen->size();
  return chooseLayout(size.width(), size.height());
}

}  // namespace tarnlux::ui
