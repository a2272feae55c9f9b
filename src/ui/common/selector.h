#pragma once
// The one rule for lists and check boxes:
//  - a user's choice runs the control's handler;
//  - a selection set from code runs the handler at once, but only when it actually changes;
//  - show() only shows a choice made elsewhere (a bound setting's new value), running nothing.
// Lists start with no item selected (index -1) and show their initial text as a placeholder,
// and they discard every key: only choosing an item changes them.
#include <QObject>
#include <QString>
#include <functional>

class QComboBox;
class QAbstractButton;

namespace kv4410::ui {

class Session;

class Selector : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(int)>;  // list: item index; check box: 1 ticked, 0 cleared

  // A list with no item selected, showing `initialText` until an item is chosen.
  Selector(QComboBox* list, const QString& initialText, Handler handler, Session* session);
  // A check box or option button: its initial state is set without running the handler.
  Selector(QAbstractButton* button, bool initiallyChecked, Handler handler, Session* session);

  // Code-driven selection: runs the handler only when the choice changes.
  void select(int index);
  // Shows a choice made elsewhere (a bound setting's new value) without running the handler.
  void show(int index);
  int index() const;  // list index (-1 = none), or 1/0 for a check box
  // Runs the handler for the present selection, as the write buttons do.
  void runHandler();
  // How many times the handler ran (tests count it to prove there is no endless exchange).
  int handlerRuns() const { return handlerRuns_; }

  QComboBox* list() const { return list_; }
  QAbstractButton* button() const { return button_; }

 private:
  void run(int index, bool fromCode);

  QComboBox* list_ = nullptr;
  QAbstractButton* button_ = nullptr;
  Handler handler_;
  Session* session_ = nullptr;
  int handlerRuns_ = 0;
};

}  // namespace kv4410::ui
