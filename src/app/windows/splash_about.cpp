#include "app/windows/splash_about.hpp"

#include <cmath>
#include <memory>

#include "app/window_utils.hpp"
#include "app/windows/modal_answer.hpp"
#include "app/windows/app_globals.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

std::string resource(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string textOr(const Value& app, const char* field, const std::string& fallback) {
    if (!app.hasField(field)) return fallback;
    const Value& v = app.field(field);
    return v.isText() ? v.str() : fallback;
}

}  // namespace

WindowId QV_Splash(Platform& platform, const std::string& resourceFolder) {
    const WindowId w = platform.openLayout("QV_Splash");
    positionChildWindow(platform, 0, w);
    platform.showImage(w, "txtLogo", resource(resourceFolder, "splash.jpg"));
    platform.set(w, platform.windowTag(w), "Visible", Value::text("on"));
    return w;
}

void QV_About(Platform& platform, WindowId parent, const Value& app, const std::string& resourceFolder) {
    if (parent == 0 || !platform.isWindow(parent)) throw Error("Input argument must be a handle to parent");
    const WindowId w = platform.openLayout("QV_About");
    const std::string tag = platform.windowTag(w);
    platform.set(w, tag, "Color", defaultControlBackground());
    positionChildWindow(platform, parent, w);

    const bool haveApp = app.isRecord();
    const std::string blank = " ";
    auto text = [&](const char* field) { return haveApp ? textOr(app, field, blank) : blank; };
    platform.set(w, tag, "Name", Value::text(text("Name")));
    bool released = true;
    if (haveApp && app.hasField("IsRelease")) {
        const Value& r = app.field("IsRelease");
        released = r.isNumeric() && r.numel() > 0 && r.realAt(0) != 0;
    }
    setText(platform, w, "lblRevision", text("Rev") + (released ? "       " : "  Proto"));
    setText(platform, w, "lblDate", text("Date"));
    setText(platform, w, "lblCopyright", text("CopyrightMsg"));
    setText(platform, w, "lblNotes", text("Notes"));
    for (int i = 2; i <= 7; ++i) {
        const std::string n = std::to_string(i);
        setText(platform, w, "txtNotesLine" + n, text(("NotesLine" + n).c_str()));
    }
    platform.showImage(w, "txtLogo", resource(resourceFolder, "Veltran.jpg"));
    // The dispatcher shares the wait: it stays with the window if the wait
    // ends by an exception.
    const auto modal = std::make_shared<ModalAnswer>(platform);
    platform.setDispatcher(w, [modal, w](const CallbackEvent& e) {
        if (e.kind == CallbackEvent::Kind::CloseRequest || e.tag == "pbOK") modal->finish(w, "OK");
    });
    modal->showAndWait(w, ModalAnswer::After::Keep);
    if (platform.isWindow(w)) platform.deleteWindow(w);
}

}  // namespace tolvane::app
