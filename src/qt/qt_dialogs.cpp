#include "qt/qt_dialogs.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvane::qt {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// A message box that can be closed without choosing a button: closing it (or
// Escape) ends it with no button clicked, which a question reports as "".
class ClosableMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        QDialog::reject();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            QDialog::reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

// Runs `act` on the dialog once its event loop runs, i.e. once it is shown.
template <typename Dialog, typename Act>
void whenShown(Dialog& dialog, Act act) {
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        if (dialog.isVisible()) act();
    });
}

}  // namespace

void fitTitle(QWidget* top) {
    if (!top) return;
    QFont font = QApplication::font();
    font.setBold(true);
    int need = QFontMetrics(font).horizontalAdvance(top->windowTitle()) + 120;
    if (const QScreen* screen = top->screen()) need = std::min(need, screen->availableGeometry().width());
    if (auto* box = qobject_cast<QMessageBox*>(top)) {
        // A message box sets its own size from its layout: a strut in the
        // layout widens it.
        if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
            grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                          grid->columnCount());
        return;
    }
    // A window its layout keeps wide enough is left alone: a minimum of its
    // own would override the layout's.
    if (need <= std::max(top->minimumWidth(), top->minimumSizeHint().width()) || top->maximumWidth() < need) return;
    top->setMinimumWidth(need);
}

QString literalLabel(const std::string& text) { return q(text).replace('&', QStringLiteral("&&")); }

void showMessageDialog(QWidget* parent, bool error, const std::string& title, const std::string& text,
                       std::optional<ScriptedClose> scripted) {
    ClosableMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, q(title), q(text),
                           QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    fitTitle(&box);
    if (scripted) {
        whenShown(box, [&box, ok, how = *scripted] {
            if (how == ScriptedClose::Button)
                ok->click();
            else
                box.close();
        });
    }
    box.exec();
}

int showQuestionDialog(QWidget* parent, const std::string& title, const std::string& text,
                       const std::vector<std::string>& buttons, int defaultIndex, std::optional<int> scripted) {
    ClosableMessageBox box(QMessageBox::Question, q(title), q(text), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    std::vector<QPushButton*> pushes;
    for (const auto& b : buttons) pushes.push_back(box.addButton(literalLabel(b), QMessageBox::AcceptRole));
    if (defaultIndex >= 0 && defaultIndex < static_cast<int>(pushes.size())) box.setDefaultButton(pushes[defaultIndex]);
    fitTitle(&box);
    if (scripted) {
        whenShown(box, [&box, &pushes, index = *scripted] {
            if (index >= 0 && index < static_cast<int>(pushes.size()))
                pushes[index]->click();
            else
                box.close();
        });
    }
    box.exec();
    for (std::size_t i = 0; i < pushes.size(); ++i)
        if (box.clickedButton() == pushes[i]) return static_cast<int>(i);
    return -1;
}

std::optional<std::vector<std::string>> showInputDialog(QWidget* parent, const std::string& title,
                                                        const std::vector<std::string>& prompts,
                                                        const std::vector<std::string>& defaults,
                                                        std::optional<ScriptedInput> scripted) {
    QDialog dialog(parent);
    dialog.setWindowTitle(q(title));
    auto* layout = new QVBoxLayout(&dialog);
    std::vector<QLineEdit*> edits;
    for (std::size_t i = 0; i < prompts.size(); ++i) {
        auto* label = new QLabel(q(prompts[i]), &dialog);
        label->setTextFormat(Qt::PlainText);
        auto* edit = new QLineEdit(q(i < defaults.size() ? defaults[i] : std::string()), &dialog);
        edit->setMinimumWidth(260);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
        edits.push_back(edit);
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    fitTitle(&dialog);
    if (scripted) {
        whenShown(dialog, [&dialog, &edits, box, answer = *scripted] {
            switch (answer.kind) {
            case ScriptedInput::Ok:
                if (answer.texts)
                    for (std::size_t i = 0; i < edits.size() && i < answer.texts->size(); ++i)
                        edits[i]->setText(q((*answer.texts)[i]));
                box->button(QDialogButtonBox::Ok)->click();
                break;
            case ScriptedInput::Cancel:
                box->button(QDialogButtonBox::Cancel)->click();
                break;
            case ScriptedInput::Close:
                dialog.close();
                break;
            }
        });
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> texts;
    for (auto* e : edits) texts.push_back(e->text().toStdString());
    return texts;
}

std::optional<QString> showFileDialog(QWidget* parent, bool save, const std::string& title, const std::string& filter,
                                      const std::string& defaultName, const std::string& startFolder,
                                      std::optional<bool> scripted, std::size_t* chosenFilter) {
    QFileDialog dialog(parent, q(title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // A script answers the dialog itself, which a desktop's own file chooser
    // would not let it do.
    if (scripted) dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList filters;
    if (!filter.empty()) {
        for (QString entry : q(filter).split('\n')) {
            if (entry.contains('(')) {
                filters << entry;
            } else {
                entry.replace(';', ' ');
                filters << entry + " (" + entry + ")";
            }
        }
        dialog.setNameFilters(filters + QStringList{QStringLiteral("All files (*)")});
    }
    if (!startFolder.empty()) dialog.setDirectory(q(startFolder));
    if (save && !defaultName.empty()) dialog.selectFile(q(defaultName));
    if (scripted) {
        whenShown(dialog, [&dialog, accept = *scripted] {
            static_cast<QDialog&>(dialog).done(accept ? QDialog::Accepted : QDialog::Rejected);
        });
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    if (chosenFilter) {
        const qsizetype selected = filters.indexOf(dialog.selectedNameFilter());
        *chosenFilter = selected < 0 ? 0 : static_cast<std::size_t>(selected);
    }
    return chosen.first();
}

}  // namespace tolvane::qt
