#pragma once

#include <functional>
#include <string_view>

#include <QString>

#include "build/memoryuse.h"
#include "build/messages.h"

struct TBuildFiles;
struct TToolStep;

// One build of a source file: compile, link, convert to hex and to binary, stopping at the first
// tool that fails; after success the object and program files are deleted and the completion row
// follows, then the program's memory use of the chip's. A source that one of its outputs would
// overwrite is not built at all. It reports rows and the listing through callbacks and shows
// nothing itself.
class TBuilder final
{
public:
    TBuilder(QString gccPath, QString objcopyPath);

    // Each row for the message list, as it comes: status rows and the tools' error output.
    std::function<void(const TMessageRow& row)> OnRow;
    // The listing file, once the compile step has written it.
    std::function<void(const QString& path)> OnListing;

    // mcu is the compiler's device name, chip the sizes of its memories. True when all four
    // steps succeeded.
    bool Build(const QString& source, std::string_view mcu, bool createListing,
               const TChipMemory& chip);
    // Why the last build's program cannot run for lack of RAM; empty when it can, when its use
    // is not known, or when the build failed.
    const QString& RamWarning() const { return FRamWarning; }

private:
    bool CompileSource(const TBuildFiles& files, std::string_view mcu, bool createListing);
    bool RunStep(const TToolStep& step, const TBuildFiles& files);
    void AddRow(const QString& text);

    const QString FGccPath;
    const QString FObjcopyPath;
    QString FRamWarning;
};
