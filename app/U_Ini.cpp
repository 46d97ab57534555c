#include "U_Ini.h"

#include "U_Gbk.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

namespace {

bool IsSectionLine(const QString& t) { return t.startsWith('[') && t.indexOf(']') > 0; }

QString SectionName(const QString& t) { return t.mid(1, t.indexOf(']') - 1).trimmed(); }

// The key of a "key=value" line; empty for comments and other lines.
QString KeyOf(const QString& line) {
  QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(';') || t.startsWith('#') || IsSectionLine(t)) return {};
  int eq = t.indexOf('=');
  return eq > 0 ? t.left(eq).trimmed() : QString();
}

QString ValueOf(const QString& line) {
  QString v = line.mid(line.indexOf('=') + 1).trimmed();
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.mid(1, v.size() - 2);
  return v;
}

} // namespace

TIniFile::TIniFile(QString path) : path_(std::move(path)) {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return;
  exists_ = true;
  QByteArray raw = f.readAll();
  if (raw.startsWith("\xEF\xBB\xBF")) raw.remove(0, 3); // a file saved as UTF-8 by an editor
  std::string text = GbkToUtf8(std::string_view(raw.constData(), static_cast<size_t>(raw.size())));
  QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (!all.contains("\r\n") && all.contains('\n')) eol_ = "\n";
  all.replace("\r\n", "\n");
  all.replace('\r', '\n');
  lines_ = all.split('\n');
  if (!lines_.isEmpty() && lines_.back().isEmpty()) lines_.removeLast();
}

int TIniFile::FindSection(const QString& section) const {
  for (int i = 0; i < lines_.size(); ++i) {
    QString t = lines_[i].trimmed();
    if (IsSectionLine(t) && SectionName(t).compare(section, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

int TIniFile::FindKey(int sectionLine, const QString& key) const {
  for (int i = sectionLine + 1; i < lines_.size(); ++i) {
    if (IsSectionLine(lines_[i].trimmed())) break;
    if (KeyOf(lines_[i]).compare(key, Qt::CaseInsensitive) == 0 && !KeyOf(lines_[i]).isEmpty()) return i;
  }
  return -1;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  int s = FindSection(section);
  return s >= 0 && FindKey(s, key) >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
  int s = FindSection(section);
  int k = s < 0 ? -1 : FindKey(s, key);
  return k < 0 ? def : ValueOf(lines_[k]);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
  QString v = ReadString(section, key, QString()).trimmed();
  bool ok = false;
  int n = v.toInt(&ok, 10);
  return ok ? n : def;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  QString line = key + "=" + value;
  int s = FindSection(section);
  if (s < 0) {
    if (!lines_.isEmpty() && !lines_.back().trimmed().isEmpty()) lines_ << QString();
    lines_ << "[" + section + "]" << line;
  } else if (int k = FindKey(s, key); k >= 0) {
    lines_[k] = line;
  } else {
    // After the last non-blank line of the section, so a blank line before the next section stays.
    int at = s + 1;
    for (int i = s + 1; i < lines_.size() && !IsSectionLine(lines_[i].trimmed()); ++i)
      if (!lines_[i].trimmed().isEmpty()) at = i + 1;
    lines_.insert(at, line);
  }
  Save();
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void TIniFile::Save() const {
  QString all = lines_.join(eol_) + eol_;
  QByteArray utf8 = all.toUtf8();
  std::string gbk = Utf8ToGbk(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  // Written beside and renamed over, so a failed write never leaves half a configuration.
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly) || f.write(gbk.data(), static_cast<qint64>(gbk.size())) < 0 || !f.commit())
    throw std::runtime_error(("无法写入 " + path_ + ": " + f.errorString()).toStdString());
}
