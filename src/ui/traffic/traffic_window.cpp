#include "ui/traffic/traffic_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include "device/word_description.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/common/window_menus.h"

namespace kv4410::ui {

namespace {

constexpr int kFlushIntervalMs = 50;
constexpr std::uint8_t kSerialWordRequest = 221;

const char* const kHeaders[TrafficModel::Columns] = {
    "#", "Request", "Value", "Index", "Direction", "Data", "Status", "Word", "Register"};

// The register a written word addresses, from the device model's description of it.
QString registerOf(std::uint32_t word) {
  const std::string text = describeWord(word);
  const std::size_t start = text.find(": ");
  const std::size_t end = text.find('\n');
  return QString::fromStdString(
      start == std::string::npos ? text.substr(0, end) : text.substr(start + 2, end - start - 2));
}

}  // namespace

int TrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Columns;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) {
    return {};
  }
  return text(index.row(), index.column());
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= Columns) {
    return {};
  }
  return QString::fromLatin1(kHeaders[section]);
}

QString TrafficModel::text(int row, int column) const {
  if (row < 0 || row >= rowCount()) {
    return {};
  }
  const board::BoardLink::RequestRecord& r = rows_[static_cast<std::size_t>(row)];
  const bool serial = r.request == kSerialWordRequest;
  const std::uint32_t word = (static_cast<std::uint32_t>(r.index) << 16) | r.value;
  const std::uint32_t reply = r.data[0] | (r.data[1] << 8) | (r.data[2] << 16);
  switch (column) {
    case Number:
      return QString::number(r.number);
    case Request:
      return QString::number(r.request);
    case Value:
      return hexText(r.value, 4);
    case Index:
      return hexText(r.index, 4);
    case Direction:
      return r.in ? QStringLiteral("in") : QStringLiteral("out");
    case Data: {
      QStringList bytes;
      for (std::size_t i = 0; r.in && i < std::min<std::size_t>(r.length, r.data.size()); ++i) {
        bytes << hexText(r.data[i], 2);
      }
      return bytes.join(QLatin1Char(' '));
    }
    case Status: {
      const auto reason = board::usbErrorText(r.status);
      return r.status == 0 ? QStringLiteral("0")
             : reason      ? qtext(*reason)
                           : QString::number(r.status);
    }
    case Word:
      return !serial ? QString()
             : r.in  ? hexText(static_cast<std::int32_t>(reply), 6)
                     : hexText(static_cast<std::int32_t>(word), 8);
    case Register:
      return !serial ? QString() : r.in ? QStringLiteral("readback") : registerOf(word);
    default:
      return {};
  }
}

void TrafficModel::append(const std::vector<board::BoardLink::RequestRecord>& records) {
  if (records.empty()) {
    return;
  }
  const auto incoming = static_cast<int>(std::min<std::size_t>(records.size(), kMaxRows));
  const int drop = std::max(0, rowCount() + incoming - kMaxRows);
  if (drop > 0) {
    beginRemoveRows({}, 0, drop - 1);
    rows_.erase(rows_.begin(), rows_.begin() + drop);
    endRemoveRows();
  }
  beginInsertRows({}, rowCount(), rowCount() + incoming - 1);
  rows_.insert(rows_.end(), records.end() - incoming, records.end());
  endInsertRows();
}

void TrafficModel::clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

QString TrafficModel::allText() const {
  QStringList lines;
  QStringList header;
  for (const char* h : kHeaders) {
    header << QString::fromLatin1(h);
  }
  lines << header.join(QLatin1Char('\t'));
  for (int row = 0; row < rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < Columns; ++column) {
      cells << text(row, column);
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

TrafficWindow::TrafficWindow(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session), model_(this) {
  setObjectName(QStringLiteral("frmTraffic"));
  setWindowTitle(QStringLiteral("Board Traffic"));
  resize(1180, 520);

  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("tblTraffic"));
  table_->setModel(&model_);
  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(20);
  table_->horizontalHeader()->setStretchLastSection(true);
  const int widths[TrafficModel::Columns] = {60, 65, 55, 55, 70, 90, 150, 80, 400};
  for (int c = 0; c < TrafficModel::Columns; ++c) {
    table_->setColumnWidth(c, widths[c]);
  }

  pause_ = makeButton(this, QStringLiteral("cmdPause"), QStringLiteral("Pause"));
  pause_->setCheckable(true);
  connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    pending_.clear();
  });
  auto* clear = makeButton(this, QStringLiteral("cmdClear"), QStringLiteral("Clear"));
  connect(clear, &QPushButton::clicked, this, [this] {
    pending_.clear();
    model_.clear();
  });
  auto* copy = makeButton(this, QStringLiteral("cmdCopy"), QStringLiteral("Copy"));
  connect(copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(model_.allText()); });

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralTraffic"));
  setCentralWidget(central);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(pause_);
  buttons->addWidget(clear);
  buttons->addWidget(copy);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(buttons);
  layout->addWidget(table_, 1);
  installBoardStatus(this, session_);

  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, &TrafficWindow::flush);
}

TrafficWindow::~TrafficWindow() {
  watch(false);
}

void TrafficWindow::flush() {
  const bool atEnd = table_->verticalScrollBar() == nullptr ||
                     table_->verticalScrollBar()->value() == table_->verticalScrollBar()->maximum();
  model_.append(pending_);
  pending_.clear();
  if (atEnd) {
    table_->scrollToBottom();  // follows the traffic unless the user scrolled back
  }
}

void TrafficWindow::watch(bool on) {
  bench::Bench& bench = session_.bench();
  if (on) {
    if (subscription_ == 0) {
      subscription_ = bench.observeTraffic([this](const board::BoardLink::RequestRecord& record) {
        if (!pause_->isChecked()) {
          pending_.push_back(record);
        }
      });
    }
    flushTimer_.start();
  } else {
    if (subscription_ != 0) {
      bench.stopObservingTraffic(subscription_);
      subscription_ = 0;
    }
    flushTimer_.stop();
    flush();
  }
}

void TrafficWindow::showEvent(QShowEvent* event) {
  watch(true);
  QMainWindow::showEvent(event);
}

void TrafficWindow::hideEvent(QHideEvent* event) {
  watch(false);
  QMainWindow::hideEvent(event);
}

}  // namespace kv4410::ui
