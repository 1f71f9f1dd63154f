#include "app/scripting/scripting_core.hpp"

#include <algorithm>
#include <ctime>

#include "app/platform/value_text.hpp"

namespace tolvane::app {

// ----------------------------------------------------------------- transcript

void ScriptingCore::note(const std::string& line) {
    if (transcriptLimit_ > 0 && transcript_.size() >= transcriptLimit_)
        transcript_.erase(transcript_.begin(),
                          transcript_.begin() + static_cast<std::ptrdiff_t>(transcriptLimit_ / 2));
    transcript_.push_back(line);
    if (sink_) sink_(line);
}

void ScriptingCore::dialogLine(const std::string& kind, const std::string& title, const std::string& text,
                               const std::vector<std::string>& buttons) {
    std::string list;
    for (std::size_t i = 0; i < buttons.size(); ++i) list += (i ? "|" : "") + buttons[i];
    note("dialog " + kind + " \"" + oneLine(title) + "\": " + oneLine(text) + " [" + list + "]");
}

void ScriptingCore::inputDialogLine(const std::string& title, const std::vector<std::string>& prompts) {
    std::string text;
    for (std::size_t i = 0; i < prompts.size(); ++i) text += (i ? "\n" : "") + prompts[i];
    dialogLine("input", title, text, {"OK", "Cancel"});
}

void ScriptingCore::fileDialogLine(bool save, const std::string& title, const std::string& filter,
                                   const std::string& defaultName) {
    dialogLine("file", title, save && !defaultName.empty() ? defaultName : filter, {save ? "Save" : "Open", "Cancel"});
}

void ScriptingCore::windowLine(bool opened, const std::string& title) {
    note(std::string("window ") + (opened ? "opened" : "closed") + " \"" + oneLine(title) + "\"");
}

void ScriptingCore::console(const std::string& text) { note("console: " + oneLine(text)); }

// ----------------------------------------------------------------- scripted answers

std::optional<ScriptedClose> ScriptingCore::takeMessageAnswer(const std::string& kind, const std::string& title) {
    if (answers_.empty()) return std::nullopt;
    const std::string a = std::move(answers_.front());
    answers_.pop_front();
    return messageAnswer(a, kind, title);
}

std::optional<int> ScriptingCore::takeQuestionAnswer(const std::string& title,
                                                     const std::vector<std::string>& buttons) {
    if (answers_.empty()) return std::nullopt;
    const std::string a = std::move(answers_.front());
    answers_.pop_front();
    return questionAnswer(a, title, buttons);
}

std::optional<ScriptedInput> ScriptingCore::takeInputAnswer(const std::string& title, std::size_t prompts) {
    if (answers_.empty()) return std::nullopt;
    const std::string a = std::move(answers_.front());
    answers_.pop_front();
    return inputAnswer(a, title, prompts);
}

std::optional<FileChoice> ScriptingCore::takeFileAnswer() {
    if (files_.empty()) return std::nullopt;
    FileChoice c = std::move(files_.front());
    files_.pop_front();
    return c;
}

// ----------------------------------------------------------------- modal waits

bool ScriptingCore::waitsOn(WindowId window) const {
    return std::find(waits_.begin(), waits_.end(), window) != waits_.end();
}

std::string ScriptingCore::runPump(WindowId window, const std::function<std::optional<std::string>()>& outcome,
                                   const std::function<std::string()>& title) {
    for (bool first = true;; first = false) {
        if (auto answer = outcome()) return *answer;
        if (!pump_ || !pump_(window, first))
            throw ScriptFault("nothing resumed the window \"" + oneLine(title()) + "\"");
    }
}

// ----------------------------------------------------------------- time

std::array<double, 6> ScriptingCore::clock() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const double frac = duration<double>(now.time_since_epoch()).count() - static_cast<double>(t);
    return {static_cast<double>(tm.tm_year + 1900), static_cast<double>(tm.tm_mon + 1),
            static_cast<double>(tm.tm_mday),        static_cast<double>(tm.tm_hour),
            static_cast<double>(tm.tm_min),         tm.tm_sec + frac};
}

void ScriptingCore::startStopwatch() {
    stopwatch_ = std::chrono::steady_clock::now();
    skipped_ = 0;
}

double ScriptingCore::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - stopwatch_).count() + skipped_;
}

void ScriptingCore::skipTime(double seconds) {
    if (seconds > 0) skipped_ += seconds;
}

}  // namespace tolvane::app
