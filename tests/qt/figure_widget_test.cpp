// The display windows drawn with QCustomPlot: axes, menus, the zoom tools,
// the reduction of large traces, and the image files (which stay in the
// build folder's screenshots/ for people to look at).
#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include <complex>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "display/ccdf.hpp"
#include "display/eye_diagram.hpp"
#include "display/iq_time.hpp"
#include "display/scatter_diagram.hpp"
#include "display/spectrum.hpp"
#include "display/waterfall.hpp"
#include "instrument/corrections.hpp"
#include "onex/constants.hpp"
#include "onex/frame_config.hpp"
#include "qt/figure_widget.hpp"

using namespace tolvane;
using namespace tolvane::display;
using cd = std::complex<double>;

namespace {

// One default frame, quantised as the Plot menu hands it to the displays.
const std::vector<cd>& frame() {
    static const std::vector<cd> wave = [] {
        FrameConfig config = defaultFrameConfig();
        return applyDacRes(calculateFrame(config).waveform, 14);
    }();
    return wave;
}

double frameRate() { return kChipRate * defaultFrameConfig().OverSampling; }

struct WindowDeleter {
    void operator()(QWidget* w) const { delete w; }
};
using Window = std::unique_ptr<QWidget, WindowDeleter>;

Window open(const Figure& f) { return Window(qt::createFigureWindow(f)); }

QCPAxisRect* axesTagged(QWidget* window, const char* tag) {
    QCustomPlot* plot = qt::figurePlot(window);
    if (!plot) return nullptr;
    for (QCPAxisRect* rect : plot->axisRects())
        if (rect->objectName() == tag) return rect;
    return nullptr;
}

// The menu entries as "Title|objectName|enabled|checkable", separators as "-".
std::vector<std::string> menuEntries(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out.push_back("-");
            continue;
        }
        out.push_back(a->text().toStdString() + "|" + a->objectName().toStdString() + "|" +
                      (a->isEnabled() ? "on" : "off") + "|" + (a->isCheckable() ? "check" : ""));
    }
    return out;
}

QAction* action(QWidget* window, const char* name) { return window->findChild<QAction*>(name); }

std::filesystem::path screenshotDir() {
    std::filesystem::path dir = TOLVANE_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

// How many pixels of the image are within a few levels of the colour.
int pixelsOf(const QImage& image, QColor color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) < 8 && std::abs(c.green() - color.green()) < 8 &&
                std::abs(c.blue() - color.blue()) < 8)
                ++count;
        }
    return count;
}

const QColor kLine = QColor::fromRgbF(0.0f, 0.447f, 0.741f);

}  // namespace

TEST(FigureWindow, CcdfWindowWithLogAxisAndDisplayMenus) {
    const Figure f = ccdfFigure({}, "1xEV Forward Link (05MAR2002 9:07:03)", frame());
    Window w = open(f);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->windowTitle().toStdString(), "CCDF 1xEV Forward Link (05MAR2002 9:07:03)");
    EXPECT_EQ(qt::figurePlot(w.get())->size(), QSize(340, 340));

    QCPAxisRect* rect = axesTagged(w.get(), "QV_CCDF");
    ASSERT_NE(rect, nullptr);
    QCPAxis* y = rect->axis(QCPAxis::atLeft);
    QCPAxis* x = rect->axis(QCPAxis::atBottom);
    EXPECT_EQ(y->scaleType(), QCPAxis::stLogarithmic);
    EXPECT_DOUBLE_EQ(y->range().upper, 100);
    EXPECT_DOUBLE_EQ(y->range().lower, f.axes[0].y.min);
    EXPECT_DOUBLE_EQ(x->range().upper, f.axes[0].x.max);
    EXPECT_EQ(y->label().toStdString(), "Frequency of occurence (%)");
    EXPECT_EQ(x->label().toStdString(), "dB above Average");
    EXPECT_EQ(x->grid()->pen().style(), Qt::DotLine);
    EXPECT_TRUE(x->grid()->visible() && y->grid()->visible());
    EXPECT_EQ(rect->plottables().size(), 2);

    auto* main = qobject_cast<QMainWindow*>(w.get());
    ASSERT_NE(main, nullptr);
    const auto menus = main->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text().toStdString(), "&File");
    EXPECT_EQ(menus[1]->text().toStdString(), "&Edit");
    EXPECT_EQ(menus[2]->text().toStdString(), "&Tools");
    EXPECT_EQ(menuEntries(menus[0]->menu()),
              (std::vector<std::string>{"&Print||on|", "Print &Setup||on|", "Save &Image...|QV_SaveImage|on|", "-",
                                        "&Close||on|"}));
    EXPECT_EQ(menuEntries(menus[1]->menu()), (std::vector<std::string>{"&Copy||on|"}));
    EXPECT_EQ(menuEntries(menus[2]->menu()), (std::vector<std::string>{"&Zoom|QV_Zoom|on|check",
                                                                       "&Rotate|QV_Rotate|off|check", "-",
                                                                       "Zoom Re&set|QV_ZoomReset|on|"}));
}

