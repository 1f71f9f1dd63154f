// The window platform on Qt widgets (offscreen): layouts, properties,
// callbacks, menus, modal waits, dialogs, long work, and the same script
// transcripts as the headless platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include <unistd.h>

#include "app/headless/headless_platform.hpp"
#include "app/platform/ui_layout.hpp"
#include "app/platform/value_text.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"
#include "app/application.hpp"
#include "qt/qt_desktop.hpp"
#include "qt/qt_platform.hpp"

// The demo application's layouts are found from the source tree.
#undef TOLVANE_TEST_DATA_DIR
#define TOLVANE_TEST_DATA_DIR TOLVANE_SOURCE_DIR "/tests/data"
#include "../app/demo_app.hpp"
#include "../app/demo_scripts.hpp"

namespace tolvane::qt {
namespace {

using app::HeadlessPlatform;
using app::ScriptError;
using app::ScriptFault;
using app::ScriptRunner;
using Mode = QtPlatform::Mode;
using QtDemo = app::test::DemoAppOn<QtPlatform>;

std::string sourcePath(const std::string& relative) { return std::string(TOLVANE_SOURCE_DIR) + "/" + relative; }

// Pictures of the windows, for people to look at.
void screenshot(QWidget* window, const std::string& name) {
    const std::filesystem::path folder(TOLVANE_TEST_OUTPUT_DIR);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    window->adjustSize();
    EXPECT_TRUE(window->grab().save(QString::fromStdString((folder / (name + ".png")).string()))) << name;
}

// Runs `act` from the event loop as soon as `ready` finds what it waits for
// (a dialog on the screen, say), so a test can do what a person would do
// while the platform blocks in a dialog or a wait.
void when(std::function<QWidget*()> ready, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, act] {
        if (QWidget* w = ready()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

QWidget* modalDialog() { return QApplication::activeModalWidget(); }

QAbstractButton* buttonLabelled(QWidget* dialog, const QString& text) {
    for (auto* b : dialog->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// What each dialog looked like when it was shown.
struct ShownDialog {
    std::string kind;  // the widget's class
    std::string title;
    std::string text;  // a message box's text
    std::vector<std::string> buttons;
    std::string defaultButton;
};

class DialogWatcher : public QObject {
public:
    DialogWatcher() { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    std::vector<ShownDialog> shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() != QEvent::Show || !dialog || !dialog->isWindow()) return false;
        ShownDialog d;
        d.kind = dialog->metaObject()->className();
        d.title = dialog->windowTitle().toStdString();
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            d.text = box->text().toStdString();
            for (auto* b : box->buttons()) d.buttons.push_back(b->text().toStdString());
            if (box->defaultButton()) d.defaultButton = box->defaultButton()->text().toStdString();
        }
        shown.push_back(d);
        return false;
    }
};

// ------------------------------------------------------------ layouts

// Every layout opens with QUiLoader, every tag the layout reader finds is a
// widget or action, and each starts with the values the headless platform
// reads from the same file; a scripted window also starts at the headless
// platform's position and font size.
TEST(QtLayouts, OpenWithEveryTagAndTheHeadlessStartingValues) {
    int layouts = 0;
    for (const std::string& folder : {sourcePath("layouts"), sourcePath("tests/app/data")}) {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) continue;
        QtPlatform qt({folder}, Mode::Scripted);
        HeadlessPlatform headless({folder});
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".ui") continue;
            const std::string name = entry.path().stem().string();
            SCOPED_TRACE(name);
            ++layouts;
            const app::WindowId q = qt.openLayout(name);
            const app::WindowId h = headless.openLayout(name);
            EXPECT_EQ(qt.openLayout(name + ".ui"), q) << "an open layout is reused";
            ASSERT_NE(qt.widget(q), nullptr);
            EXPECT_FALSE(qt.widget(q)->isVisible()) << "a new window starts hidden";
            // Before the picture, which fits the window to its contents.
            EXPECT_EQ(app::displayText(qt.get(q, qt.windowTag(q), "Position")),
                      app::displayText(headless.get(h, headless.windowTag(h), "Position")));
            screenshot(qt.widget(q), "layout_" + name);
            EXPECT_EQ(qt.windowTag(q), headless.windowTag(h));
            EXPECT_EQ(app::displayText(qt.get(q, qt.windowTag(q), "Name")),
                      app::displayText(headless.get(h, headless.windowTag(h), "Name")));
            ASSERT_EQ(qt.controlTags(q), headless.controlTags(h));
            const app::Layout layout = app::readLayoutFile(entry.path().string());
            for (const auto& tag : qt.controlTags(q)) {
                SCOPED_TRACE(tag);
                const QObject* object = qt.controlObject(q, tag);
                ASSERT_NE(object, nullptr);
                EXPECT_EQ(qt.isMenuItem(q, tag), headless.isMenuItem(h, tag));
                for (const char* property : {"String", "Value", "Enable", "Visible", "TooltipString", "Checked", "Tag",
                                             "FontSize"})
                    EXPECT_EQ(app::displayText(qt.get(q, tag, property)),
                              app::displayText(headless.get(h, tag, property)))
                        << property;
            }
        }
    }
    EXPECT_GE(layouts, 2);
}

TEST(QtLayouts, RefusesNamesOutsideTheFoldersAndMissingLayouts) {
    QtPlatform p({sourcePath("tests/app/data")}, Mode::Scripted);
    for (const char* name : {"../app/data/demo", "/etc/passwd", "", "demo two", "nothing"})
        EXPECT_THROW((void)p.openLayout(name), Error) << name;
}

// ------------------------------------------------------------ scripts

// The demo scripts give the same transcripts on both platforms.
struct PlatformScript {
    bool qt;
    app::test::DemoScript script;
};

void PrintTo(const PlatformScript& s, std::ostream* os) { *os << (s.qt ? "qt " : "headless ") << s.script.name; }

class BothPlatforms : public ::testing::TestWithParam<PlatformScript> {};

template <class Demo>
void runDemoScript(Demo& demo, const app::test::DemoScript& c) {
    ScriptRunner runner = demo.runner();
    runner.address(demo.main);
    std::size_t faultLine = 0;
    std::string fault;
    try {
        runner.run(app::test::scriptLines(c.script));
    } catch (const ScriptError& e) {
        faultLine = e.line();
        fault = e.what();
    }
    EXPECT_EQ(faultLine, c.faultLine) << fault;
    if (c.faultLine) {
        EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
    }
    const auto& t = demo.platform.transcript();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.front(), "window opened \"Demo & Test\"");
    EXPECT_EQ(std::vector<std::string>(t.begin() + 1, t.end()), c.transcript);
}

