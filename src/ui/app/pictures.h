#pragma once

#include <QPixmap>
#include <QWidget>

namespace tarnlux::ui {

// A picture of the program's resources (":/pictures/main.png", ":/pictures/logo.png").
QPixmap loadPicture(const char* path);

// The main window's picture, stretched over the client area, with a one-pixel
// black line along its top and left edges.
class pictbutt : public QWidget {
  Q_OBJECT

 public:
  explicit pictbutt(QWidget* parent = nullptr);
  const QPixmap& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

// The logo of the about box, stretched over its area.
class LogoButt : public QWidget {
  Q_OBJECT

 public:
  explicit LogoButt(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap logo_;
};

}  // namespace tarnlux::ui
