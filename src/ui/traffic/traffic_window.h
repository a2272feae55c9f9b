#pragma once
// The board traffic view ("Board Traffic"): every vendor request as it happens, with its number,
// value, index, direction, data and status, and for a serial word the word and the register it
// addresses. It watches the board link only while it is shown, so it costs nothing closed; rows
// are added about 20 times a second, and the oldest go once kMaxRows are listed.
#include <QAbstractTableModel>
#include <QMainWindow>
#include <QTimer>
#include <deque>
#include <vector>

#include "board/board_link.h"
#include "ui/common/window_hub.h"

class QPushButton;
class QTableView;

namespace kv4410::ui {

class Session;

class TrafficModel final : public QAbstractTableModel {
 public:
  static constexpr int kMaxRows = 100000;
  enum Column { Number, Request, Value, Index, Direction, Data, Status, Word, Register, Columns };

  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void append(const std::vector<board::BoardLink::RequestRecord>& records);
  void clear();
  // The cell's text; the whole list as tab-separated lines with the header first.
  QString text(int row, int column) const;
  QString allText() const;

 private:
  std::deque<board::BoardLink::RequestRecord> rows_;
};

class TrafficWindow final : public QMainWindow, public ManagedWindow {
  Q_OBJECT
 public:
  explicit TrafficWindow(Session& session, QWidget* parent = nullptr);
  ~TrafficWindow() override;

  QWidget* widget() override { return this; }
  void startUp() override {}
  TrafficModel& model() { return model_; }
  // Adds what arrived since the last update (the timer does this while the window is shown).
  void flush();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void watch(bool on);

  Session& session_;
  TrafficModel model_;
  std::vector<board::BoardLink::RequestRecord> pending_;
  std::uint64_t subscription_ = 0;  // the bench's traffic, while the window is shown
  QTimer flushTimer_;
  QTableView* table_ = nullptr;
  QPushButton* pause_ = nullptr;
};

}  // namespace kv4410::ui
