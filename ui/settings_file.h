// KALBOR.INI: sections and keys read and written one at a time. Each key is
// written to the file at once; other keys and sections stay as they are.
#pragma once

#include <QSettings>
#include <QString>

namespace kalbor {

class TSettingsFile {
 public:
  explicit TSettingsFile(const QString& path);
  bool Exists() const;
  // A missing entry, or one that is not a whole number, reads as `fallback`.
  int ReadInteger(const QString& section, const QString& key, int fallback);
  QString ReadString(const QString& section, const QString& key, const QString& fallback);
  // Throw nothing; a file that cannot be written keeps what it had.
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteString(const QString& section, const QString& key, const QString& value);
  bool Writable();

 private:
  QString path_;
  QSettings settings_;
};

}  // namespace kalbor
