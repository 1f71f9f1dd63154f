#include "qt/figure_widget.hpp"

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#ifdef TOLVANE_QT_SVG
#include <QSvgGenerator>
#endif

#include <algorithm>
#include <cmath>
#include <memory>

#include "display/decimate.hpp"
#include "base/atomic_file.hpp"
#include "base/text.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::qt {

namespace {

using display::Axes;
using display::Figure;
using display::Range;
using display::Trace;

QColor toColor(const display::Rgb& c) {
    return QColor::fromRgbF(static_cast<float>(std::clamp(c.r, 0.0, 1.0)), static_cast<float>(std::clamp(c.g, 0.0, 1.0)),
                            static_cast<float>(std::clamp(c.b, 0.0, 1.0)));
}

Qt::PenStyle toPenStyle(display::LineStyle style) {
    switch (style) {
        case display::LineStyle::Solid: return Qt::SolidLine;
        case display::LineStyle::Dotted: return Qt::DotLine;
        case display::LineStyle::None: return Qt::NoPen;
    }
    return Qt::SolidLine;
}

// A range the axis can show: ends that are equal (a waveform of zeros) or
// not finite are widened around what is there.
QCPRange drawableRange(const Range& r, bool log) {
    double lo = r.min, hi = r.max;
    if (log) {
        if (!(lo > 0) || !std::isfinite(lo)) lo = 1e-3;
        if (!(hi > lo) || !std::isfinite(hi)) hi = lo * 100;
        return {lo, hi};
    }
    if (!std::isfinite(lo) || !std::isfinite(hi)) return {-1, 1};
    if (!(hi > lo)) {
        const double pad = lo != 0 ? std::abs(lo) * 0.1 : 1;
        return {lo - pad, hi + pad};
    }
    return {lo, hi};
}

QVector<double> toVector(const std::vector<double>& v) { return QVector<double>(v.begin(), v.end()); }

// One drawn trace: the full data, and the plottable that shows the part
// reduced for the current ranges and size.
struct DrawnTrace {
    const Trace* trace;
    QCPAbstractPlottable* plottable;
    QCPAxisRect* rect;
};

// The plot of one figure. It keeps the figure (all samples) and reduces each
// trace to what the visible ranges and the plot's size can show, again
// whenever a range or the size changes.
class FigurePlot : public QCustomPlot {
public:
    FigurePlot(Figure figure, QSize size, QWidget* parent) : QCustomPlot(parent), figure_(std::move(figure)) {
        setObjectName("figurePlot");
        resize(size);
        setViewport(QRect(QPoint(0, 0), size));
        build();
        keepAspect(size);
        reduceTo(size);
        connect(this, &QCustomPlot::beforeReplot, this, [this] {
            if (stale_) reduceTo(viewport().size());
        });
    }

    const Figure& figure() const { return figure_; }

    // The figure's own limits on every axes (Zoom Reset).
    void resetRanges() {
        for (std::size_t k = 0; k < rects_.size(); ++k) {
            const Axes& a = figure_.axes[k];
            QCPAxisRect* rect = rects_[k];
            rect->axis(QCPAxis::atBottom)->setRange(drawableRange(a.x, false));
            rect->axis(QCPAxis::atLeft)->setRange(drawableRange(a.y, a.logY));
        }
        keepAspect(viewport().size());
        stale_ = true;
    }

