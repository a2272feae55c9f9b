#pragma once
// A page of a page control whose widgets are built the first time the page is shown or its
// content is asked for. The register window's start-up shows only its first page; building the
// pages nobody has opened yet, with their bit displays, lists and fields, took much of it.
#include <QWidget>
#include <functional>

namespace kv4410::ui {

class LazyPage : public QWidget {
  Q_OBJECT
 public:
  // `build` makes the page's content as a child of the widget it is given.
  using Build = std::function<QWidget*(QWidget* holder)>;
  LazyPage(const QString& name, Build build, QWidget* parent = nullptr);

  // The content, built now when it was not built yet.
  QWidget* content();
  bool built() const { return content_ != nullptr; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Build build_;
  QWidget* content_ = nullptr;
};

}  // namespace kv4410::ui
