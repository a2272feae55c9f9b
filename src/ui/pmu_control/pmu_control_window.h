#pragma once
// The PMU control window, captioned "KV4410 PMU Controls": sets the enabled channels up in
// engineering units. Every change goes to the bench, which composes the shared PMU or system
// control word and sends it at once; the lists of shared settings are bound to the bench.
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "device/register_map.h"
#include "ui/common/window_apis.h"
#include "ui/common/window_hub.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kv4410::ui {

class PmuLevelCalculations;
class Selector;
class Session;

class PmuControlWindow : public QMainWindow, public ManagedWindow, public PmuControlApi {
  Q_OBJECT
 public:
  explicit PmuControlWindow(Session& session, QWidget* parent = nullptr);
  ~PmuControlWindow() override;

  QWidget* widget() override { return this; }
  void startUp() override;
  void showLastPmuWrite(std::int32_t word) override;

 private:
  // Building.
  QWidget* buildHeader();
  QGroupBox* buildForceGroup();
  QGroupBox* buildVrefGroup();
  QGroupBox* buildOtherGroup();
  QGroupBox* buildAlarmGroup();
  QGroupBox* buildThermalGroup();
  QGroupBox* buildGainGroup();
  QGroupBox* buildDirectDacGroup();
  QWidget* buildStatusPanel();
  void createSelectors();

  // What the window shows of the words sent and of the range in use.
  void showWords();
  void showRange();
  // Fields the bench composes and sends at once.
  void sendPmuFields(const std::vector<std::pair<PmuField, std::uint32_t>>& fields);
  void sendSystemFields(const std::vector<std::pair<SysField, std::uint32_t>>& fields);

  // PMU field selectors (the shared lists go to the bench through their binding).
  void onForce(int entry);
  void onIrange(int entry);
  void onSysforce(int entry);
  void onClampEnable(int checked);
  void onUpdate();

  // System control boxes.
  void onGuard(int checked);
  void onCpoen(int checked);
  void onAlarm(int index, int checked);

  void onChannel(int channel, int checked);
  void onReset();
  void onDacPage(int dacSubPage);

  // Entry fields and the reference options.
  void onForceLevelEntered();
  void onFinEntered();
  void onOffsetEntered();
  void onVrefEntered();
  void onReference(int option, int checked);
  bool onRsenseKey(QKeyEvent* event);
  // Reports an OFFSET field (or an external sense resistor) that the level conversion cannot
  // use, as its own Enter would; returns whether the conversion may go on.
  bool checkConversionInputs();

  void setUnits(const QString& unit);

  Session& session_;
  // True while the force mode is Force Voltage (set at load).
  bool forceVoltage_ = true;
  int referenceOption_ = 0;  // the reference option in use (0 "5V", 1 "2.5V", 2 the field)
  std::unique_ptr<PmuLevelCalculations> levels_;

  // "Force and Measure"
  std::array<QCheckBox*, 4> chkPMU_{};
  QComboBox* cboForce_ = nullptr;
  QComboBox* cboIrange_ = nullptr;
  QComboBox* cboMeasure_ = nullptr;
  QComboBox* cboCompare_ = nullptr;
  QCheckBox* chkCLAMPEN_ = nullptr;
  QLineEdit* txtForce_ = nullptr;
  QLabel* lbl1_ = nullptr;
  QPushButton* cmdWRITEPMU_ = nullptr;
  QLineEdit* txtdaccode_ = nullptr;
  QLineEdit* txtOutputV_ = nullptr;
  QLabel* lblrsense_ = nullptr;
  QLineEdit* txtRsense_ = nullptr;
  QPushButton* cmdClamp_ = nullptr;
  QPushButton* cmdComp_ = nullptr;
  // "VREF"
  std::array<QRadioButton*, 3> optRef_{};
  QLineEdit* txtVref_ = nullptr;
  QLineEdit* txtOutputVh_ = nullptr;
  QLineEdit* txtOutputVl_ = nullptr;
  QLabel* txtH_ = nullptr;
  QLabel* txtl_ = nullptr;
  // "Other Settings", alarms, thermal, gains
  QCheckBox* chkGuard_ = nullptr;
  QComboBox* cboSysforce_ = nullptr;
  QCheckBox* chkCPOEN_ = nullptr;
  std::array<QCheckBox*, 3> Chkalm_{};  // elements 1 "GUARD ALARM" and 2 "CLAMP ALARM"
  QComboBox* cboLatched_ = nullptr;
  QComboBox* cboTemp_ = nullptr;
  QComboBox* cboMeasI_ = nullptr;
  QComboBox* cboMeasout_ = nullptr;
  // "Write directly to FIN DAC"
  QLineEdit* txtFINx1_ = nullptr;
  QLineEdit* OFFSETx1_ = nullptr;
  // status
  QLineEdit* Text1_ = nullptr;
  QLineEdit* txtPMU_ = nullptr;
  QLineEdit* txtother_ = nullptr;
  QPushButton* cmdRESET_ = nullptr;
  QPushButton* cmdEXIT_ = nullptr;
  // menus

  // Selectors (owned by their controls).
  Selector* selForce_ = nullptr;
  Selector* selIrange_ = nullptr;
  Selector* selMeasure_ = nullptr;
  Selector* selCompare_ = nullptr;
  Selector* selSysforce_ = nullptr;
  Selector* selLatched_ = nullptr;
  Selector* selTemp_ = nullptr;
  Selector* selMeasI_ = nullptr;
  Selector* selMeasout_ = nullptr;
};

}  // namespace kv4410::ui