TEST(FigureWindow, ZoomToolAndZoomReset) {
    Window w = open(spectrumFigure({}, "L", frameRate(), frame()));
    QCustomPlot* plot = qt::figurePlot(w.get());
    QAction* zoom = action(w.get(), "QV_Zoom");
    ASSERT_NE(zoom, nullptr);
    zoom->trigger();
    EXPECT_TRUE(zoom->isChecked());
    EXPECT_EQ(plot->selectionRectMode(), QCP::srmZoom);
    zoom->trigger();
    EXPECT_FALSE(zoom->isChecked());
    EXPECT_EQ(plot->selectionRectMode(), QCP::srmNone);

    QCPAxis* x = plot->axisRect()->axis(QCPAxis::atBottom);
    const QCPRange whole = x->range();
    x->setRange(0.1, 0.2);
    plot->replot();
    action(w.get(), "QV_ZoomReset")->trigger();
    EXPECT_DOUBLE_EQ(x->range().lower, whole.lower);
    EXPECT_DOUBLE_EQ(x->range().upper, whole.upper);
}

TEST(FigureWindow, CopyPutsThePlotOnTheClipboard) {
    Window w = open(ccdfFigure({}, "L", {}));
    QApplication::clipboard()->clear();
    w->findChild<QMenuBar*>()->actions()[1]->menu()->actions()[0]->trigger();
    const QImage image = QApplication::clipboard()->image();
    EXPECT_EQ(image.size(), QSize(340, 340));
}

// File > Print prints the plot to the printer chosen in the print dialog
// (here a PDF file, as "Print to File" would); Print Setup works on the same
// printer, so the page chosen there serves the next print.
TEST(FigureWindow, PrintAndPrintSetupUseTheChosenPrinter) {
    Window w = open(ccdfFigure({}, "L", frame()));
    QMenu* file = w->findChild<QMenuBar*>()->actions()[0]->menu();
    const auto out = std::filesystem::path(TOLVANE_TEST_OUTPUT_DIR) / "ccdf_printed.pdf";
    std::filesystem::create_directories(out.parent_path());
    std::filesystem::remove(out);

    QPrinter* setupPrinter = nullptr;
    QTimer::singleShot(0, [&] {
        auto* setup = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(setup, nullptr);
        setupPrinter = setup->printer();
        setup->done(QDialog::Accepted);
    });
    file->actions()[1]->trigger();
    ASSERT_NE(setupPrinter, nullptr);

    QPrinter* printPrinter = nullptr;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        printPrinter = dialog->printer();
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(QString::fromStdString(out.string()));
        dialog->done(QDialog::Accepted);
    });
    file->actions()[0]->trigger();
    EXPECT_EQ(printPrinter, setupPrinter);
    ASSERT_TRUE(std::filesystem::exists(out));
    std::ifstream in(out, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
    EXPECT_GT(std::filesystem::file_size(out), 5000u);

    // A cancelled print writes nothing.
    std::filesystem::remove(out);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->printer()->setOutputFileName(QString::fromStdString(out.string()));
        dialog->done(QDialog::Rejected);
    });
    file->actions()[0]->trigger();
    EXPECT_FALSE(std::filesystem::exists(out));
}