    // Draws into `path` as PNG, PDF or SVG; throws Error.
    void save(const std::string& path, const std::string& kind, QSize size) {
        reduceTo(size);
        const QString file = QString::fromStdString(path);
        bool ok = false;
        if (kind == "png") {
            ok = savePng(file, size.width(), size.height(), 1.0, -1, 96);
        } else if (kind == "pdf") {
            ok = savePdf(file, size.width(), size.height(), QCP::epNoCosmetic, "Tolvane",
                         QString::fromStdString(figure_.name));
        } else {
#ifdef TOLVANE_QT_SVG
            QSvgGenerator svg;
            svg.setFileName(file);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setTitle(QString::fromStdString(figure_.name));
            QCPPainter painter;
            ok = painter.begin(&svg);
            if (ok) {
                toPainter(&painter, size.width(), size.height());
                ok = painter.end();
            }
#endif
        }
        if (!ok) throw Error("Cannot write the " + kind + " image \"" + path + "\".");
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QCustomPlot::resizeEvent(event);
        keepAspect(size());
        stale_ = true;
    }

private:
    Figure figure_;
    std::vector<QCPAxisRect*> rects_;
    std::vector<DrawnTrace> drawn_;
    struct Map {
        QCPColorMap* map;
        const display::Surface* surface;
        Range z;
    };
    std::vector<Map> maps_;
    bool stale_ = false;

    // The plot box of the axes in pixels of a plot of `size`.
    static QRectF boxFraction(const Axes& a) {
        const auto& p = a.position;
        return QRectF(p[0], 1 - p[1] - p[3], p[2], p[3]);
    }

    void build() {
        setBackground(QBrush(QColor::fromRgbF(0.94f, 0.94f, 0.94f)));
        plotLayout()->clear();
        auto* inset = new QCPLayoutInset;
        plotLayout()->addElement(0, 0, inset);
        for (const Axes& a : figure_.axes) {
            auto* rect = new QCPAxisRect(this);
            rect->setObjectName(QString::fromStdString(a.tag));
            rect->setAutoMargins(QCP::msNone);
            rect->setMargins(QMargins(0, 0, 0, 0));
            rect->setBackground(Qt::white);
            inset->addElement(rect, boxFraction(a));
            setUpAxes(rect, a);
            for (const Trace& t : a.traces) addTrace(rect, t);
            if (a.surface) addSurface(rect, a, inset);
            rects_.push_back(rect);
        }
        addTexts();
    }

    void setUpAxes(QCPAxisRect* rect, const Axes& a) {
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        const QColor labelColor = toColor(a.labelColor);
        for (QCPAxis* axis : {x, y}) {
            axis->setLabelColor(labelColor);
            axis->setTickLabelColor(labelColor);
            axis->grid()->setPen(QPen(QColor(140, 140, 140), 0, toPenStyle(a.gridStyle)));
            axis->grid()->setZeroLinePen(Qt::NoPen);
        }
        x->setLabel(QString::fromStdString(a.xLabel));
        y->setLabel(QString::fromStdString(a.yLabel));
        x->grid()->setVisible(a.xGrid);
        y->grid()->setVisible(a.yGrid);
        if (a.logY) {
            y->setScaleType(QCPAxis::stLogarithmic);
            auto ticker = QSharedPointer<QCPAxisTickerLog>::create();
            y->setTicker(ticker);
            y->setNumberFormat("eb");
            y->setNumberPrecision(0);
        }
        if (!a.xTicks.empty()) {
            auto ticker = QSharedPointer<QCPAxisTickerText>::create();
            for (double t : a.xTicks) ticker->addTick(t, QString::number(t, 'g', 6));
            x->setTicker(ticker);
        }
        x->setRange(drawableRange(a.x, false));
        y->setRange(drawableRange(a.y, a.logY));
        // A box around the plot, as the other two sides of the axes.
        rect->setupFullAxesBox(true);
        for (QCPAxis* axis : {rect->axis(QCPAxis::atTop), rect->axis(QCPAxis::atRight)}) {
            axis->setTickLabels(false);
            axis->grid()->setVisible(false);
        }
        rect->setRangeZoomAxes(x, y);
        rect->setRangeDragAxes(x, y);
        for (QCPAxis* axis : {x, y})
            connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] { stale_ = true; });

