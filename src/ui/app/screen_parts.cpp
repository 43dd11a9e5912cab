#include "app/screen_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tarnlux::ui {

QPushButton* screenButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

StatusLine makeStatusLine(QWidget* parent) {
  StatusLine line;
  auto* label = new QLabel(QStringLiteral("Etat:"), parent);
  label->setObjectName(QStringLiteral("statusLabel"));
  line.text = new QLabel(parent);
  line.text->setObjectName(QStringLiteral("status"));
  line.text->setFrameShape(QFrame::StyledPanel);
  line.text->setFrameShadow(QFrame::Sunken);
  line.row = new QHBoxLayout;
  line.row->addWidget(label);
  line.row->addWidget(line.text, 1);
  return line;
}

}  // namespace tarnlux::ui
