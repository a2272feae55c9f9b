#include "ui/register_window/read_page_parts.h"

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "device/readback.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

std::uint32_t readBack(Session& session, std::int32_t requestWord) {
  // The request shows in the serial-word field as every word sent does.
  return session.bench().readBack(requestWord).value_or(0);
}

std::int32_t answerWord(std::uint32_t answer) {
  return static_cast<std::int32_t>(answer & 0xFFFFFF);
}

void showAnswer(RegisterWindowContext& context, std::uint32_t answer) {
  context.showReadField(hexText(answerWord(answer), 6));
}

QLabel* decodeLabel(const QString& name, const QString& text) {
  auto* label = makeLabel(nullptr, name, text);
  label->setFrameShape(QFrame::StyledPanel);
  label->setFrameShadow(QFrame::Sunken);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Base);
  label->setMinimumWidth(150);
  label->setMargin(2);
  return label;
}

QPushButton* makeLamp(const QString& name) {
  auto* b = new QPushButton;
  b->setObjectName(name);
  b->setFocusPolicy(Qt::NoFocus);
  b->setMinimumWidth(80);
  return b;
}

void showLamp(QPushButton* lamp, const LampState& state) {
  const QColor colour(state.red, state.green, state.blue);
  lamp->setText(qtext(state.caption));
  // The style sheet paints the colour under every widget style; the palette carries the same
  // colour for whoever asks the button for it.
  lamp->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; "
                                     "font-weight: bold; border: 1px solid black; padding: 3px; }")
                          .arg(colour.name()));
  QPalette palette = lamp->palette();
  palette.setColor(QPalette::Button, colour);
  lamp->setPalette(palette);
}

QLabel* activeLowNote(const QString& name) {
  auto* label = makeLabel(nullptr, name, QStringLiteral("BITS in BOLD are ACTIVE LOW"));
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

QGroupBox* channelOptions(const QString& frameName, const QString& optionPrefix, Session& session,
                          const std::function<void(int)>& select) {
  auto* frame = makeGroup(nullptr, frameName, QStringLiteral("PMU CH SELECT"));
  auto* box = new QVBoxLayout(frame);
  for (int ch = 3; ch >= 0; --ch) {
    auto* opt = new QRadioButton(QStringLiteral("PMU %1").arg(ch));
    opt->setObjectName(QStringLiteral("%1_%2").arg(optionPrefix).arg(ch));
    box->addWidget(opt);
    new Selector(
        opt, ch == 3,
        [select, ch](int ticked) {
          if (ticked != 0) {
            select(ch);
          }
        },
        &session);
  }
  return frame;
}

}  // namespace kv4410::ui
