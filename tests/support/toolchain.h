#pragma once

#include <QString>

// The real tool chain, linked into the build tree's bin/ as the program finds it beside itself.
inline const QString TestGcc = QStringLiteral(QUENNOR_BINARY_DIR "/bin/avr-gcc");
inline const QString TestObjcopy = QStringLiteral(QUENNOR_BINARY_DIR "/bin/avr-objcopy");

// Nothing the tests start should run longer than a moment; a hang fails instead of blocking
// the suite.
inline constexpr int ToolTimeOut = 20000;
