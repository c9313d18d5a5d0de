#include "qt_operator.h"

#include "exact_title.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace brindle::app {

std::optional<QString> QtOperator::chooseFile(FileMode mode)
{
    QFileDialog dialog(window_, kDialogTitle);
    QFileDialog::Options options = QFileDialog::HideNameFilterDetails;
#ifndef Q_OS_WIN
    // The platform dialogs of some desktops ignore the filter labels; Qt's own shows them.
    options |= QFileDialog::DontUseNativeDialog;
#endif
    if (mode == FileMode::Save) {
        // An existing file is replaced without a question.
        options |= QFileDialog::DontConfirmOverwrite;
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setOptions(options);
    // After the options: the labels are cut to their captions as the filters are set.
    dialog.setNameFilters(kDialogFilter.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(kDefaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void QtOperator::messageBox(const QString& text, link::Icon icon, const QString& title)
{
    QMessageBox box(icon == link::Icon::Critical ? QMessageBox::Critical : QMessageBox::Warning, title, text,
                    QMessageBox::Ok, window_);
    box.setTextFormat(Qt::PlainText);
    if (title.isEmpty()) // once the box is shown and its window exists
        QTimer::singleShot(0, &box, [&box] { setExactTitle(&box, QString()); });
    box.exec();
}

void QtOperator::beep()
{
    QApplication::beep();
}

} // namespace brindle::app
