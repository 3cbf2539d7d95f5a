#pragma once

#include "editor/syntax.h"

// The scanner for the assembler's listing: on a code line the listing's line number, the
// address, the opcode bytes and the instruction's mnemonic (or label, or assembler directive)
// are told apart; the C source lines the listing repeats are coloured as C, their comments
// running on from one source line to the next.
int ScanListingLine(QStringView line, int state, std::vector<SyntaxToken>* tokens);
