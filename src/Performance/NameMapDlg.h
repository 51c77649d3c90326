#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace zuta::performance {

// What the IRQ and function name dialogs share: a list of names (column 0, the only one that can
// be edited) and their numbers (column 1), every even row shaded, and OK that saves the dialog's
// own map only when an edit changed it. The dialogs say which edits a map takes and how it saves.
class CNameMapDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNameColumn = 0;
    static constexpr int kNumberColumn = 1;

    QTableWidget* list() const { return list_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    bool modified() const { return modified_; }

    // Saves the map when an edit changed it, then closes.
    void accept() override;

protected:
    CNameMapDlg(const QString& title, const QString& numberHeader, QWidget* parent);

    // Appends a row; call once per entry, in order, from the derived constructor.
    void AddRow(const std::string& name, std::uint32_t number);

    // The edit of `row` to `text` ended: true when the map took it.
    virtual bool Rename(int row, const std::string& text) = 0;
    // The name that `row` holds in the map now.
    virtual std::string NameAt(int row) const = 0;
    virtual void SaveMap() = 0;

private:
    void OnItemChanged(QTableWidgetItem* item);

    QTableWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool modified_ = false;
    // Set while the dialog itself writes a name, which is no edit.
    bool writing_ = false;
};

} // namespace zuta::performance
