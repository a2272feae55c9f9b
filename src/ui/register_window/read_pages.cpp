#include "ui/register_window/read_pages.h"

#include "ui/register_window/read_dac_page.h"
#include "ui/register_window/read_pmu_page.h"
#include "ui/register_window/read_status_page.h"
#include "ui/register_window/read_system_page.h"

namespace kv4410::ui {

ReadPages::ReadPages(RegisterWindowContext& context, QObject* parent)
    : QObject(parent),
      system_(new ReadSystemPage(context)),
      pmu_(new ReadPmuPage(context)),
      dac_(new ReadDacPage(context)),
      status_(new ReadStatusPage(context)) {}

ReadPages::~ReadPages() {
  // Pages that no window took over are still ours.
  for (QWidget* page : {readSystemPage(), readPmuPage(), readDacPage(), readStatusPage()}) {
    if (page != nullptr && page->parent() == nullptr) {
      delete page;
    }
  }
}

QWidget* ReadPages::readSystemPage() const {
  return system_.data();
}
QWidget* ReadPages::readPmuPage() const {
  return pmu_.data();
}
QWidget* ReadPages::readDacPage() const {
  return dac_.data();
}
QWidget* ReadPages::readStatusPage() const {
  return status_.data();
}

// The pages live as long as the window that holds them; a window being torn down may still
// report a page change after they are gone.
void ReadPages::enterReadPmuPage() {
  if (pmu_ != nullptr) {
    pmu_->enterPage();
  }
}

void ReadPages::enterReadDacPage() {
  if (dac_ != nullptr) {
    dac_->enterPage();
  }
}

}  // namespace kv4410::ui
