#pragma once
// The four read pages of the register window: "READ SYSTEM CONTROL REG", "READ PMU REG",
// "READ DAC REG" and "READ STATUS REG", with their request words and decoded displays.
#include <QObject>
#include <QWidget>

namespace kv4410::ui {

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
  struct Pages;
  Pages* pages_;
};

}  // namespace kv4410::ui
