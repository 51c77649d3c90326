#pragma once

#include "Performance/NameMapDlg.h"
#include "namemaps/IrqNameMap.h"

namespace zuta::host {
class ISettingsStore;
}

namespace zuta::performance {

class CPerformanceView;

// "IRQ to String": the IRQ names of the settings store (or the built-in table), one row per IRQ
// number. A row without a name cannot be renamed.
class CIrqNameDlg : public CNameMapDlg {
    Q_OBJECT
public:
    CIrqNameDlg(host::ISettingsStore& store, QWidget* parent);

    const IrqNameMap& names() const { return names_; }

protected:
    bool Rename(int row, const std::string& text) override;
    std::string NameAt(int row) const override;
    void SaveMap() override;

private:
    IrqNameMap names_;
};

// Shows the dialog on the view's settings store without waiting for it, modal on the view's
// window or not; it deletes itself when closed. Null before the view has a host.
CIrqNameDlg* OpenIrqNameDlg(CPerformanceView& view, bool modal);

} // namespace zuta::performance