TEST_P(BothPlatforms, GiveTheDemoTranscript) {
    const PlatformScript& c = GetParam();
    if (c.qt) {
        QtDemo demo(Mode::Scripted);
        runDemoScript(demo, c.script);
        // No dialog or wait is left behind on the screen.
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    } else {
        app::test::DemoApp demo;
        runDemoScript(demo, c.script);
    }
}

std::vector<PlatformScript> bothPlatforms() {
    std::vector<PlatformScript> all;
    for (bool qt : {false, true})
        for (const auto& s : app::test::demoScripts()) all.push_back({qt, s});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Demo, BothPlatforms, ::testing::ValuesIn(bothPlatforms()), [](const auto& info) {
    return std::string(info.param.qt ? "qt_" : "headless_") + info.param.script.name;
});

// A script's press travels through the real button, and the dialogs it
// brings are shown on the screen before the queued answers close them.
TEST(QtScripts, GoThroughTheWidgetsAndShowTheDialogs) {
    QtDemo demo(Mode::Scripted);
    int clicks = 0;
    auto* ask = qobject_cast<QPushButton*>(demo.platform.controlObject(demo.main, "pbAsk"));
    ASSERT_NE(ask, nullptr);
    QObject::connect(ask, &QPushButton::clicked, [&clicks] { ++clicks; });
    DialogWatcher watcher;
    ScriptRunner runner = demo.runner();
    runner.address(demo.main);
    runner.run(app::test::scriptLines("answer No\npress pbAsk\nanswer x|y\nfile /tmp/a b/c.mat\nmenu menuFileExit"));
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(watcher.shown.size(), 4u);
    EXPECT_EQ(watcher.shown[0].title, "Calculate");
    EXPECT_EQ(watcher.shown[0].text, "Parameters changed.\nCalculate now?");
    EXPECT_EQ(watcher.shown[0].buttons, (std::vector<std::string>{"Yes", "No", "Cancel"}));
    EXPECT_EQ(watcher.shown[0].defaultButton, "Yes");
    EXPECT_EQ(watcher.shown[1].title, "Names");
    EXPECT_EQ(watcher.shown[2].kind, "QFileDialog");
    EXPECT_EQ(watcher.shown[2].title, "Save");
    EXPECT_EQ(watcher.shown[3].title, "Done");
    const auto& t = demo.platform.transcript();
    EXPECT_NE(std::find(t.begin(), t.end(), "console: file /tmp/a b/c.mat"), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "console: input x,y"), t.end());
}

// ------------------------------------------------------------ dialogs

