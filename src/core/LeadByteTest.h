// How pure text code learns the double-byte characters of the code page its text is in.
#pragma once

#include <functional>

// TRUE for a byte that starts a double-byte character. An empty test means a single-byte code page.
using LeadByteTest = std::function<bool(unsigned char)>;
