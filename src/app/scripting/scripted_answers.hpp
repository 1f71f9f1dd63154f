// What a script's answer to a dialog means, read the same way on every
// platform.
//
// A script answers a message or error with its button "OK" or with "close"
// (the window's close button); a question with one of its buttons or
// "close"; an input dialog with "OK" (the default texts), "Cancel", "close"
// or the texts to type, separated by '|'. An answer the dialog cannot take
// is a ScriptFault that names the dialog.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvane::app {

// How a script ends a message or error: its button or its window's close button.
enum class ScriptedClose { Button, Window };

// How a script ends an input dialog; texts: typed before OK (none: the
// defaults stay).
struct ScriptedInput {
    enum Kind { Ok, Cancel, Close } kind = Ok;
    std::optional<std::vector<std::string>> texts;
};

// kind names the dialog in a fault: "message" or "error".
ScriptedClose messageAnswer(const std::string& answer, const std::string& kind, const std::string& title);
// The index of the button chosen, or -1 for "close".
int questionAnswer(const std::string& answer, const std::string& title, const std::vector<std::string>& buttons);
ScriptedInput inputAnswer(const std::string& answer, const std::string& title, std::size_t prompts);

}  // namespace tolvane::app
