#include "calc/aga8comp.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/error_box.h"
#include "app/manual.h"
#include "app/qt_text.h"
#include "calc/entry_text.h"

namespace tarnlux::ui {

AGA8Comp::AGA8Comp(const Texts& texts, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AGA8Comp"));
  setWindowTitle(QStringLiteral("Composition du gaz et fraction molaire en %"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* grid = new QGridLayout;
  const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("000.00000000"));
  constexpr int kRows = 11;
  for (int c = 0; c < kAga8CompositionEntryCount; ++c) {
    auto* field = new QLineEdit(qtText(texts[static_cast<std::size_t>(c)]), this);
    field->setObjectName(QStringLiteral("component%1").arg(c));
    field->setFixedWidth(fieldWidth);
    field->setAlignment(Qt::AlignRight);
    auto* label = new QLabel(QString::fromLatin1(aga8EntryLabel(c, false)), this);
    label->setBuddy(field);
    const int column = c < kRows ? 0 : 2;
    grid->addWidget(label, c % kRows, column);
    grid->addWidget(field, c % kRows, column + 1);
    fields_[static_cast<std::size_t>(c)] = field;
    connect(field, &QLineEdit::textEdited, this, [this] { showTotal(); });
  }
  total_ = new QLabel(this);
  total_->setObjectName(QStringLiteral("total"));
  grid->addWidget(new QLabel(QStringLiteral("Total:"), this), kRows - 1, 2);
  grid->addWidget(total_, kRows - 1, 3, Qt::AlignRight);

  auto* buttons = new QHBoxLayout;
  auto add = [&](const char* name, const char* text, auto handler) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, handler);
  };
  add("normalise", "Normaliser", [this] { normalise(); });
  add("clear", "Effacer", [this] { clearAll(); });
  add("manual", "Afficher manuel", [this] { showManual(this); });
  add("ok", "OK", [this] { acceptIfValid(); });
  add("close", "Fermer", [this] { reject(); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  showTotal();
}

std::array<std::string, kAga8EntryCount> AGA8Comp::allTexts() const {
  std::array<std::string, kAga8EntryCount> all;
  for (int c = 0; c < kAga8CompositionEntryCount; ++c)
    all[static_cast<std::size_t>(c)] = stdText(fields_[static_cast<std::size_t>(c)]->text());
  return all;
}

AGA8Comp::Texts AGA8Comp::texts() const {
  Texts t;
  const auto all = allTexts();
  std::copy_n(all.begin(), kAga8CompositionEntryCount, t.begin());
  return t;
}

void AGA8Comp::showTotal() { total_->setText(qtText(aga8FieldTotalText(allTexts()))); }

void AGA8Comp::normalise() {
  Aga8Validation v = aga8Validate(allTexts(), false, Aga8Units{}, true);
  if (!v.ok()) {
    ErrorBox(v.message, -1, this);
    fields_[static_cast<std::size_t>(v.failedEntry)]->setFocus();
    return;
  }
  if (!aga8Normalise(v.values)) return;
  for (int c = 0; c < kAga8CompositionEntryCount; ++c) {
    const double percent = v.values[static_cast<std::size_t>(c)] * 100.0;
    fields_[static_cast<std::size_t>(c)]->setText(
        qtText(formatEntryValue(percent, 8).value_or(std::string())));
  }
  total_->setText(qtText(aga8CheckTotal(v.values).text));
}

void AGA8Comp::clearAll() {
  for (QLineEdit* f : fields_) f->clear();
  total_->clear();
}

void AGA8Comp::acceptIfValid() {
  const Aga8Validation v = aga8Validate(allTexts(), false, Aga8Units{}, true);
  if (!v.ok()) {
    ErrorBox(v.message, -1, this);
    fields_[static_cast<std::size_t>(v.failedEntry)]->setFocus();
    return;
  }
  const Aga8TotalCheck total = aga8CheckTotal(v.values);
  total_->setText(qtText(total.text));
  if (!total.ok) {
    ErrorBox(kAga8TotalMessage, -1, this);
    return;
  }
  for (int c = 0; c < kAga8CompositionEntryCount; ++c)
    fields_[static_cast<std::size_t>(c)]->setText(qtText(v.texts[static_cast<std::size_t>(c)]));
  accept();
}

}  // namespace tarnlux::ui