TEST(QtDialogs, TakeQueuedAnswersAsAPersonWould) {
    QtPlatform p({}, Mode::Scripted);
    DialogWatcher watcher;
    const std::vector<std::string> buttons{"Yes", "Recalc & Download", "Cancel"};
    p.queueAnswer("Recalc & Download");
    EXPECT_EQ(p.questionDialog("Waveform Not Recalculated", "Changed.", buttons, "Cancel"), "Recalc & Download");
    // The "&" of a button is shown, not taken as a mnemonic mark.
    ASSERT_EQ(watcher.shown.size(), 1u);
    EXPECT_EQ(watcher.shown[0].buttons, (std::vector<std::string>{"Yes", "Recalc && Download", "Cancel"}));
    EXPECT_EQ(watcher.shown[0].defaultButton, "Cancel");
    p.queueAnswer("close");
    EXPECT_EQ(p.questionDialog("Q", "Closed?", {"Yes", "Cancel"}, "Yes"), "") << "closing chooses no button";
    EXPECT_EQ(p.questionDialog("Q", "Default?", {"Yes", "Cancel"}, "Cancel"), "Cancel");

    p.queueAnswer("1|2");
    EXPECT_EQ(p.inputDialog("Eye", {"Symbols:", "Delay:"}, {"1", "0"}), (std::vector<std::string>{"1", "2"}));
    p.queueAnswer("OK");
    EXPECT_EQ(p.inputDialog("Eye", {"Symbols:", "Delay:"}, {"1", "0"}), (std::vector<std::string>{"1", "0"}));
    for (const char* end : {"Cancel", "close"}) {
        p.queueAnswer(end);
        EXPECT_FALSE(p.inputDialog("Eye", {"Symbols:"}, {"1"}).has_value()) << end;
    }
    p.queueAnswer("close");
    p.messageBox("Done", "Bye");
    p.errorDialog("Plot Error", "Unable to Plot Eye Diagram\nbad");

    app::FileChoice chosen{false, "x.mat", "/data/"};
    p.queueFile(chosen);
    const app::FileChoice got = p.openFileDialog("Open", "*.mat", "/tmp");
    EXPECT_FALSE(got.cancelled);
    EXPECT_EQ(got.folder + got.file, "/data/x.mat");
    EXPECT_TRUE(p.saveFileDialog("Save", "*.mat", "a.mat").cancelled) << "nothing queued: Cancel";
    EXPECT_EQ(p.pendingAnswers(), 0u);
    EXPECT_EQ(p.pendingFiles(), 0u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const std::vector<std::string> expected{
        "dialog question \"Waveform Not Recalculated\": Changed. [Yes|Recalc & Download|Cancel]",
        "dialog question \"Q\": Closed? [Yes|Cancel]",
        "dialog question \"Q\": Default? [Yes|Cancel]",
        "dialog input \"Eye\": Symbols:\\nDelay: [OK|Cancel]",
        "dialog input \"Eye\": Symbols:\\nDelay: [OK|Cancel]",
        "dialog input \"Eye\": Symbols: [OK|Cancel]",
        "dialog input \"Eye\": Symbols: [OK|Cancel]",
        "dialog message \"Done\": Bye [OK]",
        "dialog error \"Plot Error\": Unable to Plot Eye Diagram\\nbad [OK]",
        "dialog file \"Open\": *.mat [Open|Cancel]",
        "dialog file \"Save\": a.mat [Save|Cancel]"};
    EXPECT_EQ(p.transcript(), expected);
}

TEST(QtDialogs, RefuseAnswersTheyCannotTakeBeforeShowingAnything) {
    QtPlatform p({}, Mode::Scripted);
    DialogWatcher watcher;
    p.queueAnswer("Maybe");
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes", "No"}, "Yes"), ScriptFault);
    p.queueAnswer("a|b|c");
    EXPECT_THROW((void)p.inputDialog("In", {"One", "Two"}, {"", ""}), ScriptFault);
    p.queueAnswer("Yes");
    EXPECT_THROW(p.messageBox("M", "m"), ScriptFault);
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes"}, "Yes"), Error);
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes", "No"}, "Perhaps"), Error);
    EXPECT_TRUE(watcher.shown.empty());
}

// Without a queued answer, an interactive platform waits for the person.
TEST(QtDialogs, WaitForThePersonWhenInteractive) {
    QtPlatform p({}, Mode::Interactive);
    when(modalDialog, [](QWidget* d) { buttonLabelled(d, "No")->click(); });
    EXPECT_EQ(p.questionDialog("Q", "Sure?", {"Yes", "No", "Cancel"}, "Yes"), "No");
    when(modalDialog, [](QWidget* d) { d->close(); });
    EXPECT_EQ(p.questionDialog("Q", "Sure?", {"Yes", "No"}, "Yes"), "");
    when(modalDialog, [](QWidget* d) {
        auto edits = d->findChildren<QLineEdit*>();
        ASSERT_EQ(edits.size(), 2);
        EXPECT_EQ(edits[0]->text(), "1");
        edits[1]->setText("0.5");
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(p.inputDialog("Eye", {"Symbols:", "Delay:"}, {"1", "0"}), (std::vector<std::string>{"1", "0.5"}));
    const std::string folder = std::filesystem::temp_directory_path().string();
    when(modalDialog, [folder](QWidget* d) {
        auto* dialog = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(QString::fromStdString(folder + "/new.mat"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const app::FileChoice c = p.saveFileDialog("Save", "*.mat", "untitled.mat");
    EXPECT_FALSE(c.cancelled);
    EXPECT_EQ(c.file, "new.mat");
    EXPECT_EQ(c.folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(c.folder, folder));
}

// ------------------------------------------------------------ modal wait

TEST(QtModalWait, NestedEventLoopUntilACallbackResumes) {
    QtDemo demo(Mode::Interactive);
    auto& p = demo.platform;
    p.set(demo.child, "child", "Visible", Value::text("on"));
    // The person types a name and presses OK: the child's dispatcher resumes.
    when([&] { return p.waitingWindow() == demo.child ? p.widget(demo.child) : nullptr; },
         [&](QWidget* child) {
             EXPECT_EQ(child->windowModality(), Qt::ApplicationModal) << "other windows take no input";
             child->findChild<QLineEdit*>("txtName")->setText("Ada");
             child->findChild<QPushButton*>("pbOK")->click();
         });
    EXPECT_EQ(p.waitModal(demo.child), "OK");
    EXPECT_EQ(p.waitingWindow(), 0);
    EXPECT_EQ(p.get(demo.child, "txtName", "String").str(), "Ada");

    // The close button asks the logic, which resumes with Cancel; the window
    // stays until the logic hides it.
    when([&] { return p.waitingWindow() == demo.child ? p.widget(demo.child) : nullptr; },
         [](QWidget* child) { child->close(); });
    EXPECT_EQ(p.waitModal(demo.child), "Cancel");
    EXPECT_EQ(p.get(demo.child, "child", "Visible").str(), "on");
    EXPECT_TRUE(p.widget(demo.child)->isVisible());

    // A window deleted while waited on ends the wait with Cancel.
    when([&] { return p.waitingWindow() == demo.child ? p.widget(demo.child) : nullptr; },
         [&](QWidget*) { p.deleteWindow(demo.child); });
    EXPECT_EQ(p.waitModal(demo.child), "Cancel");
    EXPECT_FALSE(p.isWindow(demo.child));
    EXPECT_EQ(p.transcript().back(), "window closed \"Child Window\"");
}

// ------------------------------------------------------------ properties

struct RoundTrip {
    const char* tag;
    const char* property;
    Value value;
    std::function<bool(QtPlatform&, app::WindowId)> shows;  // what the widget shows afterwards
};

template <class W>
W* find(QtPlatform& p, app::WindowId w, const char* tag) {
    return qobject_cast<W*>(p.controlObject(w, tag));
}

TEST(QtProperties, RoundTripAndReachTheWidgets) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    p.setScreen({1000, 800, 96});
    const std::vector<RoundTrip> cases{
        {"txtGain12", "String", Value::text("-7.5"),
         [](QtPlatform& p, app::WindowId w) { return find<QLineEdit>(p, w, "txtGain12")->text() == "-7.5"; }},
        {"pdMode", "String", Value::cell({Value::text("A"), Value::text("B"), Value::text("C")}),
         [](QtPlatform& p, app::WindowId w) { return find<QComboBox>(p, w, "pdMode")->count() == 3; }},
        {"pdMode", "Value", Value::scalar(3),
         [](QtPlatform& p, app::WindowId w) { return find<QComboBox>(p, w, "pdMode")->currentIndex() == 2; }},
        {"chkActive", "Value", Value::scalar(0),
         [](QtPlatform& p, app::WindowId w) { return !find<QCheckBox>(p, w, "chkActive")->isChecked(); }},
        {"sldLevel", "Value", Value::scalar(7),
         [](QtPlatform& p, app::WindowId w) { return find<QSlider>(p, w, "sldLevel")->value() == 7; }},
        {"sldLevel", "Max", Value::scalar(20),
         [](QtPlatform& p, app::WindowId w) { return find<QSlider>(p, w, "sldLevel")->maximum() == 20; }},
        {"lblInfo", "String", Value::scalar(5),
         [](QtPlatform& p, app::WindowId w) { return find<QLabel>(p, w, "lblInfo")->text() == "5"; }},
        {"lblInfo", "String", Value::cell({Value::text("one"), Value::text("two")}),
         [](QtPlatform& p, app::WindowId w) { return find<QLabel>(p, w, "lblInfo")->text() == "one\ntwo"; }},
        {"pbOpen", "String", Value::text("Save & Exit"),
         [](QtPlatform& p, app::WindowId w) { return find<QPushButton>(p, w, "pbOpen")->text() == "Save && Exit"; }},
        {"pbOpen", "TooltipString", Value::text("Opens.\nTwo lines."),
         [](QtPlatform& p, app::WindowId w) { return find<QPushButton>(p, w, "pbOpen")->toolTip() == "Opens.\nTwo lines."; }},
        {"pbOpen", "Enable", Value::text("off"),
         [](QtPlatform& p, app::WindowId w) { return !find<QPushButton>(p, w, "pbOpen")->isEnabled(); }},
        {"pbAsk", "Visible", Value::text("off"),
         [](QtPlatform& p, app::WindowId w) { return find<QPushButton>(p, w, "pbAsk")->isHidden(); }},
        {"pbAsk", "Position", Value::row({20, 30, 90, 25}),
         [](QtPlatform& p, app::WindowId w) { return find<QPushButton>(p, w, "pbAsk")->geometry() == QRect(20, 30, 90, 25); }},
        {"pbAsk", "FontSize", Value::scalar(12),
         [](QtPlatform& p, app::WindowId w) { return find<QPushButton>(p, w, "pbAsk")->font().pointSize() == 12; }},
        {"lblInfo", "Color", Value::row({1, 0, 0}),
         [](QtPlatform& p, app::WindowId w) {
             auto* l = find<QLabel>(p, w, "lblInfo");
             return l->palette().color(l->backgroundRole()) == QColor(255, 0, 0);
         }},
        {"menuFileExit", "Checked", Value::text("on"),
         [](QtPlatform& p, app::WindowId w) { return find<QAction>(p, w, "menuFileExit")->isChecked(); }},
        {"menuFileExit", "String", Value::text("&Quit"),
         [](QtPlatform& p, app::WindowId w) { return find<QAction>(p, w, "menuFileExit")->text() == "&Quit"; }},
        {"demo", "Name", Value::text("Renamed"),
         [](QtPlatform& p, app::WindowId w) { return p.widget(w)->windowTitle() == "Renamed"; }},
        // [left bottom width height], the bottom measured up from the screen's bottom (800).
        {"demo", "Position", Value::row({100, 200, 300, 150}),
         [](QtPlatform& p, app::WindowId w) { return p.widget(w)->geometry() == QRect(100, 450, 300, 150); }},
        {"demo", "Color", Value::row({0.5, 0.25, 1}),
         [](QtPlatform& p, app::WindowId w) { return p.widget(w)->palette().color(QPalette::Window) == QColor::fromRgbF(0.5, 0.25, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + c.property);
        p.set(demo.main, c.tag, c.property, c.value);
        EXPECT_EQ(app::displayText(p.get(demo.main, c.tag, c.property)), app::displayText(c.value));
        EXPECT_EQ(p.get(demo.main, c.tag, c.property).isText(), c.value.isText());
        EXPECT_TRUE(c.shows(p, demo.main));
    }
    // A pop-up's entry given before its items shows once they are there.
    p.set(demo.main, "pdMode", "Value", Value::scalar(4));
    EXPECT_EQ(find<QComboBox>(p, demo.main, "pdMode")->currentIndex(), -1);
    EXPECT_EQ(p.get(demo.main, "pdMode", "Value").realAt(0), 4);
    p.set(demo.main, "pdMode", "String", Value::text("a|b|c|d"));
    EXPECT_EQ(find<QComboBox>(p, demo.main, "pdMode")->currentText(), "d");
    // Normalized units: fractions of the screen.
    p.set(demo.main, "demo", "Units", Value::text("normalized"));
    p.set(demo.main, "demo", "Position", Value::row({0.1, 0.5, 0.5, 0.25}));
    EXPECT_EQ(p.widget(demo.main)->geometry(), QRect(100, 200, 500, 200));

    for (const auto& [tag, property, bad] : std::vector<std::tuple<const char*, const char*, Value>>{
             {"pbOpen", "Enable", Value::text("yes")},
             {"pbOpen", "Tag", Value::text("x")},
             {"pbOpen", "Color", Value::text("red")},
             {"pbOpen", "Color", Value::row({2, 0, 0})},
             {"demo", "Name", Value::scalar(3)},
             {"sldLevel", "Value", Value::text("high")},
             {"pbOpen", "Shape", Value::text("round")},
             {"pbNope", "String", Value::text("x")}})
        EXPECT_THROW(p.set(demo.main, tag, property, bad), Error) << tag << " " << property;
    EXPECT_THROW((void)p.get(demo.main, "pbOpen", "Shape"), Error);
    EXPECT_THROW((void)p.get(99, "x", "String"), Error);
}

TEST(QtProperties, PointerShowsTheBusyCursor) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    for (const char* watch : {"watch", "Watch", "WATCH"}) {
        p.set(demo.main, "demo", "Pointer", Value::text(watch));
        EXPECT_EQ(p.get(demo.main, "demo", "Pointer").str(), watch);
        EXPECT_EQ(p.widget(demo.main)->cursor().shape(), Qt::WaitCursor);
        p.set(demo.main, "demo", "Pointer", Value::text("arrow"));
        EXPECT_EQ(p.widget(demo.main)->cursor().shape(), Qt::ArrowCursor);
    }
}

// ------------------------------------------------------------ callbacks

TEST(QtCallbacks, ComeFromThePersonsActionsOnly) {
    QtDemo demo(Mode::Interactive);
    auto& p = demo.platform;
    std::vector<std::string> seen;
    p.setDispatcher(demo.main, [&](const app::CallbackEvent& e) { seen.push_back(e.operation); });
    auto* edit = find<QLineEdit>(p, demo.main, "txtGain12");
    // Setting values from the logic calls nothing back.
    p.set(demo.main, "txtGain12", "String", Value::text("1"));
    p.set(demo.main, "chkActive", "Value", Value::scalar(0));
    p.set(demo.main, "sldLevel", "Value", Value::scalar(5));
    p.set(demo.main, "pdMode", "Value", Value::scalar(1));
    EXPECT_TRUE(seen.empty());
    // An edit calls back once per edit: Return, or leaving the field after a change.
    emit edit->textEdited("2");
    emit edit->returnPressed();
    emit edit->editingFinished();
    emit edit->editingFinished();
    emit edit->textEdited("3");
    emit edit->editingFinished();
    EXPECT_EQ(seen, (std::vector<std::string>{"txtGain12_Callback", "txtGain12_Callback"}));
    seen.clear();
    find<QCheckBox>(p, demo.main, "chkActive")->click();
    EXPECT_EQ(p.get(demo.main, "chkActive", "Value").realAt(0), 1);
    emit find<QComboBox>(p, demo.main, "pdMode")->activated(1);
    find<QPushButton>(p, demo.main, "pbAsk")->click();
    find<QAction>(p, demo.main, "menuFileExit")->trigger();
    EXPECT_EQ(seen, (std::vector<std::string>{"chkActive_Callback", "pdMode_Callback", "pbAsk_Callback",
                                              "menuFileExit_Callback"}));
    seen.clear();
    // The close button asks the dispatcher and leaves the window open.
    p.set(demo.main, "demo", "Visible", Value::text("on"));
    EXPECT_FALSE(p.widget(demo.main)->close());
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::string>{"demo_CloseRequestFcn"}));
    EXPECT_TRUE(p.widget(demo.main)->isVisible());
}

TEST(QtCallbacks, ErrorsGoToTheConsoleAndScriptFaultsReachTheScript) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    // tolvane::Error of a callback: on the console, through a real click.
    find<QSlider>(p, demo.main, "sldLevel")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(p.transcript().back(), "console: the level callback failed");
    // A fault of the script raised inside a clicked button's callback passes
    // back to the action that clicked, not into Qt's event handling.
    p.setDispatcher(demo.main, [](const app::CallbackEvent&) { throw ScriptFault("deep fault"); });
    EXPECT_THROW(p.activate(demo.main, "pbAsk"), ScriptFault);
    EXPECT_THROW(p.activate(demo.main, "menuFileExit"), ScriptFault);
    EXPECT_THROW(p.requestClose(demo.main), ScriptFault);
    // The same from a person's click: on the console instead.
    find<QPushButton>(p, demo.main, "pbAsk")->click();
    EXPECT_EQ(p.transcript().back(), "console: deep fault");
}

// ------------------------------------------------------------ menus

TEST(QtMenus, BuildTheStandardMenuBar) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    const app::WindowId child = demo.child;  // a dialog: it gets a menu bar of its own
    app::addStandardMenus(p, child, true);
    auto* bar = p.widget(child)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QStringList top;
    for (QAction* a : bar->actions())
        if (a->isVisible()) top << a->text();
    EXPECT_EQ(top, (QStringList{"&File", "&Plot", "&Configuration", "&Help"}));

    auto* exit = find<QAction>(p, child, "menuFileExit");
    ASSERT_NE(exit, nullptr);
    auto* fileMenu = qobject_cast<QMenu*>(exit->parent());
    ASSERT_NE(fileMenu, nullptr);
    const QList<QAction*> file = fileMenu->actions();
    const auto at = file.indexOf(exit);
    ASSERT_GT(at, 0);
    EXPECT_TRUE(file[at - 1]->isSeparator()) << "separator above Exit";
    EXPECT_FALSE(find<QAction>(p, child, "menuFileExportRawData")->isVisible());
    // The Baseband Generator item became a sub-menu with its two options.
    auto* bbg = find<QAction>(p, child, "menuConfigBBG1");
    ASSERT_NE(bbg->menu(), nullptr);
    EXPECT_EQ(bbg->menu()->actions().size(), 2);
    EXPECT_EQ(bbg->menu()->actions()[0]->text(), "Option 00&1 (8 Msamples)");

    // Check marks are the logic's: choosing an item leaves them as set.
    std::vector<std::string> seen;
    p.setDispatcher(child, [&](const app::CallbackEvent& e) { seen.push_back(e.operation); });
    p.set(child, "menuConfigBBG1Opt1", "Checked", Value::text("on"));
    auto* opt1 = find<QAction>(p, child, "menuConfigBBG1Opt1");
    auto* opt2 = find<QAction>(p, child, "menuConfigBBG1Opt2");
    opt1->trigger();
    opt2->trigger();
    EXPECT_TRUE(opt1->isChecked());
    EXPECT_FALSE(opt2->isChecked());
    EXPECT_FALSE(opt2->isCheckable()) << "an unchecked item shows no mark";
    EXPECT_EQ(seen, (std::vector<std::string>{"menuConfigBBG1Opt1_Callback", "menuConfigBBG1Opt2_Callback"}));

    // Hidden or disabled menus keep their items from being used.
    p.set(child, "child", "Visible", Value::text("on"));
    EXPECT_TRUE(p.reachable(child, "menuSpecialSaveWave") == false) << "the Special menu is hidden";
    EXPECT_FALSE(p.reachable(child, "menuSpecialImpairments"));
    EXPECT_TRUE(p.reachable(child, "menuHelpAbout"));
    p.set(child, "menuHelp", "Enable", Value::text("off"));
    EXPECT_FALSE(p.reachable(child, "menuHelpAbout"));
    seen.clear();
    EXPECT_FALSE(p.activate(child, "menuHelpAbout"));
    EXPECT_TRUE(seen.empty());

    EXPECT_THROW(p.addMenuItem(child, {"", "Again", "menuFile"}), Error);
    EXPECT_THROW(p.addMenuItem(child, {"pbOK", "Under a button", "menuX"}), Error);
    EXPECT_THROW(p.addMenuItem(child, {"", "No tag", ""}), Error);
}

// ------------------------------------------------------------ long work

TEST(QtBusy, RunsOffTheEventThreadWithTheWindowsPaintedAndDeaf) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    int callbacks = 0;
    p.setDispatcher(demo.main, [&](const app::CallbackEvent&) { ++callbacks; });
    auto* ask = find<QPushButton>(p, demo.main, "pbAsk");
    std::atomic<int> ticks{0};
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        // A person's click while the work runs is not taken.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(ask, &press);
        QApplication::sendEvent(ask, &release);
    });
    ticker.start(10);
    const auto eventThread = std::this_thread::get_id();
    std::thread::id workThread;
    const bool finished = p.runBusy("Calculating", false, [&](app::Progress& progress) {
        workThread = std::this_thread::get_id();
        for (int i = 1; i <= 20; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            progress.report(i / 20.0);
        }
    });
    ticker.stop();
    EXPECT_TRUE(finished);
    EXPECT_NE(workThread, eventThread);
    EXPECT_GT(ticks.load(), 3) << "the event loop ran during the work";
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // After the work the windows take input again.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(ask, &press);
    QApplication::sendEvent(ask, &release);
    EXPECT_EQ(callbacks, 1);
}

