#include "ui/settings_file.h"

#include <QFileInfo>

namespace kalbor {

TSettingsFile::TSettingsFile(const QString& path)
    : path_(path), settings_(path, QSettings::IniFormat) {}

bool TSettingsFile::Exists() const { return QFileInfo::exists(path_); }

int TSettingsFile::ReadInteger(const QString& section, const QString& key, int fallback) {
  QVariant v = settings_.value(section + "/" + key);
  if (!v.isValid()) return fallback;
  bool ok = false;
  int n = v.toString().trimmed().toInt(&ok, 10);
  return ok ? n : fallback;
}

QString TSettingsFile::ReadString(const QString& section, const QString& key,
                                  const QString& fallback) {
  QVariant v = settings_.value(section + "/" + key);
  return v.isValid() ? v.toString() : fallback;
}

void TSettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void TSettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
  settings_.setValue(section + "/" + key, value);
  settings_.sync();
}

bool TSettingsFile::Writable() { return settings_.isWritable(); }

}  // namespace kalbor