        if (!a.title.empty()) {
            auto* title = new QCPItemText(this);
            title->setClipToAxisRect(false);
            title->position->setType(QCPItemPosition::ptAxisRectRatio);
            title->position->setAxisRect(rect);
            title->position->setCoords(0.5, 0);
            title->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            title->setPadding(QMargins(0, 0, 0, 4));
            QFont font = title->font();
            font.setBold(true);
            title->setFont(font);
            title->setColor(labelColor);
            title->setText(QString::fromStdString(a.title));
        }
    }

    void addTrace(QCPAxisRect* rect, const Trace& t) {
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        if (t.kind == display::TraceKind::Bars) {
            addBars(x, y, t);
            return;
        }
        QCPAbstractPlottable* plottable = nullptr;
        const QPen pen(toColor(t.color), 0, toPenStyle(t.line));
        const QCPScatterStyle dot = t.marker == display::MarkerStyle::Dot
                                        ? QCPScatterStyle(QCPScatterStyle::ssDisc, toColor(t.color), 3)
                                        : QCPScatterStyle(QCPScatterStyle::ssNone);
        if (t.xAscending) {
            auto* graph = new QCPGraph(x, y);
            graph->setLineStyle(t.line == display::LineStyle::None ? QCPGraph::lsNone : QCPGraph::lsLine);
            graph->setScatterStyle(dot);
            // The data are already reduced per pixel column.
            graph->setAdaptiveSampling(false);
            plottable = graph;
        } else {
            auto* curve = new QCPCurve(x, y);
            curve->setLineStyle(t.line == display::LineStyle::None ? QCPCurve::lsNone : QCPCurve::lsLine);
            curve->setScatterStyle(dot);
            plottable = curve;
        }
        plottable->setPen(pen);
        plottable->setAntialiased(false);
        drawn_.push_back({&t, plottable, rect});
    }

    // Bars are few (one per code or level) and drawn whole, without the
    // per-pixel reduction of the curves. The plot stacks each bar's value on
    // the base value, so the heights are given relative to the base.
    void addBars(QCPAxis* x, QCPAxis* y, const Trace& t) {
        auto* bars = new QCPBars(x, y);
        bars->setWidth(t.barWidth);
        bars->setBaseValue(t.barBase);
        QVector<double> heights(static_cast<int>(t.y.size()));
        for (std::size_t k = 0; k < t.y.size(); ++k) heights[static_cast<int>(k)] = t.y[k] - t.barBase;
        bars->setData(toVector(t.x), heights, true);
        bars->setPen(QPen(toColor(t.color), 0));
        bars->setBrush(QBrush(toColor(t.color)));
        bars->setAntialiased(false);
    }

    void addTexts() {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (const display::TextBlock& block : figure_.texts) {
            QStringList lines;
            for (const std::string& line : block.lines) lines << QString::fromStdString(line);
            auto* text = new QCPItemText(this);
            text->setClipToAxisRect(false);
            text->position->setType(QCPItemPosition::ptViewportRatio);
            text->position->setCoords(block.left, block.top);
            text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
            text->setTextAlignment(Qt::AlignLeft);
            text->setFont(font);
            text->setColor(Qt::black);
            text->setText(lines.join('\n'));
        }
    }

    void addSurface(QCPAxisRect* rect, const Axes& a, QCPLayoutInset* inset) {
        const display::Surface& s = *a.surface;
        auto* map = new QCPColorMap(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        auto* scale = new QCPColorScale(this);
        scale->setType(QCPAxis::atRight);
        scale->setBarWidth(10);
        scale->axis()->setLabel(QString::fromStdString(a.zLabel));
        scale->axis()->setLabelColor(toColor(a.labelColor));
        const auto& p = a.position;
        const double left = p[0] + p[2] + 0.04;
        inset->addElement(scale, QRectF(left, 1 - p[1] - p[3], std::max(0.05, 0.98 - left), p[3]));
        scale->setAutoMargins(QCP::msLeft | QCP::msRight);
        scale->setMargins(QMargins(0, 0, 0, 0));
        map->setColorScale(scale);
        map->setGradient(QCPColorGradient::gpJet);
        map->setInterpolate(false);
        const Range z = a.z ? *a.z : Range{-100, 0};
        map->setDataRange(drawableRange(z, false));
        maps_.push_back({map, &s, z});
    }

    // Fills a colour map with the surface's columns within the visible
    // frequency range, reduced to at most two per pixel column by keeping
    // each group's highest level (a narrow peak stays visible).
    void fillMap(const Map& m, int pixelColumns) {
        const display::Surface& s = *m.surface;
        const std::size_t cols = s.x.size(), rows = s.y.size();
        if (cols == 0 || rows == 0 || s.z.size() < cols * rows) return;
        const QCPRange visible = m.map->keyAxis()->range();
        auto first = static_cast<std::size_t>(std::lower_bound(s.x.begin(), s.x.end(), visible.lower) - s.x.begin());
        auto last = static_cast<std::size_t>(std::upper_bound(s.x.begin(), s.x.end(), visible.upper) - s.x.begin());
        if (first > 0) --first;
        if (last < cols) ++last;
        if (last <= first) first = 0, last = cols;
        const std::size_t span = last - first;
        const std::size_t target = std::max<std::size_t>(1, 2 * static_cast<std::size_t>(std::max(pixelColumns, 1)));
        const std::size_t group = span > target ? (span + target - 1) / target : 1;
        const std::size_t outCols = (span + group - 1) / group;
        const double floor = m.z.min;
        auto* data = new QCPColorMapData(static_cast<int>(outCols), static_cast<int>(rows),
                                         QCPRange(s.x[first], s.x[std::min(first + (outCols - 1) * group, last - 1)]),
                                         QCPRange(s.y.front(), s.y.back()));
        for (std::size_t r = 0; r < rows; ++r) {
            const double* row = s.z.data() + r * cols;
            for (std::size_t c = 0; c < outCols; ++c) {
                double v = -HUGE_VAL;
                const std::size_t from = first + c * group, to = std::min(from + group, last);
                for (std::size_t k = from; k < to; ++k) v = std::max(v, row[k]);
                if (!(v >= floor)) v = floor;  // -Inf and NaN at the bottom of the scale
                data->setCell(static_cast<int>(c), static_cast<int>(r), v);
            }
        }
        m.map->setData(data, false);
        m.map->setDataRange(drawableRange(m.z, false));
    }

    // Square axes keep one unit of x as long as one unit of y.
    void keepAspect(QSize size) {
        for (std::size_t k = 0; k < rects_.size(); ++k) {
            if (!figure_.axes[k].equalAspect) continue;
            const QRectF f = boxFraction(figure_.axes[k]);
            const double w = f.width() * size.width(), h = f.height() * size.height();
            if (w <= 0 || h <= 0) continue;
            QCPAxis* x = rects_[k]->axis(QCPAxis::atBottom);
            QCPAxis* y = rects_[k]->axis(QCPAxis::atLeft);
            // Widen whichever axis has fewer pixels per unit.
            const double xPerUnit = w / x->range().size(), yPerUnit = h / y->range().size();
            if (xPerUnit > yPerUnit) {
                const double half = w / yPerUnit / 2;
                x->setRange(x->range().center() - half, x->range().center() + half);
            } else {
                const double half = h / xPerUnit / 2;
                y->setRange(y->range().center() - half, y->range().center() + half);
            }
        }
    }

    void reduceTo(QSize size) {
        stale_ = false;
        for (const DrawnTrace& d : drawn_) {
            const QRectF f = boxFraction(figure_.axes[static_cast<std::size_t>(
                std::find(rects_.begin(), rects_.end(), d.rect) - rects_.begin())]);
            const auto width = static_cast<std::size_t>(std::max(1.0, std::round(f.width() * size.width())));
            const auto height = static_cast<std::size_t>(std::max(1.0, std::round(f.height() * size.height())));
            const QCPRange xr = d.rect->axis(QCPAxis::atBottom)->range();
            const QCPRange yr = d.rect->axis(QCPAxis::atLeft)->range();
            if (d.trace->xAscending) {
                const Trace r = display::decimateMinMax(*d.trace, xr.lower, xr.upper, width);
                static_cast<QCPGraph*>(d.plottable)->setData(toVector(r.x), toVector(r.y), true);
            } else {
                const Trace r = display::thinPath(*d.trace, {xr.lower, xr.upper}, {yr.lower, yr.upper}, width, height);
                static_cast<QCPCurve*>(d.plottable)->setData(toVector(r.x), toVector(r.y));
            }
        }
        for (const Map& m : maps_) {
            const QRect box = m.map->keyAxis()->axisRect()->rect();
            const std::size_t k = static_cast<std::size_t>(
                std::find(rects_.begin(), rects_.end(), m.map->keyAxis()->axisRect()) - rects_.begin());
            const int columns = k < figure_.axes.size()
                                    ? static_cast<int>(std::round(boxFraction(figure_.axes[k]).width() * size.width()))
                                    : box.width();
            fillMap(m, columns);
        }
    }
};

