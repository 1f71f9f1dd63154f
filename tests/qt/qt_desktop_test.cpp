// The desktop's behaviour toward the person: scroll bars that move the way
// their arrows point, windows and dialogs wide enough for their titles and
// labels, the application's own help window, and modal windows that are
// always on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressDialog>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBrowser>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "qt/qt_platform.hpp"

// The demo application's layouts are found from the source tree.
#undef TOLVANE_TEST_DATA_DIR
#define TOLVANE_TEST_DATA_DIR TOLVANE_SOURCE_DIR "/tests/data"
#include "../app/demo_app.hpp"

namespace tolvane::qt {
namespace {

using Mode = QtPlatform::Mode;
using QtDemo = app::test::DemoAppOn<QtPlatform>;

std::string sourcePath(const std::string& relative) { return std::string(TOLVANE_SOURCE_DIR) + "/" + relative; }

// Runs `act` from the event loop as soon as `ready` finds what it waits for.
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

// ------------------------------------------------------------ scroll bars

// Where on the bar a part of it is, in the bar's coordinates.
QPoint centreOf(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

void click(QWidget* w, QPoint at) {
    const QPointF global = w->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void wheel(QWidget* w, int notches) {
    const QPoint at = w->rect().center();
    QWheelEvent event(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// The RPC setup's bar has its maximum at the top (the window logic shows
// the first channels at the maximum): the upper arrow must show earlier
// channels, the lower arrow and the trough below the handle later ones, the
// wheel turned down later ones, and the handle sits where the rows are.
TEST(QtScrollBars, MoveTheWayTheyPointWhenTheMaximumIsAtTheTop) {
    QtPlatform p({sourcePath("layouts")}, Mode::Interactive);
    const app::WindowId w = p.openLayout("OneX_Fwd_GUI_RPCsetup");
    int first = -1;  // the first channel shown, as the window logic computes it
    auto firstShown = [&] {
        const double max = p.get(w, "sldrScrollbar", "Max").realAt(0);
        const double value = p.get(w, "sldrScrollbar", "Value").realAt(0);
        return static_cast<int>(std::lround(max - value));
    };
    p.setDispatcher(w, [&](const app::CallbackEvent& e) {
        if (e.tag == "sldrScrollbar") first = firstShown();
    });
    p.set(w, p.windowTag(w), "Visible", Value::text("on"));
    auto* bar = qobject_cast<QScrollBar*>(p.controlObject(w, "sldrScrollbar"));
    ASSERT_NE(bar, nullptr);
    bar->resize(bar->sizeHint().width(), 400);
    const double max = p.get(w, "sldrScrollbar", "Max").realAt(0);
    ASSERT_EQ(max, 43);

    auto handleY = [&] { return centreOf(bar, QStyle::SC_ScrollBarSlider).y(); };
    auto at = [&](int firstChannel) {
        p.set(w, "sldrScrollbar", "Value", Value::scalar(max - firstChannel));
        first = firstShown();
    };

    // At the top: the handle is at the top, the upper arrow does nothing,
    // the lower one and the trough below the handle go down.
    at(0);
    EXPECT_EQ(first, 0);
    EXPECT_LT(handleY(), bar->height() / 4) << "the first channels show with the handle at the top";
    click(bar, centreOf(bar, QStyle::SC_ScrollBarSubLine));
    EXPECT_EQ(first, 0);
    click(bar, centreOf(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(first, 1);
    at(0);
    click(bar, centreOf(bar, QStyle::SC_ScrollBarAddPage));
    EXPECT_EQ(first, 16) << "a click in the trough below the handle pages down";

    // In the middle (rows 19 to 34): up three times shows earlier rows, down
    // three times comes back.
    at(18);
    for (int i = 0; i < 3; ++i) click(bar, centreOf(bar, QStyle::SC_ScrollBarSubLine));
    EXPECT_EQ(first, 15);
    for (int i = 0; i < 3; ++i) click(bar, centreOf(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(first, 18);
    click(bar, centreOf(bar, QStyle::SC_ScrollBarSubPage));
    EXPECT_EQ(first, 2) << "a click in the trough above the handle pages up";

    // The wheel turned down shows later rows, turned up earlier ones.
    at(18);
    wheel(bar, -1);
    EXPECT_GT(first, 18);
    at(18);
    wheel(bar, 1);
    EXPECT_LT(first, 18);

    // At the end: the handle at the bottom, the lower arrow does nothing.
    at(43);
    EXPECT_GT(handleY(), bar->height() * 3 / 4);
    click(bar, centreOf(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(first, 43);

    // Dragging the handle down shows later rows.
    at(0);
    const QPoint from = centreOf(bar, QStyle::SC_ScrollBarSlider);
    const QPoint to = from + QPoint(0, bar->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), bar->mapToGlobal(QPointF(from)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), bar->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), bar->mapToGlobal(QPointF(to)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
    EXPECT_GT(first, 10);

    // Max set by the logic keeps the value the logic reads.
    at(5);
    p.set(w, "sldrScrollbar", "Max", Value::scalar(50));
    EXPECT_EQ(p.get(w, "sldrScrollbar", "Value").realAt(0), 38);
    EXPECT_EQ(p.get(w, "sldrScrollbar", "Max").realAt(0), 50);
}

// ------------------------------------------------------------ titles and labels

// The width a window manager's title bar needs for the whole title: the text
// in a bold title font, with room for the icon and the three buttons.
int titleNeed(const QString& title) {
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + 110;
}

// What of a window cannot be read whole: its title, when the window is too
// narrow for it, and each shown label, button, check box or group title
// narrower than its text (or, for a label, than its lines).
std::vector<std::string> cutTexts(QWidget* top) {
    std::vector<std::string> cut;
    const QString title = top->windowTitle();
    if (top->width() < titleNeed(title))
        cut.push_back("title \"" + title.toStdString() + "\" in " + std::to_string(top->width()) + " px, needs " +
                      std::to_string(titleNeed(title)));
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(top) || w->width() <= 0) continue;
        QString text;
        int room = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->textFormat() == Qt::RichText || !label->pixmap().isNull()) continue;
            text = label->text();
            room = label->contentsRect().width() - 2 * label->margin() - label->indent();
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            text = button->text();
            room = button->width() - 4;
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            text = box->text();
            room = box->width() - box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) -
                   box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        }
        text.remove(QLatin1Char('&'));
        if (text.trimmed().isEmpty() || Qt::mightBeRichText(text)) continue;
        int need = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            need = std::max(need, w->fontMetrics().horizontalAdvance(line));
        if (room + 1 < need)
            cut.push_back(w->metaObject()->className() + std::string(" ") + w->objectName().toStdString() + " \"" +
                          text.toStdString() + "\" in " + std::to_string(room) + " px, needs " + std::to_string(need));
    }
    return cut;
}

// At the desktop's default font, every window of the application, the
// progress window of long work, and the message, question and input
// dialogs show their titles and labels whole.
TEST(QtWindowSizes, TitlesAndLabelsAreReadableAtTheDefaultFont) {
    QtPlatform p({sourcePath("layouts")}, Mode::Interactive);
    for (const char* layout : {"OneX_Fwd_GUI_c", "OneX_Fwd_GUI_SlotSetup", "OneX_Fwd_GUI_RPCsetup", "QV_SigGen",
                               "KltConfigAdv_c", "QV_About", "QV_Splash"}) {
        SCOPED_TRACE(layout);
        const app::WindowId w = p.openLayout(layout);
        p.set(w, p.windowTag(w), "Visible", Value::text("on"));
        QApplication::processEvents();
        EXPECT_EQ(cutTexts(p.widget(w)), std::vector<std::string>{});
        p.set(w, p.windowTag(w), "Visible", Value::text("off"));
    }

    // The progress window comes up after a moment of work.
    std::vector<std::string> progressCut{"never shown"};
    when([] { return qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()); },
         [&](QWidget* dialog) {
             QApplication::processEvents();
             progressCut = cutTexts(dialog);
         });
    p.runBusy("Downloading the waveform", true, [&](app::Progress& progress) {
        for (int i = 0; i < 100 && progressCut.size() == 1 && progressCut[0] == "never shown"; ++i) {
            progress.report(i / 100.0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_EQ(progressCut, std::vector<std::string>{});

    // The dialogs, with long titles.
    std::vector<std::vector<std::string>> dialogCuts;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            QApplication::processEvents();
            dialogCuts.push_back(cutTexts(dialog));
            dialog->reject();
        }
    });
    closer.start(20);
    p.messageBox("Instrument not responding to commands", "No answer.");
    p.errorDialog("The waveform could not be downloaded", "No answer.");
    (void)p.questionDialog("Parameters changed since the last calculation", "Calculate now?", {"Yes", "No"}, "Yes");
    (void)p.inputDialog("Enter the instrument's GPIB address", {"Address"}, {"19"});
    ASSERT_EQ(dialogCuts.size(), 4u);
    for (const auto& cut : dialogCuts) EXPECT_EQ(cut, std::vector<std::string>{});
}

// ------------------------------------------------------------ help window

// On a machine without a browser or launcher (no program on the PATH), the
// system browser cannot be started; the page then shows in the
// application's own help window, which reads its HTML; a missing page is
// refused.
TEST(QtHelpWindow, ShowsThePageWhenTheBrowserCannotStart) {
    const std::string empty = std::filesystem::temp_directory_path() / ("tolvane_no_path_" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    const char* browser = std::getenv("BROWSER");
    const std::string savedBrowser = browser ? browser : "";
    ::setenv("PATH", empty.c_str(), 1);
    ::unsetenv("BROWSER");
    ::unsetenv("DEFAULT_BROWSER");
    QtPlatform p({}, Mode::Interactive);
    const std::string page = sourcePath("resources/WebHelp/802.htm");
    const bool started = p.openInBrowser(page);
    ::setenv("PATH", path.c_str(), 1);
    if (browser) ::setenv("BROWSER", savedBrowser.c_str(), 1);
    std::filesystem::remove_all(empty);
    EXPECT_FALSE(started) << "nothing on the PATH can show the page";

    EXPECT_EQ(p.helpWindow(), nullptr);
    ASSERT_TRUE(p.showHelpPage(page));
    auto* help = qobject_cast<QTextBrowser*>(p.helpWindow());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle().toStdString(), "1xEV Forward Link - Help");
    EXPECT_EQ(help->documentTitle().toStdString(), "1xEV Forward Link - Help");
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Forward Link")));
    EXPECT_GT(help->toPlainText().size(), 500) << "the page's text, not its source";
    EXPECT_FALSE(help->toPlainText().contains(QStringLiteral("<table"))) << "HTML read as HTML";
    EXPECT_EQ(p.transcript().back(), "window opened \"1xEV Forward Link - Help\"");
    // The same window shows the next page; a missing page is refused.
    ASSERT_TRUE(p.showHelpPage(page));
    EXPECT_EQ(p.helpWindow(), help);
    EXPECT_FALSE(p.showHelpPage(sourcePath("resources/WebHelp/none.htm")));
    EXPECT_EQ(p.helpPages().size(), 2u);
}

// ------------------------------------------------------------ modal windows

// Counts the Hide events a widget gets.
struct HideCounter : QObject {
    int hides = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Hide) ++hides;
        return false;
    }
};

// A window the logic shows and then waits on is never unmapped for its
// modality (a window manager may lose a quick unmap and map and leave the
// window unmapped while it blocks everything): it stays shown through the
// wait, the other windows of the platform take no clicks, keys or close
// requests meanwhile, and the waiting window is brought back on top.
TEST(QtModalWindows, StayMappedAndKeepTheOtherWindowsFromInput) {
    QtDemo demo(Mode::Interactive);
    auto& p = demo.platform;
    HideCounter counter;
    p.widget(demo.child)->installEventFilter(&counter);
    QWidget* main = p.widget(demo.main);
    auto* ask = main->findChild<QPushButton*>(QStringLiteral("pbAsk"));
    auto* combo = main->findChild<QComboBox*>(QStringLiteral("pdMode"));
    ASSERT_NE(ask, nullptr);
    ASSERT_NE(combo, nullptr);
    // Should the main window take the click, its question closes at once
    // (the test fails on the transcript, and does not hang).
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
    closer.start(20);
    bool checked = false;
    when([&] { return p.waitingWindow() == demo.child ? p.widget(demo.child) : nullptr; },
         [&](QWidget* child) {
             checked = true;
             EXPECT_TRUE(child->isVisible());
             EXPECT_EQ(counter.hides, 0) << "the waiting window was unmapped for its modality";
             EXPECT_EQ(child->windowModality(), Qt::ApplicationModal);
             // A click on the main window's button and a key to its pop-up
             // do nothing; nor does its close button.
             const std::size_t lines = p.transcript().size();
             click(ask, ask->rect().center());
             const int mode = combo->currentIndex();
             QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
             QApplication::sendEvent(combo, &down);
             EXPECT_EQ(combo->currentIndex(), mode);
             QCloseEvent close;
             QApplication::sendEvent(main, &close);
             QApplication::processEvents();
             EXPECT_EQ(p.transcript().size(), lines) << p.transcript().back();
             EXPECT_TRUE(main->isVisible());
             // The waiting window takes its own input.
             child->findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(QStringLiteral("Ada"));
             click(child->findChild<QPushButton*>(QStringLiteral("pbOK")),
                   child->findChild<QPushButton*>(QStringLiteral("pbOK"))->rect().center());
         });
    // The person presses Open: the logic shows the child and waits.
    p.set(demo.child, "child", "Visible", Value::text("on"));
    EXPECT_EQ(p.waitModal(demo.child), "OK");
    EXPECT_TRUE(checked);
    EXPECT_EQ(counter.hides, 0);
    EXPECT_EQ(p.widget(demo.child)->windowModality(), Qt::NonModal) << "modal only while waited on";
    // After the wait the main window takes clicks again.
    const std::size_t lines = p.transcript().size();
    click(ask, ask->rect().center());
    EXPECT_GT(p.transcript().size(), lines);
}

}  // namespace
}  // namespace tolvane::qt
