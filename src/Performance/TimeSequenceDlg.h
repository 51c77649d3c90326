#pragma once

#include "graphs/TimeSequence.h"

#include <QDialog>
#include <memory>

class QTableView;

namespace zuta::performance {

class TimeSequenceModel;

// The list of session durations ("Pos", "Time"), rows off the regular period in red. The CPU
// usage graph fills it while it builds its sessions and runs it modally on "Time Sequence".
class CTimeSequenceDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CTimeSequenceDlg(QWidget* parent = nullptr);
    ~CTimeSequenceDlg() override;

    void Append(std::uint32_t session, float microseconds) {
        sequence_.Append(session, microseconds);
    }
    void Clear() { sequence_.Clear(); }

    const graphs::TimeSequence& sequence() const { return sequence_; }
    QTableView* list() const { return list_; }

protected:
    // The rows are taken from the sequence each time the dialog opens.
    void showEvent(QShowEvent* event) override;

private:
    graphs::TimeSequence sequence_;
    std::unique_ptr<TimeSequenceModel> model_;
    QTableView* list_ = nullptr;
};

} // namespace zuta::performance
