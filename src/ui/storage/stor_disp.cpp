#include "storage/stor_disp.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_layout.h"
#include "app/screen_parts.h"
#include "common/error_text.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "diag/alarm_storage.h"
#include "diag/stored_event_page.h"
#include "graph/diag_panel_draw.h"
#include "graph/graph.h"
#include "graph/graph_colours.h"
#include "storage/set_stor.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kNoNameText = "Site specifique selectionne mais aucun nom de site entre";
constexpr const char* kNameTooLongText = "Nom du site trop long, 16 caracteres maximum";
constexpr const char* kNameBadText =
    "Nom du site invalide, Utiliser uniquement des lettres, des chiffres, des espaces, des "
    "guillements et le diese";
constexpr const char* kCollectingText = "Collecte donnees compteur...";
constexpr const char* kStoppedText = "Collecte des donnees arretee";
constexpr const char* kNoMemoryText =
    "Impossible d'affecter de la memoire pour les evenements memorises";
constexpr const char* kBadDataText = kBadMeterDataText;

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

}  // namespace

StorDisp::StorDisp(AppState& app, ScreenLayout layout, QWidget* parent)
    : QDialog(parent), app_(app) {
  const bool large = layout == ScreenLayout::Large;
  setObjectName(large ? QStringLiteral("StorDisp") : QStringLiteral("LresStor"));
  setWindowTitle(QString::fromLatin1(kStoredEventsTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  QFont controls = font();
  controls.setPointSize(large ? 10 : 8);
  setFont(controls);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(large ? QSize(900, 520) : QSize(720, 420));
  graph_->installEventFilter(this);
  graph_->reset();
  (large ? graph_->modes().storedEventsLarge : graph_->modes().storedEvents) = true;
  graph_->setPageDrawer(GraphPage::StoredEvents, [this](GraphCanvas& c) { return drawPage(c); });
  connect(graph_->horizontalBar(), &QScrollBar::valueChanged, graph_,
          qOverload<>(&QWidget::update));
  connect(graph_->verticalBar(), &QScrollBar::valueChanged, graph_, qOverload<>(&QWidget::update));

  auto* group = new QGroupBox(QStringLiteral("En provenance du ou des sites"), this);
  thisSite_ = new QRadioButton(QStringLiteral("Ce site"), group);
  allSites_ = new QRadioButton(QStringLiteral("Tous les sites"), group);
  namedSite_ = new QRadioButton(QStringLiteral("Site specifique"), group);
  thisSite_->setObjectName(QStringLiteral("thisSite"));
  allSites_->setObjectName(QStringLiteral("allSites"));
  namedSite_->setObjectName(QStringLiteral("namedSite"));
  nameEdit_ = new QLineEdit(group);
  nameEdit_->setObjectName(QStringLiteral("siteName"));
  auto* choices = new QButtonGroup(this);
  choices->addButton(thisSite_);
  choices->addButton(allSites_);
  choices->addButton(namedSite_);
  auto* groupRow = new QHBoxLayout(group);
  for (QWidget* w : {static_cast<QWidget*>(thisSite_), static_cast<QWidget*>(allSites_),
                     static_cast<QWidget*>(namedSite_)}) {
    groupRow->addWidget(w);
  }
  groupRow->addWidget(nameEdit_, 1);
  clearMemory_ = new QCheckBox(QStringLiteral("Effacer memoire"), this);
  clearMemory_->setObjectName(QStringLiteral("clearMemory"));

  auto* retrieveButton = screenButton(this, "retrieve", "Recuperer");
  printButton_ = screenButton(this, "print", "Imprimer");
  pdfButton_ = screenButton(this, "exportPdf", kExportPdfText);
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  auto* cancel = screenButton(this, "cancel", "Annuler");
  auto* exit = screenButton(this, "exit", "Quitter");
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  const StatusLine statusLine = makeStatusLine(this);
  status_ = statusLine.text;
  progress_ = progressLineFor(status_);

  connect(retrieveButton, &QPushButton::clicked, this, &StorDisp::retrieve);
  connect(printButton_, &QPushButton::clicked, this, &StorDisp::printPage);
  connect(pdfButton_, &QPushButton::clicked, this, &StorDisp::exportPagePdf);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    if (!guard_.requestCancel()) QDialog::reject();
  });
  connect(exit, &QPushButton::clicked, this, &StorDisp::reject);
  connect(thisSite_, &QRadioButton::clicked, this,
          [this] { chooseSite(EventSiteChoice::ThisSite); });
  connect(allSites_, &QRadioButton::clicked, this,
          [this] { chooseSite(EventSiteChoice::AllSites); });
  connect(namedSite_, &QRadioButton::clicked, this,
          [this] { chooseSite(EventSiteChoice::NamedSite); });
  connect(nameEdit_, &QLineEdit::editingFinished, this, &StorDisp::siteNameLeft);

  auto* top = new QHBoxLayout;
  top->addWidget(group, 1);
  top->addWidget(clearMemory_);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {retrieveButton, printButton_, pdfButton_}) buttons->addWidget(b);
  buttons->addStretch(1);
  for (QPushButton* b : {manual, cancel, exit}) buttons->addWidget(b);
  auto* all = new QVBoxLayout(this);
  const int margin = large ? 8 : 4;
  all->setContentsMargins(margin, margin, margin, margin);
  all->addLayout(top);
  all->addWidget(graph_, 1);
  all->addLayout(buttons);
  all->addLayout(statusLine.row);

  // The remembered choice and name.
  const std::string choice =
      readProfileString(settingsPath(), kStorageSettingsSection, kStorageSiteChoiceKey, "0");
  choice_ = choice == "2"   ? EventSiteChoice::NamedSite
            : choice == "1" ? EventSiteChoice::AllSites
                            : EventSiteChoice::ThisSite;
  (choice_ == EventSiteChoice::NamedSite  ? namedSite_
   : choice_ == EventSiteChoice::AllSites ? allSites_
                                          : thisSite_)
      ->setChecked(true);
  nameEdit_->setEnabled(choice_ == EventSiteChoice::NamedSite);
  siteName_ = trimmed(
      readProfileString(settingsPath(), kStorageSettingsSection, kStorageSiteNameKey, ""));
  nameEdit_->setText(qtText(siteName_));
}

