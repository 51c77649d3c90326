#pragma once

#include "Performance/NameMapDlg.h"
#include "namemaps/FunctionNameMap.h"

namespace zuta::host {
class ISettingsStore;
}

namespace zuta::performance {

class CPerformanceView;

// "Function ID to String": the function names of the settings store, one row per entry in
// ascending number order. Every row can be renamed, an unnamed one too.
class CFunctionNameDlg : public CNameMapDlg {
    Q_OBJECT
public:
    CFunctionNameDlg(host::ISettingsStore& store, QWidget* parent);

    const FunctionNameMap& names() const { return names_; }

protected:
    bool Rename(int row, const std::string& text) override;
    std::string NameAt(int row) const override;
    void SaveMap() override;

private:
    FunctionNameMap names_;
};

// Shows the dialog on the view's settings store without waiting for it, modal on the view's
// window or not; it deletes itself when closed. Null before the view has a host.
CFunctionNameDlg* OpenFunctionNameDlg(CPerformanceView& view, bool modal);

} // namespace zuta::performance
