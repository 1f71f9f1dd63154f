// Drawing a display Figure with QCustomPlot: in a window of its own with the
// display menus, or into an image file.
#pragma once

#include <string>

#include "display/figure.hpp"

class QWidget;
class QCustomPlot;

namespace tolvane::qt {

// A top-level window (QMainWindow) showing the figure: titled with its name,
// placed at its position (pixels from the screen's top-left corner, or
// fractions of the screen in "normalized" units; kept on the screen), with
// the display menus when figure.displayMenus:
//   File:  &Print, Print &Setup, Save &Image... (QV_SaveImage: the figure
//          into a PNG, PDF or SVG file, drawn as renderFigureToFile draws
//          it, at the plot's size), (separator) &Close
//   Edit:  &Copy (the plot to the clipboard as an image)
//   Tools: &Zoom (QV_Zoom, checkable: rectangle zoom), &Rotate (QV_Rotate,
//          disabled), (separator) Zoom Re&set (QV_ZoomReset: the figure's
//          own limits again)
// Without the display menus the mouse wheel and dragging zoom and pan, and a
// double click restores the limits. Each axes is a QCPAxisRect whose
// objectName is the axes' tag. The window
// deletes itself when closed. It is laid out and plotted but not shown: the
// caller shows it.
QWidget* createFigureWindow(const tolvane::display::Figure& figure, QWidget* parent = nullptr);
// The same, taking over the figure's samples instead of copying them.
QWidget* createFigureWindow(tolvane::display::Figure&& figure, QWidget* parent = nullptr);

// The plot inside a window made by createFigureWindow (nullptr for any
// other widget).
QCustomPlot* figurePlot(QWidget* window);

// Draws the figure into `path` at width x height pixels (points for PDF):
// PNG, PDF or SVG by the file name's extension (any case). False with a
// message in `error` when the extension is none of these or the file cannot
// be written. Needs a QApplication.
bool renderFigureToFile(const tolvane::display::Figure& figure, const std::string& path, int width, int height,
                        std::string& error);
bool renderFigureToFile(tolvane::display::Figure&& figure, const std::string& path, int width, int height,
                        std::string& error);

}  // namespace tolvane::qt
