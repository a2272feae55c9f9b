#pragma once
// The register access window, "KV4410 Evaluation Board Software": the program's main window.
// Around its ten pages it carries the controls every page shares (serial-word field, READ field,
// /LOAD, RESET, READ ADC, channel selection, EXIT, menus); its start-up brings up the board and
// writes the chip's start-up state.
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/common/window_apis.h"
#include "ui/common/window_hub.h"
#include "ui/register_window/register_window_context.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kv4410::ui {

class DacPage;
class LazyPage;
class PmuPage;
class ReadPages;
class Selector;
class Session;
class SystemPage;

// Page indices of the page control, in their order.
enum RegisterPage : int {
  kPageWriteSystem = 0,
  kPageWritePmu,
  kPageWriteDac,
  kPageCompensation,
  kPageAbout,
  kPageReadSystem,
  kPageReadPmu,
  kPageReadDac,
  kPageReadStatus,
  kPageLittleRoutines,
};

class RegisterWindow : public QMainWindow,
                       public ManagedWindow,
                       public RegisterWindowContext,
                       public RegisterWindowApi {
  Q_OBJECT
 public:
  explicit RegisterWindow(Session& session, QWidget* parent = nullptr);
  ~RegisterWindow() override;

  // ManagedWindow
  QWidget* widget() override { return this; }
  void startUp() override;

  // RegisterWindowContext
  Session& session() override { return session_; }
  void showReadField(const QString& text) override;

  // RegisterWindowApi
  void showDacPage(int dacSubPage) override;

  QTabWidget* pages() const { return pages_; }
  QLineEdit* serialWordField() const { return serialField_; }
  SystemPage* systemPage() const { return systemPage_; }
  PmuPage* pmuPage() const { return pmuPage_; }
  DacPage* dacPage() const;  // built now when it was not yet

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* buildCommonControls();
  ReadPages* readPages();

  void onPageChanged(int page);
  void onChannel(int channel, bool ticked);
  void onSerialWordEnter();
  void onSerialWordFocusLost();
  void rejectSerialWord(const QString& text);
  void onReset();
  void onPulseLoad();
  void onLoadLine(bool high);
  void onReadAdc();

  Session& session_;
  QTabWidget* pages_ = nullptr;
  SystemPage* systemPage_ = nullptr;
  PmuPage* pmuPage_ = nullptr;
  LazyPage* dacHolder_ = nullptr;
  DacPage* dacPage_ = nullptr;      // nullptr until the DAC page is built
  ReadPages* readPages_ = nullptr;  // built with the first read page opened
  // The channels last shown in the DAC page's input display.
  std::optional<std::int32_t> dacInputShown_;

  QLineEdit* serialField_ = nullptr;
  QLabel* readField_ = nullptr;
  QGroupBox* loadFrame_ = nullptr;
  QGroupBox* channelFrame_ = nullptr;
  QCheckBox* loadBox_ = nullptr;
  Selector* loadSelector_ = nullptr;
  QPushButton* readAdc_ = nullptr;
  std::array<Selector*, 4> channels_{};

  std::function<void()> refreshMenus_;

  // True while a message box raised by the serial-word field is open: the focus it takes away
  // must not run the field's own check again.
  bool serialMessageOpen_ = false;
};

}  // namespace kv4410::ui