StorDisp::~StorDisp() = default;

std::string StorDisp::settingsPath() const { return app_.settingsPath(); }

void StorDisp::chooseSite(EventSiteChoice choice) {
  choice_ = choice;
  nameEdit_->setEnabled(choice == EventSiteChoice::NamedSite);
  const std::string value = std::to_string(static_cast<int>(choice));
  if (writeProfileString(settingsPath(), kStorageSettingsSection, kStorageSiteChoiceKey, value) !=
      0) {
    StatusError("Impossible d'enregistrer le choix du site", {}, {}, -1, status_);
  }
}

void StorDisp::siteNameLeft() {
  const std::string typed = trimmed(stdText(nameEdit_->text()));
  nameEdit_->setText(qtText(typed));
  if (typed == siteName_) return;
  siteName_ = typed;
  if (writeProfileString(settingsPath(), kStorageSettingsSection, kStorageSiteNameKey, typed) !=
      0) {
    StatusError("Impossible d'enregistrer le nom du site", {}, {}, -1, status_);
  }
}

void StorDisp::retrieve() {
  if (guard_.running()) return;
  siteNameLeft();
  if (!storageMeterReady(app_, this)) return;
  if (!app_.meter.alarmStorage) {
    ErrorBox(kEventsNotSupportedText, -1, this);
    return;
  }
  if (choice_ == EventSiteChoice::NamedSite) {
    std::string validated;
    const int check = checkEventSiteName(siteName_, validated);
    const char* refusal = validated.empty() ? kNoNameText
                          : check == 1      ? kNameTooLongText
                          : check == 2      ? kNameBadText
                                            : nullptr;
    if (refusal != nullptr) {
      ErrorBox(refusal, -1, this);
      return;
    }
  }
  exitRequested_ = false;
  guard_.start([this] { runRetrieval(); });
  if (exitRequested_) QDialog::reject();
}