TEST(QtBusy, CancelsAndPassesErrorsOn) {
    QtPlatform p({}, Mode::Interactive);
    // The progress window appears after a moment; its Cancel asks the work to stop.
    when([] { return qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()); },
         [](QWidget* d) {
             auto* dialog = qobject_cast<QProgressDialog*>(d);
             EXPECT_EQ(dialog->windowTitle(), "Downloading");
             buttonLabelled(dialog, "Cancel")->click();
         });
    bool sawCancel = false;
    const bool finished = p.runBusy("Downloading", true, [&](app::Progress& progress) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!progress.cancelled() && std::chrono::steady_clock::now() < end) {
            progress.report(0.5);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sawCancel = progress.cancelled();
    });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(sawCancel);
    EXPECT_THROW(p.runBusy("Failing", false, [](app::Progress&) { throw Error("no instrument"); }), Error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The headless platform runs the work at once, on the calling thread.
    HeadlessPlatform headless({});
    std::thread::id ran;
    EXPECT_TRUE(headless.runBusy("Calculating", true, [&](app::Progress& progress) {
        ran = std::this_thread::get_id();
        EXPECT_FALSE(progress.cancelled());
    }));
    EXPECT_EQ(ran, std::this_thread::get_id());
}

// ------------------------------------------------------------ figures

