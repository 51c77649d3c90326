#pragma once

#include <QObject>
#include <QString>

namespace zuta::performance {

// The module's document. It holds no data; the view owns everything of a collection.
class CPerformanceDoc : public QObject {
    Q_OBJECT
public:
    explicit CPerformanceDoc(QObject* parent = nullptr);

    void OnNewDocument();
    const QString& title() const { return title_; }
    void SetTitle(const QString& title);

signals:
    void titleChanged(const QString& title);

private:
    QString title_;
};

} // namespace zuta::performance
