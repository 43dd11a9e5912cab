#include "app/pictures.h"

#include <QPainter>

// Resources of a static library are registered by hand.
static void registerPictures() { Q_INIT_RESOURCE(tarnlux); }

namespace tarnlux::ui {

QPixmap loadPicture(const char* path) {
  static const bool registered = (registerPictures(), true);
  (void)registered;
  return QPixmap(QString::fromLatin1(path));
}

pictbutt::pictbutt(QWidget* parent) : QWidget(parent), picture_(loadPicture(":/pictures/main.png")) {
  setObjectName("pictbutt");
  // The picture covers everything: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void pictbutt::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (picture_.isNull()) {
    painter.fillRect(rect(), palette().window());
  } else {
    painter.drawPixmap(rect(), picture_);
  }
  painter.setPen(Qt::black);
  painter.drawLine(0, 0, width() - 1, 0);
  painter.drawLine(0, 0, 0, height() - 1);
}

LogoButt::LogoButt(QWidget* parent) : QWidget(parent), logo_(loadPicture(":/pictures/logo.png")) {
  setObjectName("LogoButt");
  setFixedSize(sizeHint());
}

QSize LogoButt::sizeHint() const { return {96, 96}; }

void LogoButt::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!logo_.isNull()) painter.drawPixmap(rect(), logo_);
}

}  // namespace tarnlux::ui
