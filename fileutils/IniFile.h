// The settings file: a byte-faithful INI reader and writer.
#pragma once

#include "platform/LocaleServices.h"

#include <QByteArray>
#include <QChar>
#include <QString>

// An INI file kept in memory as its own bytes, so that every line we do not
// own goes back to disk exactly as it came. Section and key names match
// without regard to case; the first section of a name and the first key of a
// name in it win. Writes change only the memory copy; UpdateFile puts the
// whole file in place at once, lines ending in CR LF.
class TIniFile
{
public:
    // Reads the file when it exists; a file that cannot be read counts as
    // empty for reading, and UpdateFile then refuses to replace it.
    explicit TIniFile(const QString &fileName);

    const QString &FileName() const noexcept { return FFileName; }

    // The value with blanks around it removed; the default when the section
    // or key is missing.
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Optional sign and decimal digits, or hexadecimal after "$", "0x" or
    // "0X"; anything else, or a value outside the signed 32-bit range, gives
    // the default.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer read with the default 1 or 0; any non-zero value is true.
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
    double ReadFloat(const QString &section,
        const QString &key,
        double defaultValue,
        QChar decimalSeparator = DecimalSeparator()) const;

    // Line breaks in any of the texts become blanks: a value never makes a
    // line of its own.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    void WriteFloat(const QString &section,
        const QString &key,
        double value,
        QChar decimalSeparator = DecimalSeparator());

    // Single-precision values (control geometry) travel as double: widened
    // before writing, narrowed after reading. A stored value beyond the range
    // of a float gives the default instead of an infinity.
    float ReadSingle(const QString &section,
        const QString &key,
        float defaultValue,
        QChar decimalSeparator = DecimalSeparator()) const;
    void WriteSingle(
        const QString &section, const QString &key, float value, QChar decimalSeparator = DecimalSeparator());

    // Replaces the file atomically when something was written since it was
    // read: on any failure the old file stays whole and EError "Unable to
    // write to <full path>" is thrown.
    void UpdateFile();

private:
    QString FFileName;
    QByteArray FText;
    bool FModified = false;
    bool FUnreadable = false;
};

// The settings file of an executable: appDataDir with "/" appended when
// missing, the executable's base name (file name up to its last ".") and "/",
// then the base name and ".ini". An empty appDataDir gives a path from "/".
QString SettingsFilePath(const QString &appDataDir, const QString &executablePath);

// Creates a folder with every missing parent; false when it cannot be made.
bool ForceDirectories(const QString &folder);