// File > Save Image writes the figure, drawn as the command line's plot
// draws it, at the plot's size, into the file the person names: the type by
// the name's extension, or by the filter chosen when the name has none. A
// file that cannot be written is reported, and a cancel writes nothing.
TEST(FigureWindow, SaveImageWritesPngPdfOrSvg) {
    Window w = open(ccdfFigure({}, "L", frame()));
    QAction* save = action(w.get(), "QV_SaveImage");
    ASSERT_NE(save, nullptr);
    const auto folder = std::filesystem::path(TOLVANE_TEST_OUTPUT_DIR) / "save_image";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    // Answers the save dialog, once it is up, with the name typed and the
    // filter chosen.
    auto answer = [](const std::string& file, int filter, bool accept) {
        auto* poll = new QTimer;
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, [=] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            const QString chosen = dialog->nameFilters().value(filter);
            dialog->selectNameFilter(chosen);
            emit dialog->filterSelected(chosen);
            // The dialog ignores selectFile() while its name field has the
            // focus, which it gets at some point after it shows: type the
            // name into the field itself, as a user would, and answer once the
            // dialog returns it.
            const QFileInfo wanted(QString::fromStdString(file));
            dialog->setDirectory(wanted.absolutePath());
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                edit->setText(wanted.fileName());
            else
                dialog->selectFile(wanted.absoluteFilePath());
            if (!dialog->selectedFiles().value(0).startsWith(wanted.absoluteFilePath())) return;
            poll->stop();
            poll->deleteLater();
            if (accept)
                static_cast<QDialog*>(dialog)->accept();
            else
                dialog->reject();
        });
        poll->start();
    };
    auto head = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::string text(200, '\0');
        in.read(text.data(), 200);
        text.resize(static_cast<std::size_t>(in.gcount()));
        return text;
    };
    struct Case {
        const char* typed;
        int filter;
        const char* written;
        const char* starts;
    };
    for (const Case& c : {Case{"ccdf.png", 0, "ccdf.png", "\x89PNG"}, Case{"ccdf.pdf", 0, "ccdf.pdf", "%PDF"},
                          Case{"ccdf.svg", 0, "ccdf.svg", "<?xml"}, Case{"chosen", 1, "chosen.pdf", "%PDF"}}) {
        SCOPED_TRACE(c.typed);
        answer((folder / c.typed).string(), c.filter, true);
        save->trigger();
        const auto out = folder / c.written;
        ASSERT_TRUE(std::filesystem::exists(out));
        EXPECT_EQ(head(out).substr(0, std::string(c.starts).size()), c.starts);
    }
    // The PNG has the plot's size and is the command line's drawing of it.
    QCustomPlot* plot = qt::figurePlot(w.get());
    const QImage image(QString::fromStdString((folder / "ccdf.png").string()));
    EXPECT_EQ(image.size(), plot->size());
    std::string error;
    ASSERT_TRUE(qt::renderFigureToFile(ccdfFigure({}, "L", frame()), (folder / "plot.png").string(), plot->width(),
                                       plot->height(), error))
        << error;
    EXPECT_EQ(image, QImage(QString::fromStdString((folder / "plot.png").string())));

    // Cancelled: nothing written. A type it cannot write: the reason in an
    // error box.
    answer((folder / "cancelled.png").string(), 0, false);
    save->trigger();
    EXPECT_FALSE(std::filesystem::exists(folder / "cancelled.png"));
    QString reported;
    answer((folder / "x.bmp").string(), 0, true);
    QTimer boxPoll;
    QObject::connect(&boxPoll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
            reported = box->text();
            box->accept();
        }
    });
    boxPoll.start(10);
    save->trigger();
    boxPoll.stop();
    EXPECT_TRUE(reported.contains(QStringLiteral(".png, .pdf or .svg"))) << reported.toStdString();
    EXPECT_FALSE(std::filesystem::exists(folder / "x.bmp"));
    std::filesystem::remove_all(folder);
}

TEST(FigureWindow, StackedTimeAxesAndWaterfallWithoutDisplayMenus) {
    Window iq = open(iqTimeFigure({}, "L", frameRate(), false, frame()));
    QCPAxisRect* upper = axesTagged(iq.get(), "QV_Iwave");
    QCPAxisRect* lower = axesTagged(iq.get(), "QV_Qwave");
    ASSERT_TRUE(upper && lower);
    EXPECT_LT(upper->outerRect().bottom(), lower->outerRect().top());
    EXPECT_EQ(lower->axis(QCPAxis::atBottom)->label().toStdString(), "Time (mS)");
    EXPECT_DOUBLE_EQ(upper->axis(QCPAxis::atLeft)->range().upper, -lower->axis(QCPAxis::atLeft)->range().lower);

    const double slice = static_cast<double>(frame().size()) / frameRate() / 200;
    Window wf = open(waterfallFigure({}, "L", frameRate(), slice, frame()));
    auto* main = qobject_cast<QMainWindow*>(wf.get());
    EXPECT_TRUE(main->menuBar()->actions().isEmpty());
    EXPECT_TRUE(qt::figurePlot(wf.get())->interactions().testFlag(QCP::iRangeZoom));  // zoom without the menus
    QCPAxisRect* rect = axesTagged(wf.get(), "QV_Waterfall");
    ASSERT_NE(rect, nullptr);
    ASSERT_EQ(rect->plottables().size(), 1);
    auto* map = qobject_cast<QCPColorMap*>(rect->plottables()[0]);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(map->colorScale(), nullptr);
    EXPECT_EQ(map->colorScale()->axis()->label().toStdString(), "LogMag (dB)");
    EXPECT_EQ(rect->axis(QCPAxis::atBottom)->label().toStdString(), "Frequency (MHz)");
    EXPECT_EQ(rect->axis(QCPAxis::atLeft)->label().toStdString(), "Time (mS)");
    // Reduced to at most two columns per pixel of the plot box.
    EXPECT_LE(map->data()->keySize(), 2 * (rect->width() + 1));
    EXPECT_EQ(map->data()->valueSize(), 200);
}

