// The dialogs of the Qt platform: message, error, question, input and file
// dialogs, each shown modally. Each can be answered by a script: the answer
// is given once the dialog is on the screen, the way a person would give it
// (clicking the button, typing the texts, closing the window), so a scripted
// run goes through the same dialogs as a person.
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "app/scripting/scripted_answers.hpp"

class QWidget;

namespace tolvane::qt {

// How a script answers a dialog (read from its answer by the scripting core).
using app::ScriptedClose;
using app::ScriptedInput;

// A message box with an OK button; error: with the error icon.
void showMessageDialog(QWidget* parent, bool error, const std::string& title, const std::string& text,
                       std::optional<ScriptedClose> scripted);

// A question with the buttons in order and the default one; returns the
// index of the button chosen, or -1 when the window was closed without one.
// scripted: the index to click, -1 to close the window.
int showQuestionDialog(QWidget* parent, const std::string& title, const std::string& text,
                       const std::vector<std::string>& buttons, int defaultIndex, std::optional<int> scripted);

// An input dialog, one edit line under each prompt; the texts on OK,
// nothing on Cancel or close.
std::optional<std::vector<std::string>> showInputDialog(QWidget* parent, const std::string& title,
                                                        const std::vector<std::string>& prompts,
                                                        const std::vector<std::string>& defaults,
                                                        std::optional<ScriptedInput> scripted);

// A file dialog (open: an existing file; save: any name, the proposed one
// selected). filter: patterns such as "*.mat" (several separated by ";");
// several filters separated by a line break, each patterns or "Label
// (patterns)"; `chosenFilter`, when given, gets the index of the one
// selected (0 for "All files"). startFolder: where the dialog starts ("":
// the working directory). Returns the chosen path, or nothing on Cancel.
// scripted: accept (true) or cancel (false) as soon as it is shown; the
// caller supplies the file.
std::optional<QString> showFileDialog(QWidget* parent, bool save, const std::string& title,
                                      const std::string& filter, const std::string& defaultName,
                                      const std::string& startFolder, std::optional<bool> scripted,
                                      std::size_t* chosenFilter = nullptr);

// A button label shown literally: "&" is not a mnemonic mark.
QString literalLabel(const std::string& text);

// Makes a top-level window (a dialog, a message box, a layout's window) at
// least as wide as a window manager's title bar needs to show its whole
// title: the text in a bold title font and room for the icon and buttons,
// up to the width of the screen. Call it once the title is set.
void fitTitle(QWidget* top);

}  // namespace tolvane::qt
