#include "terminal/terminal.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/file_chooser.h"
#include "app/manual.h"
#include "app/message_pump.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_parts.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "terminal/key_table.h"
#include "terminal/term_scrn.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kCaptureFilter =
    "Fichiers capture texte (*.txt);;Fichiers capture texte separes par virgule (*.csv)";

QLabel* label(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromLatin1(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

}  // namespace

TextCapture& programTextCapture() {
  static TextCapture capture;
  return capture;
}

Terminal::Terminal(AppState& app, QWidget* parent)
    : QDialog(parent), app_(app), session_(app.link, emulator_) {
  setWindowTitle(QStringLiteral("Terminal"));
  setObjectName(QStringLiteral("Terminal"));
  session_.setCapture(&programTextCapture());

  term_ = new TermScrn(emulator_, this);
  connect(term_, &TermScrn::keyBytes, this,
          [this](const QByteArray& bytes, bool arrow) { queue(bytes.toStdString(), arrow); });

  auto* captureBox = new QGroupBox(QStringLiteral("Capturer texte"), this);
  captureBox->setObjectName(QStringLiteral("captureGroup"));
  directory_ = new QLineEdit(captureBox);
  directory_->setObjectName(QStringLiteral("directory"));
  fileName_ = new QLineEdit(captureBox);
  fileName_->setObjectName(QStringLiteral("fileName"));
  browse_ = screenButton(captureBox, "browse", "Naviguer");
  start_ = screenButton(captureBox, "start", "Debut");
  stop_ = screenButton(captureBox, "stop", "Stop");
  auto* grid = new QGridLayout(captureBox);
  grid->addWidget(label(captureBox, "directoryLabel", "Repert.:"), 0, 0);
  grid->addWidget(directory_, 0, 1, 1, 3);
  grid->addWidget(label(captureBox, "fileNameLabel", "Nom fich.:"), 1, 0);
  grid->addWidget(fileName_, 1, 1, 1, 3);
  grid->addWidget(browse_, 2, 1);
  grid->addWidget(start_, 2, 2);
  grid->addWidget(stop_, 2, 3);

  auto* command = screenButton(this, "command", "Commande");
  auto* menu = screenButton(this, "menu", "Menu");
  auto* redraw = screenButton(this, "menuRedraw", "Menu/Afficher");
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  auto* quit = screenButton(this, "exit", "Quitter");
  connect(command, &QPushButton::clicked, this, &Terminal::pressCommand);
  connect(menu, &QPushButton::clicked, this, &Terminal::pressMenu);
  connect(redraw, &QPushButton::clicked, this, &Terminal::pressMenuRedraw);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(quit, &QPushButton::clicked, this, &Terminal::reject);
  connect(browse_, &QPushButton::clicked, this, &Terminal::browse);
  connect(start_, &QPushButton::clicked, this, &Terminal::startCapture);
  connect(stop_, &QPushButton::clicked, this, &Terminal::stopCapture);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {command, menu, redraw, manual, quit}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* lower = new QHBoxLayout;
  lower->addWidget(captureBox, 1);
  auto* upper = new QHBoxLayout;
  upper->addWidget(term_, 1);
  upper->addLayout(buttons);
  auto* all = new QVBoxLayout(this);
  all->addLayout(upper, 1);
  all->addLayout(lower);

  // Tab: the capture entries, the terminal window, then the buttons. A
  // disabled control is passed over, so "Stop" stands in for "Naviguer"
  // while a capture runs.
  QWidget* order[] = {directory_, fileName_, browse_, stop_, start_, term_,
                      command,    menu,      redraw,  manual, quit};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  directory_->setText(qtText(
      readProfileString(app_.settingsPath(), kTextCaptureDirectoriesSection, kTextCaptureKey)));
  fileName_->setText(qtText(
      readProfileString(app_.settingsPath(), kTextCaptureFileNamesSection, kTextCaptureKey)));
  showCaptureState();
}

Terminal::~Terminal() {
  if (!ended_) end();
}

void Terminal::showCaptureState() {
  const bool capturing = programTextCapture().isOpen();
  directory_->setEnabled(!capturing);
  fileName_->setEnabled(!capturing);
  browse_->setEnabled(!capturing);
  start_->setEnabled(!capturing);
  stop_->setEnabled(capturing);
}

void Terminal::queue(const std::string& bytes, bool arrowKey) {
  if (!bytes.empty()) pending_.push_back(Pending{bytes, arrowKey});
}

void Terminal::pressCommand() {
  queue(commandButtonBytes(), false);
  term_->setFocus();
}

void Terminal::pressMenu() {
  queue(menuButtonBytes(), false);
  term_->setFocus();
}

void Terminal::pressMenuRedraw() {
  queue(menuRedrawButtonBytes(), false);
  term_->setFocus();
}

void Terminal::begin() {
  setModal(true);
  show();
  term_->setFocus();
  if (!app_.connected && !app_.link.isOpen()) {
    OperationContext ctx = screenContext(this, &guard_.cancelFlag, nullptr);
    if (app_.link.openLink(app_.linkSettings, false, kTermConnectTimeoutMs, ctx) == kOk) {
      openedLink_ = true;
    } else {
      session_.markFailed();
    }
  }
  term_->textChanged();
}

void Terminal::pass(int waitMs) {
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, nullptr);
  if (!pending_.empty()) {
    const Pending key = pending_.front();
    pending_.pop_front();
    emulator_.setCursorKeyMode(key.arrow);
    if (session_.send(key.bytes, ctx) != kOk && session_.failed() && !closing_) {
      pending_.clear();
      // The link is given up: the program disconnects, or the screen closes
      // the link it opened.
      if (app_.connected && disconnect_) {
        disconnect_();
      } else if (app_.link.isOpen()) {
        OperationContext quiet = screenContext(this, nullptr, nullptr, true);
        app_.link.closeLink(false, quiet);
      }
    }
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (ended_ || closing_) return;
  const long got = session_.poll(ctx);
  if (got > 0) {
    term_->textChanged();
  } else if (pending_.empty() && waitMs > 0) {
    if (app_.link.isOpen() && !session_.failed()) {
      app_.link.waitReadable(waitMs);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
  }
  if (const int error = session_.takeCaptureError(); error != 0) {
    ErrorBox("Erreur capture texte", error, this);
    programTextCapture().close();
    showCaptureState();
  }
}

void Terminal::end() {
  if (ended_) return;
  ended_ = true;
  if (openedLink_ && app_.link.isOpen()) {
    OperationContext ctx = screenContext(this, nullptr, nullptr, true);
    app_.link.closeLink(false, ctx);
  }
  openedLink_ = false;
  hide();
}

void Terminal::run() {
  guard_.start([this] {
    begin();
    while (!closing_) pass();
    end();
  });
}

void Terminal::reject() {
  closing_ = true;
  hide();
}

void Terminal::rememberEntries() {
  writeProfileString(app_.settingsPath(), kTextCaptureDirectoriesSection, kTextCaptureKey,
                     trimmed(stdText(directory_->text())));
  writeProfileString(app_.settingsPath(), kTextCaptureFileNamesSection, kTextCaptureKey,
                     stdText(fileName_->text()));
}

void Terminal::browse() {
  const QString chosen =
      chooseFileToOpen(this, QString::fromLatin1(kCaptureFilter), QStringLiteral("Capturer texte"),
                       directory_->text(), fileName_->text());
  if (chosen.isEmpty()) return;
  const QFileInfo info(chosen);
  directory_->setText(info.absolutePath());
  fileName_->setText(info.fileName());
  rememberEntries();
  startCapture();
}

void Terminal::startCapture() {
  if (programTextCapture().isOpen()) return;
  std::string message;
  if (programTextCapture().open(stdText(directory_->text()), stdText(fileName_->text()),
                                app_.programDirectory, message) != 0) {
    ErrorBox(message, -1, this);
    return;
  }
  rememberEntries();
  showCaptureState();
  stop_->setFocus();
}

void Terminal::stopCapture() {
  programTextCapture().close();
  showCaptureState();
  directory_->setFocus();
}

}  // namespace tarnlux::ui
