#pragma once

#include "graphs/FunctionGraphView.h"
#include "graphs/TaskPalette.h"

#include <QDialog>
#include <QFont>
#include <cstdint>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace zuta::performance {

class CPerformanceView;
class ZTitleTip;

// "Function Call Graph": every function call of the collection as a bar, placed by the time spent
// in functions and stacked by nesting depth, with zoom, paging, the details of the selected call,
// a search for the next call of a function and the time between two selected calls. The calls and
// every figure come from a graphs::FunctionGraphView; this class paints it and forwards the
// user's input. It works on the samples stored when it opened.
class CFunctionGraphDlg : public QDialog {
    Q_OBJECT
public:
    // The view must have its collection session.
    explicit CFunctionGraphDlg(CPerformanceView& view, QWidget* parent = nullptr);
    ~CFunctionGraphDlg() override;

    const graphs::FunctionGraphView& model() const { return *model_; }
    // The colour of a function's bars (given on first use).
    graphs::ColorRef ColourOf(std::uint32_t function) const { return colours_.ColourOf(function); }

    // What the user's actions do, also for pictures of the dialog.
    void OnZoomIn();
    void OnZoomOut();
    void OnFit();
    void OnFind();
    // Selects call `index` as a click on its bar does.
    void ClickCall(std::uint32_t index);
    // Shows the calls from `index` on, as that many steps of the scroll bar do.
    void ShowFrom(std::uint32_t index);

    QScrollBar* scrollBar() const { return scroll_; }
    QPushButton* zoomInButton() const { return zoomIn_; }
    QPushButton* zoomOutButton() const { return zoomOut_; }
    QPushButton* fitButton() const { return fit_; }
    QComboBox* findList() const { return findList_; }
    QPushButton* findButton() const { return find_; }
    QLineEdit* timeDeltaEdit() const { return timeDelta_; }
    QTableWidget* functionDetails() const { return functionDetails_; }
    QTableWidget* sessionDetails() const { return sessionDetails_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void BuildControls();
    void OnScrollAction(int action);
    // After any change: scroll position, details, repaint.
    void ShowView();

    CPerformanceView& view_;
    std::unique_ptr<graphs::FunctionGraphView> model_;
    // A function takes its colour when first painted and keeps it.
    mutable graphs::TaskColours colours_;
    QFont nameFont_;
    QFont listFont_;
    ZTitleTip* tip_ = nullptr;

    QScrollBar* scroll_ = nullptr;
    QPushButton* zoomIn_ = nullptr;
    QPushButton* zoomOut_ = nullptr;
    QPushButton* fit_ = nullptr;
    QComboBox* findList_ = nullptr;
    QPushButton* find_ = nullptr;
    QLineEdit* timeDelta_ = nullptr;
    QTableWidget* functionDetails_ = nullptr;
    QTableWidget* sessionDetails_ = nullptr;
};

// Opens the graph on the view's collection, modal on the view's window or not; it deletes itself
// when closed. Null without a collection session.
CFunctionGraphDlg* OpenFunctionGraph(CPerformanceView& view, bool modal);

} // namespace zuta::performance
