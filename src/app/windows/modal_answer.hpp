// The modal wait the setup windows share (slot and RPC setup, the
// connection dialog, the advanced settings, About): the window is shown,
// the caller waits until OK, Cancel or the close button ends the wait, and
// gets the answer the window was left with.
#pragma once

#include <string>

#include "app/platform/platform.hpp"

namespace tolvane::app {

class ModalAnswer {
public:
    explicit ModalAnswer(Platform& platform) : platform_(platform) {}
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    // Marks the window as open for the life of the guard. A window that
    // edits one record at a time takes one before it reads the record: a
    // second opening while the first waits would replace the record being
    // edited, so it throws Error(refusal) instead.
    class Opening {
    public:
        Opening(const Opening&) = delete;
        Opening& operator=(const Opening&) = delete;
        ~Opening() { open_ = false; }

    private:
        friend class ModalAnswer;
        explicit Opening(bool& open) : open_(open) { open_ = true; }
        bool& open_;
    };
    [[nodiscard]] Opening open(const std::string& refusal);
    bool isOpen() const { return open_; }

    // What happens to the window once the wait is over (if it still exists).
    enum class After { Hide, Keep };

    // Shows the window and waits until finish() (or anything else) ends the
    // wait. Returns "OK" only when OK ended it and the window still exists;
    // anything else that ends the wait is a "Cancel".
    std::string showAndWait(WindowId window, After after);

    // What OK, Cancel and the close button do: keep the answer and end the
    // wait of the window.
    void finish(WindowId window, const std::string& answer);

private:
    Platform& platform_;
    std::string answer_ = "Cancel";
    bool open_ = false;
};

}  // namespace tolvane::app
