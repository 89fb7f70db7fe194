#include "ui/settings_file.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

namespace kalbor {

namespace {

// The file's lines, each with its own line end ("\n", "\r\n", or none on a
// last line), so that joining them gives back the file's bytes.
using TLines = std::vector<QByteArray>;

// The file's bytes; empty when there is no file, nothing when there is one
// that cannot be read (it must not be written over then).
std::optional<QByteArray> Contents(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (file.exists()) return std::nullopt;
    return QByteArray();
  }
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return bytes;
}

TLines SplitLines(const QByteArray& bytes) {
  TLines lines;
  for (qsizetype start = 0; start < bytes.size();) {
    qsizetype end = bytes.indexOf('\n', start);
    end = end < 0 ? bytes.size() : end + 1;
    lines.push_back(bytes.sliced(start, end - start));
    start = end;
  }
  return lines;
}

// The line end of the file's first line; "\n" for a file without one.
QByteArray LineEnd(const QByteArray& bytes) {
  qsizetype end = bytes.indexOf('\n');
  return end > 0 && bytes[end - 1] == '\r' ? "\r\n" : "\n";
}

// A line without its line end.
QByteArrayView Body(QByteArrayView line) {
  if (line.endsWith('\n')) line.chop(1);
  if (line.endsWith('\r')) line.chop(1);
  return line;
}

// A last line without a line end gets one before another line follows it.
void EndLine(QByteArray& line, const QByteArray& eol) {
  if (Body(line).size() == line.size()) line += eol;
}

// Text in the file is UTF-8 where it is valid UTF-8, else Latin-1.
QString Decode(QByteArrayView bytes) {
  return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

bool SameName(QByteArrayView found, const QString& wanted) {
  return Decode(found.trimmed()).compare(wanted, Qt::CaseInsensitive) == 0;
}

// "[name]" gives the name; any other line gives nothing.
std::optional<QByteArrayView> SectionName(QByteArrayView body) {
  body = body.trimmed();
  qsizetype close = body.indexOf(']');
  if (!body.startsWith('[') || close < 0) return std::nullopt;
  return body.sliced(1, close - 1);
}

// The place of the '=' of a "key=value" line; -1 for comment lines (';' or
// '#' first), section lines and lines without '='.
qsizetype EqualsSign(QByteArrayView body) {
  QByteArrayView text = body.trimmed();
  if (text.isEmpty() || text.startsWith(';') || text.startsWith('#') || text.startsWith('['))
    return -1;
  return body.indexOf('=');
}

// A key line's value, trimmed.
QByteArrayView ValueOf(QByteArrayView body) { return body.sliced(body.indexOf('=') + 1).trimmed(); }

// Where a section's key stands: the line holding it (its first), and the line
// a new key of the section would take (after the section's last key line, or
// after its heading when it has none; nothing when there is no such section).
struct TPlace {
  std::optional<size_t> key_line;
  std::optional<size_t> new_key_line;
};

TPlace Find(const TLines& lines, const QString& section, const QString& key) {
  TPlace place;
  bool inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    QByteArrayView body = Body(lines[i]);
    if (auto name = SectionName(body)) {
      inside = SameName(*name, section);
      if (inside) place.new_key_line = i + 1;
      continue;
    }
    qsizetype equals = EqualsSign(body);
    if (!inside || equals < 0) continue;
    place.new_key_line = i + 1;
    if (!place.key_line && SameName(body.first(equals), key)) place.key_line = i;
  }
  return place;
}

// The file takes `bytes` whole, or keeps what it had.
void Replace(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  // Unbuffered: a buffered write that fails only at commit is renamed over
  // the file all the same, cut short.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
  if (file.write(bytes) == bytes.size())
    file.commit();
  else
    file.cancelWriting();
}

}  // namespace

TSettingsFile::TSettingsFile(const QString& path) : path_(path) {}

bool TSettingsFile::Exists() const { return QFileInfo::exists(path_); }

std::optional<QString> TSettingsFile::Value(const QString& section, const QString& key) const {
  std::optional<QByteArray> bytes = Contents(path_);
  if (!bytes) return std::nullopt;
  TLines lines = SplitLines(*bytes);
  TPlace place = Find(lines, section, key);
  if (!place.key_line) return std::nullopt;
  return Decode(ValueOf(Body(lines[*place.key_line])));
}

int TSettingsFile::ReadInteger(const QString& section, const QString& key, int fallback) const {
  std::optional<QString> value = Value(section, key);
  bool ok = false;
  int n = value ? value->toInt(&ok, 10) : 0;
  return ok ? n : fallback;
}

QString TSettingsFile::ReadString(const QString& section, const QString& key,
                                  const QString& fallback) const {
  return Value(section, key).value_or(fallback);
}

void TSettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void TSettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
  std::optional<QByteArray> bytes = Contents(path_);
  if (!bytes) return;
  QByteArray text = value.toUtf8();
  text.replace('\r', ' ').replace('\n', ' ');  // a value is one line
  const QByteArray eol = LineEnd(*bytes);
  TLines lines = SplitLines(*bytes);
  TPlace place = Find(lines, section, key);
  if (place.key_line) {
    // The line keeps all but its value: the key as spelt, the spaces, the line end.
    QByteArray& line = lines[*place.key_line];
    QByteArrayView body = Body(line), old = ValueOf(body);
    qsizetype start = old.isEmpty() ? body.size() : old.data() - body.data();
    qsizetype end = old.isEmpty() ? body.size() : start + old.size();
    line.replace(start, end - start, text);
  } else {
    if (!place.new_key_line) {
      if (!lines.empty()) EndLine(lines.back(), eol);
      lines.push_back("[" + section.toUtf8() + "]" + eol);
      place.new_key_line = lines.size();
    }
    size_t at = *place.new_key_line;
    EndLine(lines[at - 1], eol);
    lines.insert(lines.begin() + std::ptrdiff_t(at), key.toUtf8() + "=" + text + eol);
  }
  QByteArray result;
  for (const QByteArray& line : lines) result += line;
  if (result != *bytes) Replace(path_, result);
}

}  // namespace kalbor
