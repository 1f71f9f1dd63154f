// Texts between the platform (UTF-8 std::string) and Qt (QString).
#pragma once

#include <QString>

#include <string>

namespace tolvane::qt {

inline QString q(const std::string& text) { return QString::fromStdString(text); }
inline std::string s(const QString& text) { return text.toStdString(); }

}  // namespace tolvane::qt
