// The platform's dialogs: each is written to the transcript, then shown with
// the scripted answer queued for it, the default one of a scripted platform,
// or none (the person answers).
#include "qt/qt_platform.hpp"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>

#include "base/diagnostics.hpp"
#include "qt/qt_dialogs.hpp"
#include "qt/qt_text.hpp"

namespace tolvane::qt {

QWidget* QtPlatform::dialogParent() const {
    if (QWidget* active = QApplication::activeWindow()) return active;
    if (const WindowId waiting = waitingWindow()) return widget(waiting);
    return nullptr;
}

void QtPlatform::messageBox(const std::string& title, const std::string& text) {
    dialogLine("message", title, text, {"OK"});
    std::optional<ScriptedClose> how = takeMessageAnswer("message", title);
    if (!how && mode_ == Mode::Scripted) how = ScriptedClose::Button;
    showMessageDialog(dialogParent(), false, title, text, how);
}

void QtPlatform::errorDialog(const std::string& title, const std::string& text) {
    dialogLine("error", title, text, {"OK"});
    std::optional<ScriptedClose> how = takeMessageAnswer("error", title);
    if (!how && mode_ == Mode::Scripted) how = ScriptedClose::Button;
    showMessageDialog(dialogParent(), true, title, text, how);
}

std::string QtPlatform::questionDialog(const std::string& title, const std::string& text,
                                       const std::vector<std::string>& buttons, const std::string& defaultButton) {
    if (buttons.size() < 2 || buttons.size() > 3) throw Error("A question has two or three buttons.");
    const auto def = std::find(buttons.begin(), buttons.end(), defaultButton);
    if (def == buttons.end())
        throw Error("The default button " + defaultButton + " is not one of the question's buttons.");
    const int defaultIndex = static_cast<int>(def - buttons.begin());
    dialogLine("question", title, text, buttons);
    std::optional<int> scripted = takeQuestionAnswer(title, buttons);
    if (!scripted && mode_ == Mode::Scripted) scripted = defaultIndex;
    const int chosen = showQuestionDialog(dialogParent(), title, text, buttons, defaultIndex, scripted);
    return chosen < 0 ? std::string() : buttons[static_cast<std::size_t>(chosen)];
}

std::optional<std::vector<std::string>> QtPlatform::inputDialog(const std::string& title,
                                                                const std::vector<std::string>& prompts,
                                                                const std::vector<std::string>& defaults) {
    if (defaults.size() != prompts.size()) throw Error("An input dialog needs one default text per prompt.");
    inputDialogLine(title, prompts);
    std::optional<ScriptedInput> scripted = takeInputAnswer(title, prompts.size());
    if (!scripted && mode_ == Mode::Scripted) scripted = ScriptedInput{};
    return showInputDialog(dialogParent(), title, prompts, defaults, std::move(scripted));
}

FileChoice QtPlatform::fileDialog(bool save, const std::string& title, const std::string& filter,
                                  const std::string& defaultName, const std::string& startFolder) {
    fileDialogLine(save, title, filter, defaultName);
    const std::optional<FileChoice> queued = takeFileAnswer();
    if (queued || mode_ == Mode::Scripted) {
        const bool accept = queued && !queued->cancelled;
        (void)showFileDialog(dialogParent(), save, title, filter, defaultName, startFolder, accept);
        return accept ? *queued : FileChoice{};
    }
    std::size_t chosenFilter = 0;
    const auto path =
        showFileDialog(dialogParent(), save, title, filter, defaultName, startFolder, std::nullopt, &chosenFilter);
    if (!path) return {};
    const QFileInfo info(*path);
    FileChoice c;
    c.cancelled = false;
    c.filter = chosenFilter;
    c.file = s(info.fileName());
    c.folder = s(info.absolutePath());
    if (c.folder.empty() || c.folder.back() != '/') c.folder += '/';
    return c;
}

FileChoice QtPlatform::openFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& startFolder) {
    lastDialogFolder_ = startFolder;
    return fileDialog(false, title, filter, {}, startFolder);
}

FileChoice QtPlatform::saveFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& defaultName) {
    return fileDialog(true, title, filter, defaultName, {});
}

}  // namespace tolvane::qt