TEST(QtFigures, OpenAsWindowsThatTheirCloseButtonDeletes) {
    QtPlatform p({}, Mode::Scripted);
    p.setScreen({1000, 800, 96});
    display::Figure figure;
    figure.name = "CCDF Test Data";
    figure.position = {150, 150, 340, 340};
    display::Axes axes;
    axes.tag = "QV_CCDF";
    axes.traces.push_back(display::Trace{{0, 1, 2}, {100, 10, 1}});
    figure.axes.push_back(axes);
    const app::WindowId w = p.showFigure(figure);
    ASSERT_TRUE(p.isWindow(w));
    EXPECT_EQ(p.windowTag(w), "figure" + std::to_string(w));
    EXPECT_EQ(p.get(w, p.windowTag(w), "Name").str(), "CCDF Test Data");
    QWidget* window = p.widget(w);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // Its bottom edge 150 pixels above the screen's bottom.
    EXPECT_EQ(window->geometry().bottom() + 1, 800 - 150);
    EXPECT_EQ(p.transcript().back(), "window opened \"CCDF Test Data\"");

    QPointer<QWidget> gone = window;
    window->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(p.isWindow(w));
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(p.transcript().back(), "window closed \"CCDF Test Data\"");
}

// ------------------------------------------------------------ the application

