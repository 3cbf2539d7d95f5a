#include "build/builder.h"

#include <utility>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "build/buildsteps.h"
#include "build/elfsections.h"
#include "build/toolrunner.h"
#include "platform/files.h"

namespace {

// A source named like one of its own outputs (x.lst, x.o, x.hex …), or linked to from one of
// their names, would be deleted or overwritten by its build.
bool OverwritesSource(const TBuildFiles& files)
{
    for (const QString* output :
         {&files.Object, &files.Program, &files.Hex, &files.Binary, &files.Listing})
        if (SameFile(files.Source, *output))
            return true;
    return false;
}

// A folder for the listing whose path holds no comma.
QString CommaFreeTemplate()
{
    const QString temp = QDir::tempPath();
    return (temp.contains(QLatin1Char(',')) ? QStringLiteral("/tmp") : temp) +
           QStringLiteral("/quennor-XXXXXX");
}

// Far beyond any AVR program with its debugging information; a larger file is cut there and so
// found damaged.
constexpr qint64 MaxProgramFileBytes = 64 * 1024 * 1024;

std::optional<TMemoryUse> ProgramMemoryUse(const QString& program)
{
    const std::optional<QByteArray> file = ReadRegularFile(program, MaxProgramFileBytes);
    if (!file)
        return std::nullopt;
    const std::optional<std::vector<TElfSection>> sections = ReadElfSections(*file);
    if (!sections)
        return std::nullopt;
    return MemoryUse(*sections);
}

} // namespace

TBuilder::TBuilder(QString gccPath, QString objcopyPath)
    : FGccPath(std::move(gccPath))
    , FObjcopyPath(std::move(objcopyPath))
{}

bool TBuilder::Build(const QString& source, std::string_view mcu, bool createListing,
                     const TChipMemory& chip)
{
    FRamWarning.clear();
    const TBuildFiles files = BuildFiles(source);
    if (OverwritesSource(files)) {
        AddRow(QStringLiteral("Abbruch: die Quelldatei würde überschrieben."));
        return false;
    }
    QFile::remove(files.Listing);
    if (!CompileSource(files, mcu, createListing) ||
        !RunStep(LinkStep(FGccPath, mcu, files.Object, files.Program), files) ||
        !RunStep(HexStep(FObjcopyPath, files.Program, files.Hex), files) ||
        !RunStep(BinaryStep(FObjcopyPath, files.Program, files.Binary), files))
        return false;
    const std::optional<TMemoryUse> use = ProgramMemoryUse(files.Program);
    QFile::remove(files.Object);
    QFile::remove(files.Program);
    AddRow(CompletionText(ImageSize(files.Binary)));
    if (use) {
        AddRow(MemoryText(*use, chip));
        FRamWarning = ::RamWarning(*use, chip);
    }
    return true;
}

// The compiler driver splits the assembler's listing option at commas, so a listing path with a
// comma would send the listing to the part before it, over whatever file lives there. Such a
// listing is written under a comma-free name and then moved beside the source.
bool TBuilder::CompileSource(const TBuildFiles& files, std::string_view mcu, bool createListing)
{
    bool compiled = false;
    if (!createListing) {
        compiled =
            RunStep(CompileStep(FGccPath, mcu, files.Source, files.Object, QString()), files);
    } else if (!files.Listing.contains(QLatin1Char(','))) {
        compiled =
            RunStep(CompileStep(FGccPath, mcu, files.Source, files.Object, files.Listing), files);
    } else {
        const QTemporaryDir folder(CommaFreeTemplate());
        const QString listing = folder.filePath(QStringLiteral("listing.lst"));
        compiled = RunStep(CompileStep(FGccPath, mcu, files.Source, files.Object, listing), files);
        if (QFile::exists(listing))
            QFile::rename(listing, files.Listing);
    }
    if (createListing && QFile::exists(files.Listing) && OnListing)
        OnListing(files.Listing);
    return compiled;
}

// The tools name files as they were given them, so the source's folder is known to the letter.
bool TBuilder::RunStep(const TToolStep& step, const TBuildFiles& files)
{
    const QString folder = files.Source.left(files.Source.lastIndexOf(QLatin1Char('/')) + 1);
    AddRow(step.Status);
    QStringList lines;
    const bool succeeded = RunTool(step.Program, step.CommandLine, -1, lines);
    for (const QString& line : lines)
        if (OnRow)
            OnRow(SplitMessage(line, folder));
    return succeeded;
}

// Status and completion rows are the build's own words, never a compiler message, whatever the
// path in them holds.
void TBuilder::AddRow(const QString& text)
{
    if (OnRow)
        OnRow({text, {}, {}});
}
