#pragma once
// The four read pages of the register window: "READ SYSTEM CONTROL REG", "READ PMU REG",
// "READ DAC REG" and "READ STATUS REG". They are built together, the first time one of them is
// opened; each page is its own class.
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kv4410::ui {

class ReadDacPage;
class ReadPmuPage;
class ReadStatusPage;
class ReadSystemPage;
class RegisterWindowContext;

class ReadPages : public QObject {
  Q_OBJECT
 public:
  ReadPages(RegisterWindowContext& context, QObject* parent = nullptr);
  ~ReadPages() override;

  // The page widgets; the register window puts them into its page control (it takes ownership).
  QWidget* readSystemPage() const;
  QWidget* readPmuPage() const;
  QWidget* readDacPage() const;
  QWidget* readStatusPage() const;

  // Page entry: "READ PMU REG" ORs 0x18000000 into the PMU request word, "READ DAC REG" ORs
  // 0x18C80000 into the DAC request word; each shows the word in the serial-word field.
  void enterReadPmuPage();
  void enterReadDacPage();

 private:
  QPointer<ReadSystemPage> system_;
  QPointer<ReadPmuPage> pmu_;
  QPointer<ReadDacPage> dac_;
  QPointer<ReadStatusPage> status_;
};

}  // namespace kv4410::ui
