// Which Windows code page stands for the system's ANSI code page: the user's locale decides.
#pragma once

#include "platform/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>

// The code page Windows would use for a locale's language, script and
// territory ("ru_RU.UTF-8" -> 1251, "zh_TW" -> 950, "sr_RS@latin" -> 1250);
// 1252 for every other language, C, POSIX and a name it cannot read.
int AnsiCodePageForLocale(QByteArrayView localeName);

// The locale the user's text is in: LC_ALL, else LC_CTYPE, else LANG.
QByteArray LocaleNameFromEnvironment();

// The process's ANSI code page: from the environment, unless pinned (tests pin 1252).
int AnsiCodePage();
void SetAnsiCodePage(int codePage);
TTextEncoding AnsiEncoding();

// The charset of a locale name ("ja_JP.eucJP" -> EUC-JP; "C" and "POSIX" ->
// ASCII); UTF-8 when the name gives none.
TTextEncoding LocaleEncoding(QByteArrayView localeName);
