#include "QtFileDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace zuta::hostapp {

QString QtFileDialog::NameFilters(std::string_view fileTypes) {
    const QStringList parts =
        QString::fromUtf8(fileTypes.data(), static_cast<qsizetype>(fileTypes.size()))
            .split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (i + 1 >= parts.size()) {
            if (!description.isEmpty())
                filters << description;
            break;
        }
        QStringList patterns = parts[i + 1].trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        // Qt reads the patterns from the parentheses, so the description's own ones go.
        if (const qsizetype open = description.lastIndexOf(QLatin1Char('('));
            open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<std::string> QtFileDialog::Run(const host::FileDialogRequest& request, bool save) {
    if (!interactive_)
        return std::nullopt;
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.mustExist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
    dialog.setNameFilter(NameFilters(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtFileDialog::SaveFile(const host::FileDialogRequest& request) {
    return Run(request, true);
}

std::optional<std::string> QtFileDialog::OpenFile(const host::FileDialogRequest& request) {
    return Run(request, false);
}

std::optional<std::string> QtFileDialog::ChooseFolder(const std::string& title,
                                                      const std::string& start) {
    if (!interactive_)
        return std::nullopt;
    const QString folder = QFileDialog::getExistingDirectory(owner_, QString::fromStdString(title),
                                                             QString::fromStdString(start));
    if (folder.isEmpty())
        return std::nullopt;
    return folder.toStdString();
}

} // namespace zuta::hostapp
