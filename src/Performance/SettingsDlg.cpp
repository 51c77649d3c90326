#include "Performance/SettingsDlg.h"

#include "Performance/PerformanceView.h"
#include "collection/CollectionSession.h"
#include "host/FileDialog.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

namespace zuta::performance {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QComboBox* MakePortList(QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (const std::string& port : SettingsForm::PortTexts())
        list->addItem(Text(port));
    return list;
}

} // namespace

CSettingsDlg::CSettingsDlg(CPerformanceView& view)
    : QDialog(&view), view_(view), settings_(*view.settings()), form_(settings_) {
    setWindowTitle(QStringLiteral("Settings"));

    // Each scheme is a group of its own: a click unchecks the other itself.
    armApdc_ = new QRadioButton(QStringLiteral("ARM APDC"), this);
    xscalePmu_ = new QRadioButton(QStringLiteral("XScale PMU"), this);
    armApdc_->setAutoExclusive(false);
    xscalePmu_->setAutoExclusive(false);
    auto* schemes = new QHBoxLayout();
    schemes->addWidget(armApdc_);
    schemes->addWidget(xscalePmu_);
    schemes->addStretch();

    auto* dumpGroup = new QGroupBox(QStringLiteral("Data Dump Path"), this);
    dumpPath_ = new QLineEdit(dumpGroup);
    browse_ = new QPushButton(QStringLiteral("Browse"), dumpGroup);
    auto* dumpLayout = new QHBoxLayout(dumpGroup);
    dumpLayout->addWidget(dumpPath_, 1);
    dumpLayout->addWidget(browse_);

    auto* agentGroup = new QGroupBox(QStringLiteral("Target Agent settings"), this);
    auto* rangeGroup = new QGroupBox(QStringLiteral("APDC memory range"), agentGroup);
    lowAddress_ = new QLineEdit(rangeGroup);
    highAddress_ = new QLineEdit(rangeGroup);
    auto* rangeLayout = new QFormLayout(rangeGroup);
    rangeLayout->addRow(QStringLiteral("Low Address"), lowAddress_);
    rangeLayout->addRow(QStringLiteral("Hight Address"), highAddress_);
    auto* agentLayout = new QVBoxLayout(agentGroup);
    agentLayout->addLayout(schemes);
    agentLayout->addWidget(rangeGroup);

    auto* linkGroup = new QGroupBox(QStringLiteral("Data Link Properties"), this);
    diagPort_ = MakePortList(linkGroup);
    tlnPort_ = MakePortList(linkGroup);
    tlnPort_->setEnabled(false);
    auto* linkLayout = new QFormLayout(linkGroup);
    linkLayout->addRow(QStringLiteral("Command Link (DIAG)"), diagPort_);
    linkLayout->addRow(QStringLiteral("Data Link (TLN)"), tlnPort_);

    auto* viewerGroup = new QGroupBox(QStringLiteral("Viewer settings"), this);
    clock_ = new QLineEdit(viewerGroup);
    idleTask_ = new QLineEdit(viewerGroup);
    percentView_ = new QCheckBox(QStringLiteral("Percent View"), viewerGroup);
    simpleMode_ = new QCheckBox(QStringLiteral("Simple sampling mode"), viewerGroup);
    externalTs_ = new QCheckBox(QStringLiteral("External TS mode"), viewerGroup);
    simpleMode_->setEnabled(SettingsForm::kSimpleModeEnabled);
    auto* viewerLayout = new QFormLayout(viewerGroup);
    viewerLayout->addRow(QStringLiteral("ARM Clock"), clock_);
    viewerLayout->addRow(QStringLiteral("Idle Task  Name"), idleTask_);
    viewerLayout->addRow(percentView_);
    viewerLayout->addRow(simpleMode_);
    viewerLayout->addRow(externalTs_);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dumpGroup);
    layout->addWidget(agentGroup);
    layout->addWidget(linkGroup);
    layout->addWidget(viewerGroup);
    layout->addLayout(buttons);
    // Room for a dump path of some length.
    setMinimumWidth(360);

    connect(armApdc_, &QRadioButton::clicked, this, &CSettingsDlg::OnArmApdc);
    connect(xscalePmu_, &QRadioButton::clicked, this, &CSettingsDlg::OnXScalePmu);
    connect(simpleMode_, &QCheckBox::clicked, this, &CSettingsDlg::OnSimpleMode);
    connect(externalTs_, &QCheckBox::clicked, this, &CSettingsDlg::OnExternalTs);
    connect(browse_, &QPushButton::clicked, this, &CSettingsDlg::OnBrowse);
    connect(ok_, &QPushButton::clicked, this, &CSettingsDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CSettingsDlg::reject);

    armApdc_->setEnabled(form_.ArmApdcEnabled());
    xscalePmu_->setEnabled(form_.XScalePmuEnabled());
    ShowForm();
}

