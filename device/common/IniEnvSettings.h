#pragma once

#include <QSettings>
#include <QString>

// A program's settings: keys of an ini file, each overridden by an environment variable of the
// same role (set by tests or by a person trying something out). A value that is empty in both
// places leaves the default.
class IniEnvSettings
{
public:
    // `program` prefixes the notes about ignored values on standard error.
    IniEnvSettings(const QString &iniPath, const QString &program);

    QString text(const char *key, const char *env, const QString &fallback) const;
    // A whole number in [min, max]; anything else is ignored with a note on standard error.
    int number(const char *key, const char *env, int min, int max, int fallback) const;

private:
    QSettings m_ini;
    QString m_program;
};
