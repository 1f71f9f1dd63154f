#include "app/windows/modal_answer.hpp"

#include "base/diagnostics.hpp"

namespace tolvane::app {

ModalAnswer::Opening ModalAnswer::open(const std::string& refusal) {
    if (open_) throw Error(refusal);
    return Opening(open_);
}

std::string ModalAnswer::showAndWait(WindowId window, After after) {
    const std::string tag = platform_.windowTag(window);
    answer_ = "Cancel";  // whatever ends the wait other than OK is a Cancel
    platform_.set(window, tag, "Visible", Value::text("on"));
    platform_.waitModal(window);
    if (!platform_.isWindow(window)) return "Cancel";
    if (after == After::Hide) platform_.set(window, tag, "Visible", Value::text("off"));
    return answer_;
}

void ModalAnswer::finish(WindowId window, const std::string& answer) {
    answer_ = answer;
    platform_.resumeModal(window, answer_);
}

}  // namespace tolvane::app
