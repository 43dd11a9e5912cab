#include "app/about_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/manual.h"
#include "app/pictures.h"
#include "common/version.h"

namespace tarnlux::ui {

QString CAboutDlg::versionLine() {
  return QStringLiteral("Tarnlux (%1 %2 %3 %4%5)")
      .arg(QStringLiteral("Compile"), QStringLiteral(__DATE__), QStringLiteral(__TIME__),
           QStringLiteral("Version "), QString::fromLatin1(kProgramVersion));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("CAboutDlg");
  setWindowTitle(QStringLiteral("A propos de Tarnlux"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* logo = new LogoButt(this);

  auto* version = new QLabel(versionLine(), this);
  version->setObjectName("versionLine");
  QFont bold = version->font();
  bold.setBold(true);
  version->setFont(bold);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addWidget(version);
  texts->addSpacing(8);
  for (const char* line : {"Norvane Instruments", "Debitmetrie par ultrasons - Service et mise en route",
                           "Copyright (C) Norvane. Tous droits reserves."}) {
    auto* label = new QLabel(QString::fromLatin1(line), this);
    texts->addWidget(label);
  }
  texts->addStretch();

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* manual = new QPushButton(QStringLiteral("Afficher manuel"), this);
  manual->setObjectName("manual");
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(manual);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(16);
  layout->addWidget(logo, 0, Qt::AlignTop);
  layout->addLayout(texts, 1);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());
}

}  // namespace tarnlux::ui