void StorDisp::runRetrieval() {
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  records_.clear();
  decoded_ = false;
  selected_ = 0;
  graph_->clear();
  progress_.start(kCollectingText);
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  std::string name;
  checkEventSiteName(siteName_, name);
  const bool clear = clearMemory_->isChecked();
  int rc = kOk;
  try {
    rc = retrieveStoredEvents(app_.link, app_.meter, app_.block, choice_, name, clear,
                              readBlockFirst_, records_, ctx);
  } catch (const std::bad_alloc&) {
    records_.clear();
    ErrorBox(kNoMemoryText, -1, this);
    rc = kOutOfMemory;
  }
  if (rc == kOk) readBlockFirst_ = false;
  status_->clear();
  if (rc == kCancelled) {
    // A stop leaves no list.
    records_.clear();
    status_->setText(QString::fromLatin1(kStoppedText));
  } else if (rc != kOk) {
    records_.clear();
    OperationContext closing = screenContext(this, nullptr, nullptr, true);
    app_.link.closeLink(false, closing);
  } else {
    if (clear) clearMemory_->setChecked(false);
    if (records_.empty()) status_->setText(QString::fromLatin1(kNoStoredEventsText));
  }
  graph_->horizontalBar()->setValue(0);
  graph_->verticalBar()->setValue(0);
  if (!records_.empty()) {
    decodeSelected();
    printButton_->setEnabled(true);
    pdfButton_->setEnabled(true);
    graph_->requestRelayout();
  }
}

void StorDisp::decodeSelected() {
  decoded_ = false;
  if (selected_ < 0 || selected_ >= static_cast<int>(records_.size())) return;
  const int rc = decodeStoredEvent(records_[static_cast<std::size_t>(selected_)], event_);
  if (rc != 0) {
    ErrorBox(kBadDataText, rc, this);
    return;
  }
  decoded_ = true;
}

void StorDisp::selectEvent(int index) {
  if (guard_.running() || records_.empty()) return;
  if (index < 0 || index >= static_cast<int>(records_.size()) || index == selected_) return;
  selected_ = index;
  decodeSelected();
  graph_->update();
}

bool StorDisp::eventFilter(QObject* watched, QEvent* event) {
  if (watched == graph_ && event->type() == QEvent::MouseButtonPress && listRowHeight_ > 0) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (at.x() >= listLeft_ && at.x() <= listRight_) {
      const int first = graph_->verticalBar()->isVisibleTo(graph_) ? graph_->verticalBar()->value() : 0;
      const int index = eventAtClick(at.y(), listTop_, listRowHeight_, first,
                                     static_cast<int>(records_.size()));
      if (index >= 0) selectEvent(index);
    }
  }
  return QDialog::eventFilter(watched, event);
}

int StorDisp::drawPage(GraphCanvas& c) {
  if (records_.empty()) return c.area.top;
  QPainter& p = *c.painter;
  p.setFont(c.courier(10));
  const PanelMetrics m = panelMetrics(p);
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  const int left = c.area.left + m.w;
  int top = c.area.top + m.h / 2;
  if (c.printing) {
    p.drawText(QRect(c.area.left, top, c.area.right - c.area.left, m.h), Qt::AlignHCenter,
               QString::fromLatin1(kStoredEventsPrintTitle));
    top += m.row * 3;
  }
  const int upperBottom = top + m.row * kStoredEventUpperLines;
  int bottom = top;
  if (decoded_) {
    p.drawText(QRect(left, top, c.area.right - left, m.row), Qt::AlignLeft | Qt::AlignVCenter,
               qtText(storedEventHeader(event_)));
    const StoredEventTables tables = storedEventTables(event_, app_.meter.multiPath);
    std::vector<int> rights;
    if (tables.valueColumns == 1) {
      rights = {19 * m.w, 31 * m.w, 42 * m.w, 52 * m.w};
    } else {
      for (int chars : {17, 29, 41, 53, 65, 75, 83}) rights.push_back(chars * m.w);
    }
    const int tableTop = top + m.row + m.h / 2;
    const int statusBottom =
        drawPanelTable(*graph_, c, tables.status, rights, tables.valueColumns, left, tableTop,
                       c.area.right);
    QFont bold = c.courier(10);
    bold.setBold(true);
    p.setFont(bold);
    const int signalTop = statusBottom + m.h / 2;
    bottom = drawPanelTable(*graph_, c, tables.signal, rights, tables.valueColumns, left,
                            signalTop, c.area.right);
    p.setFont(c.courier(10));
    if (tables.deviations.shown) {
      DeviationAxis flow;
      DeviationAxis sound;
      flow.update(tables.deviations.largestFlow);
      sound.update(tables.deviations.largestSound);
      unsigned mask = 0;
      for (int path = 0; path < 4; ++path) {
        if (event_.paths[static_cast<std::size_t>(path)].present &&
            event_.paths[static_cast<std::size_t>(path)].measuring()) {
          mask |= 1u << path;
        }
      }
      const int barsLeft = left + rights.back() + 2 * m.w;
      const int barsWidth = c.area.right - barsLeft - 2 * m.w;
      const int half = (bottom - tableTop) / 2;
      if (barsWidth > 16 * m.w) {
        drawDeviationBars(c, "Ecart debit chemin", flow, tables.deviations.flow, mask, barsLeft,
                          tableTop, barsWidth, half - m.h / 2);
        drawDeviationBars(c, "Ecart ViS chemin", sound, tables.deviations.sound, mask, barsLeft,
                          tableTop + half, barsWidth, half);
      }
    }
  }
  const int listTop = std::max(upperBottom, bottom + m.h);
  return drawList(c, listTop, m.w, m.row);
}

