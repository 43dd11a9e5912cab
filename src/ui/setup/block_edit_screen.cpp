#include "setup/block_edit_screen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/manual.h"
#include "app/password_dialog.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_parts.h"
#include "diag/meter_info_fields.h"
#include "link/meter_block_save.h"

namespace tarnlux::ui {

BlockEditScreen::BlockEditScreen(AppState& app, const char* title, QWidget* parent)
    : QDialog(parent), app_(app), staging_(app.block.working) {
  setWindowTitle(QString::fromLatin1(title));
}

QLineEdit* BlockEditScreen::addEdit(const char* name, const QString& text) {
  auto* edit = new QLineEdit(text, this);
  edit->setObjectName(QString::fromLatin1(name));
  const std::size_t index = edits_.size();
  edits_.push_back(edit);
  inError_.push_back(false);
  connect(edit, &QLineEdit::editingFinished, this, [this, index] { leaveEdit(index); });
  return edit;
}

void BlockEditScreen::finishLayout(QLayout* fields) {
  StatusLine line = makeStatusLine(this);
  if (auto* caption = findChild<QLabel*>(QStringLiteral("statusLabel"))) {
    caption->setText(QStringLiteral("Etat enreg:"));
  }
  status_ = line.text;
  // The location's character message is longer than the screen is wide.
  status_->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  QPushButton* saveButton = screenButton(this, "save", "Enregistrer");
  QPushButton* manual = screenButton(this, "manual", "Afficher manuel");
  QPushButton* cancel = screenButton(this, "cancel", "Annuler");
  QPushButton* exit = screenButton(this, "exit", "Quitter");
  for (QPushButton* b : {saveButton, manual, cancel, exit}) buttons->addWidget(b);
  connect(saveButton, &QPushButton::clicked, this, &BlockEditScreen::save);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(cancel, &QPushButton::clicked, this, &BlockEditScreen::reject);
  connect(exit, &QPushButton::clicked, this, &BlockEditScreen::exitScreen);

  auto* main = new QVBoxLayout(this);
  main->addLayout(line.row);
  main->addLayout(fields);
  main->addStretch(1);
  main->addLayout(buttons);
}

QString BlockEditScreen::statusText() const { return status_->text(); }

void BlockEditScreen::showStatus(const char* text) { status_->setText(qtText(text)); }

void BlockEditScreen::leaveEdit(std::size_t index) {
  if (guard_.running()) return;
  inError_[index] = !checkEdit(index);
  edits_[index]->setModified(false);
}

const char* BlockEditScreen::stagingFault(QLineEdit*& /*focus*/) const { return nullptr; }

void BlockEditScreen::save() {
  if (guard_.running()) return;
  // An edit still being typed in counts as left: its text is what is saved.
  for (std::size_t i = 0; i < edits_.size(); ++i) {
    if (edits_[i]->isModified()) leaveEdit(i);
  }
  if (!app_.connected) {
    showStatus(kBlockSaveNotConnectedText);
    return;
  }
  const int channel = app_.meter.blockChannel();
  if (channel < 0) {
    showStatus(kBlockSaveNoChannelText);
    return;
  }
  for (std::size_t i = 0; i < edits_.size(); ++i) {
    if (!inError_[i]) continue;
    showStatus(editMessage(i));
    edits_[i]->setFocus();
    return;
  }
  QLineEdit* focus = nullptr;
  if (const char* fault = stagingFault(focus)) {
    showStatus(fault);
    if (focus != nullptr) focus->setFocus();
    return;
  }
  if (staging_.info.location.empty()) {
    showStatus(kMeterInfoLocationRequired);
    if (QLineEdit* location = locationEdit()) location->setFocus();
    return;
  }
  guard_.start([this, channel] {
    for (QLineEdit* edit : edits_) edit->setEnabled(false);
    ProgressLine progress = progressLineFor(status_);
    OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress);
    int code = 0;
    const BlockSaveEnd end = saveMeterBlock(app_.link, channel, app_.meter, app_.block, staging_,
                                            passwordDialog(this), ctx, code);
    for (QLineEdit* edit : edits_) edit->setEnabled(true);
    showStatus(blockSaveStatusText(end));
  });
  if (exitRequested_) done(QDialog::Accepted);
}

void BlockEditScreen::exitScreen() {
  if (guard_.running()) {
    exitRequested_ = true;
    return;
  }
  done(QDialog::Accepted);
}

void BlockEditScreen::reject() {
  if (guard_.requestCancel()) return;
  QDialog::reject();
}

}  // namespace tarnlux::ui