// Window geometry from the figure's position: pixels from the top-left
// corner of the screen, or fractions of it; moved onto the screen.
QRect windowGeometry(const Figure& figure, const QRect& screen) {
    const auto& p = figure.position;
    QRectF g;
    if (figure.units == "normalized")
        g = QRectF(screen.left() + p[0] * screen.width(), screen.top() + p[1] * screen.height(), p[2] * screen.width(),
                   p[3] * screen.height());
    else
        g = QRectF(p[0], p[1], p[2], p[3]);
    QRect r = g.toRect();
    r.setWidth(std::clamp(r.width(), 120, std::max(120, screen.width())));
    r.setHeight(std::clamp(r.height(), 120, std::max(120, screen.height())));
    if (!screen.isEmpty()) {
        r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() - r.width())));
        r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() - r.height())));
    }
    return r;
}

// File > Save Image: the figure at the plot's size on the screen, drawn by
// the renderer of the command line's plot, into a PNG, PDF or SVG file
// chosen by the person (the type by the filter chosen when the name has no
// extension of its own).
void saveImage(QMainWindow* window, FigurePlot* plot) {
    QStringList filters{QStringLiteral("PNG image (*.png)"), QStringLiteral("PDF document (*.pdf)")};
#ifdef TOLVANE_QT_SVG
    filters << QStringLiteral("SVG image (*.svg)");
#endif
    QString name = window->windowTitle();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("_"));
    QFileDialog dialog(window, QStringLiteral("Save Image"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const auto m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
        if (m.hasMatch()) dialog.setDefaultSuffix(m.captured(1));
    });
    dialog.selectFile(name + QStringLiteral(".png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = dialog.selectedFiles().first().toStdString();
    std::string error;
    if (!renderFigureToFile(plot->figure(), path, plot->width(), plot->height(), error))
        QMessageBox::critical(window, QStringLiteral("Save Image"), QString::fromStdString(error));
}

// The display menus of a figure window.
void addDisplayMenus(QMainWindow* window, FigurePlot* plot) {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QMenu* file = window->menuBar()->addMenu("&File");
    file->setObjectName("QV_FileMenu");
    QObject::connect(file->addAction("&Print"), &QAction::triggered, window, [window, plot, printer] {
        QPrintDialog dialog(printer.get(), window);
        if (dialog.exec() != QDialog::Accepted) return;
        QCPPainter painter(printer.get());
        const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
        plot->toPainter(&painter, page.width(), page.height());
    });
    QObject::connect(file->addAction("Print &Setup"), &QAction::triggered, window, [window, printer] {
        QPageSetupDialog dialog(printer.get(), window);
        dialog.exec();
    });
    QAction* save = file->addAction("Save &Image...");
    save->setObjectName("QV_SaveImage");
    QObject::connect(save, &QAction::triggered, window, [window, plot] { saveImage(window, plot); });
    file->addSeparator();
    QObject::connect(file->addAction("&Close"), &QAction::triggered, window, &QWidget::close);

    QMenu* edit = window->menuBar()->addMenu("&Edit");
    QObject::connect(edit->addAction("&Copy"), &QAction::triggered, window,
                     [plot] { QApplication::clipboard()->setImage(plot->toPixmap().toImage()); });

    QMenu* tools = window->menuBar()->addMenu("&Tools");
    QAction* zoom = tools->addAction("&Zoom");
    zoom->setObjectName("QV_Zoom");
    zoom->setCheckable(true);
    QAction* rotate = tools->addAction("&Rotate");
    rotate->setObjectName("QV_Rotate");
    rotate->setCheckable(true);
    rotate->setEnabled(false);
    tools->addSeparator();
    QAction* reset = tools->addAction("Zoom Re&set");
    reset->setObjectName("QV_ZoomReset");

    // Zoom on: rectangle zoom, rotate off; zoom off: plain pointer. The
    // plots are flat, so rotating has nothing to turn and stays disabled.
    QObject::connect(zoom, &QAction::toggled, plot, [plot, rotate](bool on) {
        plot->setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
        if (on) rotate->setChecked(false);
    });
    QObject::connect(rotate, &QAction::toggled, plot, [plot, zoom](bool on) {
        if (on) {
            zoom->setChecked(false);
            plot->setSelectionRectMode(QCP::srmNone);
        }
    });
    QObject::connect(reset, &QAction::triggered, plot, [plot] {
        plot->resetRanges();
        plot->replot();
    });
}

}  // namespace

