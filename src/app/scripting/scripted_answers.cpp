#include "app/scripting/scripted_answers.hpp"

#include <algorithm>

#include "app/platform/value_text.hpp"
#include "app/scripting/scriptable_platform.hpp"

namespace tolvane::app {

ScriptedClose messageAnswer(const std::string& answer, const std::string& kind, const std::string& title) {
    if (answer == "OK") return ScriptedClose::Button;
    if (answer == "close") return ScriptedClose::Window;
    throw ScriptFault("the " + kind + " \"" + oneLine(title) + "\" has no button " + answer);
}

int questionAnswer(const std::string& answer, const std::string& title, const std::vector<std::string>& buttons) {
    if (answer == "close") return -1;
    const auto b = std::find(buttons.begin(), buttons.end(), answer);
    if (b == buttons.end()) throw ScriptFault("the question \"" + oneLine(title) + "\" has no button " + answer);
    return static_cast<int>(b - buttons.begin());
}

ScriptedInput inputAnswer(const std::string& answer, const std::string& title, std::size_t prompts) {
    ScriptedInput in;
    if (answer == "Cancel") {
        in.kind = ScriptedInput::Cancel;
    } else if (answer == "close") {
        in.kind = ScriptedInput::Close;
    } else if (answer != "OK") {
        std::vector<std::string> texts;
        std::size_t start = 0;
        for (;;) {
            const auto bar = answer.find('|', start);
            texts.push_back(answer.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        if (texts.size() != prompts)
            throw ScriptFault("the input \"" + oneLine(title) + "\" asks for " + std::to_string(prompts) +
                              " texts, the answer gives " + std::to_string(texts.size()));
        in.texts = std::move(texts);
    }
    return in;
}

}  // namespace tolvane::app