// The application on the Qt widgets runs until File > Exit, as the desktop
// program runs it.
TEST(QtApplication, RunsUntilFileExit) {
    // The shutdown saves the connection in the working directory.
    const auto before = std::filesystem::current_path();
    const auto work = std::filesystem::temp_directory_path() / ("tolvane_qt_app_" + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    std::filesystem::current_path(work);
    {
        QtPlatform p({sourcePath("layouts")}, Mode::Scripted);
        app::ApplicationOptions options;
        options.resourceFolder = sourcePath("resources");
        app::Application application(p, options);
        bool exited = false;
        when(
            [&]() -> QWidget* {
                const app::WindowId main = application.scriptWindow("main");
                return main && p.widget(main)->isVisible() ? p.widget(main) : nullptr;
            },
            [&](QWidget* window) {
                screenshot(window, "main_window");
                const app::WindowId main = application.scriptWindow("main");
                qobject_cast<QAction*>(p.controlObject(main, "menuFileExit"))->trigger();
                exited = true;
            });
        runApplication(application);
        EXPECT_TRUE(exited);
        EXPECT_FALSE(application.running());
        EXPECT_EQ(p.transcript().back(), "window closed \"Veltran Sonvale - 1xEV Forward Link\"");
    }
    std::filesystem::current_path(before);
    std::filesystem::remove_all(work);
}

// Every scenario script (tests/app/scripts/*.script, tests/qt/scripts/*.script)
// gives the same transcript, and the same fault if any, when the application
// runs it on either platform.
struct ScenarioRun {
    std::vector<std::string> transcript;
    std::string fault;
};

// The display titles carry the time of the request ("(10DEC2026 18:04:17)",
// "(11DEC2026 0:15:42)" before ten o'clock), which may differ by a second
// between two runs: it becomes "(TIME)".
std::string untimed(const std::string& line) {
    static const std::regex stamp(R"(\(\d{1,2}[A-Z]{3}\d{4} \d{1,2}:\d{2}:\d{2}\))");
    return std::regex_replace(line, stamp, "(TIME)");
}

ScenarioRun runScenario(app::ScriptablePlatform& p, const std::vector<std::string>& lines) {
    ScenarioRun run;
    app::ApplicationOptions options;
    options.resourceFolder = sourcePath("resources");
    app::Application application(p, options);
    ScriptRunner runner(p, [&](const std::string& name) {
        if (const app::WindowId w = application.scriptWindow(name)) return w;
        if (const app::WindowId w = p.findWindow(name)) return w;
        throw ScriptFault("unknown window '" + name + "'");
    });
    try {
        runner.address(application.start());
        runner.run(lines);
    } catch (const ScriptError& e) {
        run.fault = e.what();
    }
    for (const auto& line : p.transcript()) run.transcript.push_back(untimed(line));
    return run;
}

// Runs `body` in a fresh working directory (the application saves its
// connection there, and scripts write their files there).
template <class Body>
auto inFreshFolder(const std::string& name, Body body) {
    const auto before = std::filesystem::current_path();
    const auto work = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::filesystem::current_path(work);
    struct Back {
        std::filesystem::path before, work;
        ~Back() {
            std::filesystem::current_path(before);
            std::error_code ec;
            std::filesystem::remove_all(work, ec);
        }
    } back{before, work};
    return body();
}

TEST(QtScenarios, GiveTheHeadlessTranscripts) {
    int scenarios = 0;
    for (const std::string& folder : {sourcePath("tests/app/scripts"), sourcePath("tests/qt/scripts")}) {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".script") continue;
            SCOPED_TRACE(entry.path().filename().string());
            ++scenarios;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::string> lines = app::readScript(in);
            const ScenarioRun headless = inFreshFolder("tolvane_headless", [&] {
                HeadlessPlatform p({sourcePath("layouts")});
                return runScenario(p, lines);
            });
            const ScenarioRun qt = inFreshFolder("tolvane_qt", [&] {
                QtPlatform p({sourcePath("layouts")}, Mode::Scripted);
                return runScenario(p, lines);
            });
            EXPECT_GT(headless.transcript.size(), 3u);
            EXPECT_EQ(qt.transcript, headless.transcript);
            EXPECT_EQ(qt.fault, headless.fault);
        }
    }
    EXPECT_GE(scenarios, 1);
}

