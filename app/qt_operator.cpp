#include "qt_operator.h"

#include "console.h"

#include "exact_title.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

namespace brindle::app {

std::optional<QString> QtOperator::chooseFile(FileMode mode)
{
    QFileDialog dialog(window_, kDialogTitle);
    QFileDialog::Options options = QFileDialog::HideNameFilterDetails;
    if (!nativeFileDialog())
        options |= QFileDialog::DontUseNativeDialog;
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

std::optional<std::array<QString, 2>> QtOperator::choosePorts(const std::array<QString, 2>& current,
                                                                const std::vector<SerialPortEntry>& ports)
{
    // As a terminal program's port settings: what the system reports, with its details, and
    // for each button a list of those ports that also takes a name typed in (COM9, a path).
    QDialog dialog(window_);
    dialog.setWindowTitle(QStringLiteral("Serial port"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Ports the system reports:"), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("ports"));
    for (const SerialPortEntry& port : ports)
        list->addItem(port.line);
    if (ports.empty())
        list->addItem(QStringLiteral("No serial ports found."));
    list->setMinimumWidth(480);
    layout->addWidget(list);
    auto* form = new QFormLayout;
    std::array<QComboBox*, 2> boxes{};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = new QComboBox(&dialog);
        boxes[i]->setObjectName(QStringLiteral("button%1").arg(i + 1));
        boxes[i]->setEditable(true);
        boxes[i]->setInsertPolicy(QComboBox::NoInsert);
        for (const SerialPortEntry& port : ports)
            boxes[i]->addItem(port.device);
        boxes[i]->setCurrentText(current[i]);
        form->addRow(QStringLiteral("Button %1 (COM%1):").arg(i + 1), boxes[i]);
    }
    layout->addLayout(form);
    // A line of the list picked twice over is the port for the button being edited last.
    QComboBox* editing = boxes[0];
    for (QComboBox* box : boxes) {
        QObject::connect(box->lineEdit(), &QLineEdit::textEdited, &dialog, [&editing, box] { editing = box; });
        QObject::connect(box, &QComboBox::activated, &dialog, [&editing, box] { editing = box; });
    }
    QObject::connect(list, &QListWidget::itemActivated, &dialog, [&](QListWidgetItem* item) {
        const int row = list->row(item);
        if (row >= 0 && std::size_t(row) < ports.size())
            editing->setCurrentText(ports[std::size_t(row)].device);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    std::array<QString, 2> chosen;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        chosen[i] = boxes[i]->currentText().trimmed();
        if (chosen[i].isEmpty())
            chosen[i] = current[i]; // an emptied box leaves the button as it was
    }
    return chosen;
}

void QtOperator::beep()
{
    QApplication::beep();
}

} // namespace brindle::app
