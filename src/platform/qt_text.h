#pragma once

// The engine's texts (bytes, UTF-8 by convention) as Qt strings, for the
// window and for the JSON the command line prints.

#include <QJsonArray>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace wingstow::platform {

inline QString qt_text(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline QJsonArray qt_texts(const std::vector<std::string>& items) {
  QJsonArray array;
  for (const auto& item : items) array.append(qt_text(item));
  return array;
}

}  // namespace wingstow::platform
