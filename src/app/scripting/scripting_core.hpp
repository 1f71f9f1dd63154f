// What every scriptable platform does the same way, whatever shows its
// windows: the transcript, the queues of scripted dialog answers, the modal
// waits with the pump that runs a script inside them, and the clock and
// stopwatch. The headless platform and the Qt platform both build on it, so
// that one script writes one transcript on both (its line formats are in
// scriptable_platform.hpp).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/scripting/scriptable_platform.hpp"
#include "app/scripting/scripted_answers.hpp"

namespace tolvane::app {

class ScriptingCore : public ScriptablePlatform {
public:
    // --- ScriptablePlatform: the answers, the pump and the transcript
    WindowId waitingWindow() const override { return waits_.empty() ? 0 : waits_.back(); }
    void queueAnswer(std::string answer) override { answers_.push_back(std::move(answer)); }
    void queueFile(FileChoice choice) override { files_.push_back(std::move(choice)); }
    std::size_t pendingAnswers() const override { return answers_.size(); }
    std::size_t pendingFiles() const override { return files_.size(); }
    void setPump(Pump pump) override { pump_ = std::move(pump); }
    void setTranscriptSink(std::function<void(const std::string&)> sink) override { sink_ = std::move(sink); }
    const std::vector<std::string>& transcript() const override { return transcript_; }
    void note(const std::string& line) override;

    // --- Platform: the console, the clock and the stopwatch
    void console(const std::string& text) override;
    std::array<double, 6> clock() const override;  // the local time now
    void startStopwatch() override;
    // The time since the stopwatch started, with the time skipped (skipTime).
    double elapsedSeconds() const override;

protected:
    // --- transcript lines
    void dialogLine(const std::string& kind, const std::string& title, const std::string& text,
                    const std::vector<std::string>& buttons);
    // An input dialog's line: its prompts one under the other.
    void inputDialogLine(const std::string& title, const std::vector<std::string>& prompts);
    // A file dialog's line: a save dialog shows the name it proposes, if
    // any, else the filter.
    void fileDialogLine(bool save, const std::string& title, const std::string& filter,
                        const std::string& defaultName);
    // "window opened" or "window closed", with the window's title.
    void windowLine(bool opened, const std::string& title);
    // From here on, the transcript keeps only its latest lines: once it holds
    // `lines`, the older half is dropped (0: it keeps every line). A long
    // desktop session would otherwise pile them up.
    void limitTranscript(std::size_t lines) { transcriptLimit_ = lines; }

    // --- scripted answers
    // Each takes the next queued answer for the dialog just written to the
    // transcript, or gives nothing when none is queued; an answer the dialog
    // cannot take is a ScriptFault (see scripted_answers.hpp).
    std::optional<ScriptedClose> takeMessageAnswer(const std::string& kind, const std::string& title);
    std::optional<int> takeQuestionAnswer(const std::string& title, const std::vector<std::string>& buttons);
    std::optional<ScriptedInput> takeInputAnswer(const std::string& title, std::size_t prompts);
    std::optional<FileChoice> takeFileAnswer();

    // --- modal waits
    // A wait on a window, from construction to destruction; waits nest.
    class ModalWait {
    public:
        ModalWait(ScriptingCore& core, WindowId window) : core_(core) { core_.waits_.push_back(window); }
        ~ModalWait() { core_.waits_.pop_back(); }
        ModalWait(const ModalWait&) = delete;
        ModalWait& operator=(const ModalWait&) = delete;

    private:
        ScriptingCore& core_;
    };
    bool waitsOn(WindowId window) const;
    bool hasPump() const { return static_cast<bool>(pump_); }
    // Runs the pump inside the wait on the window (a ModalWait is open) until
    // the wait ends: before each step, `outcome` gives the wait's answer once
    // it has one. When there is no pump, or it has nothing more to run, the
    // wait fails with a ScriptFault naming the window by `title`.
    std::string runPump(WindowId window, const std::function<std::optional<std::string>()>& outcome,
                        const std::function<std::string()>& title);

    // --- time
    // A pause that the stopwatch sees pass without waiting for it.
    void skipTime(double seconds);

private:
    std::deque<std::string> answers_;
    std::deque<FileChoice> files_;
    Pump pump_;
    std::vector<WindowId> waits_;
    std::function<void(const std::string&)> sink_;
    std::vector<std::string> transcript_;
    std::size_t transcriptLimit_ = 0;
    std::chrono::steady_clock::time_point stopwatch_ = std::chrono::steady_clock::now();
    double skipped_ = 0;  // seconds skipped since the stopwatch started
};

}  // namespace tolvane::app
