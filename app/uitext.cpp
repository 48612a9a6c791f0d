#include "uitext.h"

#include <QFile>
#include <QStringList>

#include "cp1251.h"

QString QStr(std::string_view cp) { return QString::fromStdString(cp1251::ToUtf8(cp)); }

std::string CpStr(const QString& text) { return cp1251::FromUtf8(text.toStdString()); }

QString QPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathStr(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString DialogFilter(std::string_view filter) {
  QStringList parts = QStr(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    if (!description.contains('(')) description += " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    out << description;
  }
  return out.join(";;");
}
