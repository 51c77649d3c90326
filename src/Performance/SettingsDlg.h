#pragma once

#include "settings/SettingsForm.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zuta::performance {

class CPerformanceView;

// The "Settings" dialog: edits the view's settings record and saves it on OK. The rules between
// the controls and the reading of the texts are SettingsForm's; this class moves the form's
// fields into the controls and back.
class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // The view must have its collection session (settings, host services).
    explicit CSettingsDlg(CPerformanceView& view);

    QRadioButton* armApdcRadio() const { return armApdc_; }
    QRadioButton* xscalePmuRadio() const { return xscalePmu_; }
    QLineEdit* dumpPathEdit() const { return dumpPath_; }
    QPushButton* browseButton() const { return browse_; }
    QLineEdit* lowAddressEdit() const { return lowAddress_; }
    QLineEdit* highAddressEdit() const { return highAddress_; }
    QComboBox* diagPortList() const { return diagPort_; }
    QComboBox* tlnPortList() const { return tlnPort_; }
    QLineEdit* clockEdit() const { return clock_; }
    QLineEdit* idleTaskEdit() const { return idleTask_; }
    QCheckBox* percentViewCheck() const { return percentView_; }
    QCheckBox* simpleModeCheck() const { return simpleMode_; }
    QCheckBox* externalTsCheck() const { return externalTs_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // OK: refuses a field it cannot take (saying which and showing the kept value again), else
    // writes the record, saves it and closes.
    void accept() override;

private:
    void ShowForm();
    void ReadControls();
    void OnArmApdc();
    void OnXScalePmu();
    void OnSimpleMode();
    void OnExternalTs();
    void OnBrowse();

    CPerformanceView& view_;
    PerformanceSettings& settings_;
    SettingsForm form_;

    QRadioButton* armApdc_;
    QRadioButton* xscalePmu_;
    QLineEdit* dumpPath_;
    QPushButton* browse_;
    QLineEdit* lowAddress_;
    QLineEdit* highAddress_;
    QComboBox* diagPort_;
    QComboBox* tlnPort_;
    QLineEdit* clock_;
    QLineEdit* idleTask_;
    QCheckBox* percentView_;
    QCheckBox* simpleMode_;
    QCheckBox* externalTs_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace zuta::performance
