#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QSettings;
struct stat;

// A settings file in the ini format of Qt's settings class, read and written without ever
// going through a link: the file is read as a regular file opened with O_NOFOLLOW, parsed from a
// private copy, and written back as a new file that replaces only the operator's own regular
// file (FileCommit). Qt's settings class on the file itself would follow a link at the file's
// name and write into its target.
class SettingsFile
{
public:
    // Settings files are small. One larger than this, one that is no regular file (a pipe
    // would block, a link could lead anywhere), or one holding an encoded value other than a
    // float (an image, say, which the settings class would decode on reading) is not read.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    enum Status
    {
        Missing, // nothing of that name: nothing to read, and fine
        Read,
        Refused
    };
    // Reads `path` into `content` (empty unless Read); `info` gets the file's status.
    static Status read(const QString &path, QByteArray *content, struct stat *info = nullptr);

    // A settings object over a private copy of `content`.
    explicit SettingsFile(const QByteArray &content = QByteArray());
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;

    QSettings &settings() { return *m_settings; }
    // The file's content with the changes made through settings(); empty after a failure.
    QByteArray content();

    // Reads `path` (which must not be refused), lets `change` set its values, and puts the
    // result in place as a new file (FileCommit::ReplaceOwn, a new file with `newFileMode`).
    // Returns true only when the file really holds the result; the folder must exist.
    static bool update(const QString &path, const std::function<void(QSettings &)> &change,
                       unsigned newFileMode = 0644);

private:
    QTemporaryDir m_folder; // private (mode 0700)
    std::unique_ptr<QSettings> m_settings;
};