// ------------------------------------------------------------ images, clock, screen

TEST(QtPlatformMisc, ImagesClockScreenAndBrowser) {
    QtDemo demo(Mode::Scripted);
    auto& p = demo.platform;
    p.showImage(demo.main, "lblInfo", sourcePath("resources/splash.jpg"));
    EXPECT_FALSE(find<QLabel>(p, demo.main, "lblInfo")->pixmap().isNull());
    EXPECT_THROW(p.showImage(demo.main, "lblInfo", sourcePath("resources/none.jpg")), Error);
    EXPECT_THROW(p.showImage(demo.main, "txtGain12", sourcePath("resources/splash.jpg")), Error);

    // A scripted pause returns at once but the stopwatch sees the time.
    p.startStopwatch();
    const auto before = std::chrono::steady_clock::now();
    p.pause(3);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_GE(p.elapsedSeconds(), 3.0);
    const auto now = p.clock();
    EXPECT_GE(now[0], 2024);
    EXPECT_LE(now[5], 61);

    // An interactive pause keeps the events flowing.
    QtPlatform interactive({}, Mode::Interactive);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    interactive.startStopwatch();
    interactive.pause(0.1);
    EXPECT_GE(interactive.elapsedSeconds(), 0.09);
    EXPECT_GT(ticks, 2);

    const app::ScreenFacts s = interactive.screen();
    EXPECT_GT(s.width, 0);
    EXPECT_GT(s.height, 0);
    EXPECT_GT(s.dpi, 0);
    EXPECT_TRUE(p.openInBrowser("/help/802.htm")) << "a scripted platform starts no browser";
    EXPECT_EQ(p.browserRequests().back(), "/help/802.htm");
}

