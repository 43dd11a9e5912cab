#pragma once

// Shared by the screen tests: error boxes recorded instead of shown, a port
// scanner with a fixed list, documents "opened" into a list.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string>
#include <vector>

#include "app/error_box.h"
#include "app/manual.h"
#include "link/comm_settings.h"

namespace tarnlux::test {

class RecordedErrorBoxes {
 public:
  RecordedErrorBoxes() {
    previous_ = ui::setErrorBoxPresenter([this](QWidget* parent, const QString& text) {
      texts.append(text);
      parents.push_back(parent);
    });
  }
  ~RecordedErrorBoxes() { ui::setErrorBoxPresenter(previous_); }
  RecordedErrorBoxes(const RecordedErrorBoxes&) = delete;
  RecordedErrorBoxes& operator=(const RecordedErrorBoxes&) = delete;

  QStringList texts;
  std::vector<QPointer<QWidget>> parents;

 private:
  ui::ErrorBoxPresenter previous_;
};

class RecordedDocuments {
 public:
  explicit RecordedDocuments(bool opens = true) {
    previous_ = ui::setDocumentOpener([this, opens](const QString& path) {
      paths.append(path);
      return opens;
    });
  }
  ~RecordedDocuments() { ui::setDocumentOpener(previous_); }
  RecordedDocuments(const RecordedDocuments&) = delete;
  RecordedDocuments& operator=(const RecordedDocuments&) = delete;

  QStringList paths;

 private:
  ui::DocumentOpener previous_;
};

// The machine's serial devices, as the test wants them.
class FixedPortScanner : public SerialPortScanner {
 public:
  explicit FixedPortScanner(std::vector<std::string> devices = {}) : devices_(std::move(devices)) {}
  std::vector<std::string> presentDevices() const override { return devices_; }
  bool deviceExists(const std::string& device) const override {
    for (const auto& present : devices_) {
      if (present == device) return true;
    }
    return false;
  }

 private:
  std::vector<std::string> devices_;
};

}  // namespace tarnlux::test
