#include "Performance/IrqNameDlg.h"

#include "Performance/PerformanceView.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "host/HostWindow.h"

namespace zuta::performance {

CIrqNameDlg::CIrqNameDlg(host::ISettingsStore& store, QWidget* parent)
    : CNameMapDlg(QStringLiteral("IRQ to String"), QStringLiteral("IRQ number"), parent),
      names_(&store) {
    names_.LoadOrDefaults();
    for (std::uint32_t number = 0; number < names_.size(); ++number)
        AddRow(NameAt(static_cast<int>(number)), number);
}

bool CIrqNameDlg::Rename(int row, const std::string& text) {
    std::string current;
    if (!names_.Lookup(static_cast<std::uint32_t>(row), current) || text == current)
        return false;
    return names_.SetName(static_cast<std::uint32_t>(row), text);
}

std::string CIrqNameDlg::NameAt(int row) const {
    std::string name;
    names_.Lookup(static_cast<std::uint32_t>(row), name);
    return name;
}

void CIrqNameDlg::SaveMap() {
    names_.Save();
}

CIrqNameDlg* OpenIrqNameDlg(CPerformanceView& view, bool modal) {
    if (view.host() == nullptr)
        return nullptr;
    auto* dialog = new CIrqNameDlg(view.host()->SettingsStore(), &view);
    return ShowViewWindow(dialog, modal);
}

void RunIrqMapping(CPerformanceView& view, const ViewCommand&) {
    OpenIrqNameDlg(view, true);
}

} // namespace zuta::performance
