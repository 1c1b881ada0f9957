// veldrin-scan-password: puts a new administrator password into the console's Login.ini, which
// on an installation only root may write. The console starts it through pkexec (the package's
// polkit action asks for the system administrator's authentication) and hands it the new
// salted digest on its standard input; an administrator may also run it from a terminal, where
// it asks for the new password itself. It takes no arguments and writes nothing but Login.ini
// beside it (config/ of its own application directory).
#include "account/LoginStore.h"
#include "account/PasswordDigest.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

enum Exit
{
    Written = 0,
    BadInput = 1,
    NotWritten = 2
};

// 6 to 16 letters and digits, as the change-password dialog asks.
bool acceptable(const QString &password)
{
    if (password.size() < 6 || password.size() > 16)
        return false;
    for (const QChar c : password) {
        if (c.unicode() >= 128 || !c.isLetterOrNumber())
            return false;
    }
    return true;
}

QString askHidden(const char *prompt)
{
    std::fputs(prompt, stderr);
    termios old{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fputs("\n", stderr);
    }
    return QString::fromStdString(line);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 1) {
        std::fputs("usage: veldrin-scan-password (the new digest on standard input, or asked "
                   "for on a terminal)\n",
                   stderr);
        return BadInput;
    }
    QString digest;
    if (::isatty(STDIN_FILENO)) {
        const QString password = askHidden("New administrator password: ");
        if (!acceptable(password)) {
            std::fputs("The password must be 6 to 16 letters and digits.\n", stderr);
            return BadInput;
        }
        if (askHidden("Again: ") != password) {
            std::fputs("The two entries differ.\n", stderr);
            return BadInput;
        }
        digest = PasswordDigest::make(password);
    } else {
        std::string line;
        std::getline(std::cin, line);
        digest = QString::fromStdString(line);
        if (!PasswordDigest::isSaltedDigest(digest)) {
            std::fputs("Standard input holds no password digest.\n", stderr);
            return BadInput;
        }
    }
    if (!LoginStore::writePassword(digest)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(LoginStore::filePath()));
        return NotWritten;
    }
    return Written;
}
