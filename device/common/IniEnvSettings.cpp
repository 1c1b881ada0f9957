#include "device/common/IniEnvSettings.h"

#include <cstdio>

IniEnvSettings::IniEnvSettings(const QString &iniPath, const QString &program)
    : m_ini(iniPath, QSettings::IniFormat), m_program(program)
{
}

QString IniEnvSettings::text(const char *key, const char *env, const QString &fallback) const
{
    const QString fromEnv = QString::fromLocal8Bit(qgetenv(env)).trimmed();
    if (!fromEnv.isEmpty())
        return fromEnv;
    // QSettings splits an unquoted value with commas into a list; join it back.
    const QString fromIni = m_ini.value(QLatin1String(key)).toStringList().join(QLatin1Char(','));
    return fromIni.trimmed().isEmpty() ? fallback : fromIni.trimmed();
}

int IniEnvSettings::number(const char *key, const char *env, int min, int max, int fallback) const
{
    int value = fallback;
    auto take = [&](const QString &text, const char *from) {
        if (text.isEmpty())
            return;
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && v >= min && v <= max)
            value = v;
        else
            std::fprintf(stderr, "%s: ignoring %s = '%s'\n", qPrintable(m_program), from,
                         qPrintable(text));
    };
    take(m_ini.value(QLatin1String(key)).toStringList().join(QLatin1Char(',')).trimmed(), key);
    take(QString::fromLocal8Bit(qgetenv(env)).trimmed(), env);
    return value;
}