QWidget* createFigureWindow(const Figure& figure, QWidget* parent) { return createFigureWindow(Figure(figure), parent); }

QWidget* createFigureWindow(Figure&& figure, QWidget* parent) {
    auto* window = new QMainWindow(parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromStdString(figure.name));
    window->setObjectName("figureWindow");

    QRect screen(0, 0, 1280, 1024);
    if (const QScreen* s = QGuiApplication::primaryScreen()) screen = s->availableGeometry();
    const QRect geometry = windowGeometry(figure, screen);

    const bool displayMenus = figure.displayMenus;
    auto* plot = new FigurePlot(std::move(figure), geometry.size(), window);
    window->setCentralWidget(plot);
    if (displayMenus) {
        addDisplayMenus(window, plot);
    } else {
        // Without the display menus (the waterfall) the mouse zooms: the
        // wheel and dragging change the ranges, a double click resets them.
        plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        QObject::connect(plot, &QCustomPlot::mouseDoubleClick, plot, [plot] {
            plot->resetRanges();
            plot->replot();
        });
    }
    // The figure's size is the plot's; the menu bar comes on top of it.
    const int menuHeight = displayMenus ? window->menuBar()->sizeHint().height() : 0;
    window->setGeometry(geometry.adjusted(0, 0, 0, menuHeight));
    plot->replot();
    return window;
}