void CSettingsDlg::ShowForm() {
    armApdc_->setChecked(form_.ArmApdcChecked());
    xscalePmu_->setChecked(form_.XScalePmuChecked());
    dumpPath_->setText(Text(form_.dumpPath));
    lowAddress_->setText(Text(form_.lowAddress));
    highAddress_->setText(Text(form_.highAddress));
    diagPort_->setCurrentIndex(form_.diagPort);
    tlnPort_->setCurrentIndex(form_.tlnPort);
    clock_->setText(Text(form_.clock));
    idleTask_->setText(Text(form_.idleTaskName));
    percentView_->setChecked(form_.percentView);
    simpleMode_->setChecked(form_.simpleMode);
    externalTs_->setChecked(form_.externalTsMode);
}

void CSettingsDlg::ReadControls() {
    form_.dumpPath = dumpPath_->text().toStdString();
    form_.lowAddress = lowAddress_->text().toStdString();
    form_.highAddress = highAddress_->text().toStdString();
    form_.diagPort = diagPort_->currentIndex();
    form_.tlnPort = tlnPort_->currentIndex();
    form_.clock = clock_->text().toStdString();
    form_.idleTaskName = idleTask_->text().toStdString();
    form_.percentView = percentView_->isChecked();
    form_.simpleMode = simpleMode_->isChecked();
    form_.externalTsMode = externalTs_->isChecked();
}

// The scheme goes into the record at once, whatever becomes of the dialog.
void CSettingsDlg::OnArmApdc() {
    ReadControls();
    form_.ClickArmApdc();
    settings_.cpuType = form_.cpuType;
    ShowForm();
}

void CSettingsDlg::OnXScalePmu() {
    ReadControls();
    form_.ClickXScalePmu();
    settings_.cpuType = form_.cpuType;
    ShowForm();
}

void CSettingsDlg::OnSimpleMode() {
    ReadControls();
    form_.ClickSimpleMode(simpleMode_->isChecked());
    ShowForm();
}

void CSettingsDlg::OnExternalTs() {
    ReadControls();
    form_.ClickExternalTs(externalTs_->isChecked());
    ShowForm();
}

void CSettingsDlg::OnBrowse() {
    host::IFileDialog* dialogs = view_.host()->FileDialog();
    if (dialogs == nullptr)
        return;
    const std::optional<std::string> folder =
        dialogs->ChooseFolder("Data Dump Path", dumpPath_->text().toStdString());
    if (!folder)
        return;
    // Dump files are written into it later; a folder that cannot be made shows then.
    std::error_code ec;
    std::filesystem::create_directory(*folder, ec);
    dumpPath_->setText(Text(*folder));
}

void CSettingsDlg::accept() {
    ReadControls();
    const std::vector<SettingsForm::Rejection> rejections = form_.Rejections(settings_);
    if (!rejections.empty()) {
        std::string message;
        for (const SettingsForm::Rejection& rejection : rejections) {
            message += "\"" + std::string(rejection.field) + "\": \"" + rejection.text +
                       "\" is not a hexadecimal address; the previous value " + rejection.keptText +
                       " is kept.\n";
            form_.Restore(rejection);
        }
        message.pop_back();
        ShowForm();
        highAddress_->setFocus();
        highAddress_->selectAll();
        view_.host()->MessageBox().Show(message, "Settings", host::MessageIcon::Warning);
        return;
    }
    form_.ApplyTo(settings_);
    if (!view_.session()->SaveSettings())
        view_.LogStatus("The settings could not be saved to the settings store");
    QDialog::accept();
}

} // namespace zuta::performance
