// The front end's working text (QUORBIX.tmp and its results) is Windows-1252,
// while gpg and mail programs read UTF-8: converted here, on the way to gpg and
// back. Every other file keeps its bytes.
#pragma once
#include "options.h"

#include <string>

namespace pgpc {

class Console;

namespace worktext {

// Under +CharSet=Latin1, not as a filter, on a first operand named QUORBIX.tmp.
bool applies(const Settings &s, const Invocation &inv);

// A descriptor on an in-memory UTF-8 copy of the Windows-1252 text at fd (read
// from its start); -1 when that cannot be made.
int utf8Copy(int fd);

// The result at fd as Windows-1252 when it is UTF-8 text that fits; text that
// does not fit stays UTF-8 (said on standard error), and what is no UTF-8 at
// all (Latin-1 from PGP 2.6) stays as it is. False when fd cannot be rewritten.
bool toWorkText(const Console &con, int fd);

} // namespace worktext
} // namespace pgpc
