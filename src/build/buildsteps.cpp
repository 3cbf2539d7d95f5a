#include "build/buildsteps.h"

#include "build/toolrunner.h"
#include "platform/files.h"

namespace {

QString Latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The directory part of the path with its trailing separator.
QString FileDirectory(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString Status(const char* action, const QString& path)
{
    return QLatin1String(action) + QLatin1Char('"') + path + QLatin1String("\"...");
}

} // namespace

QString ChangeFileExt(const QString& path, const QString& extension)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= path.lastIndexOf(QLatin1Char('/')))
        return path + extension;
    return path.left(dot) + extension;
}

TBuildFiles BuildFiles(const QString& source)
{
    const auto file = [&source](const char* extension) {
        return ChangeFileExt(source, QLatin1String(extension));
    };
    return {source, file(".o"), file(".elf"), file(".hex"), file(".bin"), file(".lst")};
}

TToolStep CompileStep(const QString& gccPath, std::string_view mcu, const QString& source,
                      const QString& object, const QString& listing)
{
    QString line = gccPath + QLatin1String(" -c -g -Os -Wall -Wstrict-prototypes -mmcu=") +
                   Latin1(mcu) + QLatin1String(" -I. -I") + QuoteArgument(FileDirectory(source)) +
                   QLatin1Char(' ') + QuoteArgument(source) + QLatin1Char(' ') +
                   QLatin1String("-o ") + QuoteArgument(object);
    if (!listing.isEmpty())
        line += QLatin1String(" -Wa,-ahlms=") + QuoteArgument(listing);
    return {Status("Kompiliere ", source), gccPath, line};
}

TToolStep LinkStep(const QString& gccPath, std::string_view mcu, const QString& object,
                   const QString& program)
{
    return {Status("Linke ", object), gccPath,
            gccPath + QLatin1Char(' ') + QuoteArgument(object) + QLatin1Char(' ') +
                QLatin1String("-Wl,--cref -mmcu=") + Latin1(mcu) + QLatin1Char(' ') +
                QLatin1String("-o ") + QuoteArgument(program)};
}

TToolStep HexStep(const QString& objcopyPath, const QString& program, const QString& hex)
{
    return {Status("Konvertiere ", hex), objcopyPath,
            objcopyPath + QLatin1String(" -O ihex ") + QuoteArgument(program) + QLatin1Char(' ') +
                QuoteArgument(hex)};
}

TToolStep BinaryStep(const QString& objcopyPath, const QString& program, const QString& binary)
{
    return {Status("Konvertiere ", binary), objcopyPath,
            objcopyPath + QLatin1String(" -O binary ") + QuoteArgument(program) + QLatin1Char(' ') +
                QuoteArgument(binary)};
}

// A FIFO in the image's place would wait for a writer that never comes, also one put there after
// a look at the name; the image is small enough to read whole.
std::optional<qint64> ImageSize(const QString& binary)
{
    const std::optional<QByteArray> image = ReadRegularFile(binary);
    if (!image)
        return std::nullopt;
    return image->size();
}

QString CompletionText(std::optional<qint64> codeSize)
{
    if (!codeSize)
        return QStringLiteral("Fertig.");
    return QLatin1String("Fertig, ") + QString::number(*codeSize) + QLatin1String(" Bytes Code.");
}
