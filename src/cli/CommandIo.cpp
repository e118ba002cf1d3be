#include "CommandIo.h"

#include "SyxFile.h"

namespace vkv::cli {

namespace {

constexpr auto Program = "vkvela";

} // namespace

void CommandIo::print(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void CommandIo::fail(const QString &text) {
    print(stderr, QString::fromLatin1(Program) + ": " + text + u'\n');
}

int CommandIo::interrupted(int signal, const QString &what) {
    fail(QStringLiteral("interrupted by signal %1; ").arg(signal) + what);
    return 128 + signal;
}

bool CommandIo::readImage(const QString &path, image::ConfigImage &image) {
    QString why;
    const auto bytes = image::SyxFile::readImage(path, &why);
    if (!bytes) {
        fail(path + ": " + why);
        return false;
    }
    image.bytes() = *bytes;
    image.frame();
    return true;
}

QString CommandIo::leftAs(bool cutShort) {
    return cutShort ? QStringLiteral("the file, written in place since its folder takes no new "
                                     "files, may be cut short.")
                    : QStringLiteral("the file was left as it was.");
}

bool CommandIo::write(const QString &path, const QByteArray &bytes) {
    QString why;
    bool cutShort = false;
    if (image::SyxFile::write(path, bytes, &why, &cutShort))
        return true;
    fail("cannot write " + path + ": " + why + "; " + leftAs(cutShort));
    return false;
}

} // namespace vkv::cli
