// A Windows-style INI file in the Chinese ANSI code page, read and written the way the
// program's configuration needs it: sections and keys compared without regard to ASCII case,
// blanks around keys and values ignored, and a write that changes only its own line, so the
// other keys, the comments and the encoding of the file stay as they were.
#pragma once

#include <QString>
#include <QStringList>

class TIniFile {
public:
  // Reads the file when it exists; a missing file reads as empty and is created by a write.
  explicit TIniFile(QString path);

  bool Exists() const { return exists_; }
  bool ValueExists(const QString& section, const QString& key) const;
  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // A missing value, or one that is not a decimal integer, reads as def.
  int ReadInteger(const QString& section, const QString& key, int def) const;

  // Each write saves the file at once. Throws std::runtime_error when it cannot be saved.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);

private:
  int FindSection(const QString& section) const; // line index of the header, -1 when absent
  int FindKey(int sectionLine, const QString& key) const;
  void Save() const;

  QString path_;
  QStringList lines_;
  QString eol_ = "\r\n";
  bool exists_ = false;
};
