// Weighs a regenerated picture against its committed file when another FreeType drew the lettering.
#ifndef GLIMTRA_ARTWORK_COMPARE_H
#define GLIMTRA_ARTWORK_COMPARE_H

#include <string>

#include "imagefile.h"
#include "pictures.h"

namespace art {

// True when `made` differs from `committed` by no more than `p.drift` allows (None: not at all).
// `report` says how much differs, and where it is too much.
bool withinDrift(const Picture &p, const Image &made, const Image &committed, std::string &report);

}  // namespace art

#endif