int StorDisp::drawList(GraphCanvas& c, int top, int charWidth, int rowHeight) {
  QPainter& p = *c.painter;
  const int count = static_cast<int>(records_.size());
  int longest = 0;
  for (const std::string& r : records_) longest = std::max(longest, static_cast<int>(r.size()));
  const int bar = graph_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int left = c.area.left + charWidth;
  int right = c.area.right - charWidth;
  int bottom = c.area.bottom - 2;
  EventListView view;
  view.count = count;
  view.longest = longest;
  const auto fit = [&] {
    view.visibleRows = std::max(1, (bottom - top) / rowHeight);
    view.visibleChars = std::max(1, (right - left) / charWidth);
  };
  fit();
  int firstRow = 0;
  int firstColumn = 0;
  if (!c.printing) {
    // Each bar takes room from the other direction.
    if (view.vertical()) right -= bar;
    fit();
    if (view.horizontal()) bottom -= bar;
    fit();
    QScrollBar* v = graph_->verticalBar();
    QScrollBar* h = graph_->horizontalBar();
    v->setRange(0, view.lastFirstRow());
    v->setPageStep(view.visibleRows);
    v->setSingleStep(1);
    h->setRange(0, view.lastFirstColumn());
    h->setPageStep(view.visibleChars);
    h->setSingleStep(1);
    Graph::ScrollState& scroll = graph_->scrollState();
    if (scroll.horizontal != view.horizontal() || scroll.vertical != view.vertical() ||
        scroll.headerHeight != top) {
      scroll.headerHeight = top;
      graph_->showScrollBars(view.horizontal(), view.vertical());
    }
    firstRow = view.vertical() ? v->value() : 0;
    firstColumn = view.horizontal() ? h->value() : 0;
    listTop_ = top;
    listLeft_ = left;
    listRight_ = right;
    listRowHeight_ = rowHeight;
  } else {
    firstRow = std::clamp(graph_->verticalBar()->value(), 0, view.lastFirstRow());
    firstColumn = std::clamp(graph_->horizontalBar()->value(), 0, view.lastFirstColumn());
  }
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  p.drawLine(left, top, right, top);
  int y = top + 1;
  for (int i = firstRow; i < count && y + rowHeight <= bottom + 1; ++i, y += rowHeight) {
    const std::string& record = records_[static_cast<std::size_t>(i)];
    const std::string shown =
        static_cast<int>(record.size()) > firstColumn
            ? record.substr(static_cast<std::size_t>(firstColumn),
                            static_cast<std::size_t>(view.visibleChars))
            : std::string();
    const QRect row(left, y, right - left, rowHeight);
    if (i == selected_) {
      p.fillRect(row, Qt::black);
      p.setPen(c.pen(Qt::white));
    }
    p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, qtText(shown));
    if (i == selected_) p.setPen(c.pen(ink));
  }
  return y;
}

void StorDisp::printPage() {
  if (guard_.running() || records_.empty()) return;
  graph_->print(this);
}

void StorDisp::exportPagePdf() {
  if (guard_.running() || records_.empty()) return;
  exportPdf(this, QString::fromStdString(app_.programDirectory),
            QStringLiteral("Evenements memorises.pdf"),
            [this](QPrinter& printer) { return graph_->printTo(printer); });
}

void StorDisp::reject() {
  // Exit while retrieving: stop, and close once the retrieval has ended.
  if (guard_.running()) {
    exitRequested_ = true;
    guard_.requestCancel();
    return;
  }
  records_.clear();
  QDialog::reject();
}

LresStor::LresStor(AppState& app, QWidget* parent) : StorDisp(app, ScreenLayout::Small, parent) {}

void openStoredEvents(AppState& app, QWidget* parent) {
  if (currentScreenLayout(parent) == ScreenLayout::Large) {
    StorDisp screen(app, ScreenLayout::Large, parent);
    screen.exec();
  } else {
    LresStor screen(app, parent);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
