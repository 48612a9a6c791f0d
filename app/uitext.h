// The edge between the program's Windows-1251 text and the widgets' QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

// Windows-1251 bytes as widget text.
QString QStr(std::string_view cp);
// Widget text as Windows-1251 bytes; characters the code page lacks become '?'.
std::string CpStr(const QString& text);
// A file-system path (native bytes) as widget text, and back.
QString QPath(const std::string& path);
std::string PathStr(const QString& path);
// A file dialog filter written "Description|*.a;*.b|..." as Qt's
// "Description (*.a *.b);;...", the masks added where the description does
// not show them already.
QString DialogFilter(std::string_view filter);