QCustomPlot* figurePlot(QWidget* window) {
    auto* main = qobject_cast<QMainWindow*>(window);
    return main ? dynamic_cast<FigurePlot*>(main->centralWidget()) : nullptr;
}

bool renderFigureToFile(const Figure& figure, const std::string& path, int width, int height, std::string& error) {
    return renderFigureToFile(Figure(figure), path, width, height, error);
}

bool renderFigureToFile(Figure&& figure, const std::string& path, int width, int height, std::string& error) {
    const std::string extension = lowerExtension(path);
    const std::string kind = extension.empty() ? extension : extension.substr(1);
    if (kind != "png" && kind != "pdf" && kind != "svg") {
        error = "The image file \"" + path + "\" must end in .png, .pdf or .svg.";
        return false;
    }
#ifndef TOLVANE_QT_SVG
    if (kind == "svg") {
        error = "SVG images need Qt SVG, which this build lacks; write .png or .pdf.";
        return false;
    }
#endif
    if (width < 16 || height < 16 || width > 20000 || height > 20000) {
        error = "The image size " + std::to_string(width) + " x " + std::to_string(height) +
                " must be from 16 to 20000 pixels each way.";
        return false;
    }
    try {
        FigurePlot plot(std::move(figure), QSize(width, height), nullptr);
        replaceFileAtomically(path, [&](const std::string& temp) { plot.save(temp, kind, QSize(width, height)); });
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace tolvane::qt
