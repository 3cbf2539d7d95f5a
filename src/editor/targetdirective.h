#pragma once

#include <optional>

#include <QStringView>

// The target index selected by the first "//#TARGET <device>" line of a source text that names
// a known device; empty when no line does.
std::optional<int> TargetDirective(QStringView text);