TEST(FigureWindow, LargeTracesAreReducedAndRefinedWhenZoomed) {
    // 983 040 samples, as a frame at oversampling 30.
    std::vector<cd> wave(983040);
    for (std::size_t k = 0; k < wave.size(); ++k)
        wave[k] = {std::sin(0.001 * static_cast<double>(k)), std::cos(0.37 * static_cast<double>(k))};
    wave[500000] = {3, 0};  // a lone spike survives the reduction
    Window w = open(iqTimeFigure({}, "L", 36.864e6, true, wave));
    QCustomPlot* plot = qt::figurePlot(w.get());
    auto* graph = qobject_cast<QCPGraph*>(plot->axisRect()->plottables()[0]);
    ASSERT_NE(graph, nullptr);
    const int width = plot->axisRect()->width();
    EXPECT_LE(graph->data()->size(), 2 * (width + 1) + 2);
    bool spike = false;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) spike |= it->value == 3;
    EXPECT_TRUE(spike);

    // Zoomed on 100 samples: every one of them is drawn.
    const double perSample = 983040 / 36.864e6 * 1000 / 983039;  // mS
    plot->axisRect()->axis(QCPAxis::atBottom)->setRange(1000 * perSample, 1099.5 * perSample);
    plot->replot();
    EXPECT_GE(graph->data()->size(), 100);
    EXPECT_LE(graph->data()->size(), 104);
}

TEST(FigureImages, EveryDisplayToPngPdfAndSvg) {
    const auto dir = screenshotDir();
    const double rate = frameRate();
    const double os = defaultFrameConfig().OverSampling;
    const std::string label = "1xEV Forward Link (05MAR2002 9:07:03)";
    const std::pair<const char*, Figure> figures[] = {
        {"ccdf", ccdfFigure({}, label, frame())},
        {"spectrum", spectrumFigure({}, label, rate, frame())},
        {"iq", iqTimeFigure({}, label, rate, false, frame())},
        {"iq_overlay", iqTimeFigure({}, label, rate, true, frame())},
        {"eye", eyeDiagramFigure({}, label, frame(), 2 * os, 2 * os / rate, 0)},
        {"scatter", scatterDiagramFigure({}, label, frame(), os, 0, true)},
        {"waterfall", waterfallFigure({}, label, rate, frame().size() / rate / 200, frame())},
        {"ccdf_test_signal", ccdfFigure({}, "Test Data", {})},
    };
    for (const auto& [name, figure] : figures) {
        for (const char* ext : {".png", ".pdf", ".svg"}) {
            const auto path = dir / (std::string(name) + ext);
            std::filesystem::remove(path);
            std::string error;
            ASSERT_TRUE(qt::renderFigureToFile(figure, path.string(), 640, 480, error)) << name << ext << ": " << error;
            ASSERT_TRUE(std::filesystem::exists(path)) << path;
            EXPECT_GT(std::filesystem::file_size(path), 1000u) << path;
        }
        const QImage png(QString::fromStdString((dir / (std::string(name) + ".png")).string()));
        EXPECT_EQ(png.size(), QSize(640, 480)) << name;
    }
    // The curves are drawn, not only the frame: the CCDF in the default line
    // colour and its reference in grey; the scatter's cyan line and blue dots.
    const QImage ccdf(QString::fromStdString((dir / "ccdf.png").string()));
    EXPECT_GT(pixelsOf(ccdf, kLine), 100);
    EXPECT_GT(pixelsOf(ccdf, QColor::fromRgbF(0.7f, 0.7f, 0.7f)), 100);
    const QImage scatter(QString::fromStdString((dir / "scatter.png").string()));
    EXPECT_GT(pixelsOf(scatter, QColor(0, 255, 255)), 100);
    EXPECT_GT(pixelsOf(scatter, QColor(0, 0, 255)), 20);
    // SVG is text with the drawing in it.
    std::ifstream svg(dir / "ccdf.svg");
    const std::string text((std::istreambuf_iterator<char>(svg)), {});
    EXPECT_NE(text.find("<svg"), std::string::npos);
}

TEST(FigureImages, RefusesOtherFormatsAndUnwritablePlaces) {
    const Figure f = ccdfFigure({}, "L", {});
    std::string error;
    EXPECT_FALSE(qt::renderFigureToFile(f, (screenshotDir() / "x.jpg").string(), 400, 300, error));
    EXPECT_NE(error.find(".png, .pdf or .svg"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(qt::renderFigureToFile(f, "/nonexistent-folder/x.png", 400, 300, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(qt::renderFigureToFile(f, (screenshotDir() / "x.png").string(), 0, 300, error));
    EXPECT_FALSE(error.empty());
}
