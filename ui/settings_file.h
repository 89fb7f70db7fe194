// KALBOR.INI: sections and keys read and written one at a time.
//
// A small INI file of our own rather than QSettings: QSettings rewrites the
// whole file at each write (comments dropped, keys sorted, CRLF turned into
// LF) and matches section names with letter case, so a file saying `[user]`
// would lose the selected user. Here setting a key changes that one line;
// every other byte of the file (sections, keys, comments, their order, the
// line ends, text in any encoding) stays as found. Sections and keys match
// without regard to case; a key found twice reads its first.
#pragma once

#include <QString>
#include <optional>

namespace kalbor {

class TSettingsFile {
 public:
  explicit TSettingsFile(const QString& path);
  bool Exists() const;
  // A missing entry, or one that is not a whole number, reads as `fallback`.
  // Values read are trimmed.
  int ReadInteger(const QString& section, const QString& key, int fallback) const;
  QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
  // Each key is written to the file at once: a new key at the end of its
  // section, a new section at the end of the file. The file is replaced as a
  // whole (a new file in the same folder, renamed over it), so it is never
  // left half written. Throw nothing; a file that cannot be written keeps
  // what it had.
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteString(const QString& section, const QString& key, const QString& value);

 private:
  std::optional<QString> Value(const QString& section, const QString& key) const;

  QString path_;
};

}  // namespace kalbor
