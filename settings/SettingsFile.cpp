#include "settings/SettingsFile.h"

#include "pages/FileCommit.h"

#include <QFile>
#include <QSettings>

#include <sys/stat.h>

namespace {

// The settings class writes a float as "@Variant(\0\0\0\x87...)"; "@@" starts a text that only
// begins with "@". Any other encoded value is decoded by the settings class as it reads.
bool holdsOnlyFloatVariants(const QByteArray &text)
{
    static const QByteArray variant = "@Variant(";
    static const QByteArray floatValue = "@Variant(\\0\\0\\0\\x87";
    for (int at = text.indexOf(variant); at >= 0; at = text.indexOf(variant, at + 1)) {
        if ((at == 0 || text.at(at - 1) != '@') && text.mid(at, floatValue.size()) != floatValue)
            return false;
    }
    return true;
}

} // namespace

SettingsFile::Status SettingsFile::read(const QString &path, QByteArray *content, struct stat *info)
{
    switch (FileCommit::readRegularFile(path, MaxFileBytes, content, info)) {
    case FileCommit::Missing:
        return Missing;
    case FileCommit::Read:
        if (holdsOnlyFloatVariants(*content))
            return Read;
        break;
    case FileCommit::Refused:
        break;
    }
    content->clear();
    return Refused;
}

SettingsFile::SettingsFile(const QByteArray &content)
{
    const QString copy = m_folder.filePath(QStringLiteral("settings.ini"));
    QFile file(copy);
    if (m_folder.isValid() && file.open(QIODevice::WriteOnly))
        file.write(content);
    file.close();
    m_settings = std::make_unique<QSettings>(copy, QSettings::IniFormat);
}

SettingsFile::~SettingsFile() = default;

QByteArray SettingsFile::content()
{
    m_settings->sync();
    if (!m_folder.isValid() || m_settings->status() != QSettings::NoError)
        return QByteArray();
    QFile file(m_settings->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SettingsFile::update(const QString &path, const std::function<void(QSettings &)> &change,
                          unsigned newFileMode)
{
    QByteArray before;
    if (read(path, &before) == Refused)
        return false;
    SettingsFile file(before);
    change(file.settings());
    const QByteArray after = file.content();
    FileCommit out(path);
    out.setNewFileMode(newFileMode);
    return !after.isEmpty() && out.write(after) && out.commit(FileCommit::ReplaceOwn);
}