// A desktop session's transcript keeps its latest lines only, while the sink
// sees every line; a scripted run keeps them all, as its transcript is what
// the script is checked against.
TEST(QtPlatformMisc, InteractiveTranscriptKeepsItsLatestLines) {
    for (const Mode mode : {Mode::Interactive, Mode::Scripted}) {
        QtPlatform p({}, mode);
        std::size_t sunk = 0;
        std::size_t largest = 0;
        p.setTranscriptSink([&](const std::string&) {
            ++sunk;
            largest = std::max(largest, p.transcript().size());
        });
        for (int i = 0; i < 10000; ++i) p.console("line " + std::to_string(i));
        EXPECT_EQ(sunk, 10000u);
        EXPECT_EQ(p.transcript().back(), "console: line 9999");
        if (mode == Mode::Interactive) {
            EXPECT_LE(largest, 4096u);
            EXPECT_GE(p.transcript().size(), 2048u) << "the latest half stays";
            // The lines kept are the latest, in order.
            const std::size_t n = p.transcript().size();
            EXPECT_EQ(p.transcript()[n - 2048], "console: line " + std::to_string(10000 - 2048));
        } else {
            EXPECT_EQ(p.transcript().size(), 10000u);
            EXPECT_EQ(p.transcript().front(), "console: line 0");
        }
    }
}

}  // namespace
}  // namespace tolvane::qt
