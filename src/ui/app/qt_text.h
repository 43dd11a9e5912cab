#pragma once

#include <QString>
#include <QStringDecoder>
#include <string>
#include <string_view>

namespace tarnlux::ui {

// Core keeps its texts as UTF-8; a few come from files or the meter in the old
// single-byte code page, which is shown as Latin-1 rather than as replacement marks.
inline QString qtText(std::string_view text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string stdText(const QString& text) { return text.toStdString(); }

}  // namespace tarnlux::ui
