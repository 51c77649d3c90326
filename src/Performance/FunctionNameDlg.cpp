#include "Performance/FunctionNameDlg.h"

#include "Performance/PerformanceView.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "host/HostWindow.h"

namespace zuta::performance {

CFunctionNameDlg::CFunctionNameDlg(host::ISettingsStore& store, QWidget* parent)
    : CNameMapDlg(QStringLiteral("Function ID to String"), QStringLiteral("Function ID"), parent),
      names_(&store) {
    names_.Load();
    std::string name;
    std::uint32_t number = 0;
    for (std::size_t position = 0; names_.GetEntryAt(position, name, number); ++position)
        AddRow(name, number);
}

bool CFunctionNameDlg::Rename(int row, const std::string& text) {
    std::string current;
    std::uint32_t number = 0;
    if (!names_.GetEntryAt(static_cast<std::size_t>(row), current, number) || text == current)
        return false;
    names_.SetName(number, text);
    return true;
}

std::string CFunctionNameDlg::NameAt(int row) const {
    std::string name;
    std::uint32_t number = 0;
    names_.GetEntryAt(static_cast<std::size_t>(row), name, number);
    return name;
}

void CFunctionNameDlg::SaveMap() {
    names_.Save();
}

CFunctionNameDlg* OpenFunctionNameDlg(CPerformanceView& view, bool modal) {
    if (view.host() == nullptr)
        return nullptr;
    auto* dialog = new CFunctionNameDlg(view.host()->SettingsStore(), &view);
    return ShowViewWindow(dialog, modal);
}

void RunFunctionNamesMapping(CPerformanceView& view, const ViewCommand&) {
    OpenFunctionNameDlg(view, true);
}

} // namespace zuta::performance
