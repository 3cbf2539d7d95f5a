#include "build/builder.h"

#include <utility>

#include <QFile>
#include <QStringList>

#include "build/buildsteps.h"
#include "build/toolrunner.h"

TBuilder::TBuilder(QString gccPath, QString objcopyPath)
    : FGccPath(std::move(gccPath))
    , FObjcopyPath(std::move(objcopyPath))
{}

bool TBuilder::Build(const QString& source, std::string_view mcu, bool createListing)
{
    const TBuildFiles files = BuildFiles(source);
    QFile::remove(files.Listing);
    const bool compiled = RunStep(CompileStep(FGccPath, mcu, files.Source, files.Object,
                                              createListing ? files.Listing : QString()));
    if (createListing && QFile::exists(files.Listing) && OnListing)
        OnListing(files.Listing);
    if (!compiled || !RunStep(LinkStep(FGccPath, mcu, files.Object, files.Program)) ||
        !RunStep(HexStep(FObjcopyPath, files.Program, files.Hex)) ||
        !RunStep(BinaryStep(FObjcopyPath, files.Program, files.Binary)))
        return false;
    QFile::remove(files.Object);
    QFile::remove(files.Program);
    AddRow(CompletionText(ImageSize(files.Binary)));
    return true;
}

bool TBuilder::RunStep(const TToolStep& step)
{
    AddRow(step.Status);
    QStringList lines;
    const bool succeeded = RunTool(step.CommandLine, -1, lines);
    for (const QString& line : lines)
        AddRow(line);
    return succeeded;
}

void TBuilder::AddRow(const QString& text)
{
    if (OnRow)
        OnRow(SplitMessage(text));
}
